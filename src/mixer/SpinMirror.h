#pragma once

#include <QObject>

class SpinEdit;

// Keeps two number boxes at one value, whichever the user turns. A change is passed on
// once and never echoed back, so the box being typed in keeps its half-typed text.
class SpinMirror : public QObject
{
    Q_OBJECT
public:
    SpinMirror(SpinEdit *a, SpinEdit *b, QObject *parent = nullptr);

private:
    void pass(SpinEdit *from, SpinEdit *to);

    bool m_passing = false;
};
