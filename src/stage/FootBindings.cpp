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

void FootBindings::cancelLearning()
{
    m_learning = -1;
    emit changed();
}

void FootBindings::setBinding(Action action, Binding binding)
{
    m_bindings[action] = binding;
    m_down[action] = false;
    m_lastChange[action].invalidate();
    emit changed();
}

FootBindings::Binding FootBindings::heard(quint8 status, quint8 data1, quint8 data2, bool down, Edge &edge)
{
    // Thru keeps a switch's messages back by the same reading of them.
    bool press = false;
    const ThruRules::Switch s = ThruRules::heard(status, data1, data2, press);
    edge = Edge::None;
    switch (s.kind) {
    case ThruRules::Switch::Controller:
        if (!down && data2 >= PressedFrom)
            edge = Edge::Press;
        else if (down && data2 < ReleasedBelow)
            edge = Edge::Release;
        break;
    case ThruRules::Switch::Note:
        // Some pads send only note-ons: each one is a press of its own.
        edge = press ? Edge::Press : Edge::Release;
        break;
    case ThruRules::Switch::Program:
        edge = Edge::Press;
        break;
    case ThruRules::Switch::None:
        break;
    }
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

bool FootBindings::follow(int action, Edge edge)
{
    if (edge == Edge::None || (edge == Edge::Release && !m_down[action]))
        return false;
    QElapsedTimer &last = m_lastChange[action];
    const bool settled = !last.isValid() || last.elapsed() >= m_debounceMs;
    m_down[action] = edge == Edge::Press;
    last.start();
    return edge == Edge::Press && settled;
}

bool FootBindings::take(quint8 status, quint8 data1, quint8 data2)
{
    Edge edge = Edge::None;
    if (m_learning >= 0) {
        const Binding b = heard(status, data1, data2, false, edge);
        if (b.kind == Binding::None)
            return false;
        // Learning waits for a press: the release of the pedal that started it is no binding.
        if (edge != Edge::Press)
            return false;
        const auto action = Action(m_learning);
        m_learning = -1;
        setBinding(action, b);
        // The learning press is the pedal's last change, so that its own bounces and its
        // release do not step the song.
        follow(action, edge);
        return true;
    }
    bool ours = false;
    for (int a = 0; a < ActionCount; ++a) {
        // Asked for every incoming message: an unbound action costs nothing.
        if (m_bindings[a].kind == Binding::None)
            continue;
        const Binding b = heard(status, data1, data2, m_down[a], edge);
        if (b.kind == Binding::None || !(m_bindings[a] == b))
            continue;
        ours = true;
        if (follow(a, edge))
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
