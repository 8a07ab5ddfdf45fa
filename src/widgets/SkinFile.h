#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// One skin as read from disk: a Qt style sheet that opens with a comment block of our own.
//
//   /* Patchwarden skin
//      name: Night Stage
//      ledColor: #ff3b30
//      faderHandle: #d0d0d0
//   */
//   QWidget { ... }
//
// The header carries what a style sheet cannot reach: the colours that custom-painted
// widgets (LED displays, faders) expose as Q_PROPERTYs; each key is such a property name.
// Because the header is a comment, the whole file stays a valid style sheet.
//
// Parsing is strict on purpose: a skin is applied to every window at once, so a file that
// is not clearly a skin (binary junk, no header, unbalanced braces, a bad colour) is refused
// whole rather than applied half-way.
class SkinFile
{
public:
    static constexpr qint64 MaxBytes = 512 * 1024;
    static constexpr char Magic[] = "Patchwarden skin";

    QString name;
    QString styleSheet;                       // the whole text, header included
    QList<QPair<QByteArray, QColor>> colours; // property name -> colour, in file order

    // Reads and checks a file; nullopt with a reason in *error when it is not a usable skin.
    static std::optional<SkinFile> load(const QString &path, QString *error = nullptr);
    static std::optional<SkinFile> parse(const QByteArray &bytes, QString *error = nullptr);

    // A light syntax check of style-sheet text: comments and strings closed, braces
    // balanced and not nested, every rule with a selector, every declaration "name: value".
    static bool checkStyleSheet(const QString &text, QString *error = nullptr);
};
