#pragma once

#include <QWidget>

// Keeps an activity lamp's place in a row, at the lamp's own size, lit or dark.
//
// A lamp lights inside every recall. Shown straight inside a layout, it had that layout
// and every one above it (the whole tool bar) laid out again, which took longer than the
// recall's sends. Inside the slot it has no layout above it; the slot tells its own
// layout only when the lamp's size really changed (a new skin).
class LampSlot : public QWidget
{
public:
    // Takes `lamp` as its child.
    explicit LampSlot(QWidget *lamp, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *m_lamp;
    mutable QSize m_told;
};
