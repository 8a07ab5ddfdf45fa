#pragma once

#include <QWidget>

class QLabel;
class QTableWidget;
class RecallSequence;
struct SongControls;
struct UnitRig;

// Lists what recalling the current song sends, message by message, with its time,
// decoded and in hex, and what was last sent on each channel. It builds the same plan
// the recall sends, from the same controls and profiles, so the list cannot differ from
// the wire. It follows every edit of the song's controls.
class SendPreview : public QWidget
{
    Q_OBJECT
public:
    SendPreview(const SongControls &controls, const UnitRig &rig, const RecallSequence &sequence,
                QWidget *parent = nullptr);

    QTableWidget *table() const { return m_table; }
    QLabel *lastSent() const { return m_lastSent; }

public slots:
    // Soon, once: a load changes a hundred controls in a row.
    void refreshSoon();
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;

private:
    const SongControls &m_controls;
    const UnitRig &m_rig;
    const RecallSequence &m_sequence;
    QTableWidget *m_table;
    QLabel *m_lastSent;
    bool m_refreshQueued = false;
};
