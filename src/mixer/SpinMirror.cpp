#include "SpinMirror.h"

#include "widgets/SpinEdit.h"

SpinMirror::SpinMirror(SpinEdit *a, SpinEdit *b, QObject *parent) : QObject(parent)
{
    connect(a, &SpinEdit::changed, this, [this, a, b] { pass(a, b); });
    connect(b, &SpinEdit::changed, this, [this, a, b] { pass(b, a); });
}

void SpinMirror::pass(SpinEdit *from, SpinEdit *to)
{
    if (m_passing)
        return;
    m_passing = true;
    to->setValue(from->value());
    m_passing = false;
}
