#include "SkinStore.h"

#include "LookResources.h"
#include "widgets/SkinEngine.h"

#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace
{
const QString ValueName = QStringLiteral("skin");

// On Windows the key sits directly under HKEY_CURRENT_USER, as it always has; a
// QSettings made from organisation and application would put it under "Software".
std::unique_ptr<QSettings> openStore()
{
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Brindlecroft\\Patchwarden"),
                                       QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Brindlecroft"), QStringLiteral("Patchwarden"));
#endif
}
} // namespace

bool SkinStore::store(const QString &path)
{
    const std::unique_ptr<QSettings> settings = openStore();
    if (!settings->isWritable())
        return false;
    settings->setValue(ValueName, path);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

QString SkinStore::stored()
{
    const std::unique_ptr<QSettings> settings = openStore();
    const QVariant value = settings->value(ValueName);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

bool SkinStore::applyStored(SkinEngine &engine)
{
    LookResources::init();
    const QString path = stored();
    if (!path.isEmpty() && QFileInfo(path).isFile() && engine.setSkinFile(path))
        return true;
    engine.applyDefault();
    return false;
}
