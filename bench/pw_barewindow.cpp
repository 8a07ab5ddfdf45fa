// The start-up baseline: a bare Qt window that, once shown, opens one JACK client and
// sends to PORT. The time from launch to that message is what Qt and one JACK
// client cost before any program of ours does anything.
//   pw_barewindow PORT

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <string>

namespace
{
jack_port_t *g_out = nullptr;
std::atomic<bool> g_pending{false};

int process(jack_nframes_t n, void *)
{
    void *out = jack_port_get_buffer(g_out, n);
    jack_midi_clear_buffer(out);
    // Every cycle once asked: a message written before the server has made the connection
    // would go nowhere, and the probe times only the first that arrives.
    if (g_pending.load()) {
        const jack_midi_data_t note[3] = {0x90, 0x3C, 0x40};
        jack_midi_event_write(out, 0, note, 3);
    }
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const std::string port = argv[1];
    QMainWindow window;
    window.resize(792, 553);
    window.show();
    jack_client_t *client = nullptr;
    QTimer::singleShot(0, [&] {
        client = jack_client_open(("pw-bare-" + std::to_string(QCoreApplication::applicationPid())).c_str(),
                                  JackNoStartServer, nullptr);
        if (!client) {
            QCoreApplication::exit(1);
            return;
        }
        g_out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client, process, nullptr);
        jack_activate(client);
        jack_connect(client, jack_port_name(g_out), port.c_str());
        g_pending.store(true);
    });
    const int status = app.exec();
    if (client)
        jack_client_close(client);
    return status;
}
