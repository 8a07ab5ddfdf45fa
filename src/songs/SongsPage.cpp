#include "songs/SongsPage.h"

#include "songs/ShownNameDelegate.h"
#include "songs/SongControls.h"
#include "widgets/LedDisplay.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{

template <typename T> T *named(T *widget, const char *objectName)
{
    widget->setObjectName(QLatin1String(objectName));
    return widget;
}

} // namespace

SongsPage::SongsPage(SongControls &controls, QWidget *parent) : QWidget(parent)
{
    auto *page = new QVBoxLayout(this);

    auto *projectPanel = new QFrame(this);
    projectPanel->setFrameShape(QFrame::StyledPanel);
    auto *project = new QGridLayout(projectPanel);
    m_cbProject = named(new QLineEdit(projectPanel), "cbProject");
    m_btLoadPrj = named(new QPushButton(QStringLiteral("Load"), projectPanel), "btLoadPrj");
    m_btSavePrj = named(new QPushButton(QStringLiteral("Save"), projectPanel), "btSavePrj");
    project->addWidget(new QLabel(QStringLiteral("Project Name"), projectPanel), 0, 0, 1, 3);
    project->addWidget(m_cbProject, 1, 0);
    project->addWidget(m_btLoadPrj, 1, 1);
    project->addWidget(m_btSavePrj, 1, 2);
    project->setColumnStretch(0, 1);
    page->addWidget(projectPanel);

    // Songs have always stored this field, so it must exist to be read and written,
    // but it has never been shown and nothing depends on its text.
    m_Edit1 = named(new QLineEdit(QStringLiteral("Edit1"), this), "Edit1");
    m_Edit1->hide();

    auto *songPanel = new QGridLayout;
    m_edNewSong = named(new QLineEdit(this), "edNewSong");
    m_btAddSong = named(new QPushButton(QStringLiteral("Add Song"), this), "btAddSong");
    m_btDeleteSong = named(new QPushButton(QStringLiteral("Delete Song"), this), "btDeleteSong");
    songPanel->addWidget(new QLabel(QStringLiteral("Song Name"), this), 0, 0, 1, 3);
    songPanel->addWidget(m_edNewSong, 1, 0);
    songPanel->addWidget(m_btAddSong, 1, 1);
    songPanel->addWidget(m_btDeleteSong, 1, 2);
    songPanel->setColumnStretch(0, 1);
    page->addLayout(songPanel);

    auto *status = new QHBoxLayout;
    m_labDeleteSong = named(new QLabel(QStringLiteral("#"), this), "labDeleteSong");
    status->addWidget(new QLabel(QStringLiteral("Delete Song:"), this));
    status->addWidget(m_labDeleteSong, 1);
    page->addLayout(status);

    m_lbSongList = named(new QListWidget(this), "lbSongList");
    m_lbSongList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lbSongList->setItemDelegate(new ShownNameDelegate(m_lbSongList));
    page->addWidget(m_lbSongList, 1);
    m_lbSongList->setDragDropMode(QAbstractItemView::InternalMove);

    // Editing the set: the new name for Rename and Duplicate is typed in "Song Name".
    auto *editing = new QHBoxLayout;
    m_btMoveUp = named(new QPushButton(QStringLiteral("Up"), this), "btMoveUp");
    m_btMoveUp->setToolTip(QStringLiteral("Move the song up (Ctrl+Up)"));
    m_btMoveDown = named(new QPushButton(QStringLiteral("Down"), this), "btMoveDown");
    m_btMoveDown->setToolTip(QStringLiteral("Move the song down (Ctrl+Down)"));
    m_btRename = named(new QPushButton(QStringLiteral("Rename"), this), "btRename");
    m_btRename->setToolTip(QStringLiteral("Give the song the name typed in Song Name"));
    m_btDuplicate = named(new QPushButton(QStringLiteral("Duplicate"), this), "btDuplicate");
    m_btDuplicate->setToolTip(QStringLiteral("Copy the song under the name typed in Song Name"));
    for (QPushButton *button : {m_btMoveUp, m_btMoveDown, m_btRename, m_btDuplicate})
        editing->addWidget(button);
    page->addLayout(editing);

    auto *current = new QHBoxLayout;
    m_LabSong = named(new LedDisplay(this), "LabSong");
    m_MMLabel6 = named(new QPushButton(QStringLiteral("Save Song"), this), "MMLabel6");
    m_labSongChanged = named(new QLabel(QStringLiteral("changed"), this), "labSongChanged");
    m_labSongChanged->setToolTip(
        QStringLiteral("The song has edits that are not saved: Save Song keeps them"));
    m_labSongChanged->hide();
    current->addWidget(m_LabSong, 1);
    current->addWidget(m_labSongChanged);
    current->addWidget(m_MMLabel6);
    page->addLayout(current);

    controls.Edit1 = m_Edit1;
    controls.cbProject = m_cbProject;
    controls.edNewSong = m_edNewSong;
}
