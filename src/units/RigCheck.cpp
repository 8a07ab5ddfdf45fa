#include "units/RigCheck.h"

#include "midi/MidiOut.h"
#include "midi/OutputRig.h"
#include "units/DeviceInquiry.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

RigCheck::RigCheck(MidiOutputPort &output, QWidget *parent)
    : QWidget(parent, Qt::Window), m_output(output), m_check(new QPushButton(tr("Check Rig"), this)),
      m_replies(new QListWidget(this)), m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("RigCheck"));
    setWindowTitle(tr("Rig Check"));
    m_check->setObjectName(QStringLiteral("btCheckRig"));
    m_replies->setObjectName(QStringLiteral("lbReplies"));
    m_status->setObjectName(QStringLiteral("lbRigStatus"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_check);
    layout->addWidget(m_replies);
    layout->addWidget(m_status);
    resize(520, 300);
    m_listen.setSingleShot(true);
    m_listen.setInterval(ListenMs);
    connect(&m_listen, &QTimer::timeout, this, &RigCheck::askNext);
    connect(m_check, &QPushButton::clicked, this, &RigCheck::start);
}

void RigCheck::start()
{
    m_replies->clear();
    m_toAsk = m_outputs ? m_outputs->openPorts() : QList<MidiOutputPort *>();
    if (!m_outputs && m_output.IsOpen())
        m_toAsk = {&m_output};
    if (m_toAsk.isEmpty()) {
        m_status->setText(tr("The MIDI output is closed: choose an output device first."));
        return;
    }
    const bool several = m_outputs && m_outputs->hasUnitPorts();
    m_answered = 0;
    m_check->setEnabled(false);
    m_status->setText(tr("Listening for replies..."));
    m_askedPort = several ? QStringLiteral(" ") : QString();
    askNext();
}

void RigCheck::askNext()
{
    if (m_toAsk.isEmpty()) {
        finish();
        return;
    }
    MidiOutputPort *port = m_toAsk.takeFirst();
    if (!m_askedPort.isEmpty()) {
        const QString device = m_outputs->deviceOf(port);
        m_askedPort = device.isEmpty() ? port->ProductName() : device;
    }
    const QByteArray request = DeviceInquiry::request();
    // A port that went or refuses is passed over: the others are still asked.
    try {
        if (port->IsOpen())
            port->SendLong(reinterpret_cast<const quint8 *>(request.constData()), quint16(request.size()));
    } catch (const MidiOutputError &error) {
        m_replies->addItem(tr("%1 was not asked: %2").arg(port->ProductName(), error.message()));
        askNext();
        return;
    }
    m_listen.start();
}

void RigCheck::takeSysex(const QByteArray &sysex, const QString &input)
{
    if (!m_listen.isActive())
        return;
    if (const auto reply = DeviceInquiry::describeReply(sysex)) {
        QString line = m_askedPort.isEmpty() ? *reply : tr("%1, on %2").arg(*reply, m_askedPort);
        if (!input.isEmpty())
            line = tr("%1, heard on %2").arg(line, input);
        m_replies->addItem(line);
        ++m_answered;
    }
}

void RigCheck::finish()
{
    m_check->setEnabled(true);
    const int count = m_answered;
    m_status->setText(count == 0 ? tr("No unit answered. Units that answer need their input connected to "
                                      "the output, and their output to the input.")
                                 : tr("%n unit(s) answered.", nullptr, count));
}
