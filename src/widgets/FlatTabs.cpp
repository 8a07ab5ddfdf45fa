#include "FlatTabs.h"

#include "SkinEngine.h"
#include "StyleSheets.h"

#include <QTabBar>
#include <QTabWidget>

namespace
{
const char *const PaneShape = R"(
QTabWidget::pane { border-left: none; border-right: none; border-bottom: none; top: 0px; }
)";

const char *const TabShape = R"(
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
    // A skin's sheet styles every widget already, its pages' frame among them: the pane
    // rules go over it. Without a skin the tab widget in document mode draws no frame, and
    // only the tabs get a sheet: one on the tab widget would give every control of its
    // pages the slower styling of sheets (the main window took 18 ms to build with it
    // here, 11 without).
    const bool skinned = engine.skinName() != QLatin1String("Default");
    const QString tabs =
        QString::fromLatin1(TabShape) + (skinned ? QString() : QString::fromLatin1(BuiltInColours));
    setStyleSheetIfChanged(pages, skinned ? QString::fromLatin1(PaneShape) + tabs : QString());
    setStyleSheetIfChanged(pages->tabBar(), skinned ? QString() : tabs);
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
