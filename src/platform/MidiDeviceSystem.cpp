#include "MidiDeviceSystem.h"

#include <QCoreApplication>

int midiShortMessageLength(quint8 status)
{
    if (status < 0x80 || status == 0xF0 || status == 0xF7)
        return 0;
    if (status < 0xC0 || (status >= 0xE0 && status < 0xF0))
        return 3;
    if (status < 0xE0)
        return 2;
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    default:
        return 1;
    }
}

MidiDeviceSystem::MidiDeviceSystem() = default;

MidiDeviceSystem::~MidiDeviceSystem() = default;

void MidiDeviceSystem::closeAll()
{
    endThruOver(m_thruIn, m_thruOut);
    for (const ExtraRoute &route : m_extraThru)
        endExtraThruOver(route.in, route.out);
    for (auto &[handle, state] : m_ins) {
        state.feed->stop();
        state.feed->takeBuffers();
        state.port.reset();
    }
    m_ins.clear();
    m_outs.clear();
}

quint16 MidiDeviceSystem::outDeviceCount()
{
    m_outListed = true;
    return quint16(qBound(0, listOutputs(), 0xFFFF));
}

quint16 MidiDeviceSystem::outCaps(int device, MidiOutCaps &caps)
{
    if (!m_outListed)
        outDeviceCount();
    return outputCaps(device, caps);
}

quint16 MidiDeviceSystem::outOpen(MidiOutHandle &handle, int device, QObject *notify)
{
    handle = 0;
    if (!m_outListed)
        outDeviceCount();
    std::unique_ptr<MidiOutPort> port;
    if (const quint16 result = openOutput(device, port))
        return result;
    handle = m_nextHandle++;
    m_outs[handle] = OutState{std::move(port), QPointer<QObject>(notify)};
    return MidiResult::NoError;
}

quint16 MidiDeviceSystem::outShort(MidiOutHandle handle, quint32 message)
{
    auto it = m_outs.find(handle);
    if (it == m_outs.end())
        return MidiResult::InvalidHandle;
    return it->second.port->sendShort(message);
}

quint16 MidiDeviceSystem::outShorts(MidiOutHandle handle, std::span<const quint32> messages, size_t &sent)
{
    sent = 0;
    auto it = m_outs.find(handle);
    if (it == m_outs.end())
        return MidiResult::InvalidHandle;
    return it->second.port->sendShorts(messages, sent);
}

quint16 MidiDeviceSystem::outPrepare(MidiOutHandle handle, MidiHeader *header)
{
    if (!m_outs.count(handle))
        return MidiResult::InvalidHandle;
    if (!header || !header->data)
        return MidiResult::InvalidParameter;
    header->flags |= MidiHeaderFlag::Prepared;
    return MidiResult::NoError;
}

quint16 MidiDeviceSystem::outLong(MidiOutHandle handle, MidiHeader *header)
{
    auto it = m_outs.find(handle);
    if (it == m_outs.end())
        return MidiResult::InvalidHandle;
    if (!header || !header->data || header->bufferLength == 0)
        return MidiResult::InvalidParameter;
    if (!(header->flags & MidiHeaderFlag::Prepared))
        return MidiResult::Unprepared;
    header->flags &= ~quint32(MidiHeaderFlag::Done);
    if (const quint16 result = it->second.port->sendLong(header->data, header->bufferLength))
        return result;
    header->flags |= MidiHeaderFlag::Done;
    // The bytes have left our buffer (RtMidi writes them out at once on ALSA and copies
    // them for the next process cycle on JACK): the header is its owner's again, and the
    // owner hears of it on its own thread.
    if (QObject *notify = it->second.notify)
        QCoreApplication::postEvent(notify, new MidiOutDoneEvent(header));
    return MidiResult::NoError;
}

quint16 MidiDeviceSystem::outUnprepare(MidiOutHandle handle, MidiHeader *header)
{
    if (!m_outs.count(handle))
        return MidiResult::InvalidHandle;
    if (!header)
        return MidiResult::InvalidParameter;
    header->flags &= ~quint32(MidiHeaderFlag::Prepared);
    return MidiResult::NoError;
}

quint16 MidiDeviceSystem::outReset(MidiOutHandle handle)
{
    return m_outs.count(handle) ? MidiResult::NoError : MidiResult::InvalidHandle;
}

quint16 MidiDeviceSystem::outClose(MidiOutHandle handle)
{
    endThruOver(0, handle);
    endExtraThruOver(0, handle);
    return m_outs.erase(handle) ? MidiResult::NoError : MidiResult::InvalidHandle;
}

quint16 MidiDeviceSystem::inDeviceCount()
{
    m_inListed = true;
    return quint16(qBound(0, listInputs(), 0xFFFF));
}

quint16 MidiDeviceSystem::inCaps(int device, MidiInCaps &caps)
{
    if (!m_inListed)
        inDeviceCount();
    return inputCaps(device, caps);
}

quint16 MidiDeviceSystem::inOpen(MidiInHandle &handle, int device, MidiInCallback callback, quintptr instance)
{
    handle = 0;
    if (!callback)
        return MidiResult::InvalidParameter;
    if (!m_inListed)
        inDeviceCount();
    const MidiInHandle newHandle = m_nextHandle;
    auto feed = std::make_unique<MidiInputFeed>(newHandle, callback, instance);
    std::unique_ptr<MidiInPort> port;
    if (const quint16 result = openInput(device, *feed, port))
        return result;
    ++m_nextHandle;
    handle = newHandle;
    m_ins[handle] = InState{std::move(feed), std::move(port)};
    return MidiResult::NoError;
}

