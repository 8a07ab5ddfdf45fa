#include "SkinScreenshots.h"

#include "LookResources.h"
#include "SkinTable.h"
#include "widgets/SkinEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace
{
QImage shoot(QWidget *window)
{
    if (!window)
        return {};
    window->ensurePolished();
    return window->grab().toImage();
}

bool save(const QImage &picture, const QString &file)
{
    return picture.isNull() || picture.save(file, "PNG");
}

// One page with every skin: its name, then the main window and the mixer side by side,
// two skins to a row, small enough for a README.
QImage contactSheet(const QList<std::pair<QString, std::pair<QImage, QImage>>> &skins)
{
    constexpr int MainWidth = 360;
    constexpr int Caption = 22;
    constexpr int Gap = 12;
    constexpr int Columns = 2;
    QList<std::pair<QImage, QImage>> scaled;
    int cellWidth = 0;
    int cellHeight = 0;
    for (const auto &[name, pictures] : skins) {
        const QImage main = pictures.first.scaledToWidth(MainWidth, Qt::SmoothTransformation);
        const QImage mixer = pictures.second.isNull()
                                 ? QImage()
                                 : pictures.second.scaledToHeight(main.height(), Qt::SmoothTransformation);
        cellWidth = std::max(cellWidth, main.width() + (mixer.isNull() ? 0 : Gap / 2 + mixer.width()));
        cellHeight = std::max(cellHeight, Caption + main.height());
        scaled.append({main, mixer});
    }
    const int rows = (int(skins.size()) + Columns - 1) / Columns;
    QImage sheet(Gap + Columns * (cellWidth + Gap), Gap + rows * (cellHeight + Gap), QImage::Format_RGB32);
    sheet.fill(QColor(0x40, 0x40, 0x40));
    QPainter p(&sheet);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    for (int i = 0; i < skins.size(); ++i) {
        const QPoint cell(Gap + (i % Columns) * (cellWidth + Gap), Gap + (i / Columns) * (cellHeight + Gap));
        p.drawText(QRect(cell, QSize(cellWidth, Caption)), Qt::AlignLeft | Qt::AlignVCenter,
                   skins.at(i).first);
        p.drawImage(cell + QPoint(0, Caption), scaled.at(i).first);
        if (!scaled.at(i).second.isNull())
            p.drawImage(cell + QPoint(scaled.at(i).first.width() + Gap / 2, Caption), scaled.at(i).second);
    }
    return sheet;
}
} // namespace

int SkinScreenshots::writeAll(QWidget *main, QWidget *mixer, SkinEngine &engine, const QString &dir)
{
    LookResources::init();
    if (!QDir().mkpath(dir))
        return 0;
    int written = 0;
    QList<std::pair<QString, std::pair<QImage, QImage>>> sheet;
    for (int i = 0; i < SkinTable::Count; ++i) {
        if (!engine.setSkinFile(SkinTable::path(i)))
            continue;
        // Style-sheet changes re-polish and re-lay-out through posted events.
        QCoreApplication::processEvents();
        const QString base = dir + QLatin1Char('/') + QFileInfo(SkinTable::fileName(i)).completeBaseName();
        const QImage mainPicture = shoot(main);
        const QImage mixerPicture = shoot(mixer);
        if (save(mainPicture, base + QStringLiteral("-main.png")) &&
            save(mixerPicture, base + QStringLiteral("-mixer.png"))) {
            ++written;
            if (!mainPicture.isNull())
                sheet.append({QStringLiteral("%1 (%2, %3)")
                                  .arg(SkinTable::item(i), SkinTable::fileName(i), engine.skinName()),
                              {mainPicture, mixerPicture}});
        }
    }
    if (!sheet.isEmpty() && !contactSheet(sheet).save(dir + QStringLiteral("/skins.png"), "PNG"))
        return 0;
    return written;
}
