// Runs the program once over a data folder: start-up, "Save Song" on the selected song,
// shut-down. Prints every message the program showed, one per line, so that a test can
// run it as another user. Usage: file_session <data folder>
#include "AppFixture.h"

#include "platform/GuardedApplication.h"
#include "songs/SongsPage.h"

#include <QPushButton>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    GuardedApplication app(argc, argv);
    if (argc != 2)
        return 2;
    {
        AppFixture session;
        AppPaths::setDataDir(QString::fromLocal8Bit(argv[1]));
        MainWindow &form = session.start();
        QTest::mouseClick(form.songsPage().MMLabel6(), Qt::LeftButton);
        form.close();
        for (const QString &text : session.dialogs.texts())
            std::printf("%s\n", text.toUtf8().constData());
    }
    return 0;
}
