#pragma once

#include <QAbstractSpinBox>

// The program's number field. Its text is the value: reading gives the parsed text, so a
// half-typed number is read as typed (unclamped) and anything that is not an integer
// reads as the minimum. Only setting a value, stepping and leaving the field bring the
// text into range. `changed` follows every change of the text, whoever made it; song
// recall hangs on it, so it must also fire for typed keys, not only for finished edits.
class SpinEdit : public QAbstractSpinBox
{
    Q_OBJECT
public:
    SpinEdit(int minimum, int maximum, int value, QWidget *parent = nullptr);

    int value() const;
    void setValue(int value);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    void setRange(int minimum, int maximum);

    void stepBy(int steps) override;
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void changed();

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int clamped(int value) const;
    bool isTypeable(QChar c) const;

    int m_minimum;
    int m_maximum;
    int m_parsed = 0;
    bool m_isNumber = false;
    bool m_isPlainNumber = false; // the text is the number as setValue would write it
};
