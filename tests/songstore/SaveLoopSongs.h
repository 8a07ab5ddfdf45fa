#pragma once

#include "app/SettingsFile.h"
#include "platform/AppPaths.h"
#include "songs/ControlNumbers.h"
#include "songs/ProjectFile.h"
#include "songs/SongControls.h"
#include "songs/SongFile.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

// The two songs the save loop alternates between. They differ in every stored control,
// and their long texts make a save slow enough for a kill to land inside it.
inline void setLoopSong(SongControls &controls, bool second)
{
    for (const StoredControl &control : storedControls()) {
        QWidget *widget = storedWidget(controls, control);
        switch (control.kind) {
        case ControlKind::Spin: {
            auto *spin = static_cast<SpinEdit *>(widget);
            spin->setValue(second ? spin->maximum() : spin->minimum());
            break;
        }
        case ControlKind::ComboBox:
            static_cast<QComboBox *>(widget)->setCurrentIndex(second ? 127 : 0);
            break;
        case ControlKind::Text:
            static_cast<QLineEdit *>(widget)->setText(QString(2000, second ? u'b' : u'a'));
            break;
        case ControlKind::Check:
            static_cast<QCheckBox *>(widget)->setChecked(second);
            break;
        }
    }
}

// The files a kill may hit: a song, the project (the song list) and the settings file,
// each saved by the code the program saves it with, in one of two large versions.
namespace SaveLoop
{
inline const QStringList kinds{QStringLiteral("song"), QStringLiteral("project"), QStringLiteral("settings")};

inline QString path(const QString &kind)
{
    if (kind == u"settings")
        return AppPaths::settingsFile();
    return SongFile::songPath(QStringLiteral("Loop"));
}

inline void save(const QString &kind, SongControls &controls, bool second)
{
    const QChar fill = second ? u'b' : u'a';
    if (kind == u"song") {
        setLoopSong(controls, second);
        SongFile(controls).SaveSong(QStringLiteral("Loop"));
    } else if (kind == u"project") {
        SongFile::enterDataFolder();
        ProjectFile::write(path(kind), QStringList(3000, QString(20, fill)));
    } else {
        SettingsFile::Values values;
        values.midiOut = second ? 1 : 0;
        values.lastProject = QString(20000, fill) + QStringLiteral(".txt");
        values.midiOutName = QString(20000, fill);
        SettingsFile(path(kind)).writeAll(values);
    }
}
} // namespace SaveLoop
