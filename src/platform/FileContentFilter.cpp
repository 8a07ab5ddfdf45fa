#include "FileContentFilter.h"

#include <QFileInfo>
#include <QFileSystemModel>

FileContentFilter::FileContentFilter(Shows shows, QObject *parent)
    : QSortFilterProxyModel(parent), m_shows(std::move(shows))
{
}

bool FileContentFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
    if (!files)
        return true;
    const QFileInfo info = files->fileInfo(files->index(sourceRow, 0, sourceParent));
    // Only regular files are opened: a pipe would wait for a writer.
    if (!info.isFile())
        return info.isDir();
    const QString path = info.absoluteFilePath();
    const QDateTime modified = info.lastModified();
    const auto known = m_verdicts.constFind(path);
    if (known != m_verdicts.cend() && known->modified == modified)
        return known->shown;
    const bool shown = m_shows(path);
    m_verdicts.insert(path, Verdict{modified, shown});
    return shown;
}
