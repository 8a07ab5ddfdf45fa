#include "units/UnitsWindow.h"

#include "songs/SongControls.h"
#include "units/UnitProfiles.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

namespace
{
QSpinBox *byteField(QWidget *parent)
{
    auto *field = new QSpinBox(parent);
    field->setRange(0, 127);
    return field;
}
} // namespace

UnitsWindow::UnitsWindow(const SongControls &controls, UnitRig &rig, const QString &profilesPath,
                         QWidget *parent)
    : QWidget(parent, Qt::Window), m_controls(controls), m_rig(rig), m_path(profilesPath),
      m_list(new QListWidget(this)), m_name(new QLineEdit(this)), m_mode(new QComboBox(this)),
      m_pause(new QSpinBox(this)), m_program(new QComboBox(this)), m_port(new QComboBox(this))
{
    setObjectName(QStringLiteral("UnitsWindow"));
    setWindowTitle(tr("Unit Profiles"));
    m_mode->addItems(
        {tr("controller 32 from the block"), tr("controller 0 only"), tr("controller 0 and 32"), tr("none")});
    m_pause->setRange(0, UnitProfile::MaxPauseMs);
    m_pause->setSuffix(tr(" ms"));
    m_program->addItems({tr("always"), tr("only when changed")});
    m_name->setReadOnly(true);
    m_port->setObjectName(QStringLiteral("cbUnitPort"));
    // A device that is not plugged in now can still be named.
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    m_port->lineEdit()->setPlaceholderText(tr("main output"));
    m_port->setToolTip(tr("The output device this unit is connected to. Empty: the main output."));

    auto *add = new QPushButton(tr("Add"), this);
    auto *remove = new QPushButton(tr("Remove"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    // Titles short and explanations wrapped, the list above its fields: the window fits
    // beside the main window on a 1366-pixel screen.
    auto *profileBox = new QGroupBox(tr("Profiles"), this);
    auto *form = new QFormLayout;
    form->addRow(tr("Unit"), m_name);
    form->addRow(tr("Bank select"), m_mode);
    form->addRow(tr("Pause after program change"), m_pause);
    form->addRow(tr("Program change"), m_program);
    form->addRow(tr("Output port"), m_port);
    auto *profileLayout = new QVBoxLayout(profileBox);
    auto *profileNote = new QLabel(tr("A strip uses the profile named as its unit."), profileBox);
    profileNote->setWordWrap(true);
    profileLayout->addWidget(profileNote);
    auto *listSide = new QVBoxLayout;
    m_emptyHint = new QLabel(tr("No profiles yet. Press \"Add\" and type a unit's name as its strips show "
                                "it under \"MIDI Units\", or right-click that name on a strip and choose "
                                "\"Unit profile...\"."),
                             this);
    m_emptyHint->setObjectName(QStringLiteral("lbNoProfiles"));
    m_emptyHint->setWordWrap(true);
    listSide->addWidget(m_emptyHint);
    listSide->addWidget(m_list);
    listSide->addLayout(buttons);
    profileLayout->addLayout(listSide);
    profileLayout->addLayout(form);

    auto *bankBox = new QGroupBox(tr("This song's banks"), this);
    auto *bankLayout = new QVBoxLayout(bankBox);
    auto *bankNote = new QLabel(tr("For units whose bank select sends controller 0."), bankBox);
    bankNote->setWordWrap(true);
    bankLayout->addWidget(bankNote);
    auto *grid = new QGridLayout;
    bankLayout->addLayout(grid);
    grid->addWidget(new QLabel(tr("Strip / unit"), bankBox), 0, 0);
    grid->addWidget(new QLabel(tr("MSB"), bankBox), 0, 1);
    grid->addWidget(new QLabel(tr("LSB"), bankBox), 0, 2);
    for (int n = 0; n < SongBanks::StripCount; ++n) {
        m_stripNames[n] = new QLabel(bankBox);
        m_msb[n] = byteField(bankBox);
        m_lsb[n] = byteField(bankBox);
        grid->addWidget(m_stripNames[n], n + 1, 0);
        grid->addWidget(m_msb[n], n + 1, 1);
        grid->addWidget(m_lsb[n], n + 1, 2);
        connect(m_msb[n], &QSpinBox::valueChanged, this, &UnitsWindow::storeBanks);
        connect(m_lsb[n], &QSpinBox::valueChanged, this, &UnitsWindow::storeBanks);
    }
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(profileBox);
    layout->addWidget(bankBox);

    connect(m_list, &QListWidget::currentRowChanged, this, &UnitsWindow::showProfile);
    connect(m_mode, &QComboBox::currentIndexChanged, this, &UnitsWindow::storeProfile);
    connect(m_pause, &QSpinBox::valueChanged, this, &UnitsWindow::storeProfile);
    connect(m_program, &QComboBox::currentIndexChanged, this, &UnitsWindow::storeProfile);
    // Once the name is whole: a port is opened for every name stored.
    connect(m_port, &QComboBox::activated, this, &UnitsWindow::storeProfile);
    connect(m_port->lineEdit(), &QLineEdit::editingFinished, this, &UnitsWindow::storeProfile);
    connect(remove, &QPushButton::clicked, this, &UnitsWindow::removeProfile);
    connect(add, &QPushButton::clicked, this, [this] {
        const QString name =
            QInputDialog::getText(this, tr("Unit Profiles"), tr("Unit name, as the strips show it:"));
        if (!name.trimmed().isEmpty())
            editUnit(name);
    });
    for (const ChannelStrip &strip : controls.strips)
        connect(strip.unitName, &QLineEdit::textChanged, this, &UnitsWindow::showStripNames);
    showProfiles(QString());
    showBanks();
}

void UnitsWindow::editUnit(const QString &name)
{
    if (!m_rig.profiles.find(name)) {
        UnitProfile plain;
        plain.name = name;
        m_rig.profiles.set(plain);
        m_rig.profiles.save(m_path);
        emit changed();
    }
    showProfiles(m_rig.profiles.find(name)->name);
    showStripNames();
}

void UnitsWindow::showProfiles(const QString &current)
{
    m_list->clear();
    for (const UnitProfile &profile : m_rig.profiles.all()) {
        m_list->addItem(profile.name);
        if (profile.name == current)
            m_list->setCurrentRow(m_list->count() - 1);
    }
    if (m_list->currentRow() < 0 && m_list->count() > 0)
        m_list->setCurrentRow(0);
    m_emptyHint->setVisible(m_list->count() == 0);
    showProfile();
}

void UnitsWindow::showProfile()
{
    const int row = m_list->currentRow();
    const bool any = row >= 0 && row < m_rig.profiles.all().size();
    for (QWidget *field : std::initializer_list<QWidget *>{m_mode, m_pause, m_program, m_port})
        field->setEnabled(any);
    if (!any)
        return;
    const UnitProfile &profile = m_rig.profiles.all()[row];
    m_showing = true;
    m_name->setText(profile.name);
    m_mode->setCurrentIndex(int(profile.bankMode));
    m_pause->setValue(profile.pauseMs);
    m_program->setCurrentIndex(profile.onlyWhenChanged ? 1 : 0);
    listPorts(profile.port);
    m_showing = false;
}

void UnitsWindow::storeProfile()
{
    const int row = m_list->currentRow();
    if (m_showing || row < 0 || row >= m_rig.profiles.all().size())
        return;
    UnitProfile profile = m_rig.profiles.all()[row];
    profile.bankMode = BankMode(m_mode->currentIndex());
    profile.pauseMs = m_pause->value();
    profile.onlyWhenChanged = m_program->currentIndex() == 1;
    profile.port = m_port->currentText().trimmed();
    if (profile == m_rig.profiles.all()[row])
        return;
    m_rig.profiles.set(profile);
    m_rig.profiles.save(m_path);
    showStripNames();
    emit changed();
}

void UnitsWindow::listPorts(const QString &current)
{
    m_port->clear();
    m_port->addItem(QString());
    if (m_outputNames)
        m_port->addItems(m_outputNames());
    m_port->setCurrentText(current);
}

void UnitsWindow::removeProfile()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_rig.profiles.all().size())
        return;
    m_rig.profiles.remove(m_rig.profiles.all()[row].name);
    m_rig.profiles.save(m_path);
    showProfiles(QString());
    showStripNames();
    emit changed();
}

