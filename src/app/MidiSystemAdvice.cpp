#include "MidiSystemAdvice.h"

namespace
{
QString systemName(const QString &api)
{
    if (api == QLatin1String("jack"))
        return QStringLiteral("JACK");
    if (api == QLatin1String("alsa"))
        return QStringLiteral("ALSA");
    if (api == QLatin1String("auto"))
        return QStringLiteral("ALSA or JACK");
    return api;
}
} // namespace

QString MidiSystemAdvice::nextStep(const QString &api)
{
    if (api == QLatin1String("jack"))
        return QStringLiteral(
            "Start a JACK server first (QjackCtl, or \"jackd -d alsa\" in a terminal), then "
            "start Patchwarden again; or start it with \"--midi-api alsa\" or "
            "\"--midi-api auto\".");
    if (api == QLatin1String("alsa"))
        return QStringLiteral("Load the ALSA sequencer (\"sudo modprobe snd-seq\"), then start Patchwarden "
                              "again; or start it with \"--midi-api jack\" while a JACK server runs, or "
                              "with \"--midi-api auto\".");
    return QStringLiteral("Start Patchwarden with \"--midi-api auto\".");
}

QString MidiSystemAdvice::windowText(const QString &api, const QString &why)
{
    return QStringLiteral("The MIDI system %1 could not be opened: %2\n\n"
                          "Patchwarden runs without MIDI devices for now: songs and set lists can be "
                          "edited, nothing is sent or received.\n\n%3")
        .arg(systemName(api), why, nextStep(api));
}

QString MidiSystemAdvice::statusText(const QString &api, const QString &why)
{
    return QStringLiteral("MIDI: none. %1: %2 Start it, then start Patchwarden again.")
        .arg(systemName(api), why);
}
