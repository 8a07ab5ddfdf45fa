#include "ExtraInputs.h"

#include "app/DeviceSelection.h"
#include "midi/EventRing.h"
#include "midi/MidiIn.h"
#include "platform/AppException.h"
#include "platform/IniFile.h"
#include "recall/IncomingMidi.h"

const char *const ExtraInputs::Section = "Extra Inputs";

namespace
{
QString key(int index, const char *what)
{
    return QStringLiteral("Input %1%2").arg(index + 1).arg(QLatin1String(what));
}
} // namespace

ExtraInputs::ExtraInputs(MidiSystem &system, DeviceSelection &devices,
                         std::function<IncomingMidi *(MidiInputPort &)> makeReader, QObject *parent)
    : QObject(parent), m_system(system), m_devices(devices), m_makeReader(std::move(makeReader))
{
}

ExtraInputs::~ExtraInputs()
{
    // Nobody is to hear of inputs going while the window goes.
    blockSignals(true);
    clear();
}

void ExtraInputs::clear()
{
    while (!m_entries.empty())
        remove(count() - 1);
}

bool ExtraInputs::missing(int index) const
{
    return m_devices.extraInputMissing(port(index));
}

bool ExtraInputs::add(const Input &input)
{
    if (count() >= MaxInputs)
        return false;
    Entry entry;
    entry.settings = input;
    entry.port = std::make_unique<MidiInputPort>(m_system);
    entry.port->setObjectName(QStringLiteral("MidiIn%1").arg(count() + 2));
    // A keyboard here may play as fast as one on the main input: the same ring.
    entry.port->setCapacity(MaxRingSlots);
    entry.reader = m_makeReader(*entry.port);
    entry.reader->setSource(count() + 1);
    MidiInputPort &port = *entry.port;
    m_entries.push_back(std::move(entry));
    // The rules for its number first: it may forward from its first message on.
    emit changed();
    m_devices.addExtraInput(port, input.name);
    emit listChanged();
    return true;
}

void ExtraInputs::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    Entry &entry = m_entries[size_t(index)];
    m_devices.removeExtraInput(*entry.port); // closes it, and its route with it
    delete entry.reader;
    m_entries.erase(m_entries.begin() + index);
    renumber();
    emit changed();
    emit listChanged();
}

void ExtraInputs::renumber()
{
    for (int i = 0; i < count(); ++i)
        m_entries[size_t(i)].reader->setSource(i + 1);
    routeThru();
}

void ExtraInputs::routeThru()
{
    for (const Entry &entry : m_entries)
        entry.reader->routeThru();
}

void ExtraInputs::setDevice(int index, const QString &name)
{
    Entry &entry = m_entries[size_t(index)];
    if (entry.settings.name == name)
        return;
    entry.settings.name = name;
    m_devices.chooseExtraInput(*entry.port, name);
    routeThru();
}

void ExtraInputs::setThru(int index, bool on)
{
    m_entries[size_t(index)].settings.thru = on;
    emit changed();
}

void ExtraInputs::setRemote(int index, bool on)
{
    m_entries[size_t(index)].settings.remote = on;
    emit changed();
}

void ExtraInputs::setSwitches(int index, bool on)
{
    m_entries[size_t(index)].settings.switches = on;
    emit changed();
}

void ExtraInputs::setMainRemote(bool on)
{
    m_mainRemote = on;
    emit changed();
}

void ExtraInputs::setMainSwitches(bool on)
{
    m_mainSwitches = on;
    emit changed();
}

void ExtraInputs::fillThruRules(ThruRules &rules) const
{
    rules.inputs[0].remote = m_mainRemote;
    rules.inputs[0].switches = m_mainSwitches;
    for (int i = 0; i < count(); ++i) {
        const Input &input = m_entries[size_t(i)].settings;
        rules.inputs[size_t(i) + 1] = {input.thru, input.remote, input.switches};
    }
}

ExtraInputs::Stored ExtraInputs::stored(const IniFile &ini)
{
    const QString section = QLatin1String(Section);
    Stored stored;
    stored.mainRemote = ini.readBool(section, QStringLiteral("Main Input Remote"), true);
    stored.mainSwitches = ini.readBool(section, QStringLiteral("Main Input Foot Switches"), true);
    const int count = std::clamp(ini.readInteger(section, QStringLiteral("Count"), 0), 0, int(MaxInputs));
    for (int i = 0; i < count; ++i)
        stored.inputs.append({ini.readString(section, key(i, ""), QString()),
                              ini.readBool(section, key(i, " Thru"), true),
                              ini.readBool(section, key(i, " Remote"), true),
                              ini.readBool(section, key(i, " Foot Switches"), true)});
    return stored;
}

void ExtraInputs::read(const IniFile &ini)
{
    clear();
    const Stored kept = stored(ini);
    m_mainRemote = kept.mainRemote;
    m_mainSwitches = kept.mainSwitches;
    for (const Input &input : kept.inputs)
        add(input);
    emit changed();
}

void ExtraInputs::write(IniFile &ini) const
{
    const QString section = QLatin1String(Section);
    if (m_entries.empty() && m_mainRemote && m_mainSwitches && !ini.hasSection(section))
        return;
    ini.writeBool(section, QStringLiteral("Main Input Remote"), m_mainRemote);
    ini.writeBool(section, QStringLiteral("Main Input Foot Switches"), m_mainSwitches);
    ini.writeInteger(section, QStringLiteral("Count"), count());
    for (int i = 0; i < count(); ++i) {
        const Input &input = m_entries[size_t(i)].settings;
        ini.writeString(section, key(i, ""), input.name);
        ini.writeBool(section, key(i, " Thru"), input.thru);
        ini.writeBool(section, key(i, " Remote"), input.remote);
        ini.writeBool(section, key(i, " Foot Switches"), input.switches);
    }
}
