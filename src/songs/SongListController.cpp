#include "songs/SongListController.h"

#include "platform/AppException.h"
#include "platform/AppPaths.h"
#include "platform/Dialogs.h"
#include "platform/GuardedConnect.h"
#include "songs/ProjectFile.h"
#include "songs/ShownNameDelegate.h"
#include "songs/SongFile.h"
#include "songs/SongName.h"
#include "songs/SongsPage.h"
#include "widgets/LedDisplay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <utility>

namespace
{
const QString ProjectFilter = QStringLiteral("Project file (*.txt)");

// Only a to z are raised, as the display has always shown them.
QString asciiUpper(QString text)
{
    for (QChar &c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    }
    return text;
}

QString inProjectsFolder(const QString &name)
{
    return QDir(AppPaths::projectsDir()).filePath(name);
}
} // namespace

SongListController::SongListController(SongsPage &page, SongFile &songFile, QObject *parent)
    : QObject(parent), m_page(page), m_songFile(songFile)
{
    connectGuarded(page.btAddSong(), &QPushButton::clicked, this, &SongListController::addSong);
    connectGuarded(page.edNewSong(), &QLineEdit::returnPressed, this, &SongListController::addSongOnEnter);
    connectGuarded(page.btDeleteSong(), &QPushButton::clicked, this, &SongListController::deleteSong);
    connectGuarded(page.MMLabel6(), &QPushButton::clicked, this, &SongListController::saveSong);
    connectGuarded(page.btLoadPrj(), &QPushButton::clicked, this, &SongListController::loadProject);
    connectGuarded(page.btSavePrj(), &QPushButton::clicked, this, &SongListController::saveProject);
    connectGuarded(page.btMoveUp(), &QPushButton::clicked, this, [this] { moveSong(-1); });
    connectGuarded(page.btMoveDown(), &QPushButton::clicked, this, [this] { moveSong(1); });
    connectGuarded(page.btRename(), &QPushButton::clicked, this, &SongListController::renameSong);
    connectGuarded(page.btDuplicate(), &QPushButton::clicked, this, &SongListController::duplicateSong);
    connectGuarded(page.lbSongList(), &QListWidget::itemSelectionChanged, this,
                   &SongListController::onSelectionChanged);
    connect(page.lbSongList(), &QListWidget::clicked, this,
            [this](const QModelIndex &index) { guarded([&] { onItemClicked(index); }); });
    m_songList = page.lbSongList();
    m_songList->installEventFilter(this);
    m_songViewport = page.lbSongList()->viewport();
    m_songViewport->installEventFilter(this);
    // A song dragged to another place changes the set as Up and Down do.
    connect(page.lbSongList()->model(), &QAbstractItemModel::rowsMoved, this,
            [this] { guarded([this] { listChanged(); }); });
    connect(&songFile.edits(), &SongEdits::changedChanged, this, [this](bool changed) {
        m_page.labSongChanged()->setVisible(changed);
        showMarks(false);
    });
}

int SongListController::selectedIndex() const
{
    const QList<QListWidgetItem *> selected = m_page.lbSongList()->selectedItems();
    return selected.isEmpty() ? -1 : m_page.lbSongList()->row(selected.constFirst());
}

int SongListController::currentSongRow() const
{
    return m_current.isValid() ? m_current.row() : -1;
}

void SongListController::setCurrentSong(int row)
{
    const QModelIndex at = m_page.lbSongList()->model()->index(row, 0);
    if (at == m_current)
        return;
    m_current = at;
    emit currentSongChanged();
}

void SongListController::setItemIndex(int index)
{
    QListWidget *list = m_page.lbSongList();
    const bool wasQuiet = std::exchange(m_quiet, true);
    setCurrentSong(index);
    if (index >= 0 && index < list->count())
        list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    else
        list->clearSelection();
    m_quiet = wasQuiet;
}

int SongListController::count() const
{
    return m_page.lbSongList()->count();
}

QString SongListController::songAt(int index) const
{
    const QListWidgetItem *item = m_page.lbSongList()->item(index);
    return item ? item->text() : QString();
}

