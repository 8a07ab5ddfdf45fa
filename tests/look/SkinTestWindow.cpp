#include "SkinTestWindow.h"

#include "widgets/Fader.h"
#include "widgets/LedDisplay.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

SkinTestWindow::SkinTestWindow()
{
    setWindowTitle(QStringLiteral("Skin test"));
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("Program Skin"));
    menuBar()->addMenu(QStringLiteral("&Help"));

    QToolBar *tools = addToolBar(QStringLiteral("ToolBar1"));
    auto *inLed = new QToolButton;
    inLed->setObjectName(QStringLiteral("InLed"));
    inLed->setText(QStringLiteral("MIDI In"));
    tools->addWidget(inLed);

    auto *tabs = new QTabWidget;
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    grid->addWidget(new QLabel(QStringLiteral("Project")), 0, 0);
    grid->addWidget(new QLineEdit(QStringLiteral("Saturday set")), 0, 1);
    auto *spin = new QSpinBox;
    spin->setRange(1, 128);
    spin->setValue(42);
    grid->addWidget(spin, 1, 0);
    auto *combo = new QComboBox;
    combo->addItems({QStringLiteral("Volume"), QStringLiteral("Pan")});
    grid->addWidget(combo, 1, 1);
    auto *check = new QCheckBox(QStringLiteral("Remote on"));
    check->setChecked(true);
    grid->addWidget(check, 2, 0);
    auto *radio = new QRadioButton(QStringLiteral("Skin1"));
    radio->setChecked(true);
    grid->addWidget(radio, 2, 1);
    auto *list = new QListWidget;
    list->addItems({QStringLiteral("Intro"), QStringLiteral("Ballad"), QStringLiteral("Encore")});
    list->setCurrentRow(1);
    grid->addWidget(list, 3, 0);
    auto *group = new QGroupBox(QStringLiteral(" Program Skins "));
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(new QPushButton(QStringLiteral("OK")));
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setValue(60);
    groupLayout->addWidget(slider);
    grid->addWidget(group, 3, 1);
    led = new LedDisplay;
    led->setText(QStringLiteral("SONG 12"));
    grid->addWidget(led, 4, 0, 1, 2);
    fader = new Fader;
    fader->setRange(0, 127);
    fader->setValue(90);
    grid->addWidget(fader, 0, 2, 5, 1);
    tabs->addTab(page, QStringLiteral("Sessions"));
    tabs->addTab(new QWidget, QStringLiteral("Midi Setup"));
    setCentralWidget(tabs);
    statusBar()->showMessage(QStringLiteral("Program Skins "));

    for (QWidget *widget : findChildren<QWidget *>())
        widget->setFocusPolicy(Qt::NoFocus);
    setFixedSize(560, 380);
}

QImage SkinTestWindow::shot()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    return grab().toImage();
}
