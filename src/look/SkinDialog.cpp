#include "SkinDialog.h"

#include "LookResources.h"
#include "SkinStore.h"
#include "SkinTable.h"
#include "platform/WindowCaption.h"
#include "widgets/SkinEngine.h"
#include "widgets/SkinFile.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

SkinDialog::SkinDialog(SkinEngine &engine, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_engine(engine), m_group(new QButtonGroup(this)), m_statusBar(new QStatusBar(this))
{
    LookResources::init();
    setObjectName(QStringLiteral("fOutfitSpec"));
    setWindowTitle(QStringLiteral("Program Skin"));

    auto *content = new QVBoxLayout(this);
    content->setContentsMargins(0, 0, 0, 0);

    // The status bar heads the window rather than closing it, as it always has.
    auto *panel = new QLabel(QStringLiteral("Program Skins "));
    panel->setObjectName(QStringLiteral("StatusBar1Panel"));
    panel->setAlignment(Qt::AlignCenter);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->addWidget(panel, 1);
    content->addWidget(m_statusBar);

    auto *central = new QWidget(this);
    auto *body = new QVBoxLayout(central);

    auto *box = new QGroupBox(QStringLiteral(" Program Skins "), central);
    box->setObjectName(QStringLiteral("rg_skin"));
    auto *grid = new QGridLayout(box);
    m_group->setExclusive(true);
    const int rows = (SkinTable::Count + 1) / 2;
    for (int i = 0; i < SkinTable::Count; ++i) {
        // Named as the skin calls itself, as the pictures of every skin name them.
        const std::optional<SkinFile> skin = SkinFile::load(SkinTable::path(i));
        auto *radio = new QRadioButton(skin ? skin->name : SkinTable::item(i), box);
        radio->setObjectName(QStringLiteral("rg_skin_%1").arg(i));
        // As wide as its text: a window widened for its caption leaves the room beside it.
        radio->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        // Filled column by column, as a two-column radio group reads.
        grid->addWidget(radio, i % rows, i / rows);
        m_group->addButton(radio, i);
    }
    body->addWidget(box);

    auto *okay = new QPushButton(QStringLiteral("OK"), central);
    okay->setObjectName(QStringLiteral("Button2"));
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), central);
    cancel->setObjectName(QStringLiteral("btCancel"));
    cancel->setToolTip(QStringLiteral("Back to the skin in use when this window opened (Escape)"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okay);
    buttons->addWidget(cancel);
    buttons->addStretch();
    body->addLayout(buttons);
    content->addWidget(central);
    central->setMinimumWidth(WindowCaption::minimumWidth(windowTitle()));

    // Fixed to its content, which a skin with larger fonts or padding may grow.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_group, &QButtonGroup::idClicked, this, &SkinDialog::applySkin);
    connect(okay, &QPushButton::clicked, this, &SkinDialog::closeDialog);
    connect(cancel, &QPushButton::clicked, this, &SkinDialog::cancel);
}

void SkinDialog::cancel()
{
    // Each click shows its skin at once (that is the preview) and remembers it; going back
    // is the same again with the skin the player had.
    if (m_engine.skinFile() != m_skinAtOpen) {
        if (m_skinAtOpen.isEmpty() || !m_engine.setSkinFile(m_skinAtOpen))
            m_engine.applyDefault();
        SkinStore::store(m_skinAtOpen);
    }
    m_group->setExclusive(false);
    for (int i = 0; i < SkinTable::Count; ++i)
        m_group->button(i)->setChecked(SkinTable::path(i) == m_skinAtOpen);
    m_group->setExclusive(true);
    hide();
}

void SkinDialog::applySkin(int index)
{
    if (index < 0 || index >= SkinTable::Count)
        return;
    // A skin that will not load keeps the look as it is; the choice is remembered anyway.
    try {
        m_engine.setSkinFile(SkinTable::path(index));
    } catch (...) {
    }
    try {
        SkinStore::store(m_engine.skinFile());
    } catch (...) {
    }
}

void SkinDialog::closeDialog()
{
    hide();
}

void SkinDialog::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_skinAtOpen = m_engine.skinFile();
    if (m_placed)
        return;
    m_placed = true;
    if (QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void SkinDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        cancel();
    else
        QWidget::keyPressEvent(event);
}
