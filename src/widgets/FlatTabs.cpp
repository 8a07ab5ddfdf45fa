#include "FlatTabs.h"

#include "SkinEngine.h"

#include <QTabBar>
#include <QTabWidget>

namespace
{
const char *const Shape = R"(
QTabWidget::pane { border-left: none; border-right: none; border-bottom: none; top: 0px; }
QTabBar::tab { border-radius: 3px; margin: 2px 3px 3px 0px; }
)";

const char *const BuiltInColours = R"(
QTabBar::tab {
    background-color: palette(button); color: palette(button-text);
    border: 1px solid palette(mid); padding: 3px 9px;
}
QTabBar::tab:selected { background-color: palette(mid); border-color: palette(shadow); }
QTabBar::tab:hover:!selected { background-color: palette(light); }
)";

void shape(QTabWidget *pages, const SkinEngine &engine)
{
    QString sheet = QString::fromLatin1(Shape);
    if (engine.skinName() == QLatin1String("Default"))
        sheet += QString::fromLatin1(BuiltInColours);
    // Setting a sheet polishes every widget under the pages again, even when it is the
    // same sheet: start-up applies the default skin the pages were built with.
    if (pages->styleSheet() != sheet)
        pages->setStyleSheet(sheet);
}
} // namespace

void FlatTabs::follow(QTabWidget *pages, SkinEngine &engine)
{
    pages->setDocumentMode(true);
    pages->tabBar()->setDrawBase(false);
    pages->tabBar()->setExpanding(false);
    shape(pages, engine);
    QObject::connect(&engine, &SkinEngine::skinChanged, pages, [pages, &engine] { shape(pages, engine); });
}
