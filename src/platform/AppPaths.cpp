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
    // An installed program finds its skins relative to itself first, so that a copy
    // installed under any prefix (a package, /usr/local, a home folder) uses its own.
    QStringList candidates{exeDir() + QStringLiteral("/../share/patchwarden/skins")};
    for (const QString &base : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        candidates.append(base + QStringLiteral("/patchwarden/skins"));
    for (const QString &installed : candidates) {
        if (QFileInfo(installed).isDir())
            return clean(installed);
    }
    return besideExe;
}
