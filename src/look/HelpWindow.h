#pragma once

#include <QWidget>

class QTextBrowser;

// The program's help (F1): what each page does, the first steps and the keys, in a window
// of its own that stays open beside the main window while the player follows it.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    QTextBrowser *browser() const { return m_browser; }
    // Shows the window, or brings it forward when it is open already.
    void showHelp();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QTextBrowser *m_browser;
};
