#include "InfoWindow.h"

#include "ClickLabel.h"
#include "JpegDecoder.h"
#include "LookResources.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QUrl>
#include <QWindow>

namespace
{
QByteArray builtInPicture()
{
    LookResources::init();
    QFile file(QStringLiteral(":/look/InfoPicture.jpg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QColor Silver(192, 192, 192);

// The window keeps its own look whatever the skin: a silver card with a thin dark rim,
// so that it never melts into a dark main window behind it. A sheet of its own outranks
// the skin's application-wide one for it and its children.
const char *const OwnLook = R"(
QWidget { background-color: transparent; color: #000000; font-family: "DejaVu Sans"; }
#FrmInfo { background-color: #c0c0c0; border: 1px solid #404040; }
#MMLabel2 { color: #808080; }
#MMLabel7, #MMLabel3 {
    color: #0000a0; background-color: #d4d4d4;
    border: 1px solid; border-color: #ffffff #606060 #606060 #ffffff;
}
#Bevel1 { border: none; border-top: 1px solid #808080; border-bottom: 1px solid #ffffff; }
QPushButton {
    background-color: #d4d4d4; color: #000000;
    border: 1px solid; border-color: #ffffff #404040 #404040 #ffffff; border-radius: 0px;
    padding: 3px 10px; font-weight: normal;
}
QPushButton:pressed { background-color: #b0b0b0; border-color: #404040 #ffffff #ffffff #404040; }
)";
} // namespace

QString InfoWindow::mailAddress()
{
    return QStringLiteral("patchwarden@brindlecroft.example");
}

QString InfoWindow::mailUrl()
{
    return QStringLiteral("mailto:") + mailAddress();
}

QString InfoWindow::webUrl()
{
    return QStringLiteral("https://www.brindlecroft.example/patchwarden");
}

InfoWindow::InfoWindow(QWidget *parent) : InfoWindow(builtInPicture(), parent) {}

InfoWindow::InfoWindow(const QByteArray &jpeg, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    build(jpeg);
}

ClickLabel *InfoWindow::addLabel(const char *name, const QString &text, const QRect &geometry)
{
    auto *label = new ClickLabel(text, this);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    return label;
}

void InfoWindow::build(const QByteArray &jpeg)
{
    LookResources::init();
    setObjectName(QStringLiteral("FrmInfo"));
    setWindowTitle(QStringLiteral("Patchwarden"));
    setWindowIcon(QIcon(QStringLiteral(":/look/InfoIcon.png")));
    setFixedSize(ClientWidth, ClientHeight);
    setAttribute(Qt::WA_StyledBackground);
    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, Silver);
    silver.setColor(QPalette::WindowText, Qt::black);
    setPalette(silver);
    setStyleSheet(QString::fromLatin1(OwnLook));

    ClickLabel *picture = addLabel("Image1", QString(), QRect(8, 8, PictureWidth, PictureHeight));
    const QImage image = JpegDecoder::decode(jpeg);
    m_hasPicture = !image.isNull();
    if (m_hasPicture)
        picture->setPixmap(QPixmap::fromImage(image));

    // The shadow goes first so the black name is drawn over it.
    const QString nameFont = QStringLiteral("font-family: \"DejaVu Serif\", serif; font-size: 35px;");
    ClickLabel *shadow = addLabel("MMLabel2", QStringLiteral("Patchwarden"), QRect(266, 13, 262, 44));
    ClickLabel *name = addLabel("MMLabel1", QStringLiteral("Patchwarden"), QRect(263, 10, 262, 44));
    for (ClickLabel *label : {shadow, name}) {
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setStyleHint(QFont::Serif);
        font.setPixelSize(35);
        label->setFont(font);
        label->setStyleSheet(nameFont);
    }
    QPalette shadowPalette = shadow->palette();
    shadowPalette.setColor(QPalette::WindowText, QColor(128, 128, 128));
    shadow->setPalette(shadowPalette);
    QPalette namePalette = name->palette();
    namePalette.setColor(QPalette::WindowText, Qt::black);
    name->setPalette(namePalette);

    ClickLabel *version =
        addLabel("MMLabel10", QStringLiteral("Version " PW_VERSION), QRect(266, 58, 200, 18));

    auto *separator = new QFrame(this);
    separator->setObjectName(QStringLiteral("Bevel1"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(263, 80, 265, 4);
    separator->installEventFilter(this);

    addLabel("MMLabel4", QStringLiteral("Written by Tamsin Brindlecroft"), QRect(266, 90, 262, 18));
    addLabel("MMLabel5", QStringLiteral("Tested on stage by The Lantern Band"), QRect(266, 109, 262, 18));
    addLabel("MMLabel6", QStringLiteral("\u00a9 2011 Brindlecroft Music Software"), QRect(266, 128, 262, 18));

    addLabel("MMLabel8", QStringLiteral("For more information contact:"), QRect(8, 146, 300, 18));

    ClickLabel *mail = addLabel("MMLabel7", mailAddress(), QRect(8, 168, 300, 24));
    mail->setToolTip(QStringLiteral("eMail to Brindlecroft"));
    ClickLabel *web = addLabel("MMLabel3", webUrl(), QRect(8, 198, 300, 24));
    web->setToolTip(QStringLiteral("Check for updates our Internet page"));
    for (ClickLabel *link : {mail, web}) {
        // Drawn as a flat button so it reads as something to press, not just text.
        link->setFrameStyle(QFrame::Panel | QFrame::Raised);
        link->setLineWidth(1);
        link->setIndent(6);
        link->setCursor(Qt::PointingHandCursor);
        QFont font = link->font();
        font.setUnderline(true);
        link->setFont(font);
        QPalette linkPalette = link->palette();
        linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 160));
        link->setPalette(linkPalette);
    }

    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("Button1"));
    close->setGeometry(446, 220, 82, 28);

    connect(name, &ClickLabel::clicked, this, &InfoWindow::dismissFromProductName);
    connect(shadow, &ClickLabel::clicked, this, &InfoWindow::dismissFromProductName);
    connect(version, &ClickLabel::clicked, this, &InfoWindow::dismissFromProductName);
    connect(mail, &ClickLabel::clicked, this, &InfoWindow::openMail);
    connect(web, &ClickLabel::clicked, this, &InfoWindow::openWebsite);
    connect(close, &QPushButton::clicked, this, &InfoWindow::dismissFromCloseButton);
}

void InfoWindow::centre()
{
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = geometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void InfoWindow::showSplash()
{
    setWindowModality(Qt::NonModal);
    show();
    raise();
    // The event loop is not running yet. Under a window manager the window is mapped
    // only once the manager has placed it, and a paint before that is lost: wait for the
    // exposure, then paint. A desktop that never exposes it costs at most the limit.
    QDeadlineTimer limit(SplashExposeLimitMs);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    while (!isExposed() && !limit.hasExpired()) {
        QThread::msleep(5);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool InfoWindow::isExposed() const
{
    return windowHandle() && windowHandle()->isExposed();
}

void InfoWindow::closeSplash()
{
    if (!m_modalLoop)
        hide();
}

void InfoWindow::showModal()
{
    if (m_modalLoop) {
        raise();
        activateWindow();
        return;
    }
    // Modality only takes effect when the window is shown afresh.
    if (isVisible())
        hide();
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    m_modalLoop = &loop;
    loop.exec(QEventLoop::DialogExec);
    m_modalLoop = nullptr;
    setWindowModality(Qt::NonModal);
}

void InfoWindow::dismissFromBackground()
{
    hide();
}

void InfoWindow::dismissFromProductName()
{
    hide();
}

void InfoWindow::dismissFromCloseButton()
{
    hide();
}

void InfoWindow::openMail()
{
    Dialogs::instance().openUrl(QUrl(mailUrl()));
}

void InfoWindow::openWebsite()
{
    Dialogs::instance().openUrl(QUrl(webUrl()));
}

void InfoWindow::showEvent(QShowEvent *event)
{
    centre();
    QWidget::showEvent(event);
}

void InfoWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (m_modalLoop)
        m_modalLoop->quit();
}

void InfoWindow::mousePressEvent(QMouseEvent *event)
{
    m_backgroundPressed = event->button() == Qt::LeftButton;
    event->accept();
}

void InfoWindow::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    const bool wasPressed = m_backgroundPressed;
    m_backgroundPressed = false;
    if (wasPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        dismissFromBackground();
}

void InfoWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_modalLoop) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool InfoWindow::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        // The separator is part of the picture of the window, not of its background.
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}
