#include "SettingsFile.h"

#include "platform/IniFile.h"

namespace
{
const QString Midi = QStringLiteral("Midi");
const QString Remote = QStringLiteral("Remote");
const QString Project = QStringLiteral("Project");
const QString DeviceNames = QStringLiteral("Device Names");
const QString MidiOut = QStringLiteral("Midi Out");
const QString MidiIn = QStringLiteral("Midi In");
const QString MidiOutCh = QStringLiteral("Midi Out CH");
const QString RemoteChannel = QStringLiteral("Remote Channel");
const QString Stade = QStringLiteral("Stade");
const QString LastOne = QStringLiteral("Last one");
const QString MidiOutName = QStringLiteral("Midi Out Name");
const QString MidiInName = QStringLiteral("Midi In Name");
const QString ReturningUnits = QStringLiteral("Returning Units");
const QString SendCurrentSong = QStringLiteral("Send Current Song");

void writeOwnSections(IniFile &ini, const SettingsFile::Values &values)
{
    ini.writeString(DeviceNames, MidiOutName, values.midiOutName);
    ini.writeString(DeviceNames, MidiInName, values.midiInName);
    ini.writeBool(ReturningUnits, SendCurrentSong, values.resendOnReturn);
}
} // namespace

SettingsFile::SettingsFile(QString path) : m_path(std::move(path)) {}

SettingsFile::Values SettingsFile::read() const
{
    const IniFile ini(m_path);
    Values v;
    v.midiOut = ini.readInteger(Midi, MidiOut, 0);
    v.midiIn = ini.readInteger(Midi, MidiIn, 0);
    v.remoteOn = ini.readBool(Remote, Stade, false);
    v.remoteChannel = ini.readInteger(Remote, RemoteChannel, 1);
    v.sendChannel = ini.readInteger(Midi, MidiOutCh, 1);
    v.lastProject = ini.readString(Project, LastOne, QLatin1String(DefaultProject));
    v.midiOutName = ini.readString(DeviceNames, MidiOutName, QString());
    v.midiInName = ini.readString(DeviceNames, MidiInName, QString());
    v.resendOnReturn = ini.readBool(ReturningUnits, SendCurrentSong, false);
    return v;
}

QString SettingsFile::storedProjectFile() const
{
    return IniFile(m_path).readString(Project, LastOne, QString());
}

QString SettingsFile::readError() const
{
    return IniFile(m_path).readError();
}

void SettingsFile::writeAll(const Values &values) const
{
    IniFile ini(m_path);
    ini.writeInteger(Midi, MidiIn, values.midiIn);
    ini.writeInteger(Midi, MidiOut, values.midiOut);
    if (!values.lastProject.isNull())
        ini.writeString(Project, LastOne, values.lastProject);
    ini.writeInteger(Remote, RemoteChannel, values.remoteChannel);
    ini.writeInteger(Midi, MidiOutCh, values.sendChannel);
    ini.writeBool(Remote, Stade, values.remoteOn);
    writeOwnSections(ini, values);
    ini.save();
}

void SettingsFile::writeDefaults(const Values &values) const
{
    IniFile ini(m_path);
    ini.writeInteger(Midi, MidiIn, values.midiIn);
    ini.writeInteger(Midi, MidiOut, values.midiOut);
    ini.writeBool(Remote, Stade, values.remoteOn);
    ini.writeInteger(Remote, RemoteChannel, values.remoteChannel);
    ini.writeInteger(Midi, MidiOutCh, values.sendChannel);
    writeOwnSections(ini, values);
    ini.save();
}
