// The usual way to forward with RtMidi: send from the input callback. Two JACK clients,
// NAME-in (port "in") and NAME-out (port "out"), as RtMidi opens one per port.
//   pw_rtforward NAME     runs until SIGTERM or SIGINT

#include <rtmidi/RtMidi.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace
{
volatile std::sig_atomic_t g_stop = 0;

void forward(double, std::vector<unsigned char> *message, void *out)
{
    static_cast<RtMidiOut *>(out)->sendMessage(message);
}

void onSignal(int)
{
    g_stop = 1;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pw_rtforward NAME\n");
        return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    const std::string name = argv[1];
    try {
        RtMidiOut out(RtMidi::UNIX_JACK, name + "-out");
        RtMidiIn in(RtMidi::UNIX_JACK, name + "-in");
        out.openVirtualPort("out");
        in.ignoreTypes(false, false, false);
        in.setCallback(forward, &out);
        in.openVirtualPort("in");
        while (!g_stop)
            pause();
        in.closePort();
        out.closePort();
    } catch (const RtMidiError &error) {
        std::fprintf(stderr, "pw_rtforward: %s\n", error.what());
        return 1;
    }
    return 0;
}
