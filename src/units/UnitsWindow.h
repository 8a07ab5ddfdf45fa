#pragma once

#include <QWidget>

#include <array>
#include <functional>

class QComboBox;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QLabel;
struct SongControls;
struct UnitRig;

// The rig's unit profiles, edited in place and saved to their file at each change, and
// the current song's bank numbers per strip for the units whose bank mode takes them.
class UnitsWindow : public QWidget
{
    Q_OBJECT
public:
    UnitsWindow(const SongControls &controls, UnitRig &rig, const QString &profilesPath,
                QWidget *parent = nullptr);

    // Shows the profile of unit `name`, making one that changes nothing when it has none.
    void editUnit(const QString &name);
    // The song's banks were loaded: show them.
    void showBanks();

    QListWidget *profileList() const { return m_list; }
    QComboBox *bankMode() const { return m_mode; }
    QSpinBox *pause() const { return m_pause; }
    QComboBox *programChange() const { return m_program; }
    // The output device of the unit, typed or chosen from the devices listed now; empty
    // for the main output.
    QComboBox *port() const { return m_port; }
    // Where the port field finds the devices listed now.
    void setOutputNames(std::function<QStringList()> names) { m_outputNames = std::move(names); }
    QSpinBox *msb(int strip) const { return m_msb[strip]; }
    QSpinBox *lsb(int strip) const { return m_lsb[strip]; }

signals:
    // A profile or a bank changed; what a recall sends may have changed.
    void changed();
    // A bank of the song was typed.
    void banksEdited();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showProfiles(const QString &current);
    void showProfile();
    void storeProfile();
    void removeProfile();
    void storeBanks();
    void showStripNames();
    void listPorts(const QString &current);

    const SongControls &m_controls;
    UnitRig &m_rig;
    QString m_path;
    QListWidget *m_list;
    QLabel *m_emptyHint = nullptr; // what to do while there is no profile
    QLineEdit *m_name;
    QComboBox *m_mode;
    QSpinBox *m_pause;
    QComboBox *m_program;
    QComboBox *m_port;
    std::function<QStringList()> m_outputNames;
    std::array<QLabel *, 16> m_stripNames{};
    std::array<QSpinBox *, 16> m_msb{};
    std::array<QSpinBox *, 16> m_lsb{};
    bool m_showing = false;
    // Strip names changed while the window was hidden; shown when it opens.
    bool m_namesStale = false;
};
