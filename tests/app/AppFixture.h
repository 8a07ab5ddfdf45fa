#pragma once

#include "app/ProgramWindows.h"
#include "platform/AppPaths.h"
#include "platform/VirtualMidiSystem.h"
#include "support/RecordingDialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The whole program on in-process MIDI devices, with its data in a folder of its own.
// Nothing is shown until start() shows the main window, which runs its start-up.
class AppFixture
{
public:
    explicit AppFixture(const QStringList &outputs = {QStringLiteral("Synth A"), QStringLiteral("Synth B")},
                        const QStringList &inputs = {QStringLiteral("Keys"), QStringLiteral("Pads")})
    {
        AppPaths::setDataDir(dataDir.path());
        for (const QString &name : outputs)
            outs.append(&midi.addOutput(name));
        for (const QString &name : inputs)
            ins.append(&midi.addInput(name));
    }

    ~AppFixture()
    {
        windows.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    MainWindow &start(MainWindow::Options options = {})
    {
        windows = std::make_unique<ProgramWindows>(midi, std::move(options), nullptr);
        windows->mainWindow().show();
        return windows->mainWindow();
    }

    MainWindow &form() { return windows->mainWindow(); }

    QString projects() const { return dataDir.path() + QStringLiteral("/Projects"); }
    QString settingsPath() const { return dataDir.path() + QStringLiteral("/Midi.ini"); }

    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // A song file whose strip 1 is on and sends <program> on <channel>.
    static QByteArray songFile(int channel, int program)
    {
        return QStringLiteral("[TSpinEdit]\r\nSpin48=%1\r\nSpin49=%2\r\n[TCheckBox]\r\nChecked46=1\r\n")
            .arg(channel)
            .arg(program)
            .toLatin1();
    }

    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    RecordingDialogs dialogs;
    QTemporaryDir dataDir;
    VirtualMidiSystem midi;
    QList<VirtualOutput *> outs;
    QList<VirtualInput *> ins;
    std::unique_ptr<ProgramWindows> windows;
};
