#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
class MidiOutputPort;
class OutputRig;

// Sends the Device Inquiry and lists, for two seconds, the units that answer on the
// input, so a player sees before the show which units are there. A rig with units on
// ports of their own is asked one output after the other, each for two seconds, so that
// every reply can say which port its unit answered on; with several inputs it also says
// which input the reply came in on.
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
    // The outputs to ask; without them only the main output is asked.
    void setOutputs(const OutputRig *outputs) { m_outputs = outputs; }

public slots:
    void start();
    // Every SysEx message an input receives; only replies while listening count. A reply
    // names `input`, the device it came in on, unless that is empty.
    void takeSysex(const QByteArray &sysex, const QString &input = QString());

private:
    void finish();
    void askNext();

    MidiOutputPort &m_output;
    const OutputRig *m_outputs = nullptr;
    QList<MidiOutputPort *> m_toAsk;
    QString m_askedPort; // named in each reply while several ports are asked
    int m_answered = 0;
    QPushButton *m_check;
    QListWidget *m_replies;
    QLabel *m_status;
    QTimer m_listen;
};
