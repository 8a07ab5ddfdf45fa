#include "widgets/SpinEdit.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>

SpinEdit::SpinEdit(int minimum, int maximum, int value, QWidget *parent)
    : QAbstractSpinBox(parent), m_minimum(minimum), m_maximum(std::max(minimum, maximum))
{
    // The number is parsed once per change of the text, not on every read: a recall reads
    // over a hundred fields and must not parse each of them again.
    connect(lineEdit(), &QLineEdit::textChanged, this, [this](const QString &text) {
        m_parsed = text.toInt(&m_isNumber);
        m_isPlainNumber = m_isNumber && text == QString::number(m_parsed);
        emit changed();
    });
    setValue(value);
}

int SpinEdit::value() const
{
    return m_isNumber ? m_parsed : m_minimum;
}

void SpinEdit::setValue(int value)
{
    // The same value leaves the text, its cursor and its undo alone; and QLineEdit only
    // reports a change when the text really differs, which keeps a song load that sets
    // the same program number from sending the song twice.
    const int shown = clamped(value);
    if (m_isPlainNumber && m_parsed == shown)
        return;
    lineEdit()->setText(QString::number(shown));
}

void SpinEdit::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    setValue(value());
    updateGeometry();
}

void SpinEdit::stepBy(int steps)
{
    // Step from the value in range, so that a typed 200 in a 1..128 field steps down
    // to 127 rather than to 199 and then being clamped.
    const long long next = static_cast<long long>(clamped(value())) + steps;
    setValue(static_cast<int>(std::clamp<long long>(next, m_minimum, m_maximum)));
    selectAll();
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    const int current = clamped(value());
    StepEnabled enabled = StepNone;
    if (current < m_maximum)
        enabled |= StepUpEnabled;
    if (current > m_minimum)
        enabled |= StepDownEnabled;
    return enabled;
}

bool SpinEdit::isTypeable(QChar c) const
{
    return c.isDigit() || c == u'+' || c == u'-' || locale().decimalPoint().contains(c);
}

QValidator::State SpinEdit::validate(QString &input, int &) const
{
    if (!std::all_of(input.cbegin(), input.cend(), [this](QChar c) { return isTypeable(c); }))
        return QValidator::Invalid;
    bool ok = false;
    const int parsed = input.toInt(&ok);
    return ok && parsed >= m_minimum && parsed <= m_maximum ? QValidator::Acceptable
                                                            : QValidator::Intermediate;
}

void SpinEdit::fixup(QString &input) const
{
    bool ok = false;
    const int parsed = input.toInt(&ok);
    input = QString::number(ok ? clamped(parsed) : m_minimum);
}

void SpinEdit::focusOutEvent(QFocusEvent *event)
{
    QAbstractSpinBox::focusOutEvent(event);
    QString text = lineEdit()->text();
    fixup(text);
    lineEdit()->setText(text);
}

int SpinEdit::clamped(int value) const
{
    return std::clamp(value, m_minimum, m_maximum);
}

QSize SpinEdit::sizeHint() const
{
    ensurePolished();
    const QFontMetrics metrics = fontMetrics();
    const int digits = std::max(QString::number(m_minimum).size(), QString::number(m_maximum).size());
    // One spare character so that the cursor never pushes a full-width number aside.
    const int width = metrics.horizontalAdvance(QString(digits + 1, u'0')) + 4;
    const int height = lineEdit()->sizeHint().height();
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, QSize(width, height), this);
}

QSize SpinEdit::minimumSizeHint() const
{
    return sizeHint();
}
