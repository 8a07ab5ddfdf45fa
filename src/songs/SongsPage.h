#pragma once

#include <QWidget>

class LedDisplay;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
struct SongControls;

// The page "Sessions": the project, the song list and the current song. It only builds
// the controls; the song-list logic connects to them through the accessors.
class SongsPage : public QWidget
{
    Q_OBJECT
public:
    explicit SongsPage(SongControls &controls, QWidget *parent = nullptr);

    QLineEdit *cbProject() const { return m_cbProject; }
    QPushButton *btLoadPrj() const { return m_btLoadPrj; }
    QPushButton *btSavePrj() const { return m_btSavePrj; }
    QLineEdit *edNewSong() const { return m_edNewSong; }
    QPushButton *btAddSong() const { return m_btAddSong; }
    QPushButton *btDeleteSong() const { return m_btDeleteSong; }
    QLabel *labDeleteSong() const { return m_labDeleteSong; }
    QListWidget *lbSongList() const { return m_lbSongList; }
    LedDisplay *LabSong() const { return m_LabSong; }
    QPushButton *MMLabel6() const { return m_MMLabel6; }
    // Shown while the current song has edits that are not saved.
    QLabel *labSongChanged() const { return m_labSongChanged; }
    QLineEdit *Edit1() const { return m_Edit1; }
    QPushButton *btMoveUp() const { return m_btMoveUp; }
    QPushButton *btMoveDown() const { return m_btMoveDown; }
    QPushButton *btRename() const { return m_btRename; }
    QPushButton *btDuplicate() const { return m_btDuplicate; }

private:
    QLineEdit *m_cbProject;
    QPushButton *m_btLoadPrj;
    QPushButton *m_btSavePrj;
    QLineEdit *m_edNewSong;
    QPushButton *m_btAddSong;
    QPushButton *m_btDeleteSong;
    QLabel *m_labDeleteSong;
    QListWidget *m_lbSongList;
    LedDisplay *m_LabSong;
    QPushButton *m_MMLabel6;
    QLabel *m_labSongChanged;
    QLineEdit *m_Edit1;
    QPushButton *m_btMoveUp;
    QPushButton *m_btMoveDown;
    QPushButton *m_btRename;
    QPushButton *m_btDuplicate;
};
