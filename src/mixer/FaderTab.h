#pragma once

#include <QWidget>

class NumberEdit;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class SpinEdit;

// The settings page of one fader: event type, which data byte the fader drives, the two
// data fields and the range of each. Holds no behaviour; FaderChannel reads it.
class FaderTab : public QWidget
{
    Q_OBJECT
public:
    // The two data bytes, as the driven-byte choice numbers them.
    enum Driven { DrivesData1 = 0, DrivesData2 = 1 };

    // number: 1..10; the controls get the object names the rest of the program knows.
    explicit FaderTab(int number, QWidget *parent = nullptr);

    QComboBox *eventType() const { return m_eventType; }
    QGroupBox *drivenGroup() const { return m_drivenGroup; }
    Driven driven() const;
    void setDriven(Driven which);
    NumberEdit *data(int byte) const { return m_data[byte - 1]; }
    SpinEdit *minimum(int byte) const { return m_min[byte - 1]; }
    SpinEdit *maximum(int byte) const { return m_max[byte - 1]; }

private:
    QComboBox *m_eventType;
    QGroupBox *m_drivenGroup;
    QButtonGroup *m_driven;
    NumberEdit *m_data[2];
    SpinEdit *m_min[2];
    SpinEdit *m_max[2];
};
