#pragma once

#include "platform/MidiThruGate.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <array>
#include <functional>

class IniFile;

// Song navigation from a foot controller: "Next song", "Previous song" and "Re-send",
// each bound to a controller, a note or a program change on one channel and learnt from
// the input. One physical press acts once. A released controller is pressed when its value
// reaches PressedFrom, and released only below ReleasedBelow; values between change nothing,
// so a continuous pedal ramped through the middle or resting there presses once. A note
// is pressed by its note-on and released by its note-off, a program change is a press.
// A press closer than the debounce time to the last change of the pedal, press or
// release, is dropped: a contact that bounces on release never skips a song.
class FootBindings : public QObject
{
    Q_OBJECT
public:
    enum Action { Next, Previous, Resend, ActionCount };
    struct Binding {
        enum Kind { None, Controller, Note, Program };
        Kind kind = None;
        int channel = 1; // 1..16
        int number = 0;  // controller, note or program number
        bool operator==(const Binding &) const = default;
    };

    static constexpr int DefaultDebounceMs = 150;
    static constexpr int PressedFrom = ThruRules::PressThreshold;
    static constexpr int ReleasedBelow = 32;
    static const char *const Section;

    explicit FootBindings(std::function<void(Action)> act, QObject *parent = nullptr);

    // The next press that arrives binds `action`, replacing what it had.
    void learn(Action action);
    void cancelLearning();
    bool learning() const { return m_learning >= 0; }
    // The action being learnt, or -1.
    int learningAction() const { return m_learning; }
    Binding binding(Action action) const { return m_bindings[action]; }
    void setBinding(Action action, Binding binding);
    int debounceMs() const { return m_debounceMs; }
    void setDebounceMs(int ms) { m_debounceMs = ms; }
    // "Don't forward remote messages": remote and binding messages stay out of MIDI thru.
    bool keepOutOfThru() const { return m_keepOutOfThru; }
    void setKeepOutOfThru(bool on)
    {
        m_keepOutOfThru = on;
        emit changed();
    }
    // The part of thru's rules that is the switches'.
    void fillThruRules(ThruRules &rules) const;

    // One short message from the input. True when it belongs to a binding (or was learnt),
    // so that it is not taken for anything else.
    bool take(quint8 status, quint8 data1, quint8 data2);

    static QString describe(Binding binding);
    static Binding parse(const QString &text);

    void read(const IniFile &ini);
    // Writes nothing while nothing was ever set, so that a rig without pedals keeps its
    // Midi.ini as it always was.
    void write(IniFile &ini) const;

signals:
    void changed();

private:
    enum class Edge { None, Press, Release };
    // What the message is to a binding: its kind, channel and number, and the edge it makes
    // on a pedal that is `down`.
    static Binding heard(quint8 status, quint8 data1, quint8 data2, bool down, Edge &edge);
    // The pedal of `action` takes `edge`; true when it is a press that acts.
    bool follow(int action, Edge edge);

    std::function<void(Action)> m_act;
    std::array<Binding, ActionCount> m_bindings;
    std::array<bool, ActionCount> m_down{};
    std::array<QElapsedTimer, ActionCount> m_lastChange;
    int m_learning = -1;
    int m_debounceMs = DefaultDebounceMs;
    bool m_keepOutOfThru = false;
};
