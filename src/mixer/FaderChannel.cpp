#include "FaderChannel.h"

#include "EventDisplay.h"
#include "FaderTab.h"
#include "midi/MidiOut.h"
#include "widgets/ActivityLeds.h"
#include "widgets/ClosedPortNotice.h"
#include "widgets/Fader.h"
#include "widgets/NumberEdit.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <array>

namespace
{
// Event-type items in box order.
constexpr std::array<quint8, 4> StatusBases = {0xA0, 0xB0, 0xD0, 0xE0};

// The fields allow up to 1000. Only the low byte goes out, and a byte that would read as
// a status byte on the wire is held at the top data value instead.
quint8 dataByte(int value)
{
    const int low = value & 0xFF;
    return quint8(low > 0x7F ? 0x7F : low);
}

// A box read while the user is still typing may hold a number outside its range.
int boxValue(const SpinEdit *box)
{
    return qBound(box->minimum(), box->value(), box->maximum());
}
} // namespace

FaderChannel::FaderChannel(Fader *fader, FaderTab *tab, const MixerLinks &links, EventDisplay *display)
    : m_fader(fader), m_tab(tab), m_links(links), m_display(display)
{
}

void FaderChannel::eventTypeChange()
{
    const int index = m_tab->eventType()->findText(m_tab->eventType()->currentText(), Qt::MatchFixedString);
    if (index >= 0 && index < int(StatusBases.size()))
        m_statusBase = StatusBases[index];
}

void FaderChannel::change()
{
    if (!m_statusBase)
        return;
    if (!m_links.midiOut->IsOpen()) {
        ClosedPortNotice::show(m_links.outputState());
        return;
    }
    const int channel = boxValue(m_links.sendChannel);
    const int message = channel + *m_statusBase - 1;
    const quint8 status = quint8(message & 0xFF);

    const int driven = m_tab->driven() == FaderTab::DrivesData1 ? 1 : 2;
    const int top = boxValue(m_tab->maximum(driven));
    // An inverted range collapses to its maximum.
    const int bottom = qMin(boxValue(m_tab->minimum(driven)), top);
    int v;
    {
        // Narrowing the range may move the fader; that is this movement, not another one.
        const QSignalBlocker quiet(m_fader);
        m_fader->setMaximum(top);
        m_fader->setMinimum(bottom);
        v = m_fader->value();
    }

    NumberEdit *data1 = m_tab->data(1);
    NumberEdit *data2 = m_tab->data(2);
    if (driven == 1) {
        m_links.midiOut->SendShort(status, dataByte(v), dataByte(data2->value()));
        data1->setValue(v);
    } else {
        m_links.midiOut->SendShort(status, dataByte(data1->value()), dataByte(v));
        data2->setValue(v);
    }

    if (m_display->ckbShowOut->isChecked()) {
        m_display->eMessOut->setText(QString::number(message));
        m_display->edChOut->setText(QString::number(channel));
        m_display->edData1Out->setText(QString::number(data1->value()));
        m_display->edData2Out->setText(QString::number(data2->value()));
    }
    m_links.leds->lightOut();
}
