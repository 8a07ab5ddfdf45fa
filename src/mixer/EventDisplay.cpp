#include "EventDisplay.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace
{
QLineEdit *numberField(const char *name, QWidget *parent)
{
    auto *field = new QLineEdit(QStringLiteral("0"), parent);
    field->setObjectName(QLatin1String(name));
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setAlignment(Qt::AlignRight);
    field->setFixedWidth(38);
    return field;
}
} // namespace

EventDisplay::EventDisplay(QWidget *parent) : QGroupBox(parent)
{
    ckbGetMidi = new QCheckBox(QStringLiteral("Show MIDI Input"), this);
    ckbGetMidi->setObjectName(QStringLiteral("ckbGetMidi"));
    edMessage = numberField("edMessage", this);
    edChannel = numberField("edChannel", this);
    edData1 = numberField("edData1", this);
    edData2 = numberField("edData2", this);
    lEvent = new QLabel(QStringLiteral("no event"), this);
    lEvent->setObjectName(QStringLiteral("lEvent"));
    lEvent->setFrameShape(QFrame::StyledPanel);
    lEvent->setFrameShadow(QFrame::Sunken);
    lEvent->setMinimumWidth(126);

    ckbShowOut = new QCheckBox(QStringLiteral("Show MIDI Output"), this);
    ckbShowOut->setObjectName(QStringLiteral("ckbShowOut"));
    eMessOut = numberField("eMessOut", this);
    edChOut = numberField("edChOut", this);
    edData1Out = numberField("edData1Out", this);
    edData2Out = numberField("edData2Out", this);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(2);
    const char *captions[] = {"Message", "Ch", "Data1", "Data2"};
    for (int i = 0; i < 4; ++i)
        grid->addWidget(new QLabel(QLatin1String(captions[i]), this), 0, 1 + i, Qt::AlignHCenter);
    grid->addWidget(ckbGetMidi, 1, 0);
    grid->addWidget(edMessage, 1, 1);
    grid->addWidget(edChannel, 1, 2);
    grid->addWidget(edData1, 1, 3);
    grid->addWidget(edData2, 1, 4);
    grid->addWidget(ckbShowOut, 2, 0);
    grid->addWidget(eMessOut, 2, 1);
    grid->addWidget(edChOut, 2, 2);
    grid->addWidget(edData1Out, 2, 3);
    grid->addWidget(edData2Out, 2, 4);
    grid->addWidget(new QLabel(QStringLiteral("Input Event"), this), 3, 0, Qt::AlignRight);
    grid->addWidget(lEvent, 3, 1, 1, 4);
}