QStringList SongListController::songs() const
{
    QStringList names;
    for (int i = 0; i < count(); ++i)
        names.append(songAt(i));
    return names;
}

QString SongListController::fileName(const QString &name)
{
    return name.size() < 4 ? name : name.left(name.size() - 4);
}

std::optional<QString> SongListController::selectedName() const
{
    const int index = selectedIndex();
    if (index < 0 || index >= count()) {
        Dialogs::warning(QStringLiteral("Choose a song in the list first."));
        return std::nullopt;
    }
    return songAt(index);
}

void SongListController::showCurrent(const QString &name)
{
    m_page.LabSong()->setText(asciiUpper(SongName::shown(name)));
    m_page.labDeleteSong()->setText(SongName::shown(name));
}

bool SongListController::hasSongFile(const QString &name)
{
    // No file name is longer; a hand-made line of megabytes is not looked up on disk.
    constexpr qsizetype Longest = 255;
    return name.size() <= Longest && SongName::staysInFolder(name) &&
           QFileInfo(SongFile::findSongPath(name)).isFile();
}

void SongListController::showMarks(bool everyEntry)
{
    const bool edited = m_songFile.edits().isChanged();
    const int selected = selectedIndex();
    for (int i = 0; i < count(); ++i) {
        QListWidgetItem *item = m_page.lbSongList()->item(i);
        const QString name = item->text();
        const bool loaded = m_loadedSong && SongName::sameFile(name, *m_loadedSong);
        const bool changed = m_songFile.hasDraft(name) || (edited && loaded);
        const bool wasChanged = item->data(ShownNameDelegate::ChangedRole).toBool();
        // The disk is asked only about the entries a load, a save or an edit can have
        // touched: a long set list is not looked up file by file at every edit.
        if (!everyEntry && !changed && !wasChanged && !loaded && i != selected)
            continue;
        const bool missing = !changed && !hasSongFile(name);
        // Set only when different: each set tells the view, which lays the list out anew.
        if (wasChanged != changed)
            item->setData(ShownNameDelegate::ChangedRole, changed);
        if (item->data(ShownNameDelegate::MissingRole).toBool() != missing)
            item->setData(ShownNameDelegate::MissingRole, missing);
    }
}

void SongListController::listChanged()
{
    showMarks(true);
    // A set list without a name has no file to go to; it is kept as soon as it gets one.
    saveCurrentProject();
}

std::optional<QStringList> SongListController::readProject(const QString &path)
{
    const ProjectFile::Content project = ProjectFile::read(path);
    if (project.state == TextFile::State::Unreadable)
        Dialogs::warning(
            QStringLiteral("The project file %1 could not be read: %2. The song list stays as it was.")
                .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), project.reason));
    if (project.state != TextFile::State::Read)
        return std::nullopt;
    return project.names;
}

void SongListController::showSongs(const QStringList &names)
{
    QListWidget *list = m_page.lbSongList();
    const bool wasQuiet = std::exchange(m_quiet, true);
    list->clear();
    list->addItems(names);
    list->clearSelection();
    m_quiet = wasQuiet;
    showMarks(true);
}

void SongListController::LoadProject(const QString &name)
{
    SongFile::enterDataFolder();
    if (const std::optional<QStringList> names = readProject(inProjectsFolder(name)))
        showSongs(*names);
}

void SongListController::loadLastProject(const QString &lastOne, const QString &stored)
{
    // Nothing named is nothing to read, as on a first start.
    if (lastOne.isEmpty())
        return;
    if (!SongName::staysInFolder(lastOne)) {
        Dialogs::warning(QStringLiteral("The last project \"%1\" named in Midi.ini is not in the projects "
                                        "folder; it was not read.")
                             .arg(lastOne));
        return;
    }
    LoadProject(lastOne);
    m_page.cbProject()->setText(fileName(stored));
}

void SongListController::SaveProject(const QString &name)
{
    ProjectFile::write(inProjectsFolder(name), songs());
}

