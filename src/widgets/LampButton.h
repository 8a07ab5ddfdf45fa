#pragma once

#include <QPixmap>
#include <QStyleOptionToolButton>
#include <QToolButton>

// A tool-bar activity lamp that draws its look once and shows the picture after that.
//
// A lamp goes out and lights again every second while MIDI flows, and drawing a tool
// button through the style (and a skin's style sheet) lays out and shapes its text each
// time: about half of what drawing the lamp cost the window on a steady stream. The
// picture is drawn again when anything it shows may have changed: size, state, text,
// palette, font or style.
class LampButton : public QToolButton
{
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool drawnFor(const QStyleOptionToolButton &option, qreal ratio) const;

    QPixmap m_look;
    QStyleOptionToolButton m_drawnFor;
};
