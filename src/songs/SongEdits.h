#pragma once

#include <QObject>

#include <vector>

class QWidget;

// Whether the song the controls show differs from its file: every change of a stored
// control counts, except those the program makes itself while it loads a song.
class SongEdits : public QObject
{
    Q_OBJECT
public:
    explicit SongEdits(QObject *parent = nullptr);

    // Follows the change signals of `widgets`; null entries are skipped.
    void watch(const std::vector<QWidget *> &widgets);

    bool isChanged() const { return m_changed; }
    void setChanged(bool changed);
    // An edit made outside the watched controls, e.g. a bank in the units window.
    void markChanged() { setChanged(true); }

    // While one is alive, control changes are the program's own.
    class Loading
    {
    public:
        explicit Loading(SongEdits &edits) : m_edits(edits) { ++m_edits.m_loading; }
        ~Loading() { --m_edits.m_loading; }
        Loading(const Loading &) = delete;
        Loading &operator=(const Loading &) = delete;

    private:
        SongEdits &m_edits;
    };

signals:
    void changedChanged(bool changed);

private:
    void controlChanged();

    bool m_changed = false;
    int m_loading = 0;
};
