// Any bytes as an INI file, then a series of writes: reading never crashes, and after a
// save every value written reads back as written, whatever the file held before (other
// programs' lines, another encoding, damage).
#include "FuzzSupport.h"

#include "platform/IniFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <map>

namespace
{
// Only names and values that the file format can carry: one line, no blanks at either
// end, a name that does not look like a section or a comment, a value that is not wrapped
// in quotes (the reader takes those off, as the profile reader always did).
bool canCarry(const QString &text)
{
    return !text.contains(u'\r') && !text.contains(u'\n') && text == text.trimmed();
}
bool usableSection(const QString &name)
{
    return !name.isEmpty() && canCarry(name) && !name.contains(u']');
}
bool usableKey(const QString &name)
{
    return !name.isEmpty() && canCarry(name) && !name.contains(u'=') && !name.startsWith(u';') &&
           !name.startsWith(u'[');
}
bool usableValue(const QString &value)
{
    const bool quoted = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                        value.back() == value.front();
    return canCarry(value) && !quoted && value.size() <= IniFile::MaxValueLength;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzEnvironment &env = FuzzEnvironment::get();
    FuzzedDataProvider input(data, size);
    const std::string before = input.ConsumeRandomLengthString(size);
    const QString path = env.write(QStringLiteral("Fuzz.ini"), QByteArray::fromStdString(before));

    IniFile file(path);
    std::map<std::pair<QString, QString>, QString> written; // case-folded names -> value
    std::map<std::pair<QString, QString>, std::pair<QString, QString>> spelling;
    while (input.remaining_bytes() > 0) {
        const QString section = QString::fromStdString(input.ConsumeRandomLengthString(64));
        const QString key = QString::fromStdString(input.ConsumeRandomLengthString(64));
        const QString value = input.ConsumeBool()
                                  ? QString::number(input.ConsumeIntegral<int>())
                                  : QString::fromStdString(input.ConsumeRandomLengthString(256));
        // The reads in between must not disturb the writes.
        (void)file.readString(section, key, QString());
        if (!usableSection(section) || !usableKey(key) || !usableValue(value))
            continue;
        file.writeString(section, key, value);
        const auto id = std::make_pair(section.toCaseFolded(), key.toCaseFolded());
        written[id] = value;
        spelling[id] = {section, key};
    }
    file.save();

    const IniFile again(path);
    for (const auto &[id, value] : written) {
        const auto &[section, key] = spelling[id];
        FUZZ_CHECK(again.readString(section, key, QStringLiteral("<missing>")) == value);
        int number = 0;
        if (IniFile::parseInteger(value, &number))
            FUZZ_CHECK(again.readInteger(section, key, number ^ 1) == number);
    }
    return 0;
}
