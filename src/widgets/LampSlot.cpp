#include "LampSlot.h"

#include <QEvent>

LampSlot::LampSlot(QWidget *lamp, QWidget *parent) : QWidget(parent), m_lamp(lamp)
{
    lamp->setParent(this);
    // The slot stands for the lamp in the layout, so a dark lamp keeps its place.
    QSizePolicy policy = lamp->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    lamp->setSizePolicy(policy);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize LampSlot::sizeHint() const
{
    m_told = m_lamp->sizeHint();
    return m_told;
}

QSize LampSlot::minimumSizeHint() const
{
    return sizeHint();
}

bool LampSlot::event(QEvent *event)
{
    // The lamp asks for a new layout each time it is shown or hidden; only a new size
    // needs one.
    if (event->type() == QEvent::LayoutRequest && m_lamp->sizeHint() != m_told)
        updateGeometry();
    return QWidget::event(event);
}

void LampSlot::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_lamp->setGeometry(rect());
}
