#include "widgets/LedDisplay.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace
{

constexpr int Margin = 4;
constexpr int GlyphWidth = LedDisplay::DotsPerCellX - 1;
constexpr int GlyphHeight = LedDisplay::DotsPerCellY - 1;

} // namespace

LedDisplay::LedDisplay(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void LedDisplay::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_dotsStale = true;
    update();
}

void LedDisplay::setLedColor(const QColor &color)
{
    m_ledColor = color;
    update();
}

void LedDisplay::setLedOffColor(const QColor &color)
{
    m_ledOffColor = color;
    update();
}

void LedDisplay::setLedBackground(const QColor &color)
{
    m_ledBackground = color;
    update();
}

bool LedDisplay::isDotLit(int x, int y) const
{
    const QImage &image = dots();
    return image.valid(x, y) && qAlpha(image.pixel(x, y)) >= 128;
}

// The glyphs are drawn once per text, when first needed, at one pixel per dot, with a small fixed
// pixel font, and thresholded; painting then only scales dots, so the look does not
// depend on the widget's size or the desktop's font settings.
const QImage &LedDisplay::dots() const
{
    if (!m_dotsStale)
        return m_dots;
    m_dotsStale = false;
    m_dots = QImage(CellCount * DotsPerCellX, DotsPerCellY, QImage::Format_ARGB32_Premultiplied);
    m_dots.fill(Qt::transparent);

    const QString shown = m_text.left(CellCount);
    const int firstCell = (CellCount - int(shown.size())) / 2;

    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::TypeWriter, QFont::NoAntialias);
    font.setPixelSize(GlyphHeight);
    font.setBold(true);

    QPainter painter(&m_dots);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < shown.size(); ++i) {
        const QRect cell((firstCell + i) * DotsPerCellX, 0, GlyphWidth, GlyphHeight);
        painter.drawText(cell, Qt::AlignCenter, QString(shown.at(i)));
    }
    return m_dots;
}

void LedDisplay::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), m_ledBackground);

    const QImage &image = dots();
    const QRectF area = QRectF(rect()).adjusted(Margin, Margin, -Margin, -Margin);
    const qreal pitch = std::min(area.width() / image.width(), area.height() / image.height());
    if (pitch <= 0)
        return;
    const QPointF origin(area.left() + (area.width() - pitch * image.width()) / 2,
                         area.top() + (area.height() - pitch * image.height()) / 2);
    const qreal dot = pitch * 0.8;

    QPainterPath lit;
    QPainterPath unlit;
    for (int y = 0; y < GlyphHeight; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (x % DotsPerCellX == GlyphWidth)
                continue;
            const QRectF r(origin.x() + x * pitch, origin.y() + y * pitch, dot, dot);
            (isDotLit(x, y) ? lit : unlit).addRect(r);
        }
    }
    painter.fillPath(unlit, m_ledOffColor);
    painter.fillPath(lit, m_ledColor);
}

QSize LedDisplay::sizeHint() const
{
    // Two and a half pixels per dot: fits beside a button on a side panel and still
    // reads from a stand.
    return {CellCount * DotsPerCellX * 5 / 2 + 2 * Margin, DotsPerCellY * 5 / 2 + 2 * Margin};
}

QSize LedDisplay::minimumSizeHint() const
{
    return {CellCount * DotsPerCellX * 2 + 2 * Margin, DotsPerCellY * 2 + 2 * Margin};
}
