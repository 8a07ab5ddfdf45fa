#include "songs/SongFile.h"

#include "platform/AppException.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/LegacyFileName.h"
#include "platform/TextCodec.h"
#include "platform/TextLines.h"
#include "songs/ControlNumbers.h"
#include "songs/SongControls.h"
#include "songs/SongName.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScopeGuard>

#include <algorithm>

namespace
{
constexpr ControlKind AllKinds[] = {ControlKind::Spin, ControlKind::ComboBox, ControlKind::Text,
                                    ControlKind::Check};

QString sectionOf(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Spin:
        return QStringLiteral("TSpinEdit");
    case ControlKind::ComboBox:
        return QStringLiteral("ComboBox");
    case ControlKind::Text:
        return QStringLiteral("TEdit");
    case ControlKind::Check:
        return QStringLiteral("TCheckBox");
    }
    return {};
}

QString makeKey(const StoredControl &control)
{
    switch (control.kind) {
    case ControlKind::Spin:
        return QStringLiteral("Spin%1").arg(control.number);
    case ControlKind::ComboBox:
        return QStringLiteral("cbBox%1").arg(control.number);
    case ControlKind::Text:
        return QStringLiteral("Text%1").arg(control.number);
    case ControlKind::Check:
        return QStringLiteral("Checked%1").arg(control.number);
    }
    return {};
}

// The key of storedControls()[i]; made once, as every load and save asks for all of them.
const QString &keyOf(std::size_t i)
{
    static const std::vector<QString> keys = [] {
        std::vector<QString> made;
        for (const StoredControl &control : storedControls())
            made.push_back(makeKey(control));
        return made;
    }();
    return keys[i];
}

// These belong to the set-up and the project, not to the song; a song file keeps them
// only because it always has.
bool keptOnLoad(const QString &objectName)
{
    return objectName == u"MidiSendCh" || objectName == u"MidiRecCh" || objectName == u"cbProject" ||
           objectName == u"ckbRemote";
}
} // namespace

SongFile::SongFile(const SongControls &controls) : m_controls(controls)
{
    std::vector<QWidget *> song;
    for (std::size_t i = 0; i < storedWidgets().size(); ++i) {
        const QString &name = storedControls()[i].objectName;
        if (!keptOnLoad(name) && name != u"edNewSong")
            song.push_back(storedWidgets()[i]);
    }
    m_edits.watch(song);
}

const std::vector<QWidget *> &SongFile::storedWidgets()
{
    // The record is complete once the pages are built and never changes after; a record
    // still missing widgets is looked up again on each use.
    if (!m_widgetsComplete) {
        m_widgets = ::storedWidgets(m_controls);
        m_widgetsComplete = std::none_of(m_widgets.begin(), m_widgets.end(), [](QWidget *w) { return !w; });
    }
    return m_widgets;
}

QString SongFile::enterDataFolder(const QString &folder)
{
    const QString path = AppPaths::dataDir() + u'/' + folder;
    if (QDir::setCurrent(path))
        return path;
    if (!QDir().mkdir(path)) {
        Dialogs::warning(
            QStringLiteral("Can't create the projects folder; songs and projects cannot be saved."));
        return path;
    }
    QDir::setCurrent(path);
    return path;
}

QString SongFile::songPath(const QString &name)
{
    return AppPaths::projectsDir() + u'/' + name + QStringLiteral(".txt");
}

QString SongFile::findSongPath(const QString &name)
{
    const QString path = songPath(name);
    if (SongName::staysInFolder(name))
        LegacyFileName::adopt(path);
    return path;
}

QString SongFile::projectFileProblem(const QString &name)
{
    if (!SongName::staysInFolder(name) || !isProjectFile(IniFile(findSongPath(name))))
        return {};
    return QStringLiteral("\"%1\" cannot be a song name: %1.txt in the projects folder is a project file.")
        .arg(name);
}