void UnitsWindow::showEvent(QShowEvent *event)
{
    if (m_namesStale)
        showStripNames();
    QWidget::showEvent(event);
}

void UnitsWindow::showBanks()
{
    m_showing = true;
    // A spin box rewrites its text even for the value it has; every song load comes here.
    const auto show = [](QSpinBox *field, int value) {
        if (field->value() != value)
            field->setValue(value);
    };
    for (int n = 0; n < SongBanks::StripCount; ++n) {
        show(m_msb[n], m_rig.banks.strips[n].msb);
        show(m_lsb[n], m_rig.banks.strips[n].lsb);
    }
    m_showing = false;
    showStripNames();
}

void UnitsWindow::storeBanks()
{
    if (m_showing)
        return;
    for (int n = 0; n < SongBanks::StripCount; ++n)
        m_rig.banks.strips[n] = {m_msb[n]->value(), m_lsb[n]->value()};
    emit banksEdited();
    emit changed();
}

void UnitsWindow::showStripNames()
{
    // Every song load and every unit name typed comes here: hidden, it waits for the window.
    m_namesStale = !isVisible();
    if (m_namesStale)
        return;
    for (int n = 0; n < SongBanks::StripCount; ++n) {
        const QString unit = m_controls.strips[n].unitName->text().trimmed();
        const UnitProfile *profile = m_rig.profiles.find(unit);
        const bool takesBank =
            profile && (profile->bankMode == BankMode::Msb || profile->bankMode == BankMode::MsbLsb);
        m_stripNames[n]->setText(unit.isEmpty() ? tr("%1").arg(n + 1) : tr("%1 %2").arg(n + 1).arg(unit));
        m_msb[n]->setEnabled(takesBank);
        m_lsb[n]->setEnabled(takesBank && profile->bankMode == BankMode::MsbLsb);
    }
}
