#pragma once

#include <QWidget>

class QCheckBox;
class QListWidget;
class QPushButton;
class SpinEdit;

// The page "Midi Setup": device lists, channels and the remote switch. Widgets only; the
// main window and DeviceSelection give them their behaviour.
class MidiSetupPage : public QWidget
{
    Q_OBJECT
public:
    explicit MidiSetupPage(QWidget *parent = nullptr);

    QListWidget *cmbOutput() const { return m_cmbOutput; }
    QListWidget *cmbInput() const { return m_cmbInput; }
    SpinEdit *MidiSendCh() const { return m_midiSendCh; }
    SpinEdit *MidiRecCh() const { return m_midiRecCh; }
    QCheckBox *ckbRemote() const { return m_ckbRemote; }
    QPushButton *ToolButton1() const { return m_toolButton1; }
    QPushButton *refreshButton() const { return m_refresh; }
    // A group of controls added below the page's own.
    void addGroup(QWidget *group);
    // The program's own ports, chosen beside the lists: a list entry's place is its device number.
    QCheckBox *ckbOwnOutput() const { return m_ckbOwnOutput; }
    QCheckBox *ckbOwnInput() const { return m_ckbOwnInput; }
    QCheckBox *ckbResendOnReturn() const { return m_ckbResendOnReturn; }

private:
    QListWidget *m_cmbOutput;
    QListWidget *m_cmbInput;
    SpinEdit *m_midiSendCh;
    SpinEdit *m_midiRecCh;
    QCheckBox *m_ckbRemote;
    QPushButton *m_toolButton1;
    QPushButton *m_refresh;
    QCheckBox *m_ckbOwnOutput;
    QCheckBox *m_ckbOwnInput;
    QCheckBox *m_ckbResendOnReturn;
};
