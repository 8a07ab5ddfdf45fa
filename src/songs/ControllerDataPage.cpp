#include "songs/ControllerDataPage.h"

#include "songs/ControllerNames.h"
#include "songs/SongControls.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QListView>

namespace
{

enum Column { SwitchColumn, ControllerColumn, ValueColumn };

void makeFixedRow(QWidget *page, QGridLayout *grid, int gridRow, ControllerRow &row, const QString &name,
                  const QString &caption, int start)
{
    row.on = new QCheckBox(caption, page);
    row.on->setObjectName(QStringLiteral("ckb") + name);
    row.value = new SpinEdit(1, 128, start, page);
    row.value->setObjectName(QStringLiteral("sp") + name);
    grid->addWidget(row.on, gridRow, SwitchColumn, 1, 2);
    grid->addWidget(row.value, gridRow, ValueColumn);
}

QComboBox *makeControllerChoice(QWidget *page)
{
    auto *choice = new QComboBox(page);
    choice->setEditable(true);
    // The position of an entry is its controller number: typed text must never become
    // a new entry and shift the list.
    choice->setInsertPolicy(QComboBox::NoInsert);
    choice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    choice->setMinimumContentsLength(14);
    // Every entry is one line of text. Without this, each change of style (a skin, the
    // page's own tab look) measured all 128 entries of every closed list again.
    if (auto *list = qobject_cast<QListView *>(choice->view()))
        list->setUniformItemSizes(true);
    choice->addItems(controllerNames());
    choice->setCurrentIndex(-1);
    return choice;
}

} // namespace

ControllerDataPage::ControllerDataPage(SongControls &controls, QWidget *parent) : QWidget(parent)
{
    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Send MIDI Ctr Data"), this), 0, SwitchColumn, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Send Value"), this), 0, ValueColumn);

    makeFixedRow(this, grid, 1, controls.volume, QStringLiteral("Volume"), QStringLiteral("Volume"), 64);
    makeFixedRow(this, grid, 2, controls.bank, QStringLiteral("Bank"), QStringLiteral("Bank Ctrl 32"), 1);
    makeFixedRow(this, grid, 3, controls.pan, QStringLiteral("Pan"), QStringLiteral("Pan  "), 64);

    grid->addWidget(new QLabel(QStringLiteral("User define"), this), 4, SwitchColumn, 1, 2);
    for (int k = 1; k <= SongControls::UserRowCount; ++k) {
        ControllerRow &row = controls.user[k - 1];
        row.on = new QCheckBox(QStringLiteral("active"), this);
        row.on->setObjectName(QStringLiteral("ckbUser%1").arg(k));
        row.controller = makeControllerChoice(this);
        row.controller->setObjectName(QStringLiteral("cbUser%1").arg(k));
        row.value = new SpinEdit(1, 128, 1, this);
        row.value->setObjectName(QStringLiteral("spUser%1").arg(k));

        const int gridRow = 4 + k;
        grid->addWidget(row.on, gridRow, SwitchColumn);
        grid->addWidget(row.controller, gridRow, ControllerColumn);
        grid->addWidget(row.value, gridRow, ValueColumn);
    }
    grid->setColumnStretch(ControllerColumn, 1);
    grid->setRowStretch(5 + SongControls::UserRowCount, 1);
}
