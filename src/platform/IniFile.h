#pragma once

#include "TextCodec.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// An INI file with the private-profile rules that Midi.ini and the song files were
// always written by: sections and keys found regardless of letter case, a write replaces
// a value where it stands, a missing key goes to the end of its section and a missing
// section to the end of the file. Lines end in CR LF. The file is read in whatever
// encoding it is in (see TextCodec) and written back in the same one.
//
// Reading follows the classic profile reader: blanks around section names, keys and
// values are dropped; a value wrapped in a matching pair of double or single quotes
// loses them; of two same-named sections or keys the first counts; a line starting
// with ";" is a comment and a line without "=" holds no key; a section line without its
// "]" names the section up to the end of the line. Files with lone CR or
// lone LF line ends read like CR LF ones.
//
// The object holds the whole file: it reads it once, takes any number of writes and
// replaces the file in one go on save(), so a crash or a full disk leaves the old file
// or the new one, never a mix. Lines the program does not write (comments, other
// programs' keys and sections) come out as they went in.
class IniFile
{
public:
    // Longest text a read hands back, as the profile reader's buffer allowed.
    static constexpr int MaxValueLength = 2047;

    // Reads the file now; a missing or unreadable file reads as empty.
    explicit IniFile(const QString &path);

    // `text` read as the content of the file at `path`, which is not read.
    static IniFile fromText(const QString &path, const QString &text);

    QString path() const { return m_path; }
    // The file exists but could not be read; readError() says why, in plain words.
    bool isUnreadable() const { return m_unreadable; }
    QString readError() const { return m_readError; }
    // Whether the file as read holds a section line: song files and Midi.ini do, project
    // files, which share the folder and the ending with song files, never.
    bool hasSections() const;
    // Whether the file as read holds anything but blank lines.
    bool hasContent() const;
    static bool isSectionLine(QStringView line);
    // The name of the section that `line` opens, as a read finds it; null when it opens none.
    static QStringView sectionName(QStringView line);

    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Decimal, or hexadecimal after "0x", "0X" or "$"; anything else counts as missing.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // Non-zero integer is true.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;
    bool hasKey(const QString &section, const QString &key) const;
    bool hasSection(const QString &section) const;

    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

    // Replaces the file on disk with the current content, atomically. Throws FileError
    // "Unable to write to <full path>. <reason>" when that fails; the file on disk is then
    // as it was. A file that exists but could not be read is never replaced, so that its
    // other content is not lost.
    void save();

    // The whole file as it would be saved, without its encoding.
    QString toText() const;

    // One-call forms: each write reads, changes and saves the file.
    static QString readString(const QString &path, const QString &section, const QString &key,
                              const QString &defaultValue);
    static int readInteger(const QString &path, const QString &section, const QString &key, int defaultValue);
    static bool readBool(const QString &path, const QString &section, const QString &key, bool defaultValue);
    static void writeString(const QString &path, const QString &section, const QString &key,
                            const QString &value);
    static void writeInteger(const QString &path, const QString &section, const QString &key, int value);

    // The integer rule of readInteger; false for text that is no integer.
    static bool parseInteger(QStringView text, int *value);

private:
    // Views into the text as read or into the text of a line written since; both are kept
    // unchanged for as long as the object, so a load reads its keys without copying a line.
    struct Line {
        enum Kind { Other, Section, Key };
        QStringView raw; // as read, without its line end
        Kind kind = Other;
        QStringView name;  // section or key name, trimmed
        QStringView value; // key lines: the value, trimmed, quotes not yet removed
    };

    static Line parseLine(QStringView raw);
    // A line of the program's own, kept with the object.
    Line ownLine(QString raw);
    Line makeKeyLine(QStringView key, const QString &value);
    // Index of the section's header line, or -1.
    int findSection(const QString &section) const;
    // Index of the key's line inside the section starting at sectionLine, or -1.
    int findKey(int sectionLine, const QString &key) const;
    // One past the last line that belongs to the section.
    int sectionEnd(int sectionLine) const;
    // The key's line as findSection and findKey would find it, or -1; through an index made
    // at the first read after a change, since a song load reads over a hundred keys.
    int keyLine(const QString &section, const QString &key) const;

    QString m_path;
    QString m_text;
    // Texts of the lines written since the read; never changed once added.
    QList<QString> m_ownTexts;
    QList<Line> m_lines;
    // Section and key names to the line of the first of that name; made anew, never
    // changed, so that copies of the file may share it.
    struct Index;
    const Index &index() const;
    mutable std::shared_ptr<const Index> m_index;
    bool m_unreadable = false;
    QString m_readError;
    TextCodec::Encoding m_encoding = TextCodec::Encoding::Utf8;
};