bool SongListController::saveCurrentProject()
{
    SongFile::enterDataFolder();
    const QString name = m_page.cbProject()->text();
    // A file named ".txt" would be a project nobody can choose or name.
    if (name.isEmpty())
        return false;
    const QString file = name + QStringLiteral(".txt");
    const QString problem = SongName::projectProblem(name);
    if (!problem.isEmpty())
        throw FileError(QStringLiteral("Cannot create file \"%1\". %2")
                            .arg(QDir::toNativeSeparators(inProjectsFolder(file)), problem));
    SaveProject(file);
    return true;
}

void SongListController::addSong()
{
    const QString name = m_page.edNewSong()->text();
    QString problem = SongName::addProblem(name, m_page.cbProject()->text());
    if (problem.isEmpty())
        problem = SongFile::projectFileProblem(name);
    if (!problem.isEmpty()) {
        Dialogs::warning(problem);
        return;
    }
    m_page.lbSongList()->addItem(name);
    m_songFile.SaveSong(name);
    m_page.edNewSong()->clear();
    // The controls are the new song now: it is the one Save Song saves. Whatever edits
    // they held went into it.
    m_songFile.edits().setChanged(false);
    m_loadedSong = name;
    setItemIndex(count() - 1);
    showCurrent(name);
    listChanged();
}

void SongListController::addSongOnEnter()
{
    addSong();
}

void SongListController::onSelectionChanged()
{
    if (!m_quiet) {
        const int index = selectedIndex();
        if (index < 0 && m_current.isValid()) {
            // Only a click beside the songs or a Ctrl+click clears it: the player has not
            // left the song.
            setItemIndex(m_current.row());
        } else if (index >= 0 && index == m_refusedRow) {
            // A key press selects twice over; the answer given stands for the whole press.
            setItemIndex(m_previousRow);
        } else if (index < 0 || mayLoadOver(songAt(index))) {
            loadSelectedSong();
        } else {
            m_refusedRow = index;
            QTimer::singleShot(0, this, [this] { m_refusedRow = -1; });
            setItemIndex(m_previousRow);
        }
    }
    m_previousRow = selectedIndex();
}

bool SongListController::mayLoadOver(const QString &target)
{
    if (!m_loadedSong || !m_songFile.edits().isChanged() || SongName::sameFile(target, *m_loadedSong))
        return true;
    const QString question =
        QStringLiteral("The song \"%1\" has changes that are not saved. Save them before \"%2\" is loaded?")
            .arg(SongName::shown(*m_loadedSong), SongName::shown(target));
    switch (Dialogs::instance().askToSave(QStringLiteral("Song changed"), question)) {
    case Dialogs::SaveAnswer::Save:
        try {
            saveLoadedSong();
        } catch (const AppException &) {
            // Not saved: the edits stay on view, and so does their song.
            setItemIndex(m_previousRow);
            throw;
        }
        return true;
    case Dialogs::SaveAnswer::Discard:
        m_songFile.dropDraft(*m_loadedSong);
        m_songFile.edits().setChanged(false);
        return true;
    case Dialogs::SaveAnswer::Cancel:
        break;
    }
    return false;
}

void SongListController::loadSelectedSong()
{
    const int index = selectedIndex();
    if (index < 0)
        return;
    const QString name = songAt(index);
    // The place in the set moves here even when the song cannot be sent: Next goes on from it.
    setCurrentSong(index);
    const bool edited = m_songFile.edits().isChanged();
    if (edited && m_loadedSong && SongName::sameFile(name, *m_loadedSong)) {
        // The song again, as edited: reading its file would drop the edits.
        m_songFile.sendSong();
    } else if (!m_songFile.hasDraft(name) && !hasSongFile(name)) {
        // Defaults sent in its place would switch every unit on stage to the wrong sound.
        emit notice(
            QStringLiteral("\"%1\" was not sent: its song file is missing").arg(SongName::shown(name)));
        showMarks(false);
        return;
    } else {
        // Away from edits without a question (pedal, remote, the stage): they stay, unsaved
        // and marked, until the song is loaded again.
        if (edited && m_loadedSong)
            m_songFile.keepDraft(*m_loadedSong);
        if (!m_songFile.LoadSong(name))
            return;
        m_loadedSong = name;
    }
    showCurrent(name);
    m_page.edNewSong()->clear();
    showMarks(false);
}

