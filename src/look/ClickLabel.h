#pragma once

#include <QLabel>

// A label that owns its mouse clicks: it emits clicked() on a left click and never lets
// a click fall through to the window behind it. The information window closes on a click
// on its background, so every label that must not close it has to take its clicks.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ClickLabel(const QString &text = QString(), QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};
