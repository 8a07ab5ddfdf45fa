#include "tForm1.h"

tForm1::tForm1(MidiSystem &midiSystem, QWidget *parent) : QMainWindow(parent), m_midiSystem(midiSystem)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Patchwarden"));
}

tForm1::~tForm1() = default;
