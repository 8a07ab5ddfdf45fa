#include "units/UnitsHub.h"

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

UnitsHub::UnitsHub(SongControls &controls, RecallSequence &sequence, TMidiOutput &output,
                   const QString &profilesPath, QWidget *windowParent)
    : QObject(windowParent)
{
    m_rig.profiles.load(profilesPath);
    m_units = new UnitsWindow(controls, m_rig, profilesPath, windowParent);
    m_preview = new SendPreview(controls, m_rig, sequence, windowParent);
    m_rigCheck = new RigCheck(output, windowParent);
    connect(m_units, &UnitsWindow::changed, m_preview, &SendPreview::refreshSoon);

    for (const ChannelStrip &strip : controls.strips) {
        QLineEdit *unitName = strip.unitName;
        unitName->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(unitName, &QLineEdit::customContextMenuRequested, unitName, [this, unitName](QPoint at) {
            QMenu *menu = unitName->createStandardContextMenu();
            menu->addSeparator();
            QAction *profile = menu->addAction(tr("Unit profile..."));
            profile->setEnabled(!unitName->text().trimmed().isEmpty());
            connect(profile, &QAction::triggered, this, [this, unitName] {
                m_units->editUnit(unitName->text());
                showWindow(m_units);
            });
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(unitName->mapToGlobal(at));
        });
    }
}

void UnitsHub::readSong(const IniFile &ini)
{
    m_rig.banks.readFrom(ini);
    m_units->showBanks();
    m_preview->refreshSoon();
}

void UnitsHub::writeSong(IniFile &ini) const
{
    m_rig.banks.writeTo(ini);
}

void UnitsHub::addMenuItems(QMenu *menu)
{
    menu->addAction(tr("Unit Profiles"), m_units, [this] { showWindow(m_units); })
        ->setObjectName(QStringLiteral("UnitProfiles1"));
    menu->addAction(tr("Send Preview"), m_preview, [this] { showWindow(m_preview); })
        ->setObjectName(QStringLiteral("SendPreview1"));
    menu->addAction(tr("Rig Check"), m_rigCheck, [this] { showWindow(m_rigCheck); })
        ->setObjectName(QStringLiteral("RigCheck1"));
}
