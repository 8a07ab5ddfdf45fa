#include "units/StoredSongPlan.h"

#include "platform/IniFile.h"
#include "songs/ChannelStripsPage.h"
#include "songs/ControllerDataPage.h"
#include "songs/SongFile.h"
#include "songs/SongName.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

StoredSongPlan::StoredSongPlan() : m_root(std::make_unique<QWidget>())
{
    new ChannelStripsPage(1, m_controls, m_root.get());
    new ChannelStripsPage(SongControls::StripCount / 2 + 1, m_controls, m_root.get());
    new ControllerDataPage(m_controls, m_root.get());
    m_file = std::make_unique<SongFile>(m_controls);
    m_file->setExtraValues([this](const IniFile &ini) { m_rig.banks.readFrom(ini); }, [](IniFile &) {});
}

StoredSongPlan::~StoredSongPlan() = default;

QList<PlannedMessage> StoredSongPlan::plan(const QString &name, const UnitProfiles &profiles,
                                           const ProgramsSentOn &last, QString &problem)
{
    const QString path = SongFile::songPath(name);
    problem.clear();
    if (!SongName::staysInFolder(name) || !QFileInfo(path).isFile()) {
        problem = QStringLiteral("There is no song file %1: this song would send nothing.")
                      .arg(QDir::toNativeSeparators(path));
        return {};
    }
    const IniFile ini(path);
    if (ini.isUnreadable()) {
        problem = QStringLiteral("The song file %1 could not be read: %2.")
                      .arg(QDir::toNativeSeparators(path), ini.readError());
        return {};
    }
    m_rig.profiles = profiles;
    m_file->LoadSong(name);
    return buildRecallPlan(m_controls, &m_rig, last);
}
