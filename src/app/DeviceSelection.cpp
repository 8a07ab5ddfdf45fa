#include "DeviceSelection.h"

#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "platform/GuardedConnect.h"
#include "platform/MidiSystem.h"

#include <QApplication>
#include <QCursor>
#include <QListWidget>
#include <QScopedValueRollback>

namespace
{
// Keeps the hourglass up while the system is asked for its devices.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
QStringList entries(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

// A stored name that is present wins over the stored number.
int pickDevice(const QListWidget *list, int deviceId, const QString &name)
{
    const int byName = name.isEmpty() ? -1 : entries(list).indexOf(name);
    return byName >= 0 ? byName : deviceId;
}

QString missingDevice(const QString &kind, const QListWidget *list, int deviceId, const QString &name)
{
    if (list->count() == 0)
        return DeviceSelection::tr("No MIDI %1 device").arg(kind);
    if (name.isEmpty())
        return DeviceSelection::tr("MIDI %1 device %2 not found").arg(kind).arg(deviceId);
    return DeviceSelection::tr("MIDI %1 device \"%2\" not found").arg(kind, name);
}
} // namespace

DeviceSelection::DeviceSelection(MidiSystem &system, TMidiOutput &out, TMidiInput &in, QListWidget *cmbOutput,
                                 QListWidget *cmbInput, QObject *parent)
    : QObject(parent), m_system(system), m_out(out), m_in(in), m_cmbOutput(cmbOutput), m_cmbInput(cmbInput)
{
    wireList(m_cmbOutput, &DeviceSelection::cmbOutputClick);
    wireList(m_cmbInput, &DeviceSelection::cmbInputClick);
}

void DeviceSelection::wireList(QListWidget *list, void (DeviceSelection::*handler)())
{
    // A click chooses, also on the device already open (which reopens it); moving the
    // selection with the keyboard chooses too.
    connectGuarded(list, &QListWidget::itemClicked, this, handler);
    connect(list, &QListWidget::currentRowChanged, this, [this, handler](int row) {
        if (!m_updatingLists && row >= 0 && QApplication::mouseButtons() == Qt::NoButton)
            guarded([&] { (this->*handler)(); });
    });
}

QStringList DeviceSelection::listOutputs(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i) {
        m_out.setDeviceID(i);
        names.append(m_out.ProductName());
    }
    return names;
}

QStringList DeviceSelection::listInputs(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i) {
        m_in.setDeviceID(quint16(i));
        names.append(m_in.ProductName());
    }
    return names;
}

void DeviceSelection::fillList(QListWidget *list, QStringList names)
{
    QScopedValueRollback guard(m_updatingLists, true);
    list->clear();
    list->addItems(names);
    if (!names.isEmpty())
        list->setCurrentRow(0);
}

void DeviceSelection::Open_Device()
{
    WaitCursor wait;
    fillList(m_cmbInput, listInputs(m_in.DeviceCount()));
    fillList(m_cmbOutput, listOutputs(m_out.DeviceCount()));
}

void DeviceSelection::chooseOutput(int deviceId, const QString &name)
{
    m_outputChosen = false;
    const int id = pickDevice(m_cmbOutput, deviceId, name);
    // -1 is the program's own port; no other negative number names a device.
    if (id >= -1) {
        try {
            m_out.setDeviceID(id);
            m_outputChosen = true;
        } catch (const EmidioutputError &) {
        }
    }
    m_outputProblem = m_outputChosen ? QString() : missingDevice(tr("output"), m_cmbOutput, deviceId, name);
    emit statusChanged();
}

void DeviceSelection::chooseInput(int deviceId, const QString &name)
{
    m_inputChosen = false;
    const int id = pickDevice(m_cmbInput, deviceId, name);
    if (id >= 0 && id < m_cmbInput->count()) {
        try {
            m_in.setDeviceID(quint16(id));
            m_inputChosen = true;
        } catch (const EMidiInputError &) {
        }
    }
    m_inputProblem = m_inputChosen ? QString() : missingDevice(tr("input"), m_cmbInput, deviceId, name);
    emit statusChanged();
}

void DeviceSelection::showChoice()
{
    QScopedValueRollback guard(m_updatingLists, true);
    const auto mark = [](QListWidget *list, bool chosen, int row) {
        if (chosen && row >= 0 && row < list->count()) {
            list->setCurrentRow(row);
        } else {
            list->setCurrentRow(-1);
            list->clearSelection();
        }
    };
    mark(m_cmbOutput, m_outputChosen, m_out.DeviceID());
    mark(m_cmbInput, m_inputChosen, m_in.DeviceID());
}

void DeviceSelection::openPorts()
{
    if (m_inputChosen) {
        m_in.Open();
        m_in.Start();
    }
    if (m_outputChosen)
        m_out.Open();
    emit statusChanged();
}

void DeviceSelection::reopenOutput(int row)
{
    m_out.Close();
    m_outputChosen = false;
    m_outputProblem.clear();
    m_out.setDeviceID(row);
    m_outputChosen = true;
    m_out.Open();
    emit statusChanged();
}

void DeviceSelection::reopenInput(int row)
{
    m_in.Close();
    m_inputChosen = false;
    m_inputProblem.clear();
    m_in.setDeviceID(quint16(row));
    m_inputChosen = true;
    m_in.Open();
    m_in.Start();
    emit statusChanged();
}

void DeviceSelection::cmbOutputClick()
{
    const int row = m_cmbOutput->currentRow();
    if (row >= 0)
        reopenOutput(row);
}

void DeviceSelection::cmbInputClick()
{
    const int row = m_cmbInput->currentRow();
    if (row >= 0)
        reopenInput(row);
}

void DeviceSelection::refresh()
{
    const bool outWasOpen = m_out.IsOpen();
    const bool inWasOpen = m_in.IsOpen();
    const QString outName = m_outputChosen ? m_out.ProductName() : QString();
    const QString inName = m_inputChosen ? m_in.ProductName() : QString();

    m_out.Close();
    m_in.Close();
    {
        // The ports counted their devices when they were made; ask the system afresh.
        WaitCursor wait;
        fillList(m_cmbOutput, listOutputs(m_system.outDeviceCount()));
        fillList(m_cmbInput, listInputs(m_system.inDeviceCount()));
    }
    if (!outName.isEmpty())
        chooseOutput(-2, outName);
    if (!inName.isEmpty())
        chooseInput(-2, inName);
    showChoice();
    if (m_outputChosen && outWasOpen)
        m_out.Open();
    if (m_inputChosen && inWasOpen) {
        m_in.Open();
        m_in.Start();
    }
    emit statusChanged();
}

QString DeviceSelection::outputName() const
{
    return m_outputChosen ? m_out.ProductName() : QString();
}

QString DeviceSelection::inputName() const
{
    return m_inputChosen ? m_in.ProductName() : QString();
}

QStringList DeviceSelection::outputNames() const
{
    return entries(m_cmbOutput);
}

QString DeviceSelection::status() const
{
    const auto describe = [](const QString &kind, bool open, bool chosen, const QString &name,
                             const QString &problem) {
        if (!problem.isEmpty())
            return problem;
        if (!chosen)
            return tr("%1: none").arg(kind);
        return open ? tr("%1: %2").arg(kind, name) : tr("%1: %2 (closed)").arg(kind, name);
    };
    return describe(tr("Out"), m_out.IsOpen(), m_outputChosen, m_out.ProductName(), m_outputProblem) +
           QStringLiteral("  |  ") +
           describe(tr("In"), m_in.IsOpen(), m_inputChosen, m_in.ProductName(), m_inputProblem);
}
