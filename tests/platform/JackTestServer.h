#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>

#include <functional>

#include <jack/jack.h>

// Whether a JACK server answers under the given name (empty: the default one). Never
// starts a server.
inline bool jackServerAnswers(const QByteArray &serverName = QByteArray())
{
    jack_status_t status;
    jack_options_t options = JackNoStartServer;
    jack_client_t *client = serverName.isEmpty()
                                ? jack_client_open("pw-probe", options, &status)
                                : jack_client_open("pw-probe", jack_options_t(options | JackServerName),
                                                   &status, serverName.constData());
    if (!client)
        return false;
    jack_client_close(client);
    return true;
}

// Asks until a server answers under the name (empty: the default one), the time is up or
// `gone` says there will be none; events are handled meanwhile. A server that is waiting
// out a client that died (the client timeout, seconds on a loaded machine) leaves a new
// client unanswered meanwhile: a run that promised a server asks again for a while before
// it calls the server gone.
inline bool jackServerAnswersWithin(int timeoutMs, const QByteArray &serverName = QByteArray(),
                                    const std::function<bool()> &gone = {})
{
    QDeadlineTimer deadline(timeoutMs);
    while (!jackServerAnswers(serverName)) {
        if (deadline.hasExpired() || (gone && gone()))
            return false;
        QTest::qWait(100);
    }
    return true;
}

// JACK tests fail when the run promised a server (PW_JACK_REQUIRED=1) and skip otherwise.
#define PW_REQUIRE_JACK()                                                                                    \
    do {                                                                                                     \
        if (qgetenv("PW_JACK_REQUIRED") == "1") {                                                            \
            if (!jackServerAnswersWithin(20000))                                                             \
                QFAIL("No JACK server answers, but PW_JACK_REQUIRED=1");                                     \
        } else if (!jackServerAnswers()) {                                                                   \
            QSKIP("No JACK server answers");                                                                 \
        }                                                                                                    \
    } while (false)

// A JACK server of a test's own, with the dummy driver, that the test may kill.
class PrivateJackServer
{
public:
    explicit PrivateJackServer(const QString &name) : m_name(name)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("JACK_NO_AUDIO_RESERVATION", "1");
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start("jackd", {"--no-realtime", "-n", name, "-d", "dummy", "-r", "48000", "-p", "256"});
    }
    ~PrivateJackServer() { shutDown(); }

    // Waits, with a deadline, until the server answers.
    bool waitReady(int timeoutMs = 20000)
    {
        return jackServerAnswersWithin(timeoutMs, m_name.toLocal8Bit(),
                                       [this] { return m_process.state() == QProcess::NotRunning; });
    }
    // Ends the server as a shutdown would. SIGKILL is only the last resort: a killed
    // server never leaves JACK's registry of servers, which holds eight at most.
    void shutDown()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    QString name() const { return m_name; }
    QString output() { return QString::fromLocal8Bit(m_process.readAll()); }

private:
    QString m_name;
    QProcess m_process;
};
