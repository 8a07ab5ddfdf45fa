#pragma once

#include <QWidget>

class QListWidget;
class QPushButton;
class SpinEdit;
struct SongControls;

// The page "MIDI Controller Data": a controller picked by hand and a value to send it with.
class ControllerCommandPage : public QWidget
{
    Q_OBJECT
public:
    explicit ControllerCommandPage(SongControls &controls, QWidget *parent = nullptr);

    QListWidget *lbControl() const { return m_lbControl; }
    SpinEdit *seSecond() const { return m_seSecond; }
    QPushButton *Button1() const { return m_Button1; }

private:
    QListWidget *m_lbControl;
    SpinEdit *m_seSecond;
    QPushButton *m_Button1;
};
