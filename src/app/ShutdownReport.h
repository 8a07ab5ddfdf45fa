#pragma once

#include "platform/Dialogs.h"

// While the program ends because the session asked it to (log-out, Ctrl+C) nobody is
// there to click OK, and a message box would keep it from ending for ever. For its
// lifetime this object stands in for the dialogs: each message goes to stderr and into
// a note in the data folder that the next start shows in its status bar. Questions are
// answered "No" and file dialogs cancelled: nothing is risked without the user.
class ShutdownReport : public Dialogs
{
public:
    ShutdownReport();
    ~ShutdownReport() override;

    void message(Icon icon, const QString &caption, const QString &text) override;
    bool question(const QString &, const QString &) override { return false; }
    // Edits nobody confirmed are not written, and ending cannot wait: they are let go, and
    // the note says which.
    SaveAnswer askToSave(const QString &caption, const QString &text) override;
    QString openFile(const FileRequest &) override { return {}; }
    QString saveFile(const FileRequest &) override { return {}; }
    void openUrl(const QUrl &) override {}

    // The note of the last exit, removed as it is read; empty when the last exit had
    // nothing to report.
    static QString takeNote();

private:
    static QString notePath();
    Dialogs *m_previous;
};
