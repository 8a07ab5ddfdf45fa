#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

// A one-line dot-matrix display of a fixed number of character cells, the text centred.
// Every dot of every cell is drawn, the unlit ones in the "off" colour, so the display
// reads as hardware even when empty. Text beyond the last cell is not shown.
// The colours are properties so that a skin can set them.
class LedDisplay : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(QColor ledColor READ ledColor WRITE setLedColor)
    Q_PROPERTY(QColor ledOffColor READ ledOffColor WRITE setLedOffColor)
    Q_PROPERTY(QColor ledBackground READ ledBackground WRITE setLedBackground)
public:
    static constexpr int CellCount = 16;
    // Dots per character cell; the glyph uses all but the last column and row, which
    // keep neighbouring characters and the border apart.
    static constexpr int DotsPerCellX = 7;
    static constexpr int DotsPerCellY = 11;

    explicit LedDisplay(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);

    QColor ledColor() const { return m_ledColor; }
    void setLedColor(const QColor &color);
    QColor ledOffColor() const { return m_ledOffColor; }
    void setLedOffColor(const QColor &color);
    QColor ledBackground() const { return m_ledBackground; }
    void setLedBackground(const QColor &color);

    // Which dots the current text lights: one pixel per dot, CellCount * DotsPerCellX wide.
    bool isDotLit(int x, int y) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The dots of the current text, drawn on first use after a change: a song change sets
    // the text and must not wait for glyphs that are only needed at the next paint.
    const QImage &dots() const;

    QString m_text;
    mutable QImage m_dots;
    mutable bool m_dotsStale = true;
    QColor m_ledColor{255, 64, 32};
    QColor m_ledOffColor{64, 16, 10};
    QColor m_ledBackground{20, 6, 4};
};
