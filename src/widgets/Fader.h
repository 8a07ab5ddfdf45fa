#pragma once

#include <QAbstractSlider>
#include <QColor>

// A vertical mixing-desk fader: minimum at the bottom, value always inside
// [minimum, maximum]. Dragging the cap follows the mouse; a click beside the cap moves
// one page towards the click, so a slip of the hand on stage never makes a jump.
//
// The colours are properties so that a skin can set them by name.
class Fader : public QAbstractSlider
{
    Q_OBJECT
    Q_PROPERTY(QColor faderTrack READ faderTrack WRITE setFaderTrack)
    Q_PROPERTY(QColor faderHandle READ faderHandle WRITE setFaderHandle)
    Q_PROPERTY(QColor faderGroove READ faderGroove WRITE setFaderGroove)
public:
    explicit Fader(QWidget *parent = nullptr);

    QColor faderTrack() const { return m_track; }
    void setFaderTrack(const QColor &color);
    QColor faderHandle() const { return m_handle; }
    void setFaderHandle(const QColor &color);
    QColor faderGroove() const { return m_groove; }
    void setFaderGroove(const QColor &color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Where the cap is drawn, in widget coordinates.
    QRect handleRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int travelTop() const;
    int travelSpan() const;
    int positionToY(int position) const;
    int yToValue(int y) const;

    QColor m_track;
    QColor m_handle;
    QColor m_groove;
    int m_dragOffset = 0; // cursor y minus cap centre while dragging
    bool m_dragging = false;
};
