#include "Fader.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace
{
constexpr int CapHeight = 26;
constexpr int CapMaxWidth = 34;
constexpr int Margin = 2;
constexpr int GrooveWidth = 6;
constexpr int TickCount = 11;
// Contrast ratio (as for text on a background) that keeps a groove or a cap plain to see.
constexpr double MinContrast = 2.0;

double luminance(const QColor &c)
{
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A skin may give the groove the colour of the panel behind it (black on black): move it
// towards the text colour, which a skin always sets apart from the panel, until it shows.
QColor visibleAgainst(const QColor &groove, const QColor &background, const QColor &text)
{
    QColor shown = groove;
    for (int step = 1; step <= 10 && contrast(shown, background) < MinContrast; ++step) {
        const double t = step / 10.0;
        shown = QColor::fromRgbF(groove.redF() + (text.redF() - groove.redF()) * t,
                                 groove.greenF() + (text.greenF() - groove.greenF()) * t,
                                 groove.blueF() + (text.blueF() - groove.blueF()) * t);
    }
    return shown;
}
} // namespace

Fader::Fader(QWidget *parent)
    : QAbstractSlider(parent), m_track(0x3a, 0x8f, 0xd8), m_handle(0xd8, 0xd8, 0xd8),
      m_groove(0x26, 0x26, 0x26)
{
    setOrientation(Qt::Vertical);
    setRange(0, 100);
    setValue(0);
    setSingleStep(1);
    setPageStep(10);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
}

void Fader::setFaderTrack(const QColor &color)
{
    m_track = color;
    update();
}

void Fader::setFaderHandle(const QColor &color)
{
    m_handle = color;
    update();
}

void Fader::setFaderGroove(const QColor &color)
{
    m_groove = color;
    update();
}

QSize Fader::sizeHint() const
{
    return {40, 160};
}

QSize Fader::minimumSizeHint() const
{
    return {20, CapHeight * 3};
}

int Fader::travelTop() const
{
    return Margin + CapHeight / 2;
}

int Fader::travelSpan() const
{
    return qMax(1, height() - CapHeight - 2 * Margin);
}

int Fader::positionToY(int position) const
{
    return travelTop() + QStyle::sliderPositionFromValue(minimum(), maximum(), position, travelSpan(), true);
}

int Fader::yToValue(int y) const
{
    return QStyle::sliderValueFromPosition(minimum(), maximum(), y - travelTop(), travelSpan(), true);
}

QRect Fader::handleRect() const
{
    const int capWidth = qMin(width() - 2 * Margin, CapMaxWidth);
    const int centreY = positionToY(sliderPosition());
    return {(width() - capWidth) / 2, centreY - CapHeight / 2, capWidth, CapHeight};
}

void Fader::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const int cx = width() / 2;
    const int top = travelTop();
    const int bottom = top + travelSpan();
    const QRect cap = handleRect();

    const QColor background = palette().color(backgroundRole());
    const QColor text = palette().color(QPalette::WindowText);

    // Scale marks on both sides of the slot, as printed on a desk.
    p.setPen(QPen(text, 1));
    for (int i = 0; i < TickCount; ++i) {
        const int y = top + (bottom - top) * i / (TickCount - 1);
        const int len = (i % 5 == 0) ? 7 : 4;
        p.drawLine(cx - GrooveWidth - len, y, cx - GrooveWidth - 1, y);
        p.drawLine(cx + GrooveWidth + 1, y, cx + GrooveWidth + len, y);
    }

    const QRectF slot(cx - GrooveWidth / 2.0, top, GrooveWidth, bottom - top);
    p.setPen(Qt::NoPen);
    p.setBrush(visibleAgainst(m_groove, background, text));
    p.drawRoundedRect(slot, 2, 2);

    // The lit part of the slot shows the level below the cap.
    const QRectF level(slot.left() + 1, cap.center().y(), slot.width() - 2, bottom - cap.center().y());
    if (level.height() > 0) {
        p.setBrush(m_track);
        p.drawRect(level);
    }

    QLinearGradient shade(cap.topLeft(), cap.bottomLeft());
    shade.setColorAt(0.0, m_handle.lighter(125));
    shade.setColorAt(0.45, m_handle);
    shade.setColorAt(0.55, m_handle.darker(120));
    shade.setColorAt(1.0, m_handle.darker(140));
    // A cap of the panel's own shade (a dark cap on a dark skin) is outlined in the text
    // colour instead of its own darker edge, so its shape still shows.
    const QColor rim = contrast(m_handle, background) >= MinContrast ||
                               contrast(m_handle.darker(200), background) >= MinContrast
                           ? m_handle.darker(200)
                           : text;
    p.setPen(QPen(rim, 1));
    p.setBrush(shade);
    p.drawRoundedRect(QRectF(cap).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.setPen(QPen(m_handle.darker(260), 2));
    p.drawLine(cap.left() + 3, cap.center().y(), cap.right() - 3, cap.center().y());

    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void Fader::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || maximum() == minimum()) {
        event->ignore();
        return;
    }
    event->accept();
    const int y = event->position().toPoint().y();
    const QRect cap = handleRect();
    if (cap.contains(event->position().toPoint())) {
        m_dragging = true;
        m_dragOffset = y - cap.center().y();
        setSliderDown(true);
    } else {
        // Upwards is louder.
        triggerAction(y < cap.center().y() ? SliderPageStepAdd : SliderPageStepSub);
    }
}

void Fader::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging) {
        event->ignore();
        return;
    }
    event->accept();
    setSliderPosition(yToValue(event->position().toPoint().y() - m_dragOffset));
}

void Fader::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragging || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    m_dragging = false;
    setSliderPosition(yToValue(event->position().toPoint().y() - m_dragOffset));
    setSliderDown(false);
}
