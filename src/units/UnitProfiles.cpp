#include "units/UnitProfiles.h"

#include "platform/AppPaths.h"
#include "platform/IniFile.h"

#include <QDir>

#include <algorithm>

namespace
{
const QString BanksSection = QStringLiteral("Unit Banks");
const QString ProfileCount = QStringLiteral("Count");
const QString PortKey = QStringLiteral("Port");

QString profileSection(int n)
{
    return QStringLiteral("Unit %1").arg(n + 1);
}

// "Msb<n>" or "Lsb<n>" of strip n (0-based), made once: every song load reads all of them.
const QString &bankKey(bool lsb, int n)
{
    static const auto keys = [] {
        std::array<std::array<QString, SongBanks::StripCount>, 2> made;
        for (int i = 0; i < SongBanks::StripCount; ++i) {
            made[0][i] = QStringLiteral("Msb%1").arg(i + 1);
            made[1][i] = QStringLiteral("Lsb%1").arg(i + 1);
        }
        return made;
    }();
    return keys[lsb][n];
}

int dataByte(int value)
{
    return std::clamp(value, 0, 127);
}
} // namespace

QString UnitProfiles::defaultPath()
{
    return QDir(AppPaths::dataDir()).filePath(QStringLiteral("Units.ini"));
}

void UnitProfiles::load(const QString &path)
{
    m_profiles.clear();
    const IniFile ini(path);
    const int count = ini.readInteger(QStringLiteral("Units"), ProfileCount, 0);
    for (int n = 0; n < count; ++n) {
        const QString section = profileSection(n);
        UnitProfile profile;
        profile.name = ini.readString(section, QStringLiteral("Name"), QString()).trimmed();
        if (profile.name.isEmpty())
            continue;
        const int mode = ini.readInteger(section, QStringLiteral("Bank Mode"), 0);
        profile.bankMode = mode >= 0 && mode <= int(BankMode::None) ? BankMode(mode) : BankMode::FromBlock;
        profile.pauseMs =
            std::clamp(ini.readInteger(section, QStringLiteral("Pause"), 0), 0, UnitProfile::MaxPauseMs);
        profile.onlyWhenChanged = ini.readBool(section, QStringLiteral("Only When Changed"), false);
        profile.port = ini.readString(section, PortKey, QString()).trimmed();
        set(profile);
    }
}

void UnitProfiles::save(const QString &path) const
{
    // Sections past the count, left by removed profiles, are never read.
    IniFile ini(path);
    ini.writeInteger(QStringLiteral("Units"), ProfileCount, int(m_profiles.size()));
    for (int n = 0; n < m_profiles.size(); ++n) {
        const UnitProfile &profile = m_profiles[n];
        const QString section = profileSection(n);
        ini.writeString(section, QStringLiteral("Name"), profile.name);
        ini.writeInteger(section, QStringLiteral("Bank Mode"), int(profile.bankMode));
        ini.writeInteger(section, QStringLiteral("Pause"), profile.pauseMs);
        ini.writeBool(section, QStringLiteral("Only When Changed"), profile.onlyWhenChanged);
        // A rig on one output keeps the file it always had.
        if (!profile.port.isEmpty() || ini.hasKey(section, PortKey))
            ini.writeString(section, PortKey, profile.port);
    }
    ini.save();
}

const UnitProfile *UnitProfiles::find(const QString &name) const
{
    const QString wanted = name.trimmed();
    if (wanted.isEmpty())
        return nullptr;
    for (const UnitProfile &profile : m_profiles)
        if (profile.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &profile;
    return nullptr;
}

void UnitProfiles::set(UnitProfile profile)
{
    profile.name = profile.name.trimmed();
    profile.port = profile.port.trimmed();
    profile.pauseMs = std::clamp(profile.pauseMs, 0, UnitProfile::MaxPauseMs);
    for (UnitProfile &existing : m_profiles)
        if (existing.name.compare(profile.name, Qt::CaseInsensitive) == 0) {
            existing = profile;
            return;
        }
    m_profiles.append(profile);
}

void UnitProfiles::remove(const QString &name)
{
    m_profiles.removeIf([&](const UnitProfile &p) { return p.name.compare(name, Qt::CaseInsensitive) == 0; });
}

QStringList UnitProfiles::ports() const
{
    QStringList names;
    for (const UnitProfile &profile : m_profiles)
        if (!profile.port.isEmpty() && !names.contains(profile.port))
            names.append(profile.port);
    return names;
}

void SongBanks::readFrom(const IniFile &ini)
{
    // Most songs have no banks of their own: 32 keys not looked up one by one.
    if (!ini.hasSection(BanksSection)) {
        strips = {};
        return;
    }
    for (int n = 0; n < StripCount; ++n) {
        strips[n].msb = dataByte(ini.readInteger(BanksSection, bankKey(false, n), 0));
        strips[n].lsb = dataByte(ini.readInteger(BanksSection, bankKey(true, n), 0));
    }
}

void SongBanks::writeTo(IniFile &ini) const
{
    // A song that never had a bank of its own keeps the file it always had.
    const bool any =
        std::any_of(strips.begin(), strips.end(), [](const Bank &bank) { return bank != Bank{}; });
    if (!any && !ini.hasKey(BanksSection, QStringLiteral("Msb1")))
        return;
    for (int n = 0; n < StripCount; ++n) {
        ini.writeInteger(BanksSection, QStringLiteral("Msb%1").arg(n + 1), strips[n].msb);
        ini.writeInteger(BanksSection, QStringLiteral("Lsb%1").arg(n + 1), strips[n].lsb);
    }
}
