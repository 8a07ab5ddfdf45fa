#include "songs/ChannelStripsPage.h"

#include "songs/SongControls.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <array>

namespace
{

enum Column { ActiveColumn, ControllerDataColumn, UnitColumn, ChannelColumn, ProgramColumn };

} // namespace

QString ChannelStripsPage::unitNameObjectName(int strip)
{
    static constexpr std::array<int, 16> editNumbers{18, 19, 20, 21, 25, 24, 23, 22,
                                                     26, 27, 28, 29, 33, 32, 31, 30};
    Q_ASSERT(strip >= 1 && strip <= 16);
    return QStringLiteral("Edit%1").arg(editNumbers[strip - 1]);
}

ChannelStripsPage::ChannelStripsPage(int firstStrip, SongControls &controls, QWidget *parent)
    : QWidget(parent)
{
    Q_ASSERT(firstStrip >= 1 && firstStrip + StripsPerPage - 1 <= SongControls::StripCount);

    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(6);
    grid->addWidget(new QLabel(QStringLiteral("Active - CD"), this), 0, ActiveColumn, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("MIDI Units"), this), 0, UnitColumn);
    grid->addWidget(new QLabel(QStringLiteral("MIDI Ch"), this), 0, ChannelColumn);
    grid->addWidget(new QLabel(QStringLiteral("Program Number"), this), 0, ProgramColumn);

    for (int row = 1; row <= StripsPerPage; ++row) {
        const int n = firstStrip + row - 1;
        ChannelStrip &strip = controls.strips[n - 1];

        strip.active = new QCheckBox(QString::number(n), this);
        strip.active->setObjectName(QStringLiteral("ckba%1").arg(n));

        strip.controllerData = new QCheckBox(this);
        strip.controllerData->setObjectName(QStringLiteral("ckbM%1").arg(n));
        if (n <= 8)
            strip.controllerData->setToolTip(QStringLiteral("Controller Data"));

        strip.unitName = new QLineEdit(this);
        strip.unitName->setObjectName(unitNameObjectName(n));

        strip.channel = new SpinEdit(1, 16, n, this);
        strip.channel->setObjectName(QStringLiteral("spm%1").arg(n));

        strip.program = new SpinEdit(1, 128, 1, this);
        strip.program->setObjectName(QStringLiteral("spp%1").arg(n));

        grid->addWidget(strip.active, row, ActiveColumn);
        grid->addWidget(strip.controllerData, row, ControllerDataColumn);
        grid->addWidget(strip.unitName, row, UnitColumn);
        grid->addWidget(strip.channel, row, ChannelColumn);
        grid->addWidget(strip.program, row, ProgramColumn);
    }
    grid->setColumnStretch(UnitColumn, 1);
    grid->setRowStretch(StripsPerPage + 1, 1);
}
