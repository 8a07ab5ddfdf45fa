#include "app/ShutdownReport.h"

#include "platform/AppPaths.h"

#include <QFile>
#include <QTextStream>

ShutdownReport::ShutdownReport() : m_previous(&Dialogs::instance())
{
    Dialogs::install(this);
}

ShutdownReport::~ShutdownReport()
{
    Dialogs::install(m_previous);
}

QString ShutdownReport::notePath()
{
    return AppPaths::dataDir() + QStringLiteral("/LastExit.log");
}

void ShutdownReport::message(Icon, const QString &caption, const QString &text)
{
    QTextStream(stderr) << caption << ": " << text << '\n';
    // When the data folder itself is what cannot be written, stderr is all there is.
    QFile note(notePath());
    if (note.open(QIODevice::WriteOnly | QIODevice::Append))
        note.write(text.toUtf8() + '\n');
}

Dialogs::SaveAnswer ShutdownReport::askToSave(const QString &caption, const QString &text)
{
    message(Icon::Warning, caption, text + QStringLiteral(" Not saved: the program was asked to end."));
    return SaveAnswer::Discard;
}

QString ShutdownReport::takeNote()
{
    QFile note(notePath());
    if (!note.open(QIODevice::ReadOnly))
        return {};
    // Only the start of an absurd note: it goes into one line of the status bar.
    const QString text = QString::fromUtf8(note.read(4096)).trimmed().replace(u'\n', QStringLiteral(" / "));
    note.close();
    note.remove();
    return text;
}
