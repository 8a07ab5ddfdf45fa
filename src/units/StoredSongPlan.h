#pragma once

#include "songs/SongControls.h"
#include "units/RecallPlan.h"
#include "units/UnitProfiles.h"

#include <QList>
#include <QString>

#include <memory>

class QWidget;
class SongFile;

// What a song of the list would send if it were chosen now, read from its song file into
// song controls of its own: the window's controls, the units' banks and the port are left
// alone, and nothing is sent.
class StoredSongPlan
{
public:
    StoredSongPlan();
    ~StoredSongPlan();

    // The plan of the song `name` with the rig's `profiles`, against what the units were
    // last sent. Empty, with `problem` saying why, when its file cannot be read or is missing.
    QList<PlannedMessage> plan(const QString &name, const UnitProfiles &profiles, const ProgramsSentOn &last,
                               QString &problem);

private:
    // Never shown, and outside every window, so that nothing looking for a control by
    // its name finds these.
    std::unique_ptr<QWidget> m_root;
    SongControls m_controls;
    UnitRig m_rig;
    std::unique_ptr<SongFile> m_file;
};
