// A unit in a process of its own that quits the ordinary way: a JACK client with a MIDI
// input "in" and a MIDI output "out" that says "ready" once active, and closes its client
// (jack_client_close, as any program does on exit) when its standard input ends.
//
//   jack_quitting_unit NAME
//
// It has no process callback: nothing of it runs on JACK's threads.

#include <jack/jack.h>

#include <cstdio>

static int process(jack_nframes_t, void *)
{
    return 0;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: jack_quitting_unit NAME\n");
        return 2;
    }
    jack_status_t status;
    jack_client_t *client = jack_client_open(argv[1], JackNoStartServer, &status);
    if (!client) {
        std::fprintf(stderr, "jack_quitting_unit: no JACK server (status 0x%x)\n", unsigned(status));
        return 1;
    }
    if (!jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0) ||
        !jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0) ||
        jack_set_process_callback(client, process, nullptr) != 0 || jack_activate(client) != 0) {
        std::fprintf(stderr, "jack_quitting_unit: cannot start\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return jack_client_close(client) == 0 ? 0 : 1;
}
