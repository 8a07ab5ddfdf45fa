#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

SingleInstance::SingleInstance(const QString &dataDir, QObject *parent) : QObject(parent)
{
    // The folder as the file system names it, so that two spellings of one folder meet.
    const QString folder = QDir(dataDir).canonicalPath().isEmpty() ? QDir(dataDir).absolutePath()
                                                                   : QDir(dataDir).canonicalPath();
    const QByteArray key =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    m_name = QStringLiteral("patchwarden-") + QString::fromLatin1(key);
    m_lock = std::make_unique<QLockFile>(QDir::temp().filePath(m_name + QStringLiteral(".lock")));
    // A program that crashed leaves its lock behind; the lock file knows it is stale.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    if (m_lock->tryLock(0)) {
        // Whatever socket is left over belongs to a program that is no longer running.
        QLocalServer::removeServer(m_name);
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *peer = m_server->nextPendingConnection()) {
                connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                emit activationRequested();
            }
        });
        m_server->listen(m_name);
        return true;
    }
    QLocalSocket socket;
    socket.connectToServer(m_name);
    m_reachedOther = socket.waitForConnected(2000);
    socket.disconnectFromServer();
    return false;
}
