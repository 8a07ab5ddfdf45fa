#include "FreshSongFile.h"
#include "SongWindow.h"
#include "support/ScratchData.h"

#include "platform/AppException.h"
#include "platform/AppPaths.h"
#include "songs/ControlNumbers.h"
#include "songs/SongFile.h"
#include "songs/SongListController.h"
#include "support/RecordingDialogs.h"
#include "support/TestMain.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

namespace
{
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write fixture %s", qPrintable(path));
    file.write(bytes);
}

// Gives every stored control a value of its own, different from its start value.
void fillDistinctValues(SongControls &controls)
{
    int seed = 0;
    for (const StoredControl &control : storedControls()) {
        QWidget *widget = storedWidget(controls, control);
        ++seed;
        switch (control.kind) {
        case ControlKind::Spin: {
            auto *spin = static_cast<SpinEdit *>(widget);
            spin->setValue(spin->minimum() + (seed * 7) % (spin->maximum() - spin->minimum() + 1));
            break;
        }
        case ControlKind::ComboBox:
            static_cast<QComboBox *>(widget)->setCurrentIndex((seed * 13) % 128);
            break;
        case ControlKind::Text:
            static_cast<QLineEdit *>(widget)->setText(QStringLiteral("text %1 für").arg(seed));
            break;
        case ControlKind::Check:
            static_cast<QCheckBox *>(widget)->setChecked(seed % 3 != 0);
            break;
        }
    }
}

QString valueOf(const SongControls &controls, const StoredControl &control)
{
    QWidget *widget = storedWidget(controls, control);
    switch (control.kind) {
    case ControlKind::Spin:
        return QString::number(static_cast<SpinEdit *>(widget)->value());
    case ControlKind::ComboBox:
        return QString::number(static_cast<QComboBox *>(widget)->currentIndex());
    case ControlKind::Text:
        return static_cast<QLineEdit *>(widget)->text();
    case ControlKind::Check:
        return static_cast<QCheckBox *>(widget)->isChecked() ? "on" : "off";
    }
    return {};
}
} // namespace

class TestSongFile : public QObject
{
    Q_OBJECT

private:
    ScratchData m_scratch;

    QString projects() const { return m_scratch.data()->path() + "/Projects"; }

    // A song file holding only `lines` (CR LF added), loaded into a fresh window.
    void loadLines(SongWindow &window, const QByteArray &lines, int *sends = nullptr)
    {
        QDir().mkpath(projects());
        writeAll(projects() + "/Song.txt", lines);
        SongFile file(window.controls);
        int count = 0;
        file.setSongSender([&count] { ++count; });
        file.LoadSong("Song");
        if (sends)
            *sends = count;
    }

private slots:
    void init() { m_scratch.init(); }

    void cleanup() { m_scratch.cleanup(); }

    void freshSongIsWrittenExactly()
    {
        SongWindow window;
        SongFile file(window.controls);
        SongListController list(*window.songsPage, file);
        int sends = 0;
        file.setSongSender([&sends] { ++sends; });

        QTest::keyClicks(window.songsPage->edNewSong(), "Intro");
        QTest::mouseClick(window.songsPage->btAddSong(), Qt::LeftButton);
        QListWidget *songs = window.songsPage->lbSongList();
        QCOMPARE(songs->count(), 1);
        QTest::mouseClick(songs->viewport(), Qt::LeftButton, {},
                          songs->visualItemRect(songs->item(0)).center());
        QCOMPARE(list.selectedIndex(), 0);
        QCOMPARE(sends, 1);
        QTest::mouseClick(window.songsPage->MMLabel6(), Qt::LeftButton);

        const QString path = projects() + "/Intro.txt";
        QCOMPARE(readAll(path), QByteArray(FreshSongFile));
        QCOMPARE(QByteArray(FreshSongFile).count("\r\n"), 108 + 4);

        // Another program's key and section stay; a second save adds no second copy.
        QByteArray foreign(FreshSongFile);
        foreign.replace("Spin23=77\r\n", "Spin23=77\r\nForeign=kept\r\n");
        foreign += "; note\r\n[Other]\r\nx=1\r\n";
        writeAll(path, foreign);
        window.controls.strips[0].program->setValue(5);
        file.SaveSong("Intro");
        QByteArray expected = foreign;
        expected.replace("Spin49=1\r\n", "Spin49=5\r\n");
        QCOMPARE(readAll(path), expected);
        QVERIFY(m_scratch.dialogs()->messages.isEmpty());
    }