bool SongFile::isSongSection(QStringView name)
{
    for (const ControlKind kind : AllKinds) {
        if (name.compare(sectionOf(kind), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool SongFile::isSongFileLine(QStringView line)
{
    const QStringView section = IniFile::sectionName(line);
    return !section.isNull() && isSongSection(section);
}

bool SongFile::startsAsSongFile(const QString &path)
{
    // A song file opens with its first section; an even count keeps UTF-16 whole.
    constexpr qint64 HeadSize = 512;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const QString head = TextCodec::decode(file.read(HeadSize)).text;
    bool song = false;
    forEachTextLine(head, [&song](QStringView line) { song = song || isSongFileLine(line); });
    return song;
}

bool SongFile::isProjectFile(const IniFile &file)
{
    // A project may list a song named "[Encore] Finale": only the sections a song is
    // stored in tell a song file.
    if (file.isUnreadable() || !file.hasContent())
        return false;
    return std::none_of(std::begin(AllKinds), std::end(AllKinds),
                        [&file](ControlKind kind) { return file.hasSection(sectionOf(kind)); });
}

void SongFile::writeControls(IniFile &ini)
{
    const std::vector<QWidget *> &widgets = storedWidgets();
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        const StoredControl &control = storedControls()[i];
        QWidget *widget = widgets[i];
        if (!widget)
            continue;
        const QString section = sectionOf(control.kind);
        const QString &key = keyOf(i);
        switch (control.kind) {
        case ControlKind::Spin:
            ini.writeInteger(section, key, static_cast<SpinEdit *>(widget)->value());
            break;
        case ControlKind::ComboBox:
            ini.writeInteger(section, key, static_cast<QComboBox *>(widget)->currentIndex());
            break;
        case ControlKind::Text:
            ini.writeString(section, key, static_cast<QLineEdit *>(widget)->text());
            break;
        case ControlKind::Check:
            ini.writeBool(section, key, static_cast<QCheckBox *>(widget)->isChecked());
            break;
        }
    }
    if (m_writeExtra)
        m_writeExtra(ini);
}

IniFile SongFile::songFileToWrite(const QString &name)
{
    enterDataFolder();
    const QString path = findSongPath(name);
    const QString error = QStringLiteral("Unable to write to %1. %2").arg(QDir::toNativeSeparators(path));
    if (!SongName::staysInFolder(name))
        throw FileError(error.arg(QStringLiteral("A song file must stay in the projects folder")));

    IniFile ini(path);
    if (isProjectFile(ini))
        throw FileError(error.arg(QStringLiteral("It is the project file of the project \"%1\"; a song "
                                                 "cannot be saved over it")
                                      .arg(name)));
    return ini;
}

void SongFile::SaveSong(const QString &name)
{
    IniFile ini = songFileToWrite(name);
    writeControls(ini);
    ini.save();
    m_drafts.erase(name);
}

void SongFile::keepDraft(const QString &name)
{
    IniFile ini(SongName::staysInFolder(name) ? findSongPath(name) : QString());
    writeControls(ini);
    m_drafts.insert_or_assign(name, std::move(ini));
}

void SongFile::renameDraft(const QString &from, const QString &to)
{
    auto draft = m_drafts.extract(from);
    if (draft.empty())
        return;
    // The file was renamed with the song: the edits go to it under its new name.
    IniFile moved = IniFile::fromText(findSongPath(to), draft.mapped().toText());
    m_drafts.insert_or_assign(to, std::move(moved));
}

QStringList SongFile::draftNames() const
{
    QStringList names;
    for (const auto &draft : m_drafts)
        names.append(draft.first);
    return names;
}

void SongFile::saveDraft(const QString &name)
{
    const auto draft = m_drafts.find(name);
    if (draft == m_drafts.end())
        return;
    // Checked as a save of the controls is: the file may have become another's since.
    songFileToWrite(name);
    draft->second.save();
    m_drafts.erase(draft);
}

void SongFile::readControls(const IniFile &ini)
{
    const SongEdits::Loading loading(m_edits);
    if (m_loading)
        m_loading(true);
    const auto loaded = qScopeGuard([this] {
        if (m_loading)
            m_loading(false);
    });
    // Before the controls, as a song always had them when it was sent.
    if (m_readExtra)
        m_readExtra(ini);
    const std::vector<QWidget *> &widgets = storedWidgets();
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        const StoredControl &control = storedControls()[i];
        QWidget *widget = widgets[i];
        if (!widget || keptOnLoad(control.objectName))
            continue;
        const QString section = sectionOf(control.kind);
        const QString &key = keyOf(i);
        switch (control.kind) {
        case ControlKind::Spin:
            static_cast<SpinEdit *>(widget)->setValue(ini.readInteger(section, key, -1));
            break;
        case ControlKind::ComboBox: {
            // A position outside the list clears the choice like -1 does.
            auto *choice = static_cast<QComboBox *>(widget);
            const int position = ini.readInteger(section, key, -1);
            const int shown = position >= 0 && position < choice->count() ? position : -1;
            if (choice->currentIndex() != shown)
                choice->setCurrentIndex(shown);
            break;
        }
        case ControlKind::Text: {
            // Songs in a set share most of their texts; rewriting the same text still
            // costs the field its cursor, its undo and a relayout.
            auto *edit = static_cast<QLineEdit *>(widget);
            const QString text = ini.readString(section, key, QString());
            if (edit->text() != text)
                edit->setText(text);
            break;
        }
        case ControlKind::Check:
            static_cast<QCheckBox *>(widget)->setChecked(ini.readBool(section, key, false));
            break;
        }
    }
}

bool SongFile::LoadSong(const QString &name)
{
    enterDataFolder();
    const auto draft = m_drafts.find(name);
    if (draft != m_drafts.end()) {
        readControls(draft->second);
        m_edits.setChanged(true);
    } else {
        // A name from a hand-made project file that points elsewhere reads as a missing song.
        const IniFile ini(SongName::staysInFolder(name) ? findSongPath(name) : QString());
        if (ini.isUnreadable()) {
            // Defaults sent in its place would switch every unit on stage to the wrong sound.
            Dialogs::warning(
                QStringLiteral("The song file %1 could not be read: %2. Nothing was loaded or sent.")
                    .arg(QDir::toNativeSeparators(ini.path()), ini.readError()));
            return false;
        }
        readControls(ini);
        m_edits.setChanged(false);
    }
    sendSong();
    return true;
}
