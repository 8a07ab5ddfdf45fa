#pragma once

#include <QWidget>

class IniFile;
class LedDisplay;
class QAbstractButton;
class QLabel;
class QListView;
class QListWidget;
class QPushButton;
class SkinEngine;
class SongListController;

// The window to play from: the current song very large, the next one under it, the set
// list beside them and big buttons for touch. It holds no songs of its own: its list
// shows the main window's list through the same model and selection, and every step goes
// through the main window's song list, so what it sends is what the list would send.
//
// Keys: Space, Page Down and Right for the next song, Page Up and Left for the previous
// one, Enter to send the current song again, F11 for full screen on and off, Escape to
// go back to the main window, F1 for help.
class PerformanceView : public QWidget
{
    Q_OBJECT
public:
    static const char *const Section;

    // `ledSource` lends the skin's LED colour; `inLed` and `outLed` are the main window's lamps.
    PerformanceView(SongListController &songs, QListWidget *songList, LedDisplay *ledSource, SkinEngine &skin,
                    QAbstractButton *inLed, QAbstractButton *outLed, QWidget *parent = nullptr);

    QLabel *currentSong() const { return m_current; }
    QLabel *nextSong() const { return m_next; }
    QListView *setList() const { return m_list; }
    QPushButton *previousButton() const { return m_previous; }
    QPushButton *resendButton() const { return m_resend; }
    QPushButton *nextButton() const { return m_nextButton; }

    void setStatus(const QString &text);
    // What F1 shows: the keys, and how a foot switch press is counted.
    static QString helpText();
    // Size, place and full-screen state, kept between runs; read() shows the window again
    // when it was open at the last exit.
    void read(const IniFile &ini);
    // Nothing while the view was never opened.
    void write(IniFile &ini) const;

public slots:
    void toggle();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    // The current song's name as large as the view allows, on two lines at most.
    void fitCurrentTitle();
    void followSkin();
    void showLamps();

    SongListController &m_songs;
    QListWidget *m_songList;
    LedDisplay *m_ledSource;
    QAbstractButton *m_inLed;
    QAbstractButton *m_outLed;
    QLabel *m_current;
    QLabel *m_next;
    QListView *m_list;
    QPushButton *m_previous;
    QPushButton *m_resend;
    QPushButton *m_nextButton;
    QLabel *m_inLamp;
    QLabel *m_outLamp;
    QLabel *m_status;
    QColor m_led;
    bool m_opened = false;
    bool m_lampsQueued = false;
};