    void valuesAsRead_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("expected");
        QTest::newRow("hex program") << QByteArray("[TSpinEdit]\r\nSpin49=0x10\r\n") << "spp1"
                                     << "16";
        QTest::newRow("dollar hex") << QByteArray("[tspinedit]\r\nspin49=$20\r\n") << "spp1"
                                    << "32";
        QTest::newRow("too high clamps") << QByteArray("[TSpinEdit]\r\nSpin49=200\r\n") << "spp1"
                                         << "128";
        QTest::newRow("no number is minimum") << QByteArray("[TSpinEdit]\r\nSpin49=abc\r\n") << "spp1"
                                              << "1";
        QTest::newRow("any non-zero is on") << QByteArray("[TCheckBox]\r\nChecked46=5\r\n") << "ckba1"
                                            << "on";
        QTest::newRow("choice") << QByteArray("[ComboBox]\r\ncbBox140=7\r\n") << "cbUser1"
                                << "7";
        QTest::newRow("choice past the list") << QByteArray("[ComboBox]\r\ncbBox140=200\r\n") << "cbUser1"
                                              << "-1";
        QTest::newRow("quoted text") << QByteArray("[TEdit]\r\nText47=\"  JV-1080 \"\r\n") << "Edit18"
                                     << "  JV-1080 ";
        QTest::newRow("seSecond 100") << QByteArray("[TSpinEdit]\r\nSpin23=100\r\n") << "seSecond"
                                      << "100";
    }

    void valuesAsRead()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QString, control);
        QFETCH(QString, expected);
        SongWindow window;
        loadLines(window, lines);
        QCOMPARE(valueOf(window.controls, *storedControlByName(control)), expected);
    }

    void setUpAndProjectStayOnLoad()
    {
        SongWindow window;
        window.controls.MidiSendCh->setValue(3);
        window.controls.MidiRecCh->setValue(4);
        window.controls.cbProject->setText("Live");
        window.controls.ckbRemote->setChecked(true);
        loadLines(window, "[TSpinEdit]\r\nSpin31=9\r\nSpin32=9\r\n[TEdit]\r\nText9=Other\r\n"
                          "Text10=typed\r\n[TCheckBox]\r\nChecked33=0\r\n");
        QCOMPARE(window.controls.MidiSendCh->value(), 3);
        QCOMPARE(window.controls.MidiRecCh->value(), 4);
        QCOMPARE(window.controls.cbProject->text(), QString("Live"));
        QVERIFY(window.controls.ckbRemote->isChecked());
        // The new-song field is a plain stored control and does come back.
        QCOMPARE(window.controls.edNewSong->text(), QString("typed"));
    }

    void missingSongLoadsLowestValuesAndSends()
    {
        SongWindow window;
        fillDistinctValues(window.controls);
        window.controls.MidiSendCh->setValue(5);
        SongFile file(window.controls);
        int sends = 0;
        file.setSongSender([&sends] { ++sends; });
        file.LoadSong("Gone");
        QCOMPARE(sends, 1);

        for (const ChannelStrip &strip : window.controls.strips) {
            QVERIFY(!strip.active->isChecked());
            QVERIFY(!strip.controllerData->isChecked());
            QCOMPARE(strip.unitName->text(), QString());
            QCOMPARE(strip.channel->value(), 1);
            QCOMPARE(strip.program->value(), 1);
        }
        for (const ControllerRow *row :
             {&window.controls.volume, &window.controls.bank, &window.controls.pan}) {
            QVERIFY(!row->on->isChecked());
            QCOMPARE(row->value->value(), 1);
        }
        for (const ControllerRow &row : window.controls.user) {
            QVERIFY(!row.on->isChecked());
            QCOMPARE(row.value->value(), 1);
            QCOMPARE(row.controller->currentIndex(), -1);
            QCOMPARE(row.controller->currentText(), QString());
        }
        QCOMPARE(window.controls.seSecond->value(), 0);
        QCOMPARE(window.controls.Edit1->text(), QString());
        QCOMPARE(window.controls.MidiSendCh->value(), 5);
        QVERIFY(m_scratch.dialogs()->messages.isEmpty());
    }

    void everyStoredControlRoundTrips()
    {
        SongWindow saved;
        fillDistinctValues(saved.controls);
        SongFile(saved.controls).SaveSong("All");

        SongWindow loaded;
        SongFile(loaded.controls).LoadSong("All");
        int compared = 0;
        for (const StoredControl &control : storedControls()) {
            QVERIFY2(storedWidget(loaded.controls, control), qPrintable(control.objectName));
            const QString name = control.objectName;
            if (name == "MidiSendCh" || name == "MidiRecCh" || name == "cbProject" || name == "ckbRemote")
                continue;
            QCOMPARE(valueOf(loaded.controls, control), valueOf(saved.controls, control));
            ++compared;
        }
        QCOMPARE(compared, 104);
    }

    void seSecondRoundTrips()
    {
        SongWindow saved;
        saved.controls.seSecond->setValue(100);
        SongFile(saved.controls).SaveSong("Manual");
        SongWindow loaded;
        QCOMPARE(loaded.controls.seSecond->value(), 77);
        SongFile(loaded.controls).LoadSong("Manual");
        QCOMPARE(loaded.controls.seSecond->value(), 100);
    }

    void unwritableSongReportsFullPathAndKeepsFile()
    {
        SongWindow window;
        SongFile file(window.controls);
        QString error;
        try {
            file.SaveSong("a/b");
        } catch (const FileError &e) {
            error = e.message();
        }
        QCOMPARE(error, "Unable to write to " + QDir::toNativeSeparators(projects() + "/a/b.txt") +
                            ". A song file must stay in the projects folder");
        QVERIFY(!QFile::exists(projects() + "/a"));
    }

    void projectsFolderThatCannotBeMade()
    {
        writeAll(m_scratch.data()->path() + "/Projects", "a file where the folder should be");
        SongWindow window;
        window.controls.strips[0].program->setValue(9);
        SongFile file(window.controls);
        int sends = 0;
        file.setSongSender([&sends] { ++sends; });

        QVERIFY_THROWS_EXCEPTION(FileError, file.SaveSong("Intro"));
        QCOMPARE(m_scratch.dialogs()->texts(),
                 QStringList{"Can't create the projects folder; songs and projects cannot be saved."});
        QCOMPARE(m_scratch.dialogs()->messages.first().icon, Dialogs::Icon::Warning);

        file.LoadSong("Intro");
        QCOMPARE(window.controls.strips[0].program->value(), 1);
        QCOMPARE(sends, 1);
        QCOMPARE(m_scratch.dialogs()->messages.size(), 2);
    }

    void cdMdDirMakesTheFolderCurrent()
    {
        const QString path = SongFile::enterDataFolder("Projects");
        QCOMPARE(path, projects());
        QVERIFY(QFileInfo(projects()).isDir());
        QCOMPARE(QDir::current().canonicalPath(), QDir(projects()).canonicalPath());
        QVERIFY(m_scratch.dialogs()->messages.isEmpty());
    }
};

PW_TEST_MAIN(TestSongFile)
#include "tst_songfile.moc"
