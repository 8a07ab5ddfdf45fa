#pragma once

#include "platform/GuardedApplication.h"

#include <QTest>

// Like QTEST_MAIN, but with the program's own application object, so that an error that
// escapes a handler during a simulated click is shown the way the program shows it.
#define PW_TEST_MAIN(TestObject)                                                                             \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                                  \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                         \
        GuardedApplication app(argc, argv);                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        QCoreApplication::setApplicationName(QStringLiteral("Patchwarden"));                                 \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