void SongListController::nextSongOnSpace()
{
    if (currentSongRow() >= 0)
        stepSong(1);
}

void SongListController::stepSong(int step)
{
    const int index = currentSongRow();
    const int target = index < 0 ? (step > 0 ? 0 : -1) : index + step;
    // On the last song there is nowhere to go; the song stays selected and is not resent.
    if (target < 0 || target >= count() || target == index)
        return;
    setItemIndex(target);
    loadSelectedSong();
}

void SongListController::resend()
{
    if (const int row = currentSongRow(); row >= 0) {
        setItemIndex(row);
        loadSelectedSong();
    }
}

void SongListController::onItemClicked(const QModelIndex &index)
{
    // A click that selected the song has sent it already; only a click on the song that
    // was selected before sends it again.
    if (std::exchange(m_pressedOnSelected, false) && index.row() == selectedIndex())
        resend();
}

bool SongListController::eventFilter(QObject *watched, QEvent *event)
{
    // Compared, never called: the page may already be on its way out when its list's last
    // events arrive.
    if (event->type() == QEvent::MouseButtonPress && watched == m_songViewport) {
        const auto *press = static_cast<QMouseEvent *>(event);
        const QModelIndex at = m_page.lbSongList()->indexAt(press->position().toPoint());
        m_pressedOnSelected = at.isValid() && at.row() == selectedIndex();
    } else if (event->type() == QEvent::KeyPress && watched == m_songList) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            guarded([this, key] { moveSong(key->key() == Qt::Key_Up ? -1 : 1); });
            return true;
        }
        if (key->modifiers() == Qt::NoModifier && key->key() == Qt::Key_Space) {
            guarded([this] { nextSongOnSpace(); });
            return true;
        }
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            guarded([this] { resend(); });
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void SongListController::deleteSong()
{
    const int index = selectedIndex();
    SongFile::enterDataFolder();
    const std::optional<QString> chosen = selectedName();
    if (!chosen)
        return;
    const QString &name = *chosen;

    bool shared = false;
    for (int i = 0; i < count() && !shared; ++i)
        shared = i != index && SongName::sameFile(songAt(i), name);
    // Another entry still plays this song from the same file; a name that points out of
    // the projects folder never came from Add Song and its file is not ours to delete, nor
    // is a project's file that happens to carry the song's name.
    const QString path = SongFile::songPath(name);
    if (!shared && SongName::staysInFolder(name) && QFileInfo(path).isFile() &&
        SongFile::projectFileProblem(name).isEmpty() && !QFile::remove(path))
        Dialogs::warning(QStringLiteral("Can't delete the song file \"") + name +
                         QStringLiteral(".txt\"; it stays in the projects folder."));

    const bool wasQuiet = std::exchange(m_quiet, true);
    delete m_page.lbSongList()->takeItem(index);
    m_page.lbSongList()->clearSelection();
    m_quiet = wasQuiet;
    m_page.LabSong()->setText(QString());
    m_page.labDeleteSong()->setText(QString());
    if (!shared) {
        m_songFile.dropDraft(name);
        if (m_loadedSong && SongName::sameFile(name, *m_loadedSong)) {
            m_loadedSong.reset();
            m_songFile.edits().setChanged(false);
        }
    }
    listChanged();
}

void SongListController::moveSong(int step)
{
    const int index = selectedIndex();
    const int target = index + step;
    if (index < 0 || target < 0 || target >= count())
        return;
    QListWidget *list = m_page.lbSongList();
    const bool wasCurrent = index == currentSongRow();
    const bool wasQuiet = std::exchange(m_quiet, true);
    list->insertItem(target, list->takeItem(index));
    list->setCurrentRow(target, QItemSelectionModel::ClearAndSelect);
    m_quiet = wasQuiet;
    if (wasCurrent)
        setCurrentSong(target);
    listChanged();
}

std::optional<QString> SongListController::newSongName()
{
    const QString name = m_page.edNewSong()->text();
    QString problem = SongName::addProblem(name, m_page.cbProject()->text());
    // Never onto a file that is there already: it is another song's, or a project's.
    if (problem.isEmpty() && QFileInfo::exists(SongFile::songPath(name)))
        problem = QStringLiteral("A song file named \"%1\" is there already; choose another name.").arg(name);
    if (!problem.isEmpty()) {
        Dialogs::warning(problem);
        return std::nullopt;
    }
    return name;
}

