#include "units/SendPreview.h"

#include "songs/SongName.h"
#include "units/RecallPlan.h"
#include "units/RecallSequence.h"
#include "units/StoredSongPlan.h"
#include "units/UnitProfiles.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

SendPreview::SendPreview(const UnitRig &rig, const RecallSequence &sequence, QWidget *parent)
    : QWidget(parent, Qt::Window), m_rig(rig), m_sequence(sequence), m_choice(new QComboBox(this)),
      m_table(new QTableWidget(0, 4, this)), m_note(new QLabel(this)), m_lastSent(new QLabel(this))
{
    setObjectName(QStringLiteral("SendPreview"));
    setWindowTitle(tr("Send Preview"));
    m_choice->setObjectName(QStringLiteral("cbPreviewOf"));
    m_table->setObjectName(QStringLiteral("tbPlan"));
    m_table->setHorizontalHeaderLabels(
        {tr("Time"), tr("Message (channels 1-16, values as sent)"), tr("Hex"), tr("Port")});
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_note->setObjectName(QStringLiteral("lbPreviewNote"));
    m_note->setWordWrap(true);
    m_lastSent->setObjectName(QStringLiteral("lbLastSent"));
    m_lastSent->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_choice);
    layout->addWidget(m_table);
    layout->addWidget(m_note);
    layout->addWidget(m_lastSent);
    resize(580, 380);
    fillChoice();

    connect(m_choice, &QComboBox::currentIndexChanged, this, &SendPreview::refreshSoon);
    connect(&sequence, &RecallSequence::recallSent, this, &SendPreview::refreshSoon);
    connect(&sequence, &RecallSequence::programSent, this, &SendPreview::refreshSoon);
    refresh();
}

SendPreview::~SendPreview() = default;

void SendPreview::setSongList(QAbstractItemModel *songs)
{
    m_songs = songs;
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(songs, signal, this, &SendPreview::fillChoice);
    connect(songs, &QAbstractItemModel::rowsMoved, this, &SendPreview::fillChoice);
    connect(songs, &QAbstractItemModel::dataChanged, this, &SendPreview::fillChoice);
    connect(songs, &QAbstractItemModel::modelReset, this, &SendPreview::fillChoice);
    fillChoice();
}

void SendPreview::fillChoice()
{
    // Keeps the choice where the list only changed elsewhere.
    const int chosen = m_choice->currentIndex();
    const QString chosenText = m_choice->currentText();
    const QSignalBlocker still(m_choice);
    m_choice->clear();
    m_choice->addItem(tr("What went out for the current song"));
    const int songs = m_songs ? m_songs->rowCount() : 0;
    for (int row = 0; row < songs; ++row)
        m_choice->addItem(
            tr("What %1 would send").arg(SongName::shown(m_songs->index(row, 0).data().toString())));
    const int again = m_choice->itemText(chosen) == chosenText ? chosen : m_choice->findText(chosenText);
    m_choice->setCurrentIndex(std::max(again, 0));
    if (m_choice->currentIndex() != chosen)
        refreshSoon();
}

QString SendPreview::portName(const QString &device)
{
    return device.isEmpty() ? tr("main output") : device;
}

void SendPreview::refreshSoon()
{
    // Hidden, it catches up when shown: filling the list costs more than the song change
    // it follows, and would hold up MIDI thru right after every change.
    if (m_refreshQueued || !isVisible())
        return;
    m_refreshQueued = true;
    QTimer::singleShot(0, this, &SendPreview::refresh);
}

void SendPreview::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

void SendPreview::refresh()
{
    m_refreshQueued = false;
    const int song = m_choice->currentIndex() - 1;
    QString problem;
    if (song < 0 || !m_songs) {
        showRows(m_sequence.sent());
    } else {
        if (!m_stored)
            m_stored = std::make_unique<StoredSongPlan>();
        const QString name = m_songs->index(song, 0).data().toString();
        showRows(m_stored->plan(name, m_rig.profiles, m_sequence.programsSentOn(), problem));
    }
    m_note->setText(problem);
    m_note->setVisible(!problem.isEmpty());

    // With the units on several ports, each port's programs under its name, as in the table.
    const QList<RecallSequence::PortPrograms> ports = m_sequence.lastProgramsOfEveryPort();
    QStringList perPort;
    for (const auto &[device, programs] : ports) {
        QStringList last;
        for (int channel = 1; channel <= int(programs->channels.size()); ++channel)
            if (const int program = programs->channel(channel).program; program != ProgramMemory::Unknown)
                last << tr("Ch %1 Program %2").arg(channel).arg(program);
        const QString shown = last.isEmpty() ? tr("nothing yet") : last.join(QStringLiteral(", "));
        perPort << (ports.size() == 1 ? shown : tr("%1: %2").arg(portName(device), shown));
    }
    m_lastSent->setText(tr("Last sent: %1").arg(perPort.join(QStringLiteral("; "))));
}

void SendPreview::showRows(const QList<PlannedMessage> &messages)
{
    m_table->setRowCount(int(messages.size()));
    for (int row = 0; row < messages.size(); ++row) {
        const PlannedMessage &message = messages[row];
        m_table->setItem(row, 0, new QTableWidgetItem(QStringLiteral("%1 ms").arg(message.atMs)));
        m_table->setItem(row, 1, new QTableWidgetItem(message.decoded()));
        m_table->setItem(row, 2, new QTableWidgetItem(message.hex()));
        m_table->setItem(row, 3, new QTableWidgetItem(portName(message.port)));
    }
}
