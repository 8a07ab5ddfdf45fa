// Any bytes as an input port's stream, cut into driver events at places the input itself
// chooses. What comes out must be well-formed MIDI, and must not depend on where the
// driver cut the stream: a driver may hand over one byte at a time or a whole cycle at once.
#include "MidiMessages.h"
#include "platform/MidiStreamParser.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz property broken: %s\n", what);
    std::abort();
}

#define STREAM_CHECK(condition)                                                                              \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            fail(#condition);                                                                                \
    } while (false)

// What the parser said, with the adjacent pieces of one SysEx joined (a real-time byte
// inside a SysEx splits it, wherever the driver cut): how the driver cut the stream
// may change the pieces, never their bytes or their order among the messages.
struct Recorder final : MidiStreamParser::Sink {
    std::vector<std::string> said;
    bool sysexOpen = false;

    void message(const uint8_t *bytes, size_t length) override
    {
        STREAM_CHECK(isWellFormedShort(bytes, length));
        said.emplace_back(reinterpret_cast<const char *>(bytes), length);
        said.back().insert(0, "m");
    }
    void sysex(const uint8_t *bytes, size_t length, bool ends) override
    {
        STREAM_CHECK(length > 0);
        for (size_t i = 0; i < length; ++i) {
            const bool first = i == 0 && !sysexOpen;
            const bool last = ends && i + 1 == length;
            if (first)
                STREAM_CHECK(bytes[i] == 0xF0);
            else if (last)
                STREAM_CHECK(bytes[i] == 0xF7);
            else
                STREAM_CHECK(bytes[i] < 0x80);
        }
        if (!sysexOpen || said.empty() || said.back()[0] != 's')
            said.emplace_back("s");
        said.back().append(reinterpret_cast<const char *>(bytes), length);
        if (ends)
            said.back().append("|end");
        sysexOpen = !ends;
    }
    void sysexBroken() override
    {
        // What was handed out since the last real-time byte depends on the cuts; the sink
        // drops it all the same, so only the break itself counts.
        if (sysexOpen && !said.empty() && said.back()[0] == 's')
            said.pop_back();
        said.emplace_back("broken");
        sysexOpen = false;
    }
};

bool sameDrops(const MidiStreamParser::Drops &a, const MidiStreamParser::Drops &b)
{
    return a.strayData == b.strayData && a.incomplete == b.incomplete && a.brokenSysex == b.brokenSysex &&
           a.strayEnd == b.strayEnd && a.undefined == b.undefined;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const size_t cuts = input.ConsumeIntegralInRange<size_t>(0, 64);
    std::vector<size_t> eventLengths;
    for (size_t i = 0; i < cuts; ++i)
        eventLengths.push_back(input.ConsumeIntegralInRange<size_t>(0, 64));
    const std::vector<uint8_t> stream = input.ConsumeRemainingBytes<uint8_t>();

    MidiStreamParser whole;
    Recorder atOnce;
    whole.parse(stream.data(), stream.size(), atOnce);

    MidiStreamParser cut;
    Recorder inEvents;
    size_t at = 0;
    for (size_t length : eventLengths) {
        length = std::min(length, stream.size() - at);
        cut.parse(stream.data() + at, length, inEvents);
        at += length;
    }
    cut.parse(stream.data() + at, stream.size() - at, inEvents);

    STREAM_CHECK(atOnce.said == inEvents.said);
    STREAM_CHECK(sameDrops(whole.drops(), cut.drops()));
    return 0;
}
