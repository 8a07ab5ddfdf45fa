#pragma once

#include <QWidget>

#include <memory>

class QAbstractItemModel;
class QComboBox;
class QLabel;
class QTableWidget;
class RecallSequence;
class StoredSongPlan;
struct PlannedMessage;
struct UnitRig;

// Shows, message by message with its time, decoded and in hex, either what the latest
// recall of the current song actually sent (a program change left out under "only when
// changed" is not there, one that went out is), or what any song of the set list would
// send if it were chosen now, read from its song file without sending anything. The plan
// of a song is built as the recall builds it, so the list cannot differ from the wire.
//
// Every number in a row is the byte that goes out (0-127: program 0 is the first
// program), except the channel, which counts 1-16 as units label it.
class SendPreview : public QWidget
{
    Q_OBJECT
public:
    SendPreview(const UnitRig &rig, const RecallSequence &sequence, QWidget *parent = nullptr);
    ~SendPreview() override;

    // The set list's songs, offered beside what went out.
    void setSongList(QAbstractItemModel *songs);

    // Entry 0 is what went out for the current song; entry n is song n of the list.
    QComboBox *songChoice() const { return m_choice; }
    QTableWidget *table() const { return m_table; }
    QLabel *lastSent() const { return m_lastSent; }
    QLabel *note() const { return m_note; }

public slots:
    // Soon, once: a load changes a hundred controls in a row.
    void refreshSoon();
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fillChoice();
    void showRows(const QList<PlannedMessage> &messages);
    static QString portName(const QString &device);

    const UnitRig &m_rig;
    const RecallSequence &m_sequence;
    QAbstractItemModel *m_songs = nullptr;
    std::unique_ptr<StoredSongPlan> m_stored;
    QComboBox *m_choice;
    QTableWidget *m_table;
    QLabel *m_note;
    QLabel *m_lastSent;
    bool m_refreshQueued = false;
};
