#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace
{
QString g_dataDir;

QString clean(const QString &dir)
{
    return QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
}
} // namespace

void AppPaths::init(const QString &dataDirOption)
{
    if (!dataDirOption.isEmpty()) {
        setDataDir(dataDirOption);
        return;
    }
    const QDir exe(exeDir());
    if (exe.exists(QStringLiteral("Midi.ini")) || exe.exists(QStringLiteral("Projects"))) {
        setDataDir(exe.path());
        return;
    }
    setDataDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

void AppPaths::setDataDir(const QString &dir)
{
    g_dataDir = clean(dir);
    QDir().mkpath(g_dataDir);
}

QString AppPaths::dataDir()
{
    if (g_dataDir.isEmpty())
        init(QString());
    return g_dataDir;
}

QString AppPaths::exeDir()
{
    return clean(QCoreApplication::applicationDirPath());
}

QString AppPaths::settingsFile()
{
    return dataDir() + QStringLiteral("/Midi.ini");
}

QString AppPaths::projectsDir()
{
    return dataDir() + QStringLiteral("/Projects");
}

QString AppPaths::skinsDir()
{
    const QString besideExe = exeDir() + QStringLiteral("/skins");
    if (QFileInfo(besideExe).isDir())
        return besideExe;
    for (const QString &base : QStandardPaths::standardLocations(QStandardPaths::AppDataLocation)) {
        const QString installed = base + QStringLiteral("/skins");
        if (QFileInfo(installed).isDir())
            return clean(installed);
    }
    return besideExe;
}
