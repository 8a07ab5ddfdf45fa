#pragma once

#include <QObject>
#include <QStringList>

class MidiSystem;
class QListWidget;
class TMidiInput;
class TMidiOutput;

// The two device lists of the page "Midi Setup" and the choice of device of each port.
//
// A device that is missing (no device at all, a stored number that no longer exists, a
// name that is not present) leaves its port closed and its list without a selection;
// the reason goes to the status line, and nothing stops.
class DeviceSelection : public QObject
{
    Q_OBJECT
public:
    DeviceSelection(MidiSystem &system, TMidiOutput &out, TMidiInput &in, QListWidget *cmbOutput,
                    QListWidget *cmbInput, QObject *parent = nullptr);

    // Fills both lists with the devices' names; each port ends on its last device.
    void Open_Device();

    // Chooses the devices from the settings. A name that is present wins over the
    // number; otherwise the number is taken when the port accepts it.
    void chooseOutput(int deviceId, const QString &name);
    void chooseInput(int deviceId, const QString &name);
    // Marks the chosen devices in the lists; a port without a device shows none.
    void showChoice();
    // Opens (and starts) the chosen devices; a device that refuses stays closed.
    void openPorts();

    bool hasOutput() const { return m_outputChosen; }
    bool hasInput() const { return m_inputChosen; }
    QString outputName() const;
    QString inputName() const;
    QStringList outputNames() const;
    // One line for the status bar: which devices are in use, or why not.
    QString status() const;

public slots:
    void cmbOutputClick();
    void cmbInputClick();
    // Lists the devices again (one plugged in after start appears) and keeps each open
    // port on the device it had, found by name.
    void refresh();

signals:
    void statusChanged();

private:
    void fillList(QListWidget *list, QStringList names);
    // The names of devices 0 .. count - 1; each port ends on its last device.
    QStringList listOutputs(int count);
    QStringList listInputs(int count);
    void reopenOutput(int row);
    void reopenInput(int row);
    void wireList(QListWidget *list, void (DeviceSelection::*handler)());

    MidiSystem &m_system;
    TMidiOutput &m_out;
    TMidiInput &m_in;
    QListWidget *m_cmbOutput;
    QListWidget *m_cmbInput;
    bool m_outputChosen = false;
    bool m_inputChosen = false;
    bool m_updatingLists = false;
    QString m_outputProblem;
    QString m_inputProblem;
};
