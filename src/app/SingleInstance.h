#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One program per data folder: a second one would write Midi.ini and the project over the
// first one's at its exit. The first start claims the folder; a later start asks it to
// come forward and ends.
//
// GUI thread only.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &dataDir, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this program now holds the data folder. False when another one does: it
    // has then been asked to come forward, when it could be reached (see reachedOther()).
    bool claim();
    bool reachedOther() const { return m_reachedOther; }

signals:
    // A later start asked for this program's window.
    void activationRequested();

private:
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    bool m_reachedOther = false;
};
