#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
class MidiOutputPort;

// Sends the Device Inquiry and lists, for two seconds, the units that answer on the
// input, so a player sees before the show which units are there.
class RigCheck : public QWidget
{
    Q_OBJECT
public:
    static constexpr int ListenMs = 2000;

    explicit RigCheck(MidiOutputPort &output, QWidget *parent = nullptr);

    QPushButton *checkButton() const { return m_check; }
    QListWidget *replies() const { return m_replies; }
    QLabel *status() const { return m_status; }
    bool isListening() const { return m_listen.isActive(); }

public slots:
    void start();
    // Every SysEx message the input receives; only replies while listening count.
    void takeSysex(const QByteArray &sysex);

private:
    void finish();

    MidiOutputPort &m_output;
    QPushButton *m_check;
    QListWidget *m_replies;
    QLabel *m_status;
    QTimer m_listen;
};
