#pragma once

#include <QLineEdit>

// A whole-number field. Only digits, "+" and "-" get in (control keys still work);
// leaving the field brings its value into [lo, hi]. A text that is not a number counts
// as 0, and value() always reads inside the range, so a caller that runs before the
// field loses focus never sees a wild number.
class NumberEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit NumberEdit(QWidget *parent = nullptr);
    NumberEdit(int lo, int hi, QWidget *parent = nullptr);

    void setRange(int lo, int hi);
    int minimum() const { return m_lo; }
    int maximum() const { return m_hi; }

    int value() const;
    void setValue(int value);

    // Rewrites the text as the clamped value, as leaving the field does.
    void commit();

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    int m_lo = 0;
    int m_hi = 1000;
};
