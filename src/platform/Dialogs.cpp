#include "Dialogs.h"

#include "FileContentFilter.h"
#include "WindowCaption.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QSpacerItem>
#include <QTreeView>

namespace
{
Dialogs *g_installed = nullptr;

QString captionOr(const QString &caption)
{
    return caption.isEmpty() ? QCoreApplication::applicationName() : caption;
}

QWidget *dialogParent()
{
    return QApplication::activeWindow();
}

// Qt's own dialog opens small, as a list of cut names; a set list's file is known by its
// whole name and by when it was last changed. The columns are fitted once per folder, not
// fixed to their contents: Qt keeps the header's state for the next dialog of any program.
void showDetails(QFileDialog &dialog)
{
    dialog.setViewMode(QFileDialog::Detail);
    dialog.resize(dialog.size().expandedTo(QSize(800, 480)));
    auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    auto *files = dialog.findChild<QFileSystemModel *>();
    if (view && files)
        QObject::connect(files, &QFileSystemModel::directoryLoaded, view,
                         [view] { view->header()->resizeSections(QHeaderView::ResizeToContents); });
}
} // namespace

Dialogs &Dialogs::instance()
{
    static QtDialogs qtDialogs;
    return g_installed ? *g_installed : qtDialogs;
}

void Dialogs::install(Dialogs *dialogs)
{
    g_installed = dialogs;
}

void Dialogs::information(const QString &text, const QString &caption)
{
    instance().message(Icon::Information, captionOr(caption), text);
}

void Dialogs::warning(const QString &text, const QString &caption)
{
    instance().message(Icon::Warning, captionOr(caption), text);
}

bool Dialogs::confirm(const QString &text, const QString &caption)
{
    return instance().question(captionOr(caption), text);
}

bool QtDialogs::question(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, dialogParent());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

Dialogs::SaveAnswer QtDialogs::askToSave(const QString &caption, const QString &text)
{
    QMessageBox box(QMessageBox::Question, caption, text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, dialogParent());
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

void QtDialogs::message(Icon icon, const QString &caption, const QString &text)
{
    QMessageBox::Icon qtIcon = QMessageBox::Information;
    if (icon == Icon::Warning)
        qtIcon = QMessageBox::Warning;
    else if (icon == Icon::Error)
        qtIcon = QMessageBox::Critical;
    QMessageBox box(qtIcon, caption, text, QMessageBox::Ok, dialogParent());
    // A short text makes a box narrower than its caption, which the title bar then cuts.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(WindowCaption::minimumWidth(caption), 0, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
}

QString QtDialogs::openFile(const FileRequest &request)
{
    QFileDialog dialog(dialogParent(), request.title, QDir::currentPath(), request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (request.shows)
        dialog.setProxyModel(new FileContentFilter(request.shows, &dialog));
    showDetails(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtDialogs::saveFile(const FileRequest &request)
{
    QFileDialog dialog(dialogParent(), request.title, QDir::currentPath(), request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(request.defaultSuffix);
    showDetails(dialog);
    if (!request.presetName.isEmpty())
        dialog.selectFile(request.presetName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void QtDialogs::openUrl(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}
