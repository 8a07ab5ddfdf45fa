#include "NumberEdit.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

NumberEdit::NumberEdit(QWidget *parent) : NumberEdit(0, 1000, parent) {}

NumberEdit::NumberEdit(int lo, int hi, QWidget *parent) : QLineEdit(parent)
{
    // A validator rather than a key filter, so pasted text is held to the same rule.
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9+\\-]*")), this));
    setRange(lo, hi);
    setText(QStringLiteral("0"));
}

void NumberEdit::setRange(int lo, int hi)
{
    m_lo = lo;
    m_hi = qMax(lo, hi);
}

int NumberEdit::value() const
{
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
    const QString t = text();
    if (!number.match(t).hasMatch())
        return qBound(m_lo, 0, m_hi);
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    if (!ok) // more digits than any range holds
        return t.startsWith(u'-') ? m_lo : m_hi;
    return int(qBound(qlonglong(m_lo), v, qlonglong(m_hi)));
}

void NumberEdit::setValue(int value)
{
    setText(QString::number(qBound(m_lo, value, m_hi)));
}

void NumberEdit::commit()
{
    setValue(value());
}

void NumberEdit::focusOutEvent(QFocusEvent *event)
{
    commit();
    QLineEdit::focusOutEvent(event);
}
