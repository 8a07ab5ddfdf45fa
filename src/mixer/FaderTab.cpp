#include "FaderTab.h"

#include "widgets/NumberEdit.h"
#include "widgets/SpinEdit.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace
{
struct ControlNames {
    QString data[2];
    QString min[2];
    QString max[2];
};

// The first fader's controls were named before the others got a common pattern.
ControlNames namesFor(int n)
{
    if (n == 1)
        return {{"edValue1", "edValue2"}, {"spinMin11", "spinMin12"}, {"spinMax11", "spinMax12"}};
    const QString sp = QStringLiteral("sp%1").arg(n);
    const QString edv = QStringLiteral("edv%1").arg(n);
    return {{edv + u'1', edv + u'2'}, {sp + u'1', sp + u'3'}, {sp + u'2', sp + u'4'}};
}

SpinEdit *rangeBox(const QString &name, int start, QWidget *parent)
{
    auto *box = new SpinEdit(0, 127, start, parent);
    box->setObjectName(name);
    return box;
}
} // namespace

FaderTab::FaderTab(int number, QWidget *parent) : QWidget(parent)
{
    const ControlNames names = namesFor(number);

    m_eventType = new QComboBox(this);
    m_eventType->setObjectName(QStringLiteral("cbUser%1").arg(number));
    m_eventType->setEditable(true);
    // Typing a name picks the item; it never adds one.
    m_eventType->setInsertPolicy(QComboBox::NoInsert);
    m_eventType->addItems({QStringLiteral("Polyphonic Aftertouch"), QStringLiteral("Control Mode Change"),
                           QStringLiteral("Channel Aftertouch"), QStringLiteral("Pitch wheel control")});
    m_eventType->setCurrentIndex(-1);
    m_eventType->setMinimumContentsLength(18);

    m_drivenGroup = new QGroupBox(QStringLiteral(" Send Value to the Fader  "), this);
    m_drivenGroup->setObjectName(QStringLiteral("rg%1").arg(number));
    m_driven = new QButtonGroup(m_drivenGroup);
    auto *groupLayout = new QHBoxLayout(m_drivenGroup);
    for (int i = 0; i < 2; ++i) {
        auto *radio = new QRadioButton(QStringLiteral("Value %1").arg(i + 1), m_drivenGroup);
        m_driven->addButton(radio, i);
        groupLayout->addWidget(radio);
    }
    setDriven(DrivesData2);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    grid->addWidget(new QLabel(QStringLiteral("Event Type"), this), 0, 0);
    grid->addWidget(m_eventType, 1, 0);
    grid->addWidget(m_drivenGroup, 2, 0, 2, 1);

    for (int b = 0; b < 2; ++b) {
        const int col = 1 + 2 * b;
        m_data[b] = new NumberEdit(0, 1000, this);
        m_data[b]->setObjectName(names.data[b]);
        m_min[b] = rangeBox(names.min[b], 0, this);
        m_max[b] = rangeBox(names.max[b], 127, this);
        grid->addWidget(new QLabel(QStringLiteral("Data %1").arg(b + 1), this), 0, col, 1, 2);
        grid->addWidget(m_data[b], 1, col, 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("Min"), this), 2, col);
        grid->addWidget(new QLabel(QStringLiteral("Max"), this), 2, col + 1);
        grid->addWidget(m_min[b], 3, col);
        grid->addWidget(m_max[b], 3, col + 1);
    }
    grid->setColumnStretch(0, 2);
    for (int col = 1; col <= 4; ++col)
        grid->setColumnStretch(col, 1);
}

FaderTab::Driven FaderTab::driven() const
{
    return m_driven->checkedId() == DrivesData1 ? DrivesData1 : DrivesData2;
}

void FaderTab::setDriven(Driven which)
{
    m_driven->button(which)->setChecked(true);
}
