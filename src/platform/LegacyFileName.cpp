#include "LegacyFileName.h"

#include "TextCodec.h"

#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <cstdio>
#include <sys/stat.h>
#endif

bool LegacyFileName::adopt(const QString &path)
{
#if defined(Q_OS_UNIX)
    const QFileInfo wanted(path);
    QByteArray legacy;
    if (wanted.exists() || wanted.isSymLink() || !TextCodec::toWindows1252(wanted.fileName(), &legacy))
        return false;
    const QByteArray target = QFile::encodeName(wanted.absoluteFilePath());
    const QByteArray source = QFile::encodeName(wanted.absolutePath()) + '/' + legacy;
    // Pure ASCII is the same bytes either way, and so is nothing to find.
    if (source == target)
        return false;
    struct stat info {
    };
    if (lstat(source.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    return std::rename(source.constData(), target.constData()) == 0;
#else
    // Names there are Unicode whatever the archive held.
    Q_UNUSED(path);
    return false;
#endif
}
