#pragma once

#include <QString>

#include <functional>
#include <vector>

class IniFile;
class QWidget;
struct SongControls;

// Copies the current song between the window's controls and its song file, an INI file
// in the projects folder that keeps every stored control under its control number.
//
// A save replaces the file in one piece, so the file on disk is always a whole song.
// A load ends by sending the song; whoever owns the recall tells the song file how.
class SongFile
{
public:
    explicit SongFile(const SongControls &controls);

    // Called at the end of every load, after all controls were set.
    void setSongSender(std::function<void()> sendSong) { m_sendSong = std::move(sendSong); }

    // Values kept with a song beyond its controls, in sections of their own: `read` runs
    // before the controls are set on a load, `write` after them on a save.
    void setExtraValues(std::function<void(const IniFile &)> read, std::function<void(IniFile &)> write)
    {
        m_readExtra = std::move(read);
        m_writeExtra = std::move(write);
    }

    // Makes `folder` inside the data folder the current folder, creating it when missing;
    // warns that it can't create the projects folder when that fails and goes on. Returns the folder's path.
    static QString Cd_Md_Dir(const QString &folder = QStringLiteral("Projects"));

    // The song file of the song `name`.
    static QString songPath(const QString &name);

    // Why `name` cannot become a new song because its file is a project's; empty when it can.
    static QString projectFileProblem(const QString &name);

    // Writes the song file of `name` from the controls. Throws EFileError
    // "Unable to write to <full path>. <reason>" when it cannot, also when that file is a
    // project file or could not be read; the file is then as it was.
    void SaveSong(const QString &name);

    // Sets the controls from the song file of `name` (a missing file or key gives the
    // control its lowest value, empty text, off or no choice), then sends the song. The
    // project name, the send and receive channels and the remote switch keep their values.
    // A file that exists but cannot be read is reported and changes nothing, sends nothing.
    void LoadSong(const QString &name);

private:
    static bool isProjectFile(const IniFile &file);
    // The widget of each stored control, in the order of the control table.
    const std::vector<QWidget *> &storedWidgets();

    const SongControls &m_controls;
    std::vector<QWidget *> m_widgets;
    bool m_widgetsComplete = false;
    std::function<void()> m_sendSong;
    std::function<void(const IniFile &)> m_readExtra;
    std::function<void(IniFile &)> m_writeExtra;
};
