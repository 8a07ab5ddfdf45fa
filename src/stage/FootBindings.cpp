#include "stage/FootBindings.h"

#include "platform/IniFile.h"
#include "platform/MidiThruGate.h"

#include <QStringList>
#include <algorithm>

namespace
{
const char *const Keys[] = {"Next song", "Previous song", "Re-send"};
const char *const KindNames[] = {"", "controller", "note", "program"};
} // namespace

const char *const FootBindings::Section = "Foot controller";

FootBindings::FootBindings(std::function<void(Action)> act, QObject *parent)
    : QObject(parent), m_act(std::move(act))
{
}

void FootBindings::learn(Action action)
{
    m_learning = action;
    emit changed();
}

void FootBindings::setBinding(Action action, Binding binding)
{
    m_bindings[action] = binding;
    m_lastPress[action].invalidate();
    emit changed();
}

FootBindings::Binding FootBindings::heard(quint8 status, quint8 data1, quint8 data2, bool &press)
{
    // Thru keeps a switch's messages back by the same reading of them.
    const ThruRules::Switch s = ThruRules::heard(status, data1, data2, press);
    return {Binding::Kind(s.kind), s.channel, s.number};
}

void FootBindings::fillThruRules(ThruRules &rules) const
{
    rules.keepRemoteOut = m_keepOutOfThru;
    rules.learning = learning();
    for (int a = 0; a < ActionCount; ++a)
        rules.switches[size_t(a)] = {ThruRules::Switch::Kind(m_bindings[a].kind),
                                     quint8(m_bindings[a].channel), quint8(m_bindings[a].number)};
}

bool FootBindings::take(quint8 status, quint8 data1, quint8 data2)
{
    bool press = false;
    const Binding b = heard(status, data1, data2, press);
    if (b.kind == Binding::None)
        return false;
    if (m_learning >= 0) {
        // Learning waits for a press: the release of the pedal that started it is no binding.
        if (!press)
            return false;
        const auto action = Action(m_learning);
        m_learning = -1;
        setBinding(action, b);
        // The learning press itself has acted as far as the debounce is concerned, so
        // that its own bounces do not step the song.
        m_lastPress[action].start();
        return true;
    }
    bool ours = false;
    for (int a = 0; a < ActionCount; ++a) {
        if (m_bindings[a].kind == Binding::None || !(m_bindings[a] == b))
            continue;
        ours = true;
        if (!press)
            continue;
        QElapsedTimer &last = m_lastPress[a];
        if (last.isValid() && last.elapsed() < m_debounceMs)
            continue;
        last.start();
        m_act(Action(a));
    }
    return ours;
}

QString FootBindings::describe(Binding binding)
{
    if (binding.kind == Binding::None)
        return QString();
    return QStringLiteral("%1 %2 %3")
        .arg(QLatin1String(KindNames[binding.kind]))
        .arg(binding.channel)
        .arg(binding.number);
}

FootBindings::Binding FootBindings::parse(const QString &text)
{
    const QStringList parts = text.simplified().split(u' ');
    Binding b;
    if (parts.size() != 3)
        return b;
    bool channelOk = false;
    bool numberOk = false;
    const int channel = parts[1].toInt(&channelOk);
    const int number = parts[2].toInt(&numberOk);
    if (!channelOk || !numberOk || channel < 1 || channel > 16 || number < 0 || number > 127)
        return b;
    for (int kind = Binding::Controller; kind <= Binding::Program; ++kind) {
        if (parts[0].compare(QLatin1String(KindNames[kind]), Qt::CaseInsensitive) == 0) {
            b.kind = Binding::Kind(kind);
            b.channel = channel;
            b.number = number;
        }
    }
    return b;
}

void FootBindings::read(const IniFile &ini)
{
    const QString section = QLatin1String(Section);
    for (int a = 0; a < ActionCount; ++a)
        m_bindings[a] = parse(ini.readString(section, QLatin1String(Keys[a]), QString()));
    m_debounceMs = std::max(0, ini.readInteger(section, QStringLiteral("Debounce ms"), DefaultDebounceMs));
    m_keepOutOfThru = ini.readBool(section, QStringLiteral("Don't forward"), false);
    emit changed();
}

void FootBindings::write(IniFile &ini) const
{
    const QString section = QLatin1String(Section);
    const bool untouched = std::all_of(m_bindings.begin(), m_bindings.end(),
                                       [](const Binding &b) { return b.kind == Binding::None; }) &&
                           m_debounceMs == DefaultDebounceMs && !m_keepOutOfThru;
    if (untouched && !ini.hasKey(section, QLatin1String(Keys[Next])))
        return;
    for (int a = 0; a < ActionCount; ++a)
        ini.writeString(section, QLatin1String(Keys[a]), describe(m_bindings[a]));
    ini.writeInteger(section, QStringLiteral("Debounce ms"), m_debounceMs);
    ini.writeBool(section, QStringLiteral("Don't forward"), m_keepOutOfThru);
}
