#include "RecordingDialogs.h"

RecordingDialogs::RecordingDialogs()
{
    Dialogs::install(this);
}

RecordingDialogs::~RecordingDialogs()
{
    Dialogs::install(nullptr);
}

void RecordingDialogs::message(Icon icon, const QString &caption, const QString &text)
{
    messages.append({icon, caption, text});
}

bool RecordingDialogs::question(const QString &, const QString &text)
{
    questions.append(text);
    return !questionAnswers.isEmpty() && questionAnswers.takeFirst();
}

Dialogs::SaveAnswer RecordingDialogs::askToSave(const QString &, const QString &text)
{
    questions.append(text);
    return saveAnswers.isEmpty() ? SaveAnswer::Cancel : saveAnswers.takeFirst();
}

QString RecordingDialogs::openFile(const FileRequest &request)
{
    fileRequests.append(request);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString RecordingDialogs::saveFile(const FileRequest &request)
{
    fileRequests.append(request);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

void RecordingDialogs::openUrl(const QUrl &url)
{
    urls.append(url);
}

QStringList RecordingDialogs::texts() const
{
    QStringList result;
    for (const Message &m : messages)
        result.append(m.text);
    return result;
}

void RecordingDialogs::clear()
{
    messages.clear();
    fileRequests.clear();
    urls.clear();
    questions.clear();
}