void SongListController::renameSong()
{
    SongFile::enterDataFolder();
    const std::optional<QString> chosen = selectedName();
    const std::optional<QString> name = chosen ? newSongName() : std::nullopt;
    if (!name)
        return;
    const QString &old = *chosen;
    const QString from = SongName::staysInFolder(old) ? SongFile::findSongPath(old) : QString();
    if (SongName::staysInFolder(old) && QFileInfo(from).isFile() &&
        !QFile::rename(from, SongFile::songPath(*name))) {
        Dialogs::warning(QStringLiteral("The song file %1 could not be renamed; the song keeps its name.")
                             .arg(QDir::toNativeSeparators(from)));
        return;
    }
    for (int i = 0; i < count(); ++i) {
        if (SongName::sameFile(songAt(i), old))
            m_page.lbSongList()->item(i)->setText(*name);
    }
    m_songFile.renameDraft(old, *name);
    if (m_loadedSong && SongName::sameFile(old, *m_loadedSong))
        m_loadedSong = *name;
    showCurrent(*name);
    m_page.edNewSong()->clear();
    // The other projects first: this one's write may fail and end the handler.
    renameInOtherProjects(old, *name);
    listChanged();
}

void SongListController::renameInOtherProjects(const QString &from, const QString &to)
{
    const QString own = m_page.cbProject()->text() + QStringLiteral(".txt");
    QStringList notFollowed;
    const QDir folder(AppPaths::projectsDir());
    for (const QFileInfo &file : folder.entryInfoList({QStringLiteral("*.txt")}, QDir::Files)) {
        if (!m_page.cbProject()->text().isEmpty() && SongName::sameFile(file.fileName(), own))
            continue;
        ProjectFile::Content project = ProjectFile::read(file.filePath());
        if (project.state != TextFile::State::Read ||
            std::any_of(project.names.cbegin(), project.names.cend(), &SongFile::isSongFileLine))
            continue;
        bool lists = false;
        for (QString &entry : project.names) {
            if (SongName::sameFile(entry, from)) {
                entry = to;
                lists = true;
            }
        }
        if (!lists)
            continue;
        try {
            ProjectFile::write(file.filePath(), project.names);
        } catch (const AppException &e) {
            notFollowed.append(e.message());
        }
    }
    if (!notFollowed.isEmpty())
        Dialogs::warning(QStringLiteral("These projects still list the song as \"%1\":\n%2")
                             .arg(from, notFollowed.join(u'\n')));
}

void SongListController::duplicateSong()
{
    SongFile::enterDataFolder();
    const int index = selectedIndex();
    const std::optional<QString> chosen = selectedName();
    const std::optional<QString> name = chosen ? newSongName() : std::nullopt;
    if (!name)
        return;
    const QString &old = *chosen;
    const QString from = SongName::staysInFolder(old) ? SongFile::findSongPath(old) : QString();
    if (SongName::staysInFolder(old) && QFileInfo(from).isFile()) {
        if (!QFile::copy(from, SongFile::songPath(*name))) {
            Dialogs::warning(
                QStringLiteral("The song file %1 could not be copied.").arg(QDir::toNativeSeparators(from)));
            return;
        }
    } else {
        // A song never saved: the copy is the song as it stands.
        m_songFile.SaveSong(*name);
    }
    const bool wasQuiet = std::exchange(m_quiet, true);
    m_page.lbSongList()->insertItem(index + 1, *name);
    m_quiet = wasQuiet;
    m_page.edNewSong()->clear();
    listChanged();
}

void SongListController::saveLoadedSong()
{
    m_songFile.SaveSong(*m_loadedSong);
    m_songFile.edits().setChanged(false);
    showMarks(false);
}

