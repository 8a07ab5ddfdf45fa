#include "units/UnitsHub.h"

#include "midi/OutputRig.h"
#include "songs/SongControls.h"
#include "units/RigCheck.h"
#include "units/SendPreview.h"
#include "units/UnitsWindow.h"

#include <QLineEdit>
#include <QMenu>

namespace
{
void showWindow(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

UnitsHub::UnitsHub(SongControls &controls, RecallSequence &sequence, MidiOutputPort &output,
                   const QString &profilesPath, QWidget *windowParent)
    : QObject(windowParent), m_controls(controls), m_sequence(sequence), m_profilesPath(profilesPath),
      m_windowParent(windowParent)
{
    m_rig.profiles.load(profilesPath);
    m_rigCheck = new RigCheck(output, windowParent);

    for (const ChannelStrip &strip : controls.strips) {
        QLineEdit *unitName = strip.unitName;
        unitName->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(unitName, &QLineEdit::customContextMenuRequested, unitName, [this, unitName](QPoint at) {
            QMenu *menu = unitName->createStandardContextMenu();
            menu->addSeparator();
            QAction *profile = menu->addAction(tr("Unit profile..."));
            profile->setEnabled(!unitName->text().trimmed().isEmpty());
            connect(profile, &QAction::triggered, this, [this, unitName] {
                unitsWindow()->editUnit(unitName->text());
                showWindow(unitsWindow());
            });
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(unitName->mapToGlobal(at));
        });
    }
}

void UnitsHub::makeWindows()
{
    if (m_units)
        return;
    // Both show the rig and the song as they are when made.
    m_units = new UnitsWindow(m_controls, m_rig, m_profilesPath, m_windowParent);
    m_preview = new SendPreview(m_rig, m_sequence, m_windowParent);
    if (m_songs)
        m_preview->setSongList(m_songs);
    connect(m_units, &UnitsWindow::changed, m_preview, &SendPreview::refreshSoon);
    connect(m_units, &UnitsWindow::banksEdited, this, &UnitsHub::songEdited);
    connect(m_units, &UnitsWindow::changed, this, &UnitsHub::profilesChanged);
    if (m_listedOutputs)
        m_units->setOutputNames(m_listedOutputs);
}

void UnitsHub::setOutputs(OutputRig &outputs, std::function<QStringList()> listed)
{
    m_outputs = &outputs;
    m_listedOutputs = std::move(listed);
    if (m_units)
        m_units->setOutputNames(m_listedOutputs);
    m_rigCheck->setOutputs(&outputs);
    outputs.setDevices(m_rig.profiles.ports());
    connect(this, &UnitsHub::profilesChanged, &outputs,
            [this] { m_outputs->setDevices(m_rig.profiles.ports()); });
}

QList<QPair<QString, QString>> UnitsHub::unitPorts() const
{
    QList<QPair<QString, QString>> bound;
    for (const UnitProfile &profile : m_rig.profiles.all())
        bound.append({profile.name, profile.port});
    return bound;
}

UnitsWindow *UnitsHub::unitsWindow()
{
    makeWindows();
    return m_units;
}

SendPreview *UnitsHub::preview()
{
    makeWindows();
    return m_preview;
}

void UnitsHub::setSongList(QAbstractItemModel *songs)
{
    m_songs = songs;
    if (m_preview)
        m_preview->setSongList(songs);
}

void UnitsHub::readSong(const IniFile &ini)
{
    m_rig.banks.readFrom(ini);
    if (m_units) {
        m_units->showBanks();
        m_preview->refreshSoon();
    }
}

void UnitsHub::writeSong(IniFile &ini) const
{
    m_rig.banks.writeTo(ini);
}

void UnitsHub::addMenuItems(QMenu *menu)
{
    menu->addAction(tr("Unit &Profiles..."), this, [this] { showWindow(unitsWindow()); })
        ->setObjectName(QStringLiteral("UnitProfiles1"));
    menu->addAction(tr("Send Pre&view"), this, [this] { showWindow(preview()); })
        ->setObjectName(QStringLiteral("SendPreview1"));
    menu->addAction(tr("Rig &Check"), m_rigCheck, [this] { showWindow(m_rigCheck); })
        ->setObjectName(QStringLiteral("RigCheck1"));
}
