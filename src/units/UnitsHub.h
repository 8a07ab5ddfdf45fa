#pragma once

#include "units/UnitProfiles.h"

#include <QObject>

class IniFile;
class QMenu;
class RecallSequence;
class RigCheck;
class SendPreview;
class TMidiOutput;
class UnitsWindow;
struct SongControls;

// What the main window hangs the units on: the rig's profiles and the song's banks, the
// profiles window, the send preview, the rig check, and the "Unit profile..." item of every strip's
// unit name.
class UnitsHub : public QObject
{
    Q_OBJECT
public:
    UnitsHub(SongControls &controls, RecallSequence &sequence, TMidiOutput &output,
             const QString &profilesPath, QWidget *windowParent);

    const UnitRig &rig() const { return m_rig; }
    UnitsWindow *unitsWindow() const { return m_units; }
    SendPreview *preview() const { return m_preview; }
    RigCheck *rigCheck() const { return m_rigCheck; }

    // For the song file's extra values.
    void readSong(const IniFile &ini);
    void writeSong(IniFile &ini) const;

    // Adds the windows' items to `menu`.
    void addMenuItems(QMenu *menu);

private:
    UnitRig m_rig;
    UnitsWindow *m_units;
    SendPreview *m_preview;
    RigCheck *m_rigCheck;
};
