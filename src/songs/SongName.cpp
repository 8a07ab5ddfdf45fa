#include "songs/SongName.h"

#include "songs/SongFile.h"

namespace
{
bool hasForbiddenCharacter(const QString &name)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control ||
            forbidden.contains(c))
            return true;
    }
    return false;
}

Qt::CaseSensitivity fileNameCase()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return Qt::CaseInsensitive;
#else
    return Qt::CaseSensitive;
#endif
}
} // namespace

const QString SongName::EmptyName = QStringLiteral("Type a name for the new song first.");
const QString SongName::BadCharacters = QStringLiteral(
    "A song name cannot contain any of the characters \\ / : * ? \" < > | or a control character.");
const QString SongName::DotName = QStringLiteral("\".\" and \"..\" cannot be song names.");
const QString SongName::SectionName =
    QStringLiteral("A song name cannot start with [TEdit], [TSpinEdit], [TCheckBox] or [ComboBox]: in the "
                   "project file that line would make the project read as a song file.");

QString SongName::projectNameText(const QString &projectName)
{
    return QStringLiteral(
               "A song cannot have the name of its project \"%1\": both would use the file %1.txt.")
        .arg(projectName);
}

bool SongName::staysInFolder(const QString &name)
{
    // Only what would lead out of the folder counts: a name that came from a file is used
    // as it stands, whatever else the folder allowed in it.
#if defined(Q_OS_WIN)
    static const QString leaves = QStringLiteral("\\/:");
#else
    static const QString leaves = QStringLiteral("\\/");
#endif
    for (const QChar c : name) {
        if (c.unicode() == 0 || leaves.contains(c))
            return false;
    }
    return name != u"." && name != u"..";
}

QString SongName::projectProblem(const QString &name)
{
    if (staysInFolder(name))
        return {};
    return QStringLiteral("A project name cannot contain \\ or / and cannot be \".\" or \"..\": "
                          "the project file must stay in the projects folder.");
}

bool SongName::sameFile(const QString &a, const QString &b)
{
    return a.compare(b, fileNameCase()) == 0;
}

QString SongName::shown(const QString &name)
{
    // No file name is longer than this, so a real song name always shows whole.
    constexpr qsizetype Longest = 255;
    if (name.size() <= Longest)
        return name;
    qsizetype cut = Longest - 1;
    if (name.at(cut - 1).isHighSurrogate())
        --cut;
    return name.left(cut) + QChar(0x2026);
}

QString SongName::addProblem(const QString &name, const QString &projectName)
{
    if (name.isEmpty())
        return EmptyName;
    if (hasForbiddenCharacter(name))
        return BadCharacters;
    if (name == u"." || name == u"..")
        return DotName;
    // Other names in brackets, "[Encore] Finale", are plain lines of a project file.
    if (SongFile::isSongFileLine(name))
        return SectionName;
    // Compared without regard to case even where the file system would tell them apart,
    // so that a project copied to a system that does not still works.
    if (name.compare(projectName, Qt::CaseInsensitive) == 0)
        return projectNameText(projectName);
    return {};
}
