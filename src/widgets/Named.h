#pragma once

#include <QLatin1String>
#include <QObject>

// Gives a freshly made object its name and hands it back, so that a control is named
// where it is made: tests and the song file find controls by these names.
template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}
