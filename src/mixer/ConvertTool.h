#pragma once

#include <QGroupBox>

class NumberEdit;
class QLineEdit;
class QPushButton;

// Decimal to hexadecimal and binary, for reading synth manuals on stage. Widgets only;
// the mixer window handles "Calculate".
class ConvertTool : public QGroupBox
{
    Q_OBJECT
public:
    explicit ConvertTool(QWidget *parent = nullptr);

    NumberEdit *edDec;
    QLineEdit *edHex;
    QLineEdit *edBinar;
    QPushButton *Button2;
};
