#pragma once

#include <QGroupBox>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;

class ExtraInputs;
class QGridLayout;
class QPushButton;

// The Midi Setup page's list of inputs: the main input's two listening switches, then one
// row per extra input (its device, "Thru", "Remote", "Foot switches", Remove), and Add.
// Each input takes two lines, its device and button over its switches: on one line they
// are wider than the page at the window's classic width, and the buttons' texts were cut.
class ExtraInputsBox : public QGroupBox
{
    Q_OBJECT
public:
    // `deviceNames` lists the input devices as last listed; `mainInput` names the main input's.
    ExtraInputsBox(ExtraInputs &inputs, std::function<QStringList()> deviceNames,
                   std::function<QString()> mainInput, QWidget *parent = nullptr);

public slots:
    // Rebuilds the rows: inputs came or went, or the devices did.
    void refresh();
    // Rebuilds them only when the devices listed or the inputs found missing changed.
    void followDevices();

private:
    void addRow(int index);
    // "Thru", "Remote" and "Switches" on the line under `line`.
    void placeSwitches(int line, const std::array<QCheckBox *, 3> &switches);
    // Devices the main input or another row listens to cannot be chosen for row `index`.
    void markDevicesInUse(QComboBox &device, const QStringList &names, int index) const;
    QStringList shownState() const;

    static constexpr int LinesPerInput = 2;
    static constexpr int SwitchesColumn = 2;
    static constexpr int ButtonColumn = 3;

    ExtraInputs &m_inputs;
    std::function<QStringList()> m_deviceNames;
    std::function<QString()> m_mainInput;
    QGridLayout *m_rows;
    QPushButton *m_add;
    QList<QWidget *> m_rowWidgets;
    QStringList m_shown; // the devices and missing inputs the rows were built with
};
