#include "platform/AppException.h"
#include "platform/IniFile.h"
#include "platform/TextFile.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

class TestIniFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString pathOf(const QString &name) const { return m_dir.filePath(name); }

    QString writeRaw(const QString &name, const QByteArray &bytes)
    {
        const QString path = pathOf(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write fixture");
        file.write(bytes);
        return path;
    }

    static QByteArray readRaw(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return file.readAll();
    }

private slots:
    void settingsFileComesOutInOrderOfFirstWriting()
    {
        // The shut-down's order of writes gives the settings file its layout.
        const QString path = pathOf("Midi.ini");
        IniFile::writeInteger(path, "Midi", "Midi In", 1);
        IniFile::writeInteger(path, "Midi", "Midi Out", 0);
        IniFile::writeString(path, "Project", "Last one", "Live.txt");
        IniFile::writeInteger(path, "Remote", "Remote Channel", 16);
        IniFile::writeInteger(path, "Midi", "Midi Out CH", 1);
        IniFile::writeInteger(path, "Remote", "Stade", 1);
        QCOMPARE(readRaw(path), QByteArray("[Midi]\r\nMidi In=1\r\nMidi Out=0\r\nMidi Out CH=1\r\n"
                                           "[Project]\r\nLast one=Live.txt\r\n"
                                           "[Remote]\r\nRemote Channel=16\r\nStade=1\r\n"));
        QCOMPARE(IniFile::readString(path, "project", "LAST ONE", "Sorry"), QString("Live.txt"));
        QCOMPARE(IniFile::readInteger(path, "REMOTE", "remote channel", 1), 16);
        QVERIFY(IniFile::readBool(path, "Remote", "Stade", false));
        QCOMPARE(IniFile::readInteger(path, "Remote", "Missing", 7), 7);
    }

    void writesKeepForeignLinesAndReplaceInPlace()
    {
        const QString path = writeRaw("foreign.ini", "; made by hand\r\n"
                                                     "[other]\r\n"
                                                     "x = 1\r\n"
                                                     "\r\n"
                                                     "[MIDI]\r\n"
                                                     "junk line\r\n"
                                                     "midi out = 3\r\n"
                                                     "; comment inside\r\n"
                                                     "\r\n"
                                                     "[tail]\r\n"
                                                     "y=2"); // no final line end
        IniFile ini(path);
        ini.writeInteger("Midi", "Midi Out", 5); // replaced where it stands, spelling kept
        ini.writeInteger("Midi", "Midi In", 2);  // end of its section, before the blank line
        ini.writeString("New", "k", "v");        // new section at the end of the file
        ini.save();
        QCOMPARE(readRaw(path), QByteArray("; made by hand\r\n"
                                           "[other]\r\n"
                                           "x = 1\r\n"
                                           "\r\n"
                                           "[MIDI]\r\n"
                                           "junk line\r\n"
                                           "midi out=5\r\n"
                                           "; comment inside\r\n"
                                           "Midi In=2\r\n"
                                           "\r\n"
                                           "[tail]\r\n"
                                           "y=2\r\n"
                                           "[New]\r\n"
                                           "k=v\r\n"));
    }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        QTest::newRow("blanks trimmed") << QByteArray("  [ Sec ]  \r\n  Key  =  some value  \r\n") << "sec"
                                        << "KEY"
                                        << "some value";
        QTest::newRow("double quotes") << QByteArray("[s]\r\nk=\" padded \"\r\n") << "s"
                                       << "k"
                                       << " padded ";
        QTest::newRow("single quotes") << QByteArray("[s]\r\nk='x'\r\n") << "s"
                                       << "k"
                                       << "x";
        QTest::newRow("unmatched quotes stay") << QByteArray("[s]\r\nk=\"x'\r\n") << "s"
                                               << "k"
                                               << "\"x'";
        QTest::newRow("lone quote stays") << QByteArray("[s]\r\nk=\"\r\n") << "s"
                                          << "k"
                                          << "\"";
        QTest::newRow("first key wins") << QByteArray("[s]\r\nk=first\r\nK=second\r\n") << "s"
                                        << "k"
                                        << "first";
        QTest::newRow("first section wins") << QByteArray("[s]\r\na=1\r\n[S]\r\nk=second\r\n") << "s"
                                            << "k"
                                            << "<default>";
        QTest::newRow("comment is no key") << QByteArray("[s]\r\n;k=hidden\r\n") << "s"
                                           << ";k"
                                           << "<default>";
        QTest::newRow("line without = is no key") << QByteArray("[s]\r\nk\r\n") << "s"
                                                  << "k"
                                                  << "<default>";
        QTest::newRow("key before any section") << QByteArray("k=1\r\n[s]\r\n") << "s"
                                                << "k"
                                                << "<default>";
        QTest::newRow("key of the next section") << QByteArray("[s]\r\n[t]\r\nk=1\r\n") << "s"
                                                 << "k"
                                                 << "<default>";
        QTest::newRow("empty value") << QByteArray("[s]\r\nk=\r\n") << "s"
                                     << "k"
                                     << "";
        QTest::newRow("equals in value") << QByteArray("[s]\r\nk=a=b\r\n") << "s"
                                         << "k"
                                         << "a=b";
        QTest::newRow("CR only") << QByteArray("[s]\rj=0\rk=cr\r") << "s"
                                 << "k"
                                 << "cr";
        QTest::newRow("LF only") << QByteArray("[s]\nj=0\nk=lf") << "s"
                                 << "k"
                                 << "lf";
        QTest::newRow("UTF-8") << QByteArray("[s]\r\nk=Caf\xc3\xa9 \xc3\xb1\r\n") << "S"
                               << "K" << QString("Café ñ");
        QTest::newRow("Windows-1252") << QByteArray("[s]\r\nk=Caf\xe9 \x80\r\n") << "S"
                                      << "K" << QString("Café €");
        QTest::newRow("UTF-16 LE") << QByteArray("\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0\xe9\0", 18) << "s"
                                   << "k" << QString("é");
        QTest::newRow("UTF-16 BE") << QByteArray("\xfe\xff\0[\0s\0]\0\r\0\n\0k\0=\0\xe9", 18) << "s"
                                   << "k" << QString("é");
        QTest::newRow("UTF-8 mark") << QByteArray("\xef\xbb\xbf[s]\r\nk=v\r\n") << "s"
                                    << "k"
                                    << "v";
        QTest::newRow("letters beyond ASCII in any case")
            << QByteArray("[Gr\xc3\xb6\xc3\x9f"
                          "e]\r\n\xc3\x84nderung=ja\r\n")
            << QString::fromUtf8("GR\u00d6\u00dfE") << QString::fromUtf8("\u00e4NDERUNG") << "ja";
        QTest::newRow("section without ]") << QByteArray("[TSpinEdit\r\nSpin49=16\r\n") << "TSpinEdit"
                                           << "Spin49"
                                           << "16";
    }

    void readingRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const IniFile ini(writeRaw("read.ini", content));
        QCOMPARE(ini.readString(section, key, "<default>"), expected);
    }

    void longTextIsCut()
    {
        const QString longText(3000, u'x');
        const QString path = pathOf("long.ini");
        IniFile::writeString(path, "s", "k", longText);
        QCOMPARE(IniFile::readString(path, "s", "k", {}), QString(IniFile::MaxValueLength, u'x'));
        QVERIFY(readRaw(path).contains(longText.toLatin1())); // the file itself keeps it whole
    }

    void integers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        const int missing = -12345;
        QTest::newRow("decimal") << "200" << 200;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("plus") << "+7" << 7;
        QTest::newRow("0x") << "0x10" << 16;
        QTest::newRow("0X upper digits") << "0X1F" << 31;
        QTest::newRow("dollar") << "$ff" << 255;
        QTest::newRow("32 bits of hex") << "$FFFFFFFF" << -1;
        QTest::newRow("int max") << "2147483647" << 2147483647;
        QTest::newRow("decimal overflow") << "2147483648" << missing;
        QTest::newRow("hex overflow") << "0x100000000" << missing;
        QTest::newRow("letters") << "abc" << missing;
        QTest::newRow("empty") << "" << missing;
        QTest::newRow("trailing junk") << "12abc" << missing;
        QTest::newRow("fraction") << "1.5" << missing;
        QTest::newRow("prefix alone") << "0x" << missing;
        QTest::newRow("hex digits without prefix") << "1f" << missing;
        QTest::newRow("inner blank") << "1 2" << missing;
        QTest::newRow("lone sign") << "-" << missing;
    }

    void integers()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const IniFile ini(writeRaw("int.ini", "[s]\r\nk=" + text.toLatin1() + "\r\n"));
        QCOMPARE(ini.readInteger("s", "k", -12345), expected);
    }

    void booleans()
    {
        const IniFile ini(writeRaw("bool.ini", "[s]\r\nfive=5\r\nzero=0\r\nword=yes\r\nhex=$1\r\n"));
        QVERIFY(ini.readBool("s", "five", false));
        QVERIFY(!ini.readBool("s", "zero", true));
        QVERIFY(ini.readBool("s", "word", true));
        QVERIFY(!ini.readBool("s", "word", false));
        QVERIFY(ini.readBool("s", "hex", false));
        QVERIFY(!ini.readBool("s", "absent", false));
    }

    void aValueCannotBreakTheLayout()
    {
        const QString path = pathOf("break.ini");
        IniFile ini(path);
        ini.writeString("s", "k", "one\r\n[evil]\nx=1");
        ini.save();
        const IniFile back(path);
        QVERIFY(!back.hasKey("evil", "x"));
        QCOMPARE(back.readString("s", "k", {}), QString("one  [evil] x=1"));
    }

    void batchIsOneReplaceAndNothingUntilSave()
    {
        const QString path = writeRaw("batch.ini", "[s]\r\nk=old\r\n");
        IniFile ini(path);
        QCOMPARE(ini.readString("s", "k", {}), "old");
        ini.writeString("s", "k", "new");
        ini.writeString("t", "k", "added");
        // Reads see the writes at once.
        QCOMPARE(ini.readString("S", "K", {}), "new");
        QCOMPARE(ini.readString("t", "k", {}), "added");
        QCOMPARE(readRaw(path), QByteArray("[s]\r\nk=old\r\n"));
        ini.save();
        QCOMPARE(readRaw(path), QByteArray("[s]\r\nk=new\r\n[t]\r\nk=added\r\n"));
    }

    void encodingsRoundTrip_data()
    {
        // A file in each encoding; one value changes, every other byte must stay.
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const auto utf16 = [](const QString &text, bool bigEndian) {
            QByteArray bytes(bigEndian ? "\xfe\xff" : "\xff\xfe");
            for (const QChar c : text) {
                const char hi = char(c.unicode() >> 8), lo = char(c.unicode());
                bytes += bigEndian ? hi : lo;
                bytes += bigEndian ? lo : hi;
            }
            return bytes;
        };
        // U+FEFF starting a line is text, not a mark; a lone surrogate survives UTF-16.
        const QString before = QString::fromUtf8("[s]\r\nname=Bässe\r\n\xef\xbb\xbfz=1\r\nk=old\r\n") +
                               QChar(0xD800) + QStringLiteral("=x\r\n");
        QString after = before;
        after.replace(QStringLiteral("old"), QStringLiteral("new"));
        QTest::newRow("Windows-1252") << QByteArray("[s]\r\nname=B\xe4sse \x81\x9f\r\nk=old\r\n")
                                      << QByteArray("[s]\r\nname=B\xe4sse \x81\x9f\r\nk=new\r\n");
        QTest::newRow("UTF-8 with mark") << QByteArray("\xef\xbb\xbf[s]\r\nname=B\xc3\xa4sse\r\nk=old\r\n")
                                         << QByteArray("\xef\xbb\xbf[s]\r\nname=B\xc3\xa4sse\r\nk=new\r\n");
        QTest::newRow("UTF-8") << QByteArray("[s]\r\n\xef\xbb\xbfname=B\xc3\xa4sse\r\nk=old\r\n")
                               << QByteArray("[s]\r\n\xef\xbb\xbfname=B\xc3\xa4sse\r\nk=new\r\n");
        QTest::newRow("UTF-16 LE") << utf16(before, false) << utf16(after, false);
        QTest::newRow("UTF-16 BE") << utf16(before, true) << utf16(after, true);
        QTest::newRow("odd length after a UTF-16 mark")
            << QByteArray("\xff\xfe;\r\n[s]\r\nk=old\r\n") << QByteArray("\xff\xfe;\r\n[s]\r\nk=new\r\n");
        QTest::newRow("new file") << QByteArray() << QByteArray("[s]\r\nk=new\r\n");
    }

    void encodingsRoundTrip()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const QString path = before.isEmpty() ? pathOf("new.ini") : writeRaw("enc.ini", before);
        QFile::remove(pathOf("new.ini"));
        IniFile ini(path);
        ini.writeString("s", "k", "new");
        ini.save();
        QCOMPARE(readRaw(path), after);
        // Unchanged values are not written again either.
        IniFile again(path);
        again.writeString("s", "k", "new");
        again.save();
        QCOMPARE(readRaw(path), after);
    }

    void codePageThatCannotHoldALetterTurnsToUtf8()
    {
        const QString path = writeRaw("cp.ini", "[s]\r\nname=B\xe4sse\r\n");
        QStringList told;
        TextFile::setEncodingNotice([&](const QString &file) { told.append(file); });
        IniFile ini(path);
        ini.writeString("s", "k", QString::fromUtf8("♪ €"));
        ini.save();
        TextFile::setEncodingNotice({});
        QCOMPARE(readRaw(path), QByteArray("[s]\r\nname=B\xc3\xa4sse\r\nk=\xe2\x99\xaa \xe2\x82\xac\r\n"));
        QCOMPARE(told, QStringList{path});
    }

    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder missing") << "missing"
                                        << "The folder does not exist";
        QTest::newRow("file size limit") << "full"
                                         << "The file is larger than the disk or the system allows";
    }

    void failedWriteKeepsTheOldFile()
    {
        QFETCH(QString, how);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = dir.filePath("song.txt");
        const QByteArray old("[TEdit]\r\nText7=old\r\n");
        if (how == "missing") {
            path = dir.filePath("no such folder/song.txt");
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(old);
        }
        IniFile ini(path);
        ini.writeString("TEdit", "Text7", QString(20000, u'n'));

        QString error;
        {
            // A file size limit makes the write fail the way a full disk does, even for root.
            struct rlimit saved;
            getrlimit(RLIMIT_FSIZE, &saved);
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            if (how == "full") {
                struct rlimit small = saved;
                small.rlim_cur = 4096;
                setrlimit(RLIMIT_FSIZE, &small);
            }
            try {
                ini.save();
            } catch (const FileError &e) {
                error = e.message();
            }
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, oldHandler);
        }
        QCOMPARE(error, "Unable to write to " + QDir::toNativeSeparators(path) + ". " + reason);
        if (how == "full") {
            QCOMPARE(readRaw(path), old);
            // No half-written temporary file is left beside it either.
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"song.txt"});
        }
    }

    void unreadableFileIsNeverReplaced()
    {
        // A folder where the file should be cannot be read as a file; its content must not
        // be thrown away by a save that never saw it.
        QTemporaryDir dir;
        const QString path = dir.filePath("song.txt");
        QVERIFY(QDir(dir.path()).mkdir("song.txt"));
        QVERIFY(QFile(path + "/inside").open(QIODevice::WriteOnly));
        IniFile ini(path);
        QCOMPARE(ini.readString("s", "k", "d"), QString("d"));
        ini.writeString("s", "k", "v");
        QVERIFY_THROWS_EXCEPTION(FileError, ini.save());
        QVERIFY(QFile::exists(path + "/inside"));
    }
};

PW_TEST_MAIN(TestIniFile)
#include "tst_inifile.moc"
