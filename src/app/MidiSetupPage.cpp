#include "MidiSetupPage.h"

#include "widgets/Named.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

MidiSetupPage::MidiSetupPage(QWidget *parent) : QWidget(parent)
{
    m_cmbOutput = named(new QListWidget(this), "cmbOutput");
    m_cmbInput = named(new QListWidget(this), "cmbInput");
    m_midiSendCh = named(new SpinEdit(1, 16, 1, this), "MidiSendCh");
    m_midiRecCh = named(new SpinEdit(1, 16, 1, this), "MidiRecCh");
    m_ckbRemote = named(new QCheckBox(QStringLiteral("Remote on"), this), "ckbRemote");
    m_toolButton1 = named(new QPushButton(QStringLiteral("Save as Default"), this), "ToolButton1");
    m_refresh = named(new QPushButton(QStringLiteral("Refresh"), this), "btRefreshDevices");
    m_refresh->setToolTip(QStringLiteral("List the MIDI devices again"));
    m_ckbOwnOutput =
        named(new QCheckBox(QStringLiteral("Own port: Patchwarden MIDI Out"), this), "ckbOwnOutput");
    m_ckbOwnOutput->setToolTip(
        QStringLiteral("Send to the program's own output port, for other programs to connect to"));
    m_ckbOwnInput =
        named(new QCheckBox(QStringLiteral("Own port: Patchwarden MIDI In"), this), "ckbOwnInput");
    m_ckbOwnInput->setToolTip(
        QStringLiteral("Listen on the program's own input port, for other programs to play into"));
    m_ckbResendOnReturn =
        named(new QCheckBox(QStringLiteral("Send the current song when a unit returns"), this),
              "ckbResendOnReturn");

    for (QListWidget *list : {m_cmbOutput, m_cmbInput}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setMinimumHeight(72);
    }

    auto *header = named(new QLabel(QStringLiteral("Select MIDI Driver"), this), "lbSelectDriver");
    QFont headerFont = header->font();
    headerFont.setBold(true);
    header->setFont(headerFont);

    auto *grid = new QGridLayout(this);
    grid->addWidget(header, 0, 0, 1, 3);
    // Each own-port box sits on its list's caption line: the page also carries the foot
    // controller's group and must fit the window at its smallest.
    grid->addWidget(new QLabel(QStringLiteral("MIDI Out Driver"), this), 1, 0);
    grid->addWidget(m_ckbOwnOutput, 1, 1, 1, 2, Qt::AlignRight);
    grid->addWidget(m_cmbOutput, 2, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("MIDI In Driver"), this), 4, 0);
    grid->addWidget(m_ckbOwnInput, 4, 1, 1, 2, Qt::AlignRight);
    grid->addWidget(m_cmbInput, 5, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("MIDI Send Channel"), this), 7, 0);
    grid->addWidget(new QLabel(QStringLiteral("MIDI Remote Receive Channel"), this), 7, 1, 1, 2);
    grid->addWidget(m_midiSendCh, 8, 0);
    grid->addWidget(m_midiRecCh, 8, 1);
    grid->addWidget(m_ckbRemote, 8, 2);
    grid->addWidget(m_ckbResendOnReturn, 9, 0, 1, 3);
    grid->addWidget(m_toolButton1, 10, 0);
    grid->addWidget(m_refresh, 10, 2);
    grid->setRowStretch(11, 1);
}

void MidiSetupPage::addGroup(QWidget *group)
{
    auto *grid = static_cast<QGridLayout *>(layout());
    const int row = grid->rowCount() - 1;
    grid->setRowStretch(row, 0);
    grid->addWidget(group, row, 0, 1, 3);
    grid->setRowStretch(row + 1, 1);
}
