#pragma once

#include "TextCodec.h"

#include <QString>

#include <functional>

// Whole text files as the program keeps them: Midi.ini, song files and project files.
//
// Reading takes only regular files up to a size no real set list comes near, so that a
// name pointing at a device, a pipe or a runaway file can neither hang nor swamp the
// program. Writing replaces the file in one piece and checks every step, a full disk
// included; on failure the old file is left byte for byte as it was and the reason comes
// back in plain words.
class TextFile
{
public:
    static constexpr qint64 MaxSize = 64 * 1024 * 1024;

    enum class State { Missing, Read, Unreadable };

    struct Content {
        State state = State::Missing;
        QString text;
        TextCodec::Encoding encoding = TextCodec::Encoding::Utf8; // a new file's encoding
        QString reason;                                           // why it could not be read, in plain words
    };

    static Content read(const QString &path);

    // Replaces the file with `text` in `*encoding`. When Windows-1252 cannot hold the text
    // the file is written as UTF-8 instead, `*encoding` says so and the encoding notice is
    // told. Returns the reason in plain words when the file could not be written, else an
    // empty string.
    static QString write(const QString &path, const QString &text, TextCodec::Encoding *encoding);

    // Told, with the file's path, whenever a file had to move from its 8-bit encoding to
    // UTF-8. Main thread only.
    static void setEncodingNotice(std::function<void(const QString &path)> notice);

    // The plain-words reason for a failed file operation: the system's error number where
    // there is one, else the text Qt gave.
    static QString reason(int errorNumber, const QString &systemText);

    // Why a file that could not be read is not written either, for the messages that say so.
    static QString keptUnread(const QString &readReason);
};
