#include "TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>

namespace
{
std::function<void(const QString &)> g_encodingNotice;
constexpr qint64 ReadPiece = 64 * 1024;
} // namespace

QString TextFile::reason(int errorNumber, const QString &systemText)
{
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("The disk is full");
    case EFBIG:
        return QStringLiteral("The file is larger than the disk or the system allows");
    case EACCES:
    case EPERM:
        return QStringLiteral("Permission denied");
    case EROFS:
        return QStringLiteral("The disk is read-only");
    case EISDIR:
        return QStringLiteral("A folder of that name is in the way");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("The folder does not exist");
    case ENAMETOOLONG:
        return QStringLiteral("The name is too long");
    case EIO:
        return QStringLiteral("The disk reported an input/output error");
    default:
        break;
    }
    // Windows sets no error number; its own texts are plain enough.
    if (systemText.isEmpty() || systemText.contains(QStringLiteral("Unknown error"), Qt::CaseInsensitive))
        return QStringLiteral("The system gave no reason");
    return systemText;
}

QString TextFile::keptUnread(const QString &readReason)
{
    return QStringLiteral("It could not be read (%1), so it is left as it is").arg(readReason);
}

TextFile::Content TextFile::read(const QString &path)
{
    Content content;
    const QFileInfo info(path);
    if (!info.exists())
        return content;
    content.state = State::Unreadable;
    if (info.isDir()) {
        content.reason = QStringLiteral("It is a folder");
        return content;
    }
    if (!info.isFile()) {
        // Opening a pipe would wait for a writer; a device may never end.
        content.reason = QStringLiteral("It is not a regular file");
        return content;
    }
    const auto tooLarge = [] {
        return QStringLiteral("It is larger than %1 MB").arg(MaxSize / (1024 * 1024));
    };
    if (info.size() > MaxSize) {
        content.reason = tooLarge();
        return content;
    }
    QFile file(path);
    errno = 0;
    // Unbuffered: the bytes go straight into the one buffer below, not through QFile's own.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        content.reason = reason(errno, file.errorString());
        return content;
    }
    // The size may have changed since it was asked; never read past the limit. Read in
    // pieces: asking for the limit at once makes a buffer of that size for every file,
    // however small. The first piece is the size asked and one byte more, which shows
    // whether the file grew.
    QByteArray bytes(qsizetype(std::min(info.size(), MaxSize) + 1), Qt::Uninitialized);
    qsizetype filled = 0;
    errno = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > MaxSize)
                break;
            bytes.resize(qsizetype(std::min<qint64>(filled + ReadPiece, MaxSize + 1)));
        }
        const qint64 got = file.read(bytes.data() + filled, bytes.size() - filled);
        if (got <= 0)
            break;
        filled += qsizetype(got);
    }
    bytes.truncate(filled);
    if (file.error() != QFileDevice::NoError) {
        content.reason = reason(errno, file.errorString());
        return content;
    }
    if (bytes.size() > MaxSize) {
        content.reason = tooLarge();
        return content;
    }
    const TextCodec::Decoded decoded = TextCodec::decode(bytes);
    content.state = State::Read;
    content.text = decoded.text;
    content.encoding = decoded.encoding;
    return content;
}

QString TextFile::write(const QString &path, const QString &text, TextCodec::Encoding *encoding)
{
    QByteArray bytes;
    if (!TextCodec::encode(text, *encoding, &bytes)) {
        // Never "?" for a letter: older readers still see every key in UTF-8 without a mark.
        *encoding = TextCodec::Encoding::Utf8;
        TextCodec::encode(text, *encoding, &bytes);
        if (g_encodingNotice)
            g_encodingNotice(path);
    }
    if (QFileInfo(path).isDir())
        return reason(EISDIR, {});

    QSaveFile file(path);
    // Writing in place would lose the old file on any failure.
    file.setDirectWriteFallback(false);
    // Unbuffered: a buffered small write "succeeds" and its failure surfaces nowhere.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return reason(errno, file.errorString());
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = reason(errno, file.errorString());
        file.cancelWriting();
        return why;
    }
    errno = 0;
    if (!file.commit())
        return reason(errno, file.errorString());
    return {};
}

void TextFile::setEncodingNotice(std::function<void(const QString &)> notice)
{
    g_encodingNotice = std::move(notice);
}
