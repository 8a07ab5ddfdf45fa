#pragma once

#include <QByteArray>
#include <QWidget>

class ClickLabel;
class QEventLoop;
class QFrame;
class QPushButton;

// The program information window: splash screen during start-up and About box later.
// One instance lives for the whole run; closing only hides it.
//
// A click on the background, the product name, the version or "Close" hides it. The
// picture, credits, contact heading and separator take their clicks without effect. The
// two links go to the desktop through Dialogs::openUrl; whether a mail program or browser
// answered is not our business.
class InfoWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 536;
    static constexpr int ClientHeight = 257;
    static constexpr int PictureWidth = 241;
    static constexpr int PictureHeight = 121;

    static QString mailAddress();
    static QString mailUrl();
    static QString webUrl();

    // The window with the picture built into the program.
    explicit InfoWindow(QWidget *parent = nullptr);
    // The window with another JPEG as its picture; data that does not decode gives a
    // window without a picture.
    explicit InfoWindow(const QByteArray &jpeg, QWidget *parent = nullptr);

    // Shown without being modal and painted on screen before it returns, before the
    // event loop runs.
    void showSplash();
    static constexpr int SplashExposeLimitMs = 3000;
    // Hides the splash; an About box on view stays.
    void closeSplash();
    // Shown as the About box: returns when the window is closed by any of its closings.
    void showModal();
    bool isModalShowing() const { return m_modalLoop != nullptr; }

    bool hasPicture() const { return m_hasPicture; }

    void dismissFromBackground();
    void dismissFromProductName();
    void dismissFromCloseButton();
    void openMail();
    void openWebsite();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build(const QByteArray &jpeg);
    ClickLabel *addLabel(const char *name, const QString &text, const QRect &geometry);
    void centre();
    bool isExposed() const;

    QEventLoop *m_modalLoop = nullptr;
    bool m_hasPicture = false;
    bool m_backgroundPressed = false;
};
