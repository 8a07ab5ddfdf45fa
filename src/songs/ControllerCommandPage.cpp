#include "songs/ControllerCommandPage.h"

#include "songs/ControllerNames.h"
#include "songs/SongControls.h"
#include "widgets/SpinEdit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

ControllerCommandPage::ControllerCommandPage(SongControls &controls, QWidget *parent) : QWidget(parent)
{
    auto *page = new QVBoxLayout(this);
    page->addWidget(new QLabel(QStringLiteral("MIDI Controller Messages"), this));

    m_lbControl = new QListWidget(this);
    m_lbControl->setObjectName(QStringLiteral("lbControl"));
    m_lbControl->setSelectionMode(QAbstractItemView::SingleSelection);
    // One line of text each: measured once, not all 128 again at each change of style.
    m_lbControl->setUniformItemSizes(true);
    m_lbControl->addItems(controllerNames());
    m_lbControl->setCurrentRow(-1);
    page->addWidget(m_lbControl, 1);

    page->addWidget(new QLabel(QStringLiteral("Send Value"), this));
    auto *sendRow = new QHBoxLayout;
    m_seSecond = new SpinEdit(0, 127, 77, this);
    m_seSecond->setObjectName(QStringLiteral("seSecond"));
    m_Button1 = new QPushButton(QStringLiteral("Send MIDI Controller Data"), this);
    m_Button1->setObjectName(QStringLiteral("Button1"));
    sendRow->addWidget(m_seSecond);
    sendRow->addWidget(m_Button1);
    sendRow->addStretch(1);
    page->addLayout(sendRow);

    controls.seSecond = m_seSecond;
}
