#pragma once

#include <QDateTime>
#include <QHash>
#include <QSortFilterProxyModel>

#include <functional>

// Between a file dialog's file system model and its views: lists the folders and only the
// files `shows` accepts, for kinds of file that share one extension and differ only inside.
// A verdict is kept per path until the file changes, so that scrolling or re-sorting a
// folder does not open its files again.
class FileContentFilter : public QSortFilterProxyModel
{
public:
    using Shows = std::function<bool(const QString &path)>;

    explicit FileContentFilter(Shows shows, QObject *parent = nullptr);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    struct Verdict {
        QDateTime modified;
        bool shown = true;
    };

    Shows m_shows;
    mutable QHash<QString, Verdict> m_verdicts;
};
