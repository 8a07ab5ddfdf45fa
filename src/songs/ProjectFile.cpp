#include "songs/ProjectFile.h"

#include "platform/AppException.h"

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
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        names.append(QString::fromLocal8Bit(bytes.mid(start, i - start)));
        if (c == '\r' && i + 1 < size && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        names.append(QString::fromLocal8Bit(bytes.mid(start)));
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
