#include "support/TestMain.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace
{
struct Run {
    int status = -1;
    QString out;
};

Run run(const QString &program, const QStringList &arguments, const QProcessEnvironment &env = {})
{
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(180000)) {
        result.out = program + QStringLiteral(": did not finish: ") + process.errorString();
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromLocal8Bit(process.readAll());
    return result;
}

const QString AppId = QStringLiteral(PW_APP_ID);
} // namespace

class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void installedProgramRunsFromItsPrefix();
    void desktopFilesValidate_data();
    void desktopFilesValidate();
    void debianPackageDeclaresItsLibraries();
    void manPageAndMetainfoTellTheWholeStory();

private:
    QTemporaryDir m_temp;
    QString m_prefix;
};

void TestInstall::initTestCase()
{
    QVERIFY(m_temp.isValid());
    m_prefix = m_temp.filePath(QStringLiteral("prefix"));
    const Run install = run(QStringLiteral("cmake"), {"--install", PW_BUILD_DIR, "--prefix", m_prefix});
    QVERIFY2(install.status == 0, qPrintable(install.out));
}

void TestInstall::installedProgramRunsFromItsPrefix()
{
    for (const QString &file :
         {QStringLiteral("bin/patchwarden"), QStringLiteral("share/applications/%1.desktop").arg(AppId),
          QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId),
          QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(AppId),
          QStringLiteral("share/icons/hicolor/48x48/apps/%1.png").arg(AppId),
          QStringLiteral("share/man/man1/patchwarden.1.gz"),
          QStringLiteral("share/patchwarden/skins/mxskin29.SKN")})
        QVERIFY2(QFileInfo::exists(m_prefix + QLatin1Char('/') + file), qPrintable(file));
    QVERIFY(!QFileInfo::exists(m_prefix + QStringLiteral("/bin/skins")));

    const QString program = m_prefix + QStringLiteral("/bin/patchwarden");
    const Run version = run(program, {"--version"});
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, QStringLiteral("Patchwarden " PW_VERSION "\n"));

    // A real start with the installed skins: every one of them must load and be shown. Its
    // MIDI system cannot be opened (no such JACK server): the windows come up all the same.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("JACK_DEFAULT_SERVER"), QStringLiteral("pw-no-such-server"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_temp.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_DIRS"), m_temp.filePath(QStringLiteral("nowhere")));
    const QString shots = m_temp.filePath(QStringLiteral("shots"));
    const Run start = run(program,
                          {"--midi-api", "jack", "--data-dir", m_temp.filePath(QStringLiteral("data")),
                           "--skin-screenshots", shots},
                          env);
    QVERIFY2(start.status == 0, qPrintable(start.out));
    QVERIFY2(start.out.contains(QStringLiteral("Wrote pictures for 14 skins")), qPrintable(start.out));
    QVERIFY2(start.out.contains(QStringLiteral("No JACK server is running")), qPrintable(start.out));
    QVERIFY(QFileInfo(shots + QStringLiteral("/skins.png")).size() > 0);
}

void TestInstall::desktopFilesValidate_data()
{
    QTest::addColumn<QString>("validator");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("file");
    QTest::newRow("desktop file") << QStringLiteral("desktop-file-validate") << QStringList()
                                  << QStringLiteral("share/applications/%1.desktop").arg(AppId);
    QTest::newRow("metainfo") << QStringLiteral("appstreamcli") << QStringList{"validate", "--no-net"}
                              << QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId);
}

void TestInstall::desktopFilesValidate()
{
    QFETCH(QString, validator);
    QFETCH(QStringList, options);
    QFETCH(QString, file);
    const Run check = run(validator, options << m_prefix + QLatin1Char('/') + file);
    QVERIFY2(check.status == 0, qPrintable(check.out));
    QVERIFY2(!check.out.contains(QStringLiteral("warning"), Qt::CaseInsensitive), qPrintable(check.out));
}

void TestInstall::debianPackageDeclaresItsLibraries()
{
    const QString out = m_temp.filePath(QStringLiteral("deb"));
    const Run cpack =
        run(QStringLiteral("cpack"), {"-G", "DEB", "--config", PW_BUILD_DIR "/CPackConfig.cmake", "-B", out});
    QVERIFY2(cpack.status == 0, qPrintable(cpack.out));
    const QStringList debs = QDir(out).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    const QString deb = out + QLatin1Char('/') + debs.constFirst();

    const Run depends = run(QStringLiteral("dpkg-deb"), {"--field", deb, "Depends"});
    QCOMPARE(depends.status, 0);
    for (const char *library : {"libqt6widgets6", "libqt6gui6", "libqt6core6", "librtmidi", "libjpeg",
                                "libjack", "libstdc++6", "qt6-qpa-plugins"})
        QVERIFY2(depends.out.contains(QLatin1String(library)), qPrintable(library + (": " + depends.out)));

    const Run contents = run(QStringLiteral("dpkg-deb"), {"--contents", deb});
    QCOMPARE(contents.status, 0);
    for (const QString &file : {QStringLiteral("./usr/bin/patchwarden"),
                                QStringLiteral("./usr/share/patchwarden/skins/mxskin11.SKN"),
                                QStringLiteral("./usr/share/applications/%1.desktop").arg(AppId)})
        QVERIFY2(contents.out.contains(file), qPrintable(file));

    const Run lint =
        run(QStringLiteral("lintian"), {"--fail-on", "error,warning", "--no-tag-display-limit", deb});
    QVERIFY2(lint.status == 0, qPrintable(lint.out));
}

void TestInstall::manPageAndMetainfoTellTheWholeStory()
{
    const Run help = run(m_prefix + QStringLiteral("/bin/patchwarden"), {"--help"});
    const Run man =
        run(QStringLiteral("gzip"), {"-dc", m_prefix + QStringLiteral("/share/man/man1/patchwarden.1.gz")});
    QCOMPARE(man.status, 0);
    const QString page = QString(man.out).replace(QStringLiteral("\\-"), QStringLiteral("-"));
    static const QRegularExpression option(QStringLiteral("--[a-z-]+"));
    for (const QRegularExpressionMatch &match : option.globalMatch(help.out))
        QVERIFY2(page.contains(match.captured()), qPrintable(match.captured()));

    QFile metainfo(m_prefix + QStringLiteral("/share/metainfo/%1.metainfo.xml").arg(AppId));
    QVERIFY(metainfo.open(QIODevice::ReadOnly));
    static const QRegularExpression image(QStringLiteral("<image>[^<]*/docs/([^<]+)</image>"));
    int pictures = 0;
    for (const QRegularExpressionMatch &match : image.globalMatch(QString::fromUtf8(metainfo.readAll()))) {
        QVERIFY2(QFileInfo::exists(PW_SOURCE_DIR "/docs/" + match.captured(1)),
                 qPrintable(match.captured(1)));
        ++pictures;
    }
    // Without a public address there is nowhere to fetch a picture from.
    QCOMPARE(pictures > 0, !QStringLiteral(PW_PUBLIC_URL).isEmpty());
}

PW_TEST_MAIN(TestInstall)
#include "tst_install.moc"
