// The floor: a native JACK client that copies each input event to its output in the same
// cycle, at the same offset. Nothing can forward faster through JACK.
//   pw_passthru NAME      runs until SIGTERM or SIGINT

#include <jack/jack.h>
#include <jack/midiport.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace
{
jack_port_t *g_in = nullptr;
jack_port_t *g_out = nullptr;
volatile std::sig_atomic_t g_stop = 0;

int process(jack_nframes_t n, void *)
{
    void *in = jack_port_get_buffer(g_in, n);
    void *out = jack_port_get_buffer(g_out, n);
    jack_midi_clear_buffer(out);
    const uint32_t count = jack_midi_get_event_count(in);
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t ev;
        if (jack_midi_event_get(&ev, in, i) == 0)
            jack_midi_event_write(out, ev.time, ev.buffer, ev.size);
    }
    return 0;
}

void onSignal(int)
{
    g_stop = 1;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pw_passthru NAME\n");
        return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    jack_client_t *client = jack_client_open(argv[1], JackNoStartServer, nullptr);
    if (!client)
        return 1;
    g_in = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    g_out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, process, nullptr);
    if (jack_activate(client) != 0)
        return 1;
    while (!g_stop)
        pause();
    jack_deactivate(client);
    jack_client_close(client);
    return 0;
}
