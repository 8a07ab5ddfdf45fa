#pragma once

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;

// The last incoming and the last outgoing short message as numbers, and the name of the
// incoming one. Widgets only; the mixer window fills them.
class EventDisplay : public QGroupBox
{
    Q_OBJECT
public:
    explicit EventDisplay(QWidget *parent = nullptr);

    // Input row
    QCheckBox *ckbGetMidi;
    QLineEdit *edMessage;
    QLineEdit *edChannel;
    QLineEdit *edData1;
    QLineEdit *edData2;
    QLabel *lEvent;
    // Output row
    QCheckBox *ckbShowOut;
    QLineEdit *eMessOut;
    QLineEdit *edChOut;
    QLineEdit *edData1Out;
    QLineEdit *edData2Out;
};
