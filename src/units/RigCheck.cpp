#include "units/RigCheck.h"

#include "midi/MidiOut.h"
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
    connect(&m_listen, &QTimer::timeout, this, &RigCheck::finish);
    connect(m_check, &QPushButton::clicked, this, &RigCheck::start);
}

void RigCheck::start()
{
    m_replies->clear();
    if (!m_output.IsOpen()) {
        m_status->setText(tr("The MIDI output is closed: choose an output device first."));
        return;
    }
    const QByteArray request = DeviceInquiry::request();
    m_output.SendLong(reinterpret_cast<const quint8 *>(request.constData()), quint16(request.size()));
    m_check->setEnabled(false);
    m_status->setText(tr("Listening for replies..."));
    m_listen.start();
}

void RigCheck::takeSysex(const QByteArray &sysex)
{
    if (!m_listen.isActive())
        return;
    if (const auto reply = DeviceInquiry::describeReply(sysex))
        m_replies->addItem(*reply);
}

void RigCheck::finish()
{
    m_check->setEnabled(true);
    const int count = m_replies->count();
    m_status->setText(count == 0 ? tr("No unit answered. Units that answer need their input connected to "
                                      "the output, and their output to the input.")
                                 : tr("%n unit(s) answered.", nullptr, count));
}
