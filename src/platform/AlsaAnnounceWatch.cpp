#include "AlsaAnnounceWatch.h"

#include <QSocketNotifier>

#include <alsa/asoundlib.h>
#include <poll.h>
#include <vector>

struct AlsaAnnounceWatch::Private {
    snd_seq_t *seq = nullptr;
    std::function<void()> changed;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
};

std::unique_ptr<AlsaAnnounceWatch> AlsaAnnounceWatch::open(std::function<void()> changed)
{
    std::unique_ptr<AlsaAnnounceWatch> watch(new AlsaAnnounceWatch);
    watch->d = std::make_unique<Private>();
    Private &d = *watch->d;
    d.changed = std::move(changed);
    if (snd_seq_open(&d.seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
        d.seq = nullptr;
        return nullptr;
    }
    snd_seq_set_client_name(d.seq, "Patchwarden");
    // Not for others to list or connect to: only the system writes to it.
    const int port = snd_seq_create_simple_port(d.seq, "Announcements",
                                                SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                                SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0 ||
        snd_seq_connect_from(d.seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0)
        return nullptr;
    const int count = snd_seq_poll_descriptors_count(d.seq, POLLIN);
    std::vector<pollfd> fds(size_t(count > 0 ? count : 0));
    if (fds.empty() || snd_seq_poll_descriptors(d.seq, fds.data(), unsigned(fds.size()), POLLIN) <= 0)
        return nullptr;
    for (const pollfd &fd : fds) {
        auto notifier = std::make_unique<QSocketNotifier>(fd.fd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                         [self = watch.get()] { self->read(); });
        d.notifiers.push_back(std::move(notifier));
    }
    return watch;
}

AlsaAnnounceWatch::~AlsaAnnounceWatch()
{
    if (!d)
        return;
    d->notifiers.clear();
    if (d->seq)
        snd_seq_close(d->seq);
}

void AlsaAnnounceWatch::read()
{
    bool changed = false;
    for (;;) {
        snd_seq_event_t *event = nullptr;
        const int result = snd_seq_event_input(d->seq, &event);
        if (result == -ENOSPC) {
            // Announcements were lost while we were busy: something may have changed.
            changed = true;
            continue;
        }
        if (result < 0 || !event)
            break;
        switch (event->type) {
        case SND_SEQ_EVENT_CLIENT_START:
        case SND_SEQ_EVENT_CLIENT_EXIT:
        case SND_SEQ_EVENT_CLIENT_CHANGE:
        case SND_SEQ_EVENT_PORT_START:
        case SND_SEQ_EVENT_PORT_EXIT:
        case SND_SEQ_EVENT_PORT_CHANGE:
            changed = true;
            break;
        default:
            break;
        }
    }
    if (changed && d->changed)
        d->changed();
}
