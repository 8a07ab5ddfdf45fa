#include "SkinTable.h"

#include "platform/AppPaths.h"

namespace
{
const char *const Files[SkinTable::Count] = {
    "mxskin11.SKN", "mxskin20.skn", "mxskin15.skn", "mxskin60.skn", "mxskin24.skn",
    "mxskin28.skn", "mxskin29.SKN", "mxskin30.skn", "mxskin35.skn", "mxskin40.skn",
    "mxskin47.skn", "mxskin56.skn", "mxskin59.skn", "mxskin67.skn",
};
} // namespace

QString SkinTable::item(int index)
{
    return QStringLiteral("Skin%1").arg(index + 1);
}

QString SkinTable::fileName(int index)
{
    return index >= 0 && index < Count ? QString::fromLatin1(Files[index]) : QString();
}

QString SkinTable::path(int index)
{
    return AppPaths::skinsDir() + QLatin1Char('/') + fileName(index);
}
