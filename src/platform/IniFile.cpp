#include "IniFile.h"

#include "AppException.h"
#include "TextFile.h"
#include "TextLines.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <limits>

namespace
{
bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QStringView stripQuotes(QStringView value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.sliced(1, value.size() - 2);
    }
    return value;
}

QStringView limited(QStringView value)
{
    if (value.size() > IniFile::MaxValueLength) {
        value.truncate(IniFile::MaxValueLength);
        // Never hand back half of a surrogate pair.
        if (value.back().isHighSurrogate())
            value.chop(1);
    }
    return value;
}

// A value with a line break in it would turn into lines of its own on the next read.
QString oneLine(QString value)
{
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

QString fullPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// A name as sameName() compares it, hashed without making a folded copy of it.
struct AnyCase {
    QStringView name;
    AnyCase(QStringView n) : name(n) {}
    bool operator==(const AnyCase &other) const { return sameName(name, other.name); }
};

size_t qHash(const AnyCase &key, size_t seed = 0)
{
    size_t hash = seed;
    for (const QChar c : key.name) {
        // Letters beyond the first plane fold in pairs: left out, equal names still hash alike.
        if (c.isSurrogate())
            continue;
        const char16_t folded = c.unicode() < 0x80 ? char16_t(c.toLatin1() | (c.isUpper() ? 0x20 : 0))
                                                   : c.toCaseFolded().unicode();
        hash = hash * 31 + folded;
    }
    return hash;
}

struct KeyOf {
    int section;
    AnyCase name;
    bool operator==(const KeyOf &other) const { return section == other.section && name == other.name; }
};

size_t qHash(const KeyOf &key, size_t seed = 0)
{
    return qHash(key.name, seed ^ size_t(key.section));
}
} // namespace

struct IniFile::Index {
    QHash<AnyCase, int> sections;
    QHash<KeyOf, int> keys;
};

IniFile::IniFile(const QString &path) : m_path(path)
{
    if (path.isEmpty())
        return;
    const TextFile::Content content = TextFile::read(path);
    m_encoding = content.encoding;
    if (content.state == TextFile::State::Unreadable) {
        m_unreadable = true;
        m_readError = content.reason;
        return;
    }
    m_text = content.text;
    forEachTextLine(m_text, [this](QStringView raw) { m_lines.append(parseLine(raw)); });
}

IniFile IniFile::fromText(const QString &path, const QString &text)
{
    IniFile file{QString()};
    file.m_path = path;
    file.m_text = text;
    forEachTextLine(file.m_text, [&file](QStringView raw) { file.m_lines.append(parseLine(raw)); });
    return file;
}

QStringView IniFile::sectionName(QStringView line)
{
    const Line parsed = parseLine(line);
    return parsed.kind == Line::Section ? parsed.name : QStringView();
}

bool IniFile::isSectionLine(QStringView line)
{
    return line.trimmed().startsWith(u'[');
}

bool IniFile::hasSections() const
{
    return std::any_of(m_lines.cbegin(), m_lines.cend(),
                       [](const Line &l) { return l.kind == Line::Section; });
}

bool IniFile::hasContent() const
{
    return std::any_of(m_lines.cbegin(), m_lines.cend(),
                       [](const Line &l) { return !l.raw.trimmed().isEmpty(); });
}

IniFile::Line IniFile::parseLine(QStringView raw)
{
    Line line;
    line.raw = raw;
    const QStringView text = raw.trimmed();
    if (text.startsWith(u';'))
        return line;
    if (isSectionLine(text)) {
        const qsizetype close = text.indexOf(u']');
        line.kind = Line::Section;
        line.name = (close < 0 ? text.sliced(1) : text.sliced(1, close - 1)).trimmed();
        return line;
    }
    const qsizetype eq = text.indexOf(u'=');
    if (eq <= 0)
        return line;
    const QStringView key = text.first(eq).trimmed();
    if (key.isEmpty())
        return line;
    line.kind = Line::Key;
    line.name = key;
    line.value = text.sliced(eq + 1).trimmed();
    return line;
}

IniFile::Line IniFile::ownLine(QString raw)
{
    m_ownTexts.append(std::move(raw));
    return parseLine(m_ownTexts.constLast());
}

IniFile::Line IniFile::makeKeyLine(QStringView key, const QString &value)
{
    QString raw = key.toString();
    raw += u'=';
    raw += oneLine(value);
    return ownLine(std::move(raw));
}

int IniFile::findSection(const QString &section) const
{
    const QStringView wanted = QStringView(section).trimmed();
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Line::Section && sameName(m_lines[i].name, wanted))
            return i;
    }
    return -1;
}

int IniFile::sectionEnd(int sectionLine) const
{
    int i = sectionLine + 1;
    while (i < m_lines.size() && m_lines[i].kind != Line::Section)
        ++i;
    return i;
}

int IniFile::findKey(int sectionLine, const QString &key) const
{
    const QStringView wanted = QStringView(key).trimmed();
    const int end = sectionEnd(sectionLine);
    for (int i = sectionLine + 1; i < end; ++i) {
        if (m_lines[i].kind == Line::Key && sameName(m_lines[i].name, wanted))
            return i;
    }
    return -1;
}

