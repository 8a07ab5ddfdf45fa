#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QStringList>
#include <QUrl>

// Answers every dialog at once and records what was asked, so tests never block on a
// modal window. Installs itself for its lifetime.
class RecordingDialogs : public Dialogs
{
public:
    struct Message {
        Icon icon;
        QString caption;
        QString text;
    };

    RecordingDialogs();
    ~RecordingDialogs() override;

    void message(Icon icon, const QString &caption, const QString &text) override;
    bool question(const QString &caption, const QString &text) override;
    SaveAnswer askToSave(const QString &caption, const QString &text) override;
    QString openFile(const FileRequest &request) override;
    QString saveFile(const FileRequest &request) override;
    void openUrl(const QUrl &url) override;

    QList<Message> messages;
    QList<FileRequest> fileRequests;
    QList<QUrl> urls;
    // Answers to the next file dialogs, first in first out; an empty queue cancels.
    QStringList fileAnswers;
    // Questions asked, and the answers to the next ones (true: Yes); an empty queue says No.
    QStringList questions;
    QList<bool> questionAnswers;
    // Answers to the next save questions (recorded in `questions` too); an empty queue cancels.
    QList<SaveAnswer> saveAnswers;

    QStringList texts() const;
    void clear();
};
