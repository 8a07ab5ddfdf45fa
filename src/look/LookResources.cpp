#include "LookResources.h"

#include <QtGlobal>

static void initLookResources()
{
    Q_INIT_RESOURCE(look);
}

void LookResources::init()
{
    static const bool done = (initLookResources(), true);
    Q_UNUSED(done);
}
