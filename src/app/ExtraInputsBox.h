#pragma once

#include <QGroupBox>
#include <functional>

class QComboBox;

class ExtraInputs;
class QGridLayout;
class QPushButton;

// The Midi Setup page's list of inputs: the main input's two listening switches, then one
// row per extra input (its device, "Thru", "Remote", "Foot switches", Remove), and Add.
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
    // Devices the main input or another row listens to cannot be chosen for row `index`.
    void markDevicesInUse(QComboBox &device, const QStringList &names, int index) const;
    QStringList shownState() const;

    ExtraInputs &m_inputs;
    std::function<QStringList()> m_deviceNames;
    std::function<QString()> m_mainInput;
    QGridLayout *m_rows;
    QPushButton *m_add;
    QList<QWidget *> m_rowWidgets;
    QStringList m_shown; // the devices and missing inputs the rows were built with
};
