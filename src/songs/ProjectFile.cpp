#include "songs/ProjectFile.h"

#include "platform/AppException.h"
#include "platform/TextLines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

std::optional<QStringList> ProjectFile::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;

    QStringList names;
    for (const QByteArray &line : splitTextLines(bytes))
        names.append(QString::fromLocal8Bit(line));
    return names;
}

void ProjectFile::write(const QString &path, const QStringList &names)
{
    QByteArray bytes;
    for (const QString &name : names) {
        bytes += name.toLocal8Bit();
        bytes += "\r\n";
    }
    QSaveFile file(path);
    QString reason;
    if (file.open(QIODevice::WriteOnly)) {
        if (file.write(bytes) == bytes.size() && file.commit())
            return;
        reason = file.errorString();
        file.cancelWriting();
    } else {
        reason = file.errorString();
    }
    throw EFileError(QStringLiteral("Cannot create file \"%1\". %2")
                         .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), reason));
}
