#include "HelpWindow.h"

#include "LookResources.h"

#include <QFile>
#include <QKeyEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Patchwarden Help"));
    LookResources::init();
    QFile text(QStringLiteral(":/look/help.md"));
    if (text.open(QIODevice::ReadOnly))
        m_browser->setMarkdown(QString::fromUtf8(text.readAll()));
    m_browser->setOpenExternalLinks(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(640, 600);
}

void HelpWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

void HelpWindow::showHelp()
{
    show();
    raise();
    activateWindow();
}
