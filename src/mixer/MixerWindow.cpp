#include "MixerWindow.h"

#include "ConvertTool.h"
#include "EventDisplay.h"
#include "EventName.h"
#include "FaderChannel.h"
#include "FaderTab.h"
#include "IntToBin.h"
#include "SpinMirror.h"
#include "platform/AppException.h"
#include "platform/GuardedApplication.h"
#include "widgets/Fader.h"
#include "widgets/NumberEdit.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{
using Handler = void (MixerWindow::*)();

constexpr std::array<Handler, MixerWindow::FaderCount> FaderHandlers = {
    &MixerWindow::fader1Moved,  &MixerWindow::fader2Moved, &MixerWindow::fader3Moved,
    &MixerWindow::fader4Moved,  &MixerWindow::fader5Moved, &MixerWindow::fader6Moved,
    &MixerWindow::fader7Moved,  &MixerWindow::fader8Moved, &MixerWindow::fader9Moved,
    &MixerWindow::fader10Moved,
};

constexpr std::array<Handler, MixerWindow::FaderCount> EventTypeHandlers = {
    &MixerWindow::eventType1Chosen,  &MixerWindow::eventType2Chosen, &MixerWindow::eventType3Chosen,
    &MixerWindow::eventType4Chosen,  &MixerWindow::eventType5Chosen, &MixerWindow::eventType6Chosen,
    &MixerWindow::eventType7Chosen,  &MixerWindow::eventType8Chosen, &MixerWindow::eventType9Chosen,
    &MixerWindow::eventType10Chosen,
};
} // namespace

MixerWindow::MixerWindow(const MixerLinks &links, QWidget *parent) : QWidget(parent), m_links(links)
{
    Q_ASSERT(links.midiOut && links.sendChannel && links.outputState && links.leds && links.lastInputStatus);

    setObjectName(QStringLiteral("fMidiUnit"));
    setWindowTitle(QStringLiteral("MIDI Mixer"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    setFixedSize(608, 507);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(grey);
    setAutoFillBackground(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(buildTopBand());

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    for (int i = 0; i < FaderCount; ++i) {
        m_tabs[i] = new FaderTab(i + 1, PageControl1);
        PageControl1->addTab(m_tabs[i], QStringLiteral("Ctr %1").arg(i + 1));
    }
    PageControl1->setCurrentIndex(FaderCount - 1);
    layout->addWidget(PageControl1);
    layout->addWidget(buildFaderRow(), 1);

    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(Button1);
    layout->addLayout(bottom);

    for (int i = 0; i < FaderCount; ++i)
        m_channels[i] = std::make_unique<FaderChannel>(m_faders[i], m_tabs[i], m_links, m_display);
    connectHandlers();
}

MixerWindow::~MixerWindow() = default;

QWidget *MixerWindow::buildTopBand()
{
    auto *band = new QWidget(this);
    auto *row = new QHBoxLayout(band);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);

    auto *sendColumn = new QVBoxLayout;
    MidiSendCh = new SpinEdit(1, 16, m_links.sendChannel->value(), band);
    MidiSendCh->setObjectName(QStringLiteral("MidiSendCh"));
    sendColumn->addWidget(new QLabel(QStringLiteral("Send Ch"), band));
    sendColumn->addWidget(MidiSendCh);
    sendColumn->addStretch(1);
    row->addLayout(sendColumn);

    m_display = new EventDisplay(band);
    row->addWidget(m_display, 1);
    m_convert = new ConvertTool(band);
    row->addWidget(m_convert);
    return band;
}

QWidget *MixerWindow::buildFaderRow()
{
    auto *strip = new QWidget(this);
    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < FaderCount; ++i) {
        auto *column = new QVBoxLayout;
        m_faders[i] = new Fader(strip);
        m_faders[i]->setObjectName(i == 0 ? QStringLiteral("Fader1") : QStringLiteral("fader%1").arg(i + 1));
        auto *label = new QLabel(QStringLiteral("ctr %1").arg(i + 1), strip);
        label->setAlignment(Qt::AlignHCenter);
        column->addWidget(m_faders[i], 1, Qt::AlignHCenter);
        column->addWidget(label);
        row->addLayout(column);
    }
    return strip;
}

void MixerWindow::connectHandlers()
{
    for (int i = 0; i < FaderCount; ++i) {
        connect(m_faders[i], &Fader::valueChanged, this, FaderHandlers[i]);
        QComboBox *box = m_tabs[i]->eventType();
        connect(box, &QComboBox::currentIndexChanged, this, EventTypeHandlers[i]);
        connect(box, &QComboBox::editTextChanged, this, EventTypeHandlers[i]);
    }
    // One send channel for the whole program, whichever box the user turns.
    new SpinMirror(m_links.sendChannel, MidiSendCh, this);
    // Only the input row names an event; a fader's own message is known to the user.
    connect(m_display->edMessage, &QLineEdit::textChanged, this, &MixerWindow::showInputEventName);
    connect(m_convert->Button2, &QPushButton::clicked, this, &MixerWindow::convertNumber);
    connect(Button1, &QPushButton::clicked, this, &MixerWindow::closeMixer);
    connect(m_display->ckbGetMidi, &QCheckBox::toggled, this, &MixerWindow::showsInputChanged);
}

void MixerWindow::showEvent(QShowEvent *event)
{
    // Centred the first time only: where the user puts it on stage, it stays.
    if (!m_placed) {
        m_placed = true;
        if (QScreen *s = screen())
            setGeometry(
                QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), s->availableGeometry()));
    }
    QWidget::showEvent(event);
    emit showsInputChanged();
}

void MixerWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit showsInputChanged();
}

bool MixerWindow::showsInput() const
{
    return isVisible() && m_display->ckbGetMidi->isChecked();
}

void MixerWindow::showInput(quint8 status, quint8 data1, quint8 data2)
{
    if (!m_display->ckbGetMidi->isChecked())
        return;
    m_display->edMessage->setText(QString::number(status));
    m_display->edData1->setText(QString::number(data1));
    m_display->edData2->setText(QString::number(data2));
}

void MixerWindow::showInputEventName()
{
    if (const auto name = eventNameOf(m_links.lastInputStatus())) {
        m_display->lEvent->setText(name->text);
        m_display->edChannel->setText(QString::number(name->channel));
    }
}

void MixerWindow::closeMixer()
{
    close();
}

void MixerWindow::convertNumber()
{
    // The button may be pressed without taking the focus from the field.
    m_convert->edDec->commit();
    const int v = m_convert->edDec->value();
    m_convert->edHex->setText(QString::asprintf("%2.2X ", v));
    m_convert->edBinar->setText(IntToBin(v, 8));
}

void MixerWindow::faderChange(int index)
{
    // The widget library is built without exception support: an error unwinding through
    // the slider's event handling would skip its clean-up. The port's error therefore
    // ends the handler here and is reported the way the application reports any error.
    try {
        m_channels[index]->change();
    } catch (const AppException &e) {
        GuardedApplication::showError(e.message());
    }
}

void MixerWindow::fader1Moved()
{
    faderChange(0);
}
void MixerWindow::fader2Moved()
{
    faderChange(1);
}
void MixerWindow::fader3Moved()
{
    faderChange(2);
}
void MixerWindow::fader4Moved()
{
    faderChange(3);
}
void MixerWindow::fader5Moved()
{
    faderChange(4);
}
void MixerWindow::fader6Moved()
{
    faderChange(5);
}
void MixerWindow::fader7Moved()
{
    faderChange(6);
}
void MixerWindow::fader8Moved()
{
    faderChange(7);
}
void MixerWindow::fader9Moved()
{
    faderChange(8);
}
void MixerWindow::fader10Moved()
{
    faderChange(9);
}
void MixerWindow::eventType1Chosen()
{
    m_channels[0]->eventTypeChange();
}
void MixerWindow::eventType2Chosen()
{
    m_channels[1]->eventTypeChange();
}
void MixerWindow::eventType3Chosen()
{
    m_channels[2]->eventTypeChange();
}
void MixerWindow::eventType4Chosen()
{
    m_channels[3]->eventTypeChange();
}
void MixerWindow::eventType5Chosen()
{
    m_channels[4]->eventTypeChange();
}
void MixerWindow::eventType6Chosen()
{
    m_channels[5]->eventTypeChange();
}
void MixerWindow::eventType7Chosen()
{
    m_channels[6]->eventTypeChange();
}
void MixerWindow::eventType8Chosen()
{
    m_channels[7]->eventTypeChange();
}
void MixerWindow::eventType9Chosen()
{
    m_channels[8]->eventTypeChange();
}
void MixerWindow::eventType10Chosen()
{
    m_channels[9]->eventTypeChange();
}

void MixerWindow::keyPressEvent(QKeyEvent *event)
{
    // It stays on top of the main window: one key puts it away.
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}
