#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// Every message box, file dialog and shell hand-off of the program goes through here, so
// that tests can answer and record them instead of blocking on a modal window.
class Dialogs
{
public:
    enum class Icon { Information, Warning, Error };
    enum class SaveAnswer { Save, Discard, Cancel };

    struct FileRequest {
        QString title;
        QString filter;        // Qt filter text, e.g. "Project file (*.txt)"
        QString defaultSuffix; // without the dot; empty for none
        QString presetName;    // file name shown at first
        // For an open dialog: which of the files that match `filter` it lists; all when
        // empty. The desktop's own dialog cannot be told, so whoever asks checks the answer.
        std::function<bool(const QString &path)> shows;
    };

    virtual ~Dialogs() = default;

    // A modal box with a single "OK" button.
    virtual void message(Icon icon, const QString &caption, const QString &text) = 0;
    // A modal box with "Yes" and "No"; true for Yes.
    virtual bool question(const QString &caption, const QString &text) = 0;
    // A modal box with "Save", "Discard" and "Cancel"; Escape cancels.
    virtual SaveAnswer askToSave(const QString &caption, const QString &text) = 0;
    // Empty string when the user cancels.
    virtual QString openFile(const FileRequest &request) = 0;
    virtual QString saveFile(const FileRequest &request) = 0;
    // Hands a mailto: or web address to the desktop; failures are not reported.
    virtual void openUrl(const QUrl &url) = 0;

    // The instance in use; a Qt implementation unless one was installed.
    static Dialogs &instance();
    // Installs another implementation (tests); nullptr restores the Qt one. Not owned.
    static void install(Dialogs *dialogs);

    // Shortcuts for the common boxes; without a caption they carry the program's name, so
    // that a box says whose it is among the windows of a live rig.
    static void information(const QString &text, const QString &caption = {});
    static void warning(const QString &text, const QString &caption = {});
    static bool confirm(const QString &text, const QString &caption = {});
};

// The real dialogs: QMessageBox, QFileDialog, QDesktopServices.
class QtDialogs : public Dialogs
{
public:
    void message(Icon icon, const QString &caption, const QString &text) override;
    bool question(const QString &caption, const QString &text) override;
    SaveAnswer askToSave(const QString &caption, const QString &text) override;
    QString openFile(const FileRequest &request) override;
    QString saveFile(const FileRequest &request) override;
    void openUrl(const QUrl &url) override;
};
