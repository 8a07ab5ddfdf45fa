#pragma once

#include "songs/ChannelStripsPage.h"
#include "songs/ControllerCommandPage.h"
#include "songs/ControllerDataPage.h"
#include "songs/SongControls.h"
#include "songs/SongsPage.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QWidget>

// The song controls as the main window makes them: the real pages, plus the three set-up
// controls that a song file also keeps.
struct SongWindow {
    QWidget root;
    SongControls controls;
    SongsPage *songsPage;

    SongWindow()
    {
        // In the order the window builds its pages; the song file must not care.
        songsPage = new SongsPage(controls, &root);
        new ControllerCommandPage(controls, &root);
        controls.MidiSendCh = new SpinEdit(1, 16, 1, &root);
        controls.MidiSendCh->setObjectName(QStringLiteral("MidiSendCh"));
        controls.MidiRecCh = new SpinEdit(1, 16, 1, &root);
        controls.MidiRecCh->setObjectName(QStringLiteral("MidiRecCh"));
        controls.ckbRemote = new QCheckBox(QStringLiteral("Remote on"), &root);
        controls.ckbRemote->setObjectName(QStringLiteral("ckbRemote"));
        new ChannelStripsPage(1, controls, &root);
        new ChannelStripsPage(9, controls, &root);
        new ControllerDataPage(controls, &root);
    }
};
