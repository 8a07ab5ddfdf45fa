#pragma once

#include "midi/MidiIn.h"
#include "midi/MidiOut.h"
#include "mixer/MixerWindow.h"
#include "platform/VirtualMidiSystem.h"
#include "support/RecordingDialogs.h"
#include "widgets/ActivityLeds.h"
#include "widgets/SpinEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QToolButton>

// The parts of the main window the mixer works with, real ones, around a mixer window.
// The output port is open on the first of two virtual devices; the input port is open
// on a virtual keyboard and hands every short message to the mixer as the main window does.
struct MixerRig {
    MixerRig()
    {
        synthA = &midi.addOutput(QStringLiteral("Synth A"));
        midi.addOutput(QStringLiteral("Expander B"));
        midiOut = std::make_unique<MidiOutputPort>(midi);
        midiOut->setDeviceID(0);
        midiOut->Open();

        keyboard = &midi.addInput(QStringLiteral("Keyboard"));
        midiIn = std::make_unique<MidiInputPort>(midi);
        midiIn->setDeviceID(0);
        midiIn->Open();
        midiIn->Start();
        QObject::connect(midiIn.get(), &MidiInputPort::inputWaiting, [this] {
            while (midiIn->PendingCount() > 0)
                midiIn->ReadEvent();
        });
        QObject::connect(midiIn.get(), &MidiInputPort::messageRead, [this] {
            mixer->showInput(midiIn->LastStatus(), midiIn->LastData1(), midiIn->LastData2());
            ++received;
        });

        cmbOutput.addItems({QStringLiteral("Synth A"), QStringLiteral("Expander B")});
        inLed.setVisible(false);
        outLed.setVisible(false);

        MixerLinks links;
        links.midiOut = midiOut.get();
        links.sendChannel = &sendChannel;
        links.outputState = [] { return QStringLiteral("MIDI Out: Synth A (closed)"); };
        links.leds = &leds;
        links.lastInputStatus = [this] { return midiIn->LastStatus(); };
        mixer = std::make_unique<MixerWindow>(links);
    }

    template <typename T> T *child(const QString &name) const
    {
        T *found = mixer->findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }

    QString text(const QString &name) const { return child<QLineEdit>(name)->text(); }

    // Types into a field the way a user does: focus, replace the text, move on.
    void typeInto(QWidget *field, const QString &keys)
    {
        showActive();
        field->setFocus();
        if (auto *edit = qobject_cast<QLineEdit *>(field))
            edit->selectAll();
        QTest::keyClicks(field, keys);
        child<QWidget>(QStringLiteral("Button1"))->setFocus();
    }

    // Plays one message into the input port and waits until the program has taken it.
    void play(quint8 status, quint8 data1, quint8 data2)
    {
        const int before = received;
        keyboard->feedShort(status, data1, data2);
        QTRY_COMPARE_WITH_TIMEOUT(received, before + 1, 5000);
    }

    void showActive()
    {
        if (!mixer->isVisible()) {
            mixer->show();
            QApplication::setActiveWindow(mixer.get());
            QVERIFY(QTest::qWaitForWindowActive(mixer.get()));
        }
    }

    RecordingDialogs dialogs;
    VirtualMidiSystem midi;
    VirtualOutput *synthA = nullptr;
    std::unique_ptr<MidiOutputPort> midiOut;
    SpinEdit sendChannel{1, 16, 1};
    QListWidget cmbOutput;
    QToolButton inLed;
    QToolButton outLed;
    ActivityLeds leds{&inLed, &outLed};
    VirtualInput *keyboard = nullptr;
    std::unique_ptr<MidiInputPort> midiIn;
    int received = 0;
    std::unique_ptr<MixerWindow> mixer;
};
