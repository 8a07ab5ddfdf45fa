#include "songs/ProjectFile.h"

#include "platform/AppException.h"
#include "platform/TextLines.h"
#include "songs/SongFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

ProjectFile::Content ProjectFile::read(const QString &path)
{
    const TextFile::Content text = TextFile::read(path);
    Content content;
    content.state = text.state;
    content.reason = text.reason;
    if (text.state == TextFile::State::Read)
        content.names = splitTextLines(text.text);
    return content;
}

void ProjectFile::write(const QString &path, const QStringList &names)
{
    const TextFile::Content old = TextFile::read(path);
    const auto refuse = [&](const QString &reason) {
        throw FileError(QStringLiteral("Cannot create file \"%1\". %2")
                            .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), reason));
    };
    if (old.state == TextFile::State::Unreadable)
        refuse(TextFile::keptUnread(old.reason));
    const QStringList oldLines = splitTextLines(old.text);
    if (std::any_of(oldLines.cbegin(), oldLines.cend(), &SongFile::isSongFileLine))
        refuse(QStringLiteral("It is the song file of the song \"%1\"; a project cannot be saved over it")
                   .arg(QFileInfo(path).completeBaseName()));

    QString text;
    for (const QString &name : names) {
        text += name;
        text += QStringLiteral("\r\n");
    }
    TextCodec::Encoding encoding = old.encoding;
    const QString reason = TextFile::write(path, text, &encoding);
    if (!reason.isEmpty())
        refuse(reason);
}
