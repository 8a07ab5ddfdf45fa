#include "ExtraInputsBox.h"

#include "app/ExtraInputs.h"
#include "widgets/Named.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>

namespace
{
QCheckBox *switchBox(const QString &text, bool on, const QString &name, QWidget *parent)
{
    static const QHash<QString, QString> tips{
        {QStringLiteral("Thru"), QStringLiteral("Forward what this input plays to the MIDI output")},
        {QStringLiteral("Remote"), QStringLiteral("Remote song selection listens to this input")},
        {QStringLiteral("Switches"), QStringLiteral("The foot controller's switches listen to this input")}};
    auto *box = new QCheckBox(text, parent);
    box->setToolTip(tips.value(text));
    box->setObjectName(name);
    box->setChecked(on);
    return box;
}
} // namespace

ExtraInputsBox::ExtraInputsBox(ExtraInputs &inputs, std::function<QStringList()> deviceNames,
                               std::function<QString()> mainInput, QWidget *parent)
    : QGroupBox(QStringLiteral("Inputs"), parent), m_inputs(inputs), m_deviceNames(std::move(deviceNames)),
      m_mainInput(std::move(mainInput))
{
    setObjectName(QStringLiteral("gbInputs"));
    m_rows = new QGridLayout(this);
    m_rows->setContentsMargins(6, 2, 6, 2);
    m_rows->setVerticalSpacing(1);
    m_rows->setColumnStretch(SwitchesColumn, 1);
    // On the main input's line: the page must fit the window at its smallest.
    m_add = named(new QPushButton(QStringLiteral("Add input"), this), "btAddInput");
    m_add->setToolTip(
        QStringLiteral("Listen to one more device, e.g. a foot controller or a second keyboard"));
    m_rows->addWidget(m_add, 0, ButtonColumn);
    connect(m_add, &QPushButton::clicked, this, [this] {
        // A device no input listens to yet, most likely the one just plugged in.
        const QStringList names = m_deviceNames();
        QStringList unused = names;
        unused.removeAll(m_mainInput());
        for (int i = 0; i < m_inputs.count(); ++i)
            unused.removeAll(m_inputs.input(i).name);
        // With every device taken the row starts on none: the same device opened twice
        // would forward every note twice.
        m_inputs.add({unused.value(0), true, true, true});
    });
    connect(&m_inputs, &ExtraInputs::listChanged, this, &ExtraInputsBox::refresh);
    refresh();
}

QStringList ExtraInputsBox::shownState() const
{
    QStringList state = m_deviceNames();
    for (int i = 0; i < m_inputs.count(); ++i)
        state.append(m_inputs.missing(i) ? QStringLiteral("missing") : QStringLiteral("found"));
    return state;
}

void ExtraInputsBox::followDevices()
{
    if (shownState() != m_shown)
        refresh();
}

void ExtraInputsBox::refresh()
{
    m_shown = shownState();
    qDeleteAll(m_rowWidgets);
    m_rowWidgets.clear();
    auto *main = new QLabel(QStringLiteral("Main input"), this);
    auto *mainThru = switchBox(QStringLiteral("Thru"), true, QStringLiteral("ckbMainThru"), this);
    mainThru->setEnabled(false);
    auto *mainRemote =
        switchBox(QStringLiteral("Remote"), m_inputs.mainRemote(), QStringLiteral("ckbMainRemote"), this);
    auto *mainSwitches = switchBox(QStringLiteral("Switches"), m_inputs.mainSwitches(),
                                   QStringLiteral("ckbMainSwitches"), this);
    connect(mainRemote, &QCheckBox::toggled, &m_inputs, &ExtraInputs::setMainRemote);
    connect(mainSwitches, &QCheckBox::toggled, &m_inputs, &ExtraInputs::setMainSwitches);
    m_rowWidgets << main;
    m_rows->addWidget(main, 0, 0, 1, ButtonColumn);
    placeSwitches(0, {mainThru, mainRemote, mainSwitches});
    for (int i = 0; i < m_inputs.count(); ++i)
        addRow(i);
    m_add->setEnabled(m_inputs.count() < ExtraInputs::MaxInputs);
}

void ExtraInputsBox::markDevicesInUse(QComboBox &device, const QStringList &names, int index) const
{
    auto *model = qobject_cast<QStandardItemModel *>(device.model());
    for (int row = 0; row < names.size(); ++row) {
        QString user;
        if (names[row] == m_mainInput())
            user = tr("the main input");
        for (int other = 0; other < m_inputs.count(); ++other)
            if (other != index && m_inputs.input(other).name == names[row])
                user = tr("input %1").arg(other + 1);
        if (user.isEmpty() || !model)
            continue;
        model->item(row)->setEnabled(false);
        model->item(row)->setToolTip(
            tr("Already %1: opened twice, every note would be forwarded twice").arg(user));
    }
}

void ExtraInputsBox::addRow(int index)
{
    const ExtraInputs::Input input = m_inputs.input(index);
    const QString n = QString::number(index + 1);
    auto *device = new QComboBox(this);
    device->setObjectName(QStringLiteral("cbExtraInput") + n);
    // A long device name is cut in the box rather than widening the row past the page.
    device->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    device->setMinimumContentsLength(12);
    QStringList names = m_deviceNames();
    // A device that is gone stays chosen, and says so.
    if (!input.name.isEmpty() && !names.contains(input.name))
        names.append(input.name);
    {
        const QSignalBlocker quiet(device);
        device->addItems(names);
        device->setCurrentIndex(int(names.indexOf(input.name)));
        if (m_inputs.missing(index))
            device->setItemText(device->currentIndex(), tr("%1 (missing)").arg(input.name));
        markDevicesInUse(*device, names, index);
    }
    connect(device, &QComboBox::activated, this,
            [this, index, names](int row) { m_inputs.setDevice(index, names.value(row)); });
    auto *thru = switchBox(QStringLiteral("Thru"), input.thru, QStringLiteral("ckbExtraThru") + n, this);
    auto *remote =
        switchBox(QStringLiteral("Remote"), input.remote, QStringLiteral("ckbExtraRemote") + n, this);
    auto *switches =
        switchBox(QStringLiteral("Switches"), input.switches, QStringLiteral("ckbExtraSwitches") + n, this);
    auto *remove = new QPushButton(QStringLiteral("Remove"), this);
    remove->setObjectName(QStringLiteral("btRemoveInput") + n);
    connect(thru, &QCheckBox::toggled, this, [this, index](bool on) { m_inputs.setThru(index, on); });
    connect(remote, &QCheckBox::toggled, this, [this, index](bool on) { m_inputs.setRemote(index, on); });
    connect(switches, &QCheckBox::toggled, this, [this, index](bool on) { m_inputs.setSwitches(index, on); });
    // Rebuilding the rows deletes this button: the removal waits until its click is over.
    connect(remove, &QPushButton::clicked, this, [this, index] {
        QMetaObject::invokeMethod(
            this, [this, index] { m_inputs.remove(index); }, Qt::QueuedConnection);
    });
    const int line = LinesPerInput * (index + 1);
    m_rows->addWidget(device, line, 0, 1, ButtonColumn);
    m_rows->addWidget(remove, line, ButtonColumn);
    m_rowWidgets << device << remove;
    placeSwitches(line, {thru, remote, switches});
}

void ExtraInputsBox::placeSwitches(int line, const std::array<QCheckBox *, 3> &switches)
{
    for (int column = 0; column < int(switches.size()); ++column) {
        m_rows->addWidget(switches[column], line + 1, column);
        m_rowWidgets << switches[column];
    }
}
