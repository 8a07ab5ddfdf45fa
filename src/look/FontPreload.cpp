#include "FontPreload.h"

#include <QFontDatabase>
#include <QStringList>

FontPreload::FontPreload() : m_reader([] { QFontDatabase::families(); }) {}

FontPreload::~FontPreload()
{
    m_reader.join();
}
