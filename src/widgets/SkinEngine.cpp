#include "SkinEngine.h"

#include "SkinFile.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMetaProperty>
#include <QWidget>

namespace
{
// The widget's own colour before any skin touched it, kept on the widget itself so that
// the default skin can give it back.
QByteArray originalKey(const QByteArray &property)
{
    return QByteArrayLiteral("pwSkinOriginal.") + property;
}

const char *const ColourProperties[] = {"ledColor",   "ledOffColor", "ledBackground",
                                        "faderTrack", "faderHandle", "faderGroove"};

bool hasColourProperty(const QWidget *widget, const char *name)
{
    const int index = widget->metaObject()->indexOfProperty(name);
    return index >= 0 && widget->metaObject()->property(index).metaType().id() == QMetaType::QColor;
}
} // namespace

namespace
{
// A skin's sheet takes over the drawing of buttons, boxes and lists, and with it the
// focus frame the platform style would draw: whoever works from the keyboard must still
// see where the next key goes. The skin's own selection colour marks it.
const QString FocusRules = QStringLiteral(
    "\nQPushButton:focus, QToolButton:focus, QListWidget:focus, QListView:focus {"
    " border: 2px solid palette(highlight); }"
    "\nQCheckBox:focus, QRadioButton:focus { text-decoration: underline; }"
    "\nQCheckBox::indicator:focus, QRadioButton::indicator:focus { border: 2px solid palette(highlight); }"
    "\nQTabBar::tab:focus { text-decoration: underline; }\n");
} // namespace

SkinEngine::SkinEngine(QObject *parent) : QObject(parent), m_name(QStringLiteral("Default")) {}

SkinEngine::~SkinEngine()
{
    if (m_active && qApp)
        qApp->removeEventFilter(this);
}

bool SkinEngine::setSkinFile(const QString &path)
{
    m_path = path;
    m_lastError.clear();
    if (!QFileInfo(path).isFile()) {
        m_lastError = QStringLiteral("no such file");
        return false;
    }
    const std::optional<SkinFile> skin = SkinFile::load(path, &m_lastError);
    if (!skin)
        return false;

    m_name = skin->name;
    m_colours = skin->colours;
    qApp->setStyleSheet(skin->styleSheet + FocusRules);
    applyToAllWidgets();
    emit skinChanged();
    return true;
}

void SkinEngine::applyDefault()
{
    m_name = QStringLiteral("Default");
    m_colours.clear();
    qApp->setStyleSheet(QString());
    applyToAllWidgets();
    emit skinChanged();
}

void SkinEngine::applyColours(QWidget *widget) const
{
    bool changed = false;
    for (const char *name : ColourProperties) {
        if (!hasColourProperty(widget, name))
            continue;
        const QByteArray key = originalKey(name);
        if (!widget->property(key.constData()).isValid())
            widget->setProperty(key.constData(), widget->property(name));
        QColor colour = widget->property(key.constData()).value<QColor>();
        for (const auto &[property, value] : m_colours) {
            if (property == name)
                colour = value;
        }
        if (widget->property(name).value<QColor>() != colour) {
            widget->setProperty(name, colour);
            changed = true;
        }
    }
    if (changed)
        widget->update();
}

void SkinEngine::applyToAllWidgets()
{
    if (!m_active) {
        // Widgets made from now on are polished once before they are first shown: the
        // moment to give them the skin's colours.
        qApp->installEventFilter(this);
        m_active = true;
    }
    const QList<QWidget *> widgets = QApplication::allWidgets();
    for (QWidget *widget : widgets)
        applyColours(widget);
}

bool SkinEngine::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Polish && watched->isWidgetType())
        applyColours(static_cast<QWidget *>(watched));
    return QObject::eventFilter(watched, event);
}
