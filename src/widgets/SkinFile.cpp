#include "SkinFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

namespace
{
void fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
}

bool isPropertyName(const QString &key)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z][A-Za-z0-9_]*$"));
    return re.match(key).hasMatch();
}

bool isDeclarationName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^-?[A-Za-z][A-Za-z0-9-]*$"));
    return re.match(name).hasMatch();
}

bool checkDeclarations(const QString &block, QString *error)
{
    // Strings were already checked to be closed; a ';' inside one is rare enough in a
    // skin that splitting naively would only ever reject, never accept, a bad file.
    for (const QString &part : block.split(QLatin1Char(';'))) {
        const QString declaration = part.trimmed();
        if (declaration.isEmpty())
            continue;
        const qsizetype colon = declaration.indexOf(QLatin1Char(':'));
        if (colon <= 0) {
            fail(error, QStringLiteral("declaration without a colon: %1").arg(declaration.left(40)));
            return false;
        }
        if (!isDeclarationName(declaration.left(colon).trimmed())) {
            fail(error, QStringLiteral("bad property name: %1").arg(declaration.left(colon).left(40)));
            return false;
        }
        if (declaration.mid(colon + 1).trimmed().isEmpty()) {
            fail(error, QStringLiteral("declaration without a value: %1").arg(declaration.left(40)));
            return false;
        }
    }
    return true;
}
} // namespace

std::optional<SkinFile> SkinFile::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, file.errorString());
        return std::nullopt;
    }
    if (file.size() > MaxBytes) {
        fail(error, QStringLiteral("file too large for a skin"));
        return std::nullopt;
    }
    return parse(file.read(MaxBytes + 1), error);
}

std::optional<SkinFile> SkinFile::parse(const QByteArray &bytes, QString *error)
{
    if (bytes.size() > MaxBytes) {
        fail(error, QStringLiteral("file too large for a skin"));
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        fail(error, QStringLiteral("not UTF-8 text"));
        return std::nullopt;
    }
    for (const QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f') {
            fail(error, QStringLiteral("control character in text"));
            return std::nullopt;
        }
    }

    const QString body = text.trimmed();
    if (!body.startsWith(QLatin1String("/*"))) {
        fail(error, QStringLiteral("no skin header"));
        return std::nullopt;
    }
    const qsizetype headerEnd = body.indexOf(QLatin1String("*/"), 2);
    if (headerEnd < 0) {
        fail(error, QStringLiteral("skin header not closed"));
        return std::nullopt;
    }

    SkinFile skin;
    bool sawMagic = false;
    const QStringList lines = body.mid(2, headerEnd - 2).split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (!sawMagic) {
            if (line != QLatin1String(Magic)) {
                fail(error, QStringLiteral("no skin header"));
                return std::nullopt;
            }
            sawMagic = true;
            continue;
        }
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0) {
            fail(error, QStringLiteral("header line without a colon: %1").arg(line.left(40)));
            return std::nullopt;
        }
        const QString key = line.left(colon).trimmed();
        const QString value = line.mid(colon + 1).trimmed();
        if (key == QLatin1String("name")) {
            skin.name = value;
            continue;
        }
        const QColor colour = QColor::fromString(value);
        if (!isPropertyName(key) || !colour.isValid()) {
            fail(error, QStringLiteral("bad colour line: %1").arg(line.left(40)));
            return std::nullopt;
        }
        skin.colours.append({key.toLatin1(), colour});
    }
    if (!sawMagic) {
        fail(error, QStringLiteral("no skin header"));
        return std::nullopt;
    }
    if (skin.name.isEmpty()) {
        fail(error, QStringLiteral("skin has no name"));
        return std::nullopt;
    }
    if (!checkStyleSheet(text, error))
        return std::nullopt;
    skin.styleSheet = text;
    return skin;
}

bool SkinFile::checkStyleSheet(const QString &text, QString *error)
{
    bool inBlock = false;
    int rules = 0;
    QString selector;
    QString block;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'/' && i + 1 < n && text.at(i + 1) == u'*') {
            const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
            if (end < 0) {
                fail(error, QStringLiteral("comment not closed"));
                return false;
            }
            i = end + 1;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            const qsizetype end = text.indexOf(c, i + 1);
            const qsizetype newline = text.indexOf(QLatin1Char('\n'), i + 1);
            if (end < 0 || (newline >= 0 && newline < end)) {
                fail(error, QStringLiteral("string not closed"));
                return false;
            }
            (inBlock ? block : selector) += text.mid(i, end - i + 1);
            i = end;
            continue;
        }
        if (c == u'{') {
            if (inBlock) {
                fail(error, QStringLiteral("nested block"));
                return false;
            }
            if (selector.trimmed().isEmpty()) {
                fail(error, QStringLiteral("rule without a selector"));
                return false;
            }
            inBlock = true;
            block.clear();
            continue;
        }
        if (c == u'}') {
            if (!inBlock) {
                fail(error, QStringLiteral("unbalanced closing brace"));
                return false;
            }
            if (!checkDeclarations(block, error))
                return false;
            inBlock = false;
            selector.clear();
            ++rules;
            continue;
        }
        if (!inBlock && c == u';') {
            fail(error, QStringLiteral("declaration outside a rule"));
            return false;
        }
        (inBlock ? block : selector) += c;
    }
    if (inBlock) {
        fail(error, QStringLiteral("rule not closed"));
        return false;
    }
    if (!selector.trimmed().isEmpty()) {
        fail(error, QStringLiteral("text after the last rule"));
        return false;
    }
    if (rules == 0) {
        fail(error, QStringLiteral("no rules"));
        return false;
    }
    return true;
}
