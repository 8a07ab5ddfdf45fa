#include "MidiSystem.h"

#include "JackMidiSystem.h"
#include "MidiProbe.h"
#include "RtMidiSystem.h"
#include "VirtualMidiSystem.h"

#include <QTextStream>

QString MidiSystem::failureText(quint16 code) const
{
    // The classic text buffer held 128 bytes with its terminator.
    constexpr int MaxErrorText = 127;
    QString text;
    if (errorText(code, text) != MidiResult::NoError)
        return QStringLiteral("Specified error number is out of range");
    return text.left(MaxErrorText);
}

quint16 MidiSystem::outShorts(MidiOutHandle handle, std::span<const quint32> messages, size_t &sent)
{
    return sendEachShort(messages, sent, [&](quint32 message) { return outShort(handle, message); });
}

quint16 MidiSystem::errorText(quint16 code, QString &text) const
{
    switch (code) {
    case MidiResult::NoError:
        text = QStringLiteral("The operation completed successfully.");
        break;
    case MidiResult::Error:
        text = QStringLiteral("An unspecified error occurred in the MIDI system.");
        break;
    case MidiResult::BadDeviceId:
        text = QStringLiteral("The MIDI device number is out of range.");
        break;
    case MidiResult::NotEnabled:
        text = QStringLiteral("The MIDI driver failed to enable.");
        break;
    case MidiResult::Allocated:
        text = QStringLiteral("The MIDI device is already in use by another program.");
        break;
    case MidiResult::InvalidHandle:
        text = QStringLiteral("The MIDI device is not open.");
        break;
    case MidiResult::NoDriver:
        text = QStringLiteral("There is no MIDI driver installed.");
        break;
    case MidiResult::NoMemory:
        text = QStringLiteral("There is not enough memory for the MIDI operation.");
        break;
    case MidiResult::NotSupported:
        text = QStringLiteral("The MIDI system does not support this function.");
        break;
    case MidiResult::BadErrorNumber:
        text = QStringLiteral("The error number is out of range.");
        break;
    case MidiResult::InvalidFlag:
        text = QStringLiteral("An invalid flag was passed to the MIDI system.");
        break;
    case MidiResult::InvalidParameter:
        text = QStringLiteral("An invalid parameter was passed to the MIDI system.");
        break;
    case MidiResult::HandleBusy:
        text = QStringLiteral("The MIDI device is busy in another thread.");
        break;
    case MidiResult::Unprepared:
        text = QStringLiteral("The MIDI buffer has not been prepared.");
        break;
    case MidiResult::StillPlaying:
        text = QStringLiteral("MIDI buffers are still in the queue.");
        break;
    case MidiResult::NoMap:
        text = QStringLiteral("There is no MIDI map for this device.");
        break;
    case MidiResult::NotReady:
        text = QStringLiteral("The MIDI port is busy. Try again later.");
        break;
    case MidiResult::NoDevice:
        text = QStringLiteral("The MIDI device is no longer connected.");
        break;
    case MidiResult::InvalidSetup:
        text = QStringLiteral("The MIDI setup is invalid.");
        break;
    case MidiResult::BadOpenMode:
        text = QStringLiteral("The MIDI device cannot do this in its open mode.");
        break;
    case MidiResult::DontContinue:
        text = QStringLiteral("The MIDI system stopped this operation.");
        break;
    default:
        return MidiResult::BadErrorNumber;
    }
    return MidiResult::NoError;
}

std::unique_ptr<MidiSystem> createMidiSystem(const QString &api, QString *error)
{
    QString why;
    std::unique_ptr<MidiSystem> system;
    if (api == QLatin1String("virtual")) {
        system = std::make_unique<VirtualMidiSystem>();
    } else if (api == QLatin1String("alsa")) {
        system = RtMidiSystem::create(&why);
    } else if (api == QLatin1String("jack")) {
        system = JackMidiSystem::create(&why);
    } else if (api == QLatin1String("auto")) {
        // Each system is looked at quietly first, so that one that is not there does not
        // fill the terminal with its library's complaints at every start.
        QString noAlsa;
        QString noJack;
        QString reason;
        if (MidiProbe::alsaSequencer(&noAlsa)) {
            system = RtMidiSystem::create(&noAlsa);
            reason = QStringLiteral("its sequencer is there");
        }
        if (!system && MidiProbe::jackServer(&noJack)) {
            system = JackMidiSystem::create(&noJack);
            reason = noAlsa + QStringLiteral(", a JACK server is running");
        }
        if (!system) {
            system = std::make_unique<VirtualMidiSystem>();
            reason = noAlsa + QStringLiteral(", ") + noJack;
        }
        QTextStream(stderr) << "patchwarden: MIDI system " << system->systemName() << ": " << reason << '\n';
    } else {
        why = QStringLiteral("Unknown MIDI system \"%1\": use auto, alsa, jack or virtual.").arg(api);
    }
    if (!system && error)
        *error = why;
    return system;
}
