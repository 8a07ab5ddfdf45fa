#include "LampButton.h"

#include <QEvent>
#include <QPainter>

bool LampButton::drawnFor(const QStyleOptionToolButton &option, qreal ratio) const
{
    return !m_look.isNull() && m_look.devicePixelRatio() == ratio && option.rect == m_drawnFor.rect &&
           option.state == m_drawnFor.state && option.text == m_drawnFor.text &&
           option.toolButtonStyle == m_drawnFor.toolButtonStyle && option.features == m_drawnFor.features &&
           option.subControls == m_drawnFor.subControls && option.activeSubControls == m_drawnFor.activeSubControls &&
           option.icon.cacheKey() == m_drawnFor.icon.cacheKey() && option.palette == m_drawnFor.palette &&
           option.font == m_drawnFor.font;
}

void LampButton::paintEvent(QPaintEvent *)
{
    QStyleOptionToolButton option;
    initStyleOption(&option);
    const qreal ratio = devicePixelRatio();
    if (!drawnFor(option, ratio)) {
        m_look = QPixmap(option.rect.size() * ratio);
        m_look.setDevicePixelRatio(ratio);
        m_look.fill(Qt::transparent);
        QPainter painter(&m_look);
        style()->drawComplexControl(QStyle::CC_ToolButton, &option, &painter, this);
        m_drawnFor = option;
    }
    QPainter(this).drawPixmap(option.rect.topLeft(), m_look);
}

void LampButton::changeEvent(QEvent *event)
{
    // A new style sheet may change the look without touching the palette or the font.
    if (event->type() == QEvent::StyleChange)
        m_look = QPixmap();
    QToolButton::changeEvent(event);
}
