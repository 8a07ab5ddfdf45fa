#pragma once

#include "songs/SongEdits.h"

#include "platform/IniFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <vector>

class QWidget;
struct SongControls;

// Copies the current song between the window's controls and its song file, an INI file
// in the projects folder that keeps every stored control under its control number.
//
// A save replaces the file in one piece, so the file on disk is always a whole song.
// A load ends by sending the song; whoever owns the recall tells the song file how, and
// keeps still while the load sets the controls one by one: a song half loaded is no song
// to send, and its programs would go out on the strips and channels of the song before.
class SongFile
{
public:
    explicit SongFile(const SongControls &controls);

    // Called at the end of every load, after all controls were set.
    void setSongSender(std::function<void()> sendSong) { m_sendSong = std::move(sendSong); }
    // Told true before a load sets its first control and false once it has ended, also
    // when it ends early.
    void setLoadingNotice(std::function<void(bool)> loading) { m_loading = std::move(loading); }

    // Values kept with a song beyond its controls, in sections of their own: `read` runs
    // before the controls are set on a load, `write` after them on a save.
    void setExtraValues(std::function<void(const IniFile &)> read, std::function<void(IniFile &)> write)
    {
        m_readExtra = std::move(read);
        m_writeExtra = std::move(write);
    }

    // Makes `folder` inside the data folder the current folder, creating it when missing;
    // warns that it can't create the projects folder when that fails and goes on. Returns the folder's path.
    static QString enterDataFolder(const QString &folder = QStringLiteral("Projects"));

    // The song file of the song `name`.
    static QString songPath(const QString &name);
    // The same, after giving a file that an archive from Windows unpacked under the
    // name's Windows-1252 bytes the name's own bytes, so that loads and saves find it.
    static QString findSongPath(const QString &name);

    // Whether `name` is a section a song file keeps its controls in; a line opening one
    // is what tells a song file from a project file.
    static bool isSongSection(QStringView name);
    static bool isSongFileLine(QStringView line);
    // Whether the file at `path` opens as a song file: a song's own section among its first
    // lines. Reads only the file's head, so that a file dialog may ask it of every file in a
    // folder; a file that cannot be read is not taken for a song file.
    static bool startsAsSongFile(const QString &path);

    // Why `name` cannot become a new song because its file is a project's; empty when it can.
    static QString projectFileProblem(const QString &name);

    // Writes the song file of `name` from the controls. Throws FileError
    // "Unable to write to <full path>. <reason>" when it cannot, also when that file is a
    // project file or could not be read; the file is then as it was.
    void SaveSong(const QString &name);

    // Sets the controls from the song file of `name` (a missing file or key gives the
    // control its lowest value, empty text, off or no choice), then sends the song. The
    // project name, the send and receive channels and the remote switch keep their values.
    // A file that exists but cannot be read is reported and changes nothing, sends nothing:
    // returns false then.
    // Edits of a song left for another one are kept here, unsaved, until the song is
    // loaded again (the load shows them) or saved.
    bool LoadSong(const QString &name);
    // Sends the song as the controls show it.
    void sendSong() const
    {
        if (m_sendSong)
            m_sendSong();
    }

    // Whether the controls differ from the loaded song's file.
    SongEdits &edits() { return m_edits; }
    // Keeps the controls as the unsaved edits of `name`.
    void keepDraft(const QString &name);
    bool hasDraft(const QString &name) const { return m_drafts.count(name) > 0; }
    void dropDraft(const QString &name) { m_drafts.erase(name); }
    void renameDraft(const QString &from, const QString &to);
    QStringList draftNames() const;
    // Writes the kept edits of `name` to its song file. Throws FileError as SaveSong does.
    void saveDraft(const QString &name);

private:
    // The song file of `name` as read, when a song may be written to it; throws FileError
    // "Unable to write to ..." when not.
    static IniFile songFileToWrite(const QString &name);
    void writeControls(IniFile &ini);
    void readControls(const IniFile &ini);
    static bool isProjectFile(const IniFile &file);
    // The widget of each stored control, in the order of the control table.
    const std::vector<QWidget *> &storedWidgets();

    const SongControls &m_controls;
    std::vector<QWidget *> m_widgets;
    bool m_widgetsComplete = false;
    std::function<void()> m_sendSong;
    std::function<void(bool)> m_loading;
    std::function<void(const IniFile &)> m_readExtra;
    std::function<void(IniFile &)> m_writeExtra;
    SongEdits m_edits;
    std::map<QString, IniFile> m_drafts; // song name to its song file with the edits
};