const IniFile::Index &IniFile::index() const
{
    if (!m_index) {
        auto index = std::make_shared<Index>();
        int s = -1;
        for (int i = 0; i < m_lines.size(); ++i) {
            const Line &line = m_lines[i];
            if (line.kind == Line::Section) {
                // Of two sections of one name the first counts, and only its keys.
                s = index->sections.contains(line.name) ? -1 : i;
                if (s >= 0)
                    index->sections.insert(line.name, i);
            } else if (line.kind == Line::Key && s >= 0 && !index->keys.contains({s, line.name})) {
                index->keys.insert({s, line.name}, i);
            }
        }
        m_index = std::move(index);
    }
    return *m_index;
}

int IniFile::keyLine(const QString &section, const QString &key) const
{
    const Index &index = this->index();
    const int s = index.sections.value(QStringView(section).trimmed(), -1);
    return s < 0 ? -1 : index.keys.value({s, QStringView(key).trimmed()}, -1);
}

bool IniFile::hasKey(const QString &section, const QString &key) const
{
    return keyLine(section, key) >= 0;
}

bool IniFile::hasSection(const QString &section) const
{
    return index().sections.contains(QStringView(section).trimmed());
}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const int k = keyLine(section, key);
    if (k < 0)
        return defaultValue.size() > MaxValueLength ? limited(defaultValue).toString() : defaultValue;
    return limited(stripQuotes(m_lines[k].value)).toString();
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const int k = keyLine(section, key);
    int value = 0;
    if (k < 0 || !parseInteger(limited(stripQuotes(m_lines[k].value)), &value))
        return defaultValue;
    return value;
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::parseInteger(QStringView text, int *value)
{
    QStringView digits(text);
    bool negative = false;
    if (digits.startsWith(u'-') || digits.startsWith(u'+')) {
        negative = digits.front() == u'-';
        digits = digits.mid(1);
    }
    int base = 10;
    if (digits.startsWith(u'$')) {
        base = 16;
        digits = digits.mid(1);
    } else if (digits.startsWith(u"0x") || digits.startsWith(u"0X")) {
        base = 16;
        digits = digits.mid(2);
    }
    if (digits.isEmpty())
        return false;
    qint64 magnitude = 0;
    for (const QChar c : digits) {
        const char16_t u = c.unicode();
        int digit = -1;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (base == 16 && u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (base == 16 && u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        if (digit < 0)
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > 0xFFFFFFFFLL)
            return false;
    }
    // Hexadecimal spells the 32 bits, so "$FFFFFFFF" is -1.
    qint64 result = base == 16 ? qint64(qint32(quint32(magnitude))) : magnitude;
    if (negative)
        result = -result;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
        return false;
    *value = int(result);
    return true;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    m_index.reset();
    int s = findSection(section);
    if (s < 0) {
        m_lines.append(ownLine(u'[' + section.trimmed() + u']'));
        m_lines.append(makeKeyLine(key.trimmed(), value));
        return;
    }
    const int k = findKey(s, key);
    if (k >= 0) {
        // The key keeps the spelling it has in the file.
        m_lines[k] = makeKeyLine(m_lines[k].name, value);
        return;
    }
    // After the section's last line, not after the blank lines that part it from the next.
    int at = sectionEnd(s);
    while (at - 1 > s && m_lines[at - 1].raw.trimmed().isEmpty())
        --at;
    m_lines.insert(at, makeKeyLine(key.trimmed(), value));
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QString IniFile::toText() const
{
    QString text;
    for (const Line &line : m_lines) {
        text += line.raw;
        text += QStringLiteral("\r\n");
    }
    return text;
}

void IniFile::save()
{
    const QString error = QStringLiteral("Unable to write to %1. %2");
    if (m_unreadable)
        throw FileError(error.arg(fullPath(m_path), TextFile::keptUnread(m_readError)));
    const QString reason = TextFile::write(m_path, toText(), &m_encoding);
    if (!reason.isEmpty())
        throw FileError(error.arg(fullPath(m_path), reason));
}

QString IniFile::readString(const QString &path, const QString &section, const QString &key,
                            const QString &defaultValue)
{
    return IniFile(path).readString(section, key, defaultValue);
}

int IniFile::readInteger(const QString &path, const QString &section, const QString &key, int defaultValue)
{
    return IniFile(path).readInteger(section, key, defaultValue);
}

bool IniFile::readBool(const QString &path, const QString &section, const QString &key, bool defaultValue)
{
    return IniFile(path).readBool(section, key, defaultValue);
}

void IniFile::writeString(const QString &path, const QString &section, const QString &key,
                          const QString &value)
{
    IniFile file(path);
    file.writeString(section, key, value);
    file.save();
}

void IniFile::writeInteger(const QString &path, const QString &section, const QString &key, int value)
{
    IniFile file(path);
    file.writeInteger(section, key, value);
    file.save();
}
