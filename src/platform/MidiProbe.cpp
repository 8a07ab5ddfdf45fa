#include "MidiProbe.h"

#include <alsa/asoundlib.h>
#include <cstdarg>
#include <cstdio>
#include <jack/jack.h>

namespace
{
void quietAlsa(const char *, int, const char *, int, const char *, ...) {}
void quietJack(const char *) {}
void jackToStderr(const char *message)
{
    std::fprintf(stderr, "%s\n", message);
}
} // namespace

bool MidiProbe::alsaSequencer(QString *why)
{
    snd_lib_error_set_handler(&quietAlsa);
    snd_seq_t *seq = nullptr;
    const int result = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0);
    if (result >= 0)
        snd_seq_close(seq);
    snd_lib_error_set_handler(nullptr);
    if (result < 0 && why)
        *why = QStringLiteral("no ALSA sequencer (%1)").arg(QString::fromLocal8Bit(snd_strerror(result)));
    return result >= 0;
}

bool MidiProbe::jackServer(QString *why)
{
    jack_set_error_function(&quietJack);
    jack_set_info_function(&quietJack);
    jack_status_t status{};
    jack_client_t *client = jack_client_open("Patchwarden probe", JackNoStartServer, &status);
    if (client)
        jack_client_close(client);
    jack_set_error_function(&jackToStderr);
    jack_set_info_function(&jackToStderr);
    if (!client && why)
        *why = QStringLiteral("no JACK server running");
    return client != nullptr;
}
