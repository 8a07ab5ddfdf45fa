#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QString>
#include <QStringList>

#include <optional>

class QModelIndex;
class SongFile;
class SongsPage;

// The behaviour of the page "Sessions": the project, the song list and the current song.
// It connects the page's own controls when it is made; the main window connects its
// File menu items to loadProjectFromMenu, saveProjectFromMenu and saveSongFromMenu.
//
// Selecting a song by a click or by the keyboard loads and sends it; a click on the
// selected song, or Enter in the list, sends it again. Selection made by
// the program (setItemIndex, remote selection, start-up) does not; run loadSelectedSong
// afterwards where the song should follow.
//
// The place in the set is the current song, not the selection: a click beside the songs,
// which clears the selection, puts it back on the current song, and Next, Previous and
// Re-send start from the current song whatever the selection shows.
class SongListController : public QObject
{
    Q_OBJECT
public:
    SongListController(SongsPage &page, SongFile &songFile, QObject *parent = nullptr);

    // The selected position, -1 when nothing is selected.
    int selectedIndex() const;
    // The current song's position: the song last loaded or chosen by the program; -1 when none.
    int currentSongRow() const;
    // Selects `index` without loading the song; out of range clears the selection.
    void setItemIndex(int index);
    int count() const;
    QString songAt(int index) const;
    QStringList songs() const;

    // `name` less its last four characters; a name shorter than that comes back as it is.
    static QString fileName(const QString &name);

    // Replaces the list with the lines of the project file `name`, a name relative to the
    // projects folder or a full path. A missing file changes nothing; one that exists but
    // cannot be read is reported and changes nothing.
    void LoadProject(const QString &name);
    // The start-up's load: `lastOne` is the stored project file name ("Sorry" when
    // none is stored), `stored` the name as stored, which the project name comes from. A
    // name that leads out of the projects folder is refused with a warning, and the
    // project name stays empty; an empty one reads nothing.
    void loadLastProject(const QString &lastOne, const QString &stored);
    // Writes the list as the project file `name`, relative to the projects folder or a
    // full path. Throws FileError "Cannot create file ..." when it cannot.
    void SaveProject(const QString &name);

    // Where a save at shut-down puts the current project: the projects folder, under the
    // project name. Throws FileError when the project name could not be a file name there.
    // A project without a name is not written: returns false when it was not.
    bool saveCurrentProject();

    // Whether the program may end: asks, when songs have unsaved edits, whether to save
    // them; false when the user cancels or a save failed (said in a warning).
    bool mayEnd();

    // The song the controls show, which Save Song saves; empty when none.
    QString loadedSong() const { return m_loadedSong.value_or(QString()); }

signals:
    // A word for the status bar: what a recall could not do.
    void notice(const QString &text);

public slots:
    void addSong();
    void addSongOnEnter();   // the Enter key in edNewSong
    void loadSelectedSong(); // Select a song
    void nextSongOnSpace();  // the space bar in the song list: Next song
    void deleteSong();
    void saveSong();
    void saveSongFromMenu();
    void loadProject();
    void loadProjectFromMenu();
    void saveProject();
    void saveProjectFromMenu();
    // Moves `step` songs on from the current one (back when negative) and sends that song,
    // as a stage's Next / Previous; with no current song, Next takes the first song. At
    // either end of the list nothing moves and nothing is sent.
    void stepSong(int step);
    // Loads and sends the current song again.
    void resend();
    // Moves the selected song `step` places; it stays selected and nothing is sent.
    void moveSong(int step);
    // Renames the selected song, and its file, to the name in edNewSong; every entry that
    // plays the same file follows, in this project and in every other project of the
    // folder. Refused with a warning where a song file of the new name exists already.
    void renameSong();
    // A copy of the selected song's file under the name in edNewSong, entered after it.
    void duplicateSong();

signals:
    // The current song is another one, or none.
    void currentSongChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // -1 (or any row outside the list) for none.
    void setCurrentSong(int row);
    void onSelectionChanged();
    void onItemClicked(const QModelIndex &index);
    // Whether loading `chosen` as the project `name` may go on; asks when that would replace
    // a different project of that name in the projects folder.
    static bool mayReplaceProject(const QString &name, const QString &chosen, const QStringList &names);
    // The names in the project file at `path`; nothing when it is missing, and a warning
    // too when it exists but cannot be read.
    static std::optional<QStringList> readProject(const QString &path);
    // Replaces the list's songs, leaving none selected and sending nothing.
    void showSongs(const QStringList &names);
    // The name at the selected position; warns and gives nothing when none is selected.
    std::optional<QString> selectedName() const;
    // Whether the loaded song's edits allow loading `target` over them; asks whether to
    // save them when they would be lost.
    bool mayLoadOver(const QString &target);
    void saveLoadedSong();
    // The list changed: its project file follows at once, so that no crash loses it.
    void listChanged();
    // The entries of every other project in the folder that play `from` now play `to`.
    void renameInOtherProjects(const QString &from, const QString &to);
    void showCurrent(const QString &name);
    static bool hasSongFile(const QString &name);
    // Marks the entries whose song has unsaved edits or no song file: every entry, or
    // only those an edit, a load or a save can have changed.
    void showMarks(bool everyEntry);
    // The name in edNewSong, when it may become the file of a new song; warns and gives
    // nothing when not.
    std::optional<QString> newSongName();

    SongsPage &m_page;
    QObject *m_songList = nullptr;     // the list whose keys we watch
    QObject *m_songViewport = nullptr; // and its viewport, whose clicks we watch
    bool m_pressedOnSelected = false;
    SongFile &m_songFile;
    // Set while the program itself moves the selection.
    bool m_quiet = false;
    QPersistentModelIndex m_current;
    int m_previousRow = -1;
    int m_refusedRow = -1; // a song the user just chose not to load
    std::optional<QString> m_loadedSong;
};
