// Any bytes as a skin file: refused with a reason, or applied to the running program.
// The engine and the parser must agree, and a refused file leaves the look as it was.
#include "FuzzSupport.h"

#include "widgets/LedDisplay.h"
#include "widgets/SkinEngine.h"
#include "widgets/SkinFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzEnvironment &env = FuzzEnvironment::get();
    static SkinEngine engine;
    static LedDisplay display;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<SkinFile> skin = SkinFile::parse(bytes, &error);
    FUZZ_CHECK(skin.has_value() || !error.isEmpty());

    engine.applyDefault();
    const QString sheetBefore = qApp->styleSheet();
    const bool applied = engine.setSkinFile(env.write(QStringLiteral("fuzz.skn"), bytes));
    FUZZ_CHECK(applied == skin.has_value());
    if (applied) {
        FUZZ_CHECK(engine.skinName() == skin->name);
        display.ensurePolished();
    } else {
        FUZZ_CHECK(qApp->styleSheet() == sheetBefore);
    }
    return 0;
}