bool SongListController::mayEnd()
{
    QStringList names = m_songFile.draftNames();
    const bool edited = m_loadedSong && m_songFile.edits().isChanged();
    if (edited)
        names.prepend(*m_loadedSong);
    if (names.isEmpty())
        return true;
    QStringList shown;
    for (const QString &name : std::as_const(names))
        shown.append(QLatin1Char('"') + SongName::shown(name) + QLatin1Char('"'));
    const QString question = QStringLiteral("Changes to %1 are not saved. Save them before the program ends?")
                                 .arg(shown.join(", "));
    switch (Dialogs::instance().askToSave(QStringLiteral("Songs changed"), question)) {
    case Dialogs::SaveAnswer::Save:
        try {
            if (edited)
                saveLoadedSong();
            for (const QString &name : m_songFile.draftNames())
                m_songFile.saveDraft(name);
        } catch (const AppException &e) {
            Dialogs::warning(e.message());
            showMarks(false);
            return false;
        }
        return true;
    case Dialogs::SaveAnswer::Discard:
        return true;
    case Dialogs::SaveAnswer::Cancel:
        break;
    }
    return false;
}

void SongListController::saveSong()
{
    // The controls are the loaded song's, whatever the list's selection shows now.
    if (!m_loadedSong) {
        Dialogs::warning(QStringLiteral("Choose a song in the list, or add one, first: Save Song saves the "
                                        "song the controls show."));
        return;
    }
    saveLoadedSong();
}

void SongListController::saveSongFromMenu()
{
    saveSong();
}

void SongListController::loadProject()
{
    SongFile::enterDataFolder();
    Dialogs::FileRequest request;
    request.title = QStringLiteral("Load Patchwarden project file");
    request.filter = ProjectFilter;
    request.defaultSuffix = QStringLiteral("txt");
    // Songs and projects share the extension; only a song file's sections tell them apart.
    request.shows = [](const QString &path) { return !SongFile::startsAsSongFile(path); };
    const QString chosen = Dialogs::instance().openFile(request);
    if (chosen.isEmpty())
        return;
    // The desktop's own dialog lists song files too; read as a project, one would turn the
    // song's settings into song names.
    if (SongFile::startsAsSongFile(chosen)) {
        Dialogs::warning(
            QStringLiteral("\"%1\" is a song file, not a project. Choose a project file: a list of "
                           "song names, as \"Save Project\" writes it.")
                .arg(QFileInfo(chosen).fileName()));
        return;
    }
    // Read first: a file that cannot be read must not rename the project either, or the
    // list shown now would be saved under the new name.
    const std::optional<QStringList> names = readProject(chosen);
    const QString name = QFileInfo(chosen).completeBaseName();
    if (!names || !mayReplaceProject(name, chosen, *names))
        return;
    m_page.cbProject()->setText(name);
    showSongs(*names);
}

bool SongListController::mayReplaceProject(const QString &name, const QString &chosen,
                                           const QStringList &names)
{
    // The project is saved into the projects folder from now on: a project of that name
    // already there would be replaced at the next save.
    const QString own = inProjectsFolder(name + QStringLiteral(".txt"));
    const QFileInfo ownInfo(own);
    if (!ownInfo.exists() || ownInfo.canonicalFilePath() == QFileInfo(chosen).canonicalFilePath())
        return true;
    const ProjectFile::Content there = ProjectFile::read(own);
    if (there.state == TextFile::State::Read && there.names == names)
        return true;
    return Dialogs::confirm(
        QStringLiteral("Replace the project %1 in the projects folder with the one loaded from %2?")
            .arg(name, QDir::toNativeSeparators(QFileInfo(chosen).absoluteFilePath())));
}

void SongListController::loadProjectFromMenu()
{
    loadProject();
}

void SongListController::saveProject()
{
    SongFile::enterDataFolder();
    Dialogs::FileRequest request;
    request.title = QStringLiteral("Save Patchwarden project file");
    request.filter = ProjectFilter;
    request.defaultSuffix = QStringLiteral("txt");
    request.presetName = m_page.cbProject()->text();
    const QString chosen = Dialogs::instance().saveFile(request);
    if (chosen.isEmpty())
        return;
    SaveProject(chosen);
}

void SongListController::saveProjectFromMenu()
{
    saveProject();
}
