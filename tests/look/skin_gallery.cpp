#include "SkinTestWindow.h"
#include "look/InfoWindow.h"
#include "look/SkinDialog.h"
#include "look/SkinTable.h"
#include "widgets/SkinEngine.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QFileInfo>
#include <QTextStream>

namespace
{
void shootAll(const QString &prefix, const QList<QPair<QWidget *, QString>> &windows)
{
    QCoreApplication::processEvents();
    for (const auto &[window, suffix] : windows)
        window->grab().save(prefix + suffix);
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: skin_gallery OUT_DIR\n";
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    SkinEngine engine;
    SkinTestWindow controls;
    InfoWindow info;
    SkinDialog choice(engine);
    controls.show();
    info.show();
    choice.show();
    choice.buttonGroup()->button(6)->setChecked(true);
    const QList<QPair<QWidget *, QString>> windows = {
        {&controls, QStringLiteral("-controls.png")},
        {&info, QStringLiteral("-info.png")},
        {&choice, QStringLiteral("-choice.png")},
    };
    engine.applyDefault();
    shootAll(dir + QStringLiteral("default"), windows);
    int loaded = 0;
    for (int i = 0; i < SkinTable::Count; ++i) {
        if (!engine.setSkinFile(SkinTable::path(i)))
            continue;
        ++loaded;
        shootAll(dir + QFileInfo(SkinTable::fileName(i)).completeBaseName(), windows);
    }
    QTextStream(stdout) << loaded << " skins\n";
    return loaded == SkinTable::Count ? 0 : 1;
}
