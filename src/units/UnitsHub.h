#pragma once

#include "units/UnitProfiles.h"

#include <QObject>
#include <QPair>
#include <QStringList>

#include <functional>

class IniFile;
class QAbstractItemModel;
class QMenu;
class RecallSequence;
class RigCheck;
class SendPreview;
class MidiOutputPort;
class OutputRig;
class UnitsWindow;
struct SongControls;

// What the main window hangs the units on: the rig's profiles and the song's banks, the
// profiles window, the send preview, the rig check, and the "Unit profile..." item of every strip's
// unit name.
class UnitsHub : public QObject
{
    Q_OBJECT
public:
    UnitsHub(SongControls &controls, RecallSequence &sequence, MidiOutputPort &output,
             const QString &profilesPath, QWidget *windowParent);

    const UnitRig &rig() const { return m_rig; }
    // The profiles window and the send preview are made by makeWindows(), or when first
    // asked for: sending a song needs only the rig.
    void makeWindows();
    UnitsWindow *unitsWindow();
    SendPreview *preview();
    RigCheck *rigCheck() const { return m_rigCheck; }
    // The set list, whose songs the send preview offers.
    void setSongList(QAbstractItemModel *songs);

    // For the song file's extra values.
    void readSong(const IniFile &ini);
    void writeSong(IniFile &ini) const;

    // The outputs of the rig: each device a profile names gets its port there, from now
    // on and whenever the profiles change. `listed` gives the output devices listed now.
    void setOutputs(OutputRig &outputs, std::function<QStringList()> listed);
    // Each unit with a profile and the device it is bound to (empty: the main output).
    QList<QPair<QString, QString>> unitPorts() const;

    // Adds the windows' items to `menu`.
    void addMenuItems(QMenu *menu);

signals:
    // The song's banks were edited: the song differs from its file.
    void songEdited();
    // A profile changed: the ports the units name may have changed.
    void profilesChanged();

private:
    SongControls &m_controls;
    RecallSequence &m_sequence;
    QString m_profilesPath;
    QWidget *m_windowParent;
    UnitRig m_rig;
    UnitsWindow *m_units = nullptr;
    SendPreview *m_preview = nullptr;
    QAbstractItemModel *m_songs = nullptr;
    RigCheck *m_rigCheck;
    OutputRig *m_outputs = nullptr;
    std::function<QStringList()> m_listedOutputs;
};
