#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

class QWidget;

// Paints every window of the program from a skin file (see SkinFile for the format) or
// from the built-in default skin: the platform style with each widget's own colours.
//
// The style-sheet part goes to the whole application, so every window changes at once,
// including windows made later. The header colours are set by property name on every
// widget that declares such a property (LedDisplay, Fader, ...); widgets that appear
// later get them when they are first polished.
//
// Errors: nothing here throws and nothing is reported. A skin file that is missing or
// not a usable skin leaves the look exactly as it was; setSkinFile() says so by its
// result, and lastError() keeps the reason for whoever wants it.
//
// GUI thread only.
class SkinEngine : public QObject
{
    Q_OBJECT
public:
    explicit SkinEngine(QObject *parent = nullptr);
    ~SkinEngine() override;

    // Records the path whatever happens, then loads and applies the file when it exists
    // and is a skin. True when the look now comes from that file.
    bool setSkinFile(const QString &path);
    // The path last given to setSkinFile(), loaded or not; empty before the first call.
    QString skinFile() const { return m_path; }

    // Back to the built-in look: no application style sheet, every widget's own colours.
    // The recorded path stays.
    void applyDefault();

    // "Default" or the name from the header of the skin in force.
    QString skinName() const { return m_name; }
    QString lastError() const { return m_lastError; }

    // Sets the skin's colours on one widget; widgets without those properties are left alone.
    void applyColours(QWidget *widget) const;

signals:
    void skinChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyToAllWidgets();

    QString m_path;
    QString m_name;
    QString m_lastError;
    QList<QPair<QByteArray, QColor>> m_colours;
    bool m_active = false; // this engine has set the look at least once
};