quint16 MidiDeviceSystem::inPrepare(MidiInHandle handle, MidiHeader *header)
{
    if (!m_ins.count(handle))
        return MidiResult::InvalidHandle;
    if (!header || !header->data || header->bufferLength == 0)
        return MidiResult::InvalidParameter;
    header->flags |= MidiHeaderFlag::Prepared;
    return MidiResult::NoError;
}

quint16 MidiDeviceSystem::inAddBuffer(MidiInHandle handle, MidiHeader *header)
{
    auto it = m_ins.find(handle);
    if (it == m_ins.end())
        return MidiResult::InvalidHandle;
    if (!header || !header->data || header->bufferLength == 0)
        return MidiResult::InvalidParameter;
    if (!(header->flags & MidiHeaderFlag::Prepared))
        return MidiResult::Unprepared;
    if (header->flags & MidiHeaderFlag::InQueue)
        return MidiResult::StillPlaying;
    if (const quint16 refusal = it->second.port->bufferRefusal())
        return refusal;
    header->bytesRecorded = 0;
    header->flags = (header->flags & ~quint32(MidiHeaderFlag::Done)) | MidiHeaderFlag::InQueue;
    if (!it->second.feed->addBuffer(header)) {
        header->flags &= ~quint32(MidiHeaderFlag::InQueue);
        return MidiResult::NoMemory;
    }
    return MidiResult::NoError;
}

quint16 MidiDeviceSystem::inUnprepare(MidiInHandle handle, MidiHeader *header)
{
    if (!m_ins.count(handle))
        return MidiResult::InvalidHandle;
    if (!header)
        return MidiResult::InvalidParameter;
    if (header->flags & MidiHeaderFlag::InQueue)
        return MidiResult::StillPlaying;
    header->flags &= ~quint32(MidiHeaderFlag::Prepared);
    return MidiResult::NoError;
}

quint16 MidiDeviceSystem::inStart(MidiInHandle handle)
{
    auto it = m_ins.find(handle);
    if (it == m_ins.end())
        return MidiResult::InvalidHandle;
    it->second.feed->start();
    return MidiResult::NoError;
}

quint16 MidiDeviceSystem::inReset(MidiInHandle handle)
{
    auto it = m_ins.find(handle);
    if (it == m_ins.end())
        return MidiResult::InvalidHandle;
    it->second.feed->stop();
    it->second.feed->takeBuffers();
    return MidiResult::NoError;
}

quint16 MidiDeviceSystem::inClose(MidiInHandle handle)
{
    auto it = m_ins.find(handle);
    if (it == m_ins.end())
        return MidiResult::InvalidHandle;
    if (it->second.feed->hasBuffers())
        return MidiResult::StillPlaying;
    endThruOver(handle, 0);
    endExtraThruOver(handle, 0);
    it->second.feed->stop();
    // The port goes first: it may still hold the feed until it is gone.
    it->second.port.reset();
    m_ins.erase(it);
    return MidiResult::NoError;
}

quint16 MidiDeviceSystem::inLosses(MidiInHandle handle, MidiInLosses &losses)
{
    auto it = m_ins.find(handle);
    if (it == m_ins.end())
        return MidiResult::InvalidHandle;
    const MidiInputFeed::Losses feedLosses = it->second.feed->losses();
    losses.malformed = feedLosses.malformed.total();
    losses.bytesWithoutBuffer = feedLosses.bytesLost;
    return MidiResult::NoError;
}

bool MidiDeviceSystem::routeThru(MidiInHandle in, MidiOutHandle out)
{
    const auto input = m_ins.find(in);
    const auto output = m_outs.find(out);
    if (input == m_ins.end() || output == m_outs.end()) {
        endThruOver(m_thruIn, m_thruOut);
        // Whether the system forwards does not hang on the ports being open.
        return connectThru(nullptr, nullptr);
    }
    if (!connectThru(input->second.port.get(), output->second.port.get()))
        return false;
    m_thruIn = in;
    m_thruOut = out;
    return true;
}

// A port about to close takes the route through it along.
void MidiDeviceSystem::endThruOver(MidiInHandle in, MidiOutHandle out)
{
    if ((m_thruIn == 0 && m_thruOut == 0) || (in != m_thruIn && out != m_thruOut))
        return;
    connectThru(nullptr, nullptr);
    m_thruIn = 0;
    m_thruOut = 0;
}

bool MidiDeviceSystem::routeExtraThru(int source, MidiInHandle in, MidiOutHandle out)
{
    if (source < 1 || source > ThruRules::ExtraInputCount)
        return false;
    ExtraRoute &route = m_extraThru[size_t(source - 1)];
    const auto input = m_ins.find(in);
    const auto output = m_outs.find(out);
    route = {};
    if (input == m_ins.end() || output == m_outs.end())
        return connectExtraThru(source, nullptr, nullptr);
    if (!connectExtraThru(source, input->second.port.get(), output->second.port.get()))
        return false;
    route = {in, out};
    return true;
}

// A port about to close takes every extra route through it along.
void MidiDeviceSystem::endExtraThruOver(MidiInHandle in, MidiOutHandle out)
{
    for (size_t i = 0; i < m_extraThru.size(); ++i) {
        ExtraRoute &route = m_extraThru[i];
        if ((route.in == 0 && route.out == 0) || (in != route.in && out != route.out))
            continue;
        connectExtraThru(int(i) + 1, nullptr, nullptr);
        route = {};
    }
}
