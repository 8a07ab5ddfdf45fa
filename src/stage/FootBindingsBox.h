#pragma once

#include <QGroupBox>
#include <array>

class FootBindings;
class QCheckBox;
class QLabel;
class QPushButton;
class SpinEdit;

// The Midi Setup page's "Foot controller" group: each action's binding with its "Learn"
// button (which cancels while it waits for the pedal) and its "Clear" button, and the
// debounce time.
class FootBindingsBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit FootBindingsBox(FootBindings &bindings, QWidget *parent = nullptr);

    QPushButton *learnButton(int action) const { return m_learn[action]; }
    QPushButton *clearButton(int action) const { return m_clear[action]; }
    QLabel *bindingLabel(int action) const { return m_shown[action]; }
    SpinEdit *debounce() const { return m_debounce; }
    QCheckBox *dontForward() const { return m_dontForward; }

private:
    void refresh();

    FootBindings &m_bindings;
    std::array<QLabel *, 3> m_shown{};
    std::array<QPushButton *, 3> m_learn{};
    std::array<QPushButton *, 3> m_clear{};
    SpinEdit *m_debounce = nullptr;
    QCheckBox *m_dontForward = nullptr;
};
