#pragma once

#include "SongWindow.h"

#include "midi/MidiOut.h"
#include "recall/SongRecall.h"
#include "units/RecallSequence.h"
#include "units/UnitsHub.h"
#include "units/UnitsWindow.h"
#include "widgets/ActivityLeds.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QToolButton>

// The song controls with the recall and the units hung on them as the main window hangs
// them, sending to `output`.
struct UnitsFixture {
    QToolButton inLed;
    QToolButton outLed;
    ActivityLeds leds{&inLed, &outLed};
    SongWindow window;
    SongRecall recall;
    UnitsHub hub;

    UnitsFixture(MidiOutputPort &output, const QString &profilesPath)
        : recall(window.controls, output, leds),
          hub(window.controls, recall.sequence(), output, profilesPath, &window.root)
    {
        recall.setUnits(&hub.rig());
    }

    ChannelStrip &strip(int n) { return window.controls.strips[n - 1]; }

    void setStrip(int n, const QString &unit, int channel, int program, bool block)
    {
        strip(n).unitName->setText(unit);
        strip(n).channel->setValue(channel);
        strip(n).program->setValue(program);
        strip(n).controllerData->setChecked(block);
        strip(n).active->setChecked(true);
    }

    void setProfile(const QString &unit, BankMode mode, int pauseMs, bool onlyWhenChanged)
    {
        setUnitProfile(*hub.unitsWindow(), unit, mode, pauseMs, onlyWhenChanged);
    }

    // Through the profiles window, as the user sets a profile up.
    static void setUnitProfile(UnitsWindow &w, const QString &unit, BankMode mode, int pauseMs,
                               bool onlyWhenChanged)
    {
        w.editUnit(unit);
        w.bankMode()->setCurrentIndex(int(mode));
        w.pause()->setValue(pauseMs);
        w.programChange()->setCurrentIndex(onlyWhenChanged ? 1 : 0);
    }

    void setBank(int strip, int msb, int lsb)
    {
        hub.unitsWindow()->msb(strip - 1)->setValue(msb);
        hub.unitsWindow()->lsb(strip - 1)->setValue(lsb);
    }
};
