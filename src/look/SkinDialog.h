#pragma once

#include <QWidget>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QStatusBar;
class SkinEngine;

// The skin choice window. Made once at start and hidden; "OK" and the close box hide
// it again, "Cancel" and Escape go back to the skin it was shown with. Choosing an item
// applies that skin at once through the main window's engine and remembers the choice
// (SkinStore); neither a skin that will not load nor a store that cannot be written is
// reported.
class SkinDialog : public QWidget
{
    Q_OBJECT
public:
    explicit SkinDialog(SkinEngine &engine, QWidget *parent = nullptr);

    QButtonGroup *buttonGroup() const { return m_group; }
    // Across the top of the window, above the choices.
    QStatusBar *statusBar() const { return m_statusBar; }

    // Item i of rg_skin was chosen (0-based); out-of-range indexes are ignored.
    void applySkin(int index);
    void closeDialog();
    // Puts back the skin in use when the window was shown, and hides it.
    void cancel();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    SkinEngine &m_engine;
    QButtonGroup *m_group;
    QStatusBar *m_statusBar;
    bool m_placed = false;
    QString m_skinAtOpen;
};
