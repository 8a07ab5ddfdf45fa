#include "units/SendPreview.h"

#include "songs/SongControls.h"
#include "units/RecallPlan.h"
#include "units/RecallSequence.h"
#include "units/UnitProfiles.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

SendPreview::SendPreview(const SongControls &controls, const UnitRig &rig, const RecallSequence &sequence,
                         QWidget *parent)
    : QWidget(parent, Qt::Window), m_controls(controls), m_rig(rig), m_sequence(sequence),
      m_table(new QTableWidget(0, 3, this)), m_lastSent(new QLabel(this))
{
    setObjectName(QStringLiteral("SendPreview"));
    setWindowTitle(tr("Send Preview"));
    m_table->setObjectName(QStringLiteral("tbPlan"));
    m_table->setHorizontalHeaderLabels({tr("Time"), tr("Message"), tr("Hex")});
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lastSent->setObjectName(QStringLiteral("lbLastSent"));
    m_lastSent->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(m_lastSent);
    resize(460, 380);

    const auto follow = [this](auto *sender, auto signal) {
        connect(sender, signal, this, &SendPreview::refreshSoon);
    };
    for (const ChannelStrip &strip : controls.strips) {
        follow(strip.active, &QCheckBox::toggled);
        follow(strip.controllerData, &QCheckBox::toggled);
        follow(strip.unitName, &QLineEdit::textChanged);
        follow(strip.channel, &SpinEdit::changed);
        follow(strip.program, &SpinEdit::changed);
    }
    for (const ControllerRow *row : {&controls.volume, &controls.bank, &controls.pan}) {
        follow(row->on, &QCheckBox::toggled);
        follow(row->value, &SpinEdit::changed);
    }
    for (const ControllerRow &row : controls.user) {
        follow(row.on, &QCheckBox::toggled);
        follow(row.value, &SpinEdit::changed);
        follow(row.controller, &QComboBox::currentIndexChanged);
    }
    follow(&sequence, &RecallSequence::programSent);
    refresh();
}

void SendPreview::refreshSoon()
{
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QTimer::singleShot(0, this, &SendPreview::refresh);
}

void SendPreview::refresh()
{
    m_refreshQueued = false;
    const QList<PlannedMessage> plan = buildRecallPlan(m_controls, &m_rig, m_sequence.lastPrograms());
    m_table->setRowCount(int(plan.size()));
    for (int row = 0; row < plan.size(); ++row) {
        const PlannedMessage &message = plan[row];
        m_table->setItem(row, 0, new QTableWidgetItem(QStringLiteral("%1 ms").arg(message.atMs)));
        m_table->setItem(row, 1, new QTableWidgetItem(message.decoded()));
        m_table->setItem(row, 2, new QTableWidgetItem(message.hex()));
    }
    QStringList last;
    const ProgramMemory &programs = m_sequence.lastPrograms();
    for (int channel = 1; channel <= int(programs.channels.size()); ++channel)
        if (const int program = programs.channel(channel).program; program != ProgramMemory::Unknown)
            last << tr("Ch %1 Program %2").arg(channel).arg(program + 1);
    m_lastSent->setText(
        tr("Last sent: %1").arg(last.isEmpty() ? tr("nothing yet") : last.join(QStringLiteral(", "))));
}
