#pragma once

#include "platform/AppPaths.h"
#include "support/RecordingDialogs.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// What every fuzz target needs once per process: an offscreen application, a data folder
// of its own and dialogs that answer at once (a modal box would stop the run).
struct FuzzEnvironment {
    QTemporaryDir data;
    RecordingDialogs dialogs;

    static FuzzEnvironment &get()
    {
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        static QApplication *app = [] {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            return new QApplication(argc, argv);
        }();
        (void)app;
        static FuzzEnvironment environment;
        return environment;
    }

    FuzzEnvironment() { AppPaths::setDataDir(data.path()); }

    QString write(const QString &relativePath, const QByteArray &bytes) const
    {
        const QString path = data.path() + u'/' + relativePath;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            fail("cannot write the input file");
        return path;
    }

    [[noreturn]] static void fail(const char *what)
    {
        std::fprintf(stderr, "fuzz property broken: %s\n", what);
        std::abort();
    }
};

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            FuzzEnvironment::fail(#condition);                                                               \
    } while (false)
