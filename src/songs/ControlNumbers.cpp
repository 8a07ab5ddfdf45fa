#include "songs/ControlNumbers.h"

#include "songs/SongControls.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QLineEdit>

#include <algorithm>

const std::vector<StoredControl> &storedControls()
{
    static const std::vector<StoredControl> table{
        {7, QStringLiteral("Edit1"), ControlKind::Text},
        {9, QStringLiteral("cbProject"), ControlKind::Text},
        {10, QStringLiteral("edNewSong"), ControlKind::Text},
        {23, QStringLiteral("seSecond"), ControlKind::Spin},
        {31, QStringLiteral("MidiSendCh"), ControlKind::Spin},
        {32, QStringLiteral("MidiRecCh"), ControlKind::Spin},
        {33, QStringLiteral("ckbRemote"), ControlKind::Check},
        {46, QStringLiteral("ckba1"), ControlKind::Check},
        {47, QStringLiteral("Edit18"), ControlKind::Text},
        {48, QStringLiteral("spm1"), ControlKind::Spin},
        {49, QStringLiteral("spp1"), ControlKind::Spin},
        {50, QStringLiteral("spp2"), ControlKind::Spin},
        {51, QStringLiteral("spm2"), ControlKind::Spin},
        {52, QStringLiteral("Edit19"), ControlKind::Text},
        {53, QStringLiteral("ckba2"), ControlKind::Check},
        {54, QStringLiteral("ckba3"), ControlKind::Check},
        {55, QStringLiteral("Edit20"), ControlKind::Text},
        {56, QStringLiteral("spm3"), ControlKind::Spin},
        {57, QStringLiteral("spp3"), ControlKind::Spin},
        {58, QStringLiteral("spp4"), ControlKind::Spin},
        {59, QStringLiteral("spm4"), ControlKind::Spin},
        {60, QStringLiteral("Edit21"), ControlKind::Text},
        {61, QStringLiteral("ckba4"), ControlKind::Check},
        {62, QStringLiteral("ckba5"), ControlKind::Check},
        {63, QStringLiteral("ckba6"), ControlKind::Check},
        {64, QStringLiteral("ckba7"), ControlKind::Check},
        {65, QStringLiteral("ckba8"), ControlKind::Check},
        {66, QStringLiteral("Edit22"), ControlKind::Text},
        {67, QStringLiteral("Edit23"), ControlKind::Text},
        {68, QStringLiteral("Edit24"), ControlKind::Text},
        {69, QStringLiteral("Edit25"), ControlKind::Text},
        {70, QStringLiteral("spm5"), ControlKind::Spin},
        {71, QStringLiteral("spm6"), ControlKind::Spin},
        {72, QStringLiteral("spm7"), ControlKind::Spin},
        {73, QStringLiteral("spm8"), ControlKind::Spin},
        {74, QStringLiteral("spp8"), ControlKind::Spin},
        {75, QStringLiteral("spp7"), ControlKind::Spin},
        {76, QStringLiteral("spp6"), ControlKind::Spin},
        {77, QStringLiteral("spp5"), ControlKind::Spin},
        {78, QStringLiteral("ckbM1"), ControlKind::Check},
        {79, QStringLiteral("ckbM2"), ControlKind::Check},
        {80, QStringLiteral("ckbM3"), ControlKind::Check},
        {81, QStringLiteral("ckbM4"), ControlKind::Check},
        {82, QStringLiteral("ckbM5"), ControlKind::Check},
        {83, QStringLiteral("ckbM6"), ControlKind::Check},
        {84, QStringLiteral("ckbM7"), ControlKind::Check},
        {85, QStringLiteral("ckbM8"), ControlKind::Check},
        {94, QStringLiteral("ckba9"), ControlKind::Check},
        {95, QStringLiteral("Edit26"), ControlKind::Text},
        {96, QStringLiteral("spm9"), ControlKind::Spin},
        {97, QStringLiteral("spp9"), ControlKind::Spin},
        {98, QStringLiteral("spp10"), ControlKind::Spin},
        {99, QStringLiteral("spm10"), ControlKind::Spin},
        {100, QStringLiteral("Edit27"), ControlKind::Text},
        {101, QStringLiteral("ckba10"), ControlKind::Check},
        {102, QStringLiteral("ckba11"), ControlKind::Check},
        {103, QStringLiteral("Edit28"), ControlKind::Text},
        {104, QStringLiteral("spm11"), ControlKind::Spin},
        {105, QStringLiteral("spp11"), ControlKind::Spin},
        {106, QStringLiteral("spp12"), ControlKind::Spin},
        {107, QStringLiteral("spm12"), ControlKind::Spin},
        {108, QStringLiteral("Edit29"), ControlKind::Text},
        {109, QStringLiteral("ckba12"), ControlKind::Check},
        {110, QStringLiteral("ckba13"), ControlKind::Check},
        {111, QStringLiteral("ckba14"), ControlKind::Check},
        {112, QStringLiteral("ckba15"), ControlKind::Check},
        {113, QStringLiteral("ckba16"), ControlKind::Check},
        {114, QStringLiteral("Edit30"), ControlKind::Text},
        {115, QStringLiteral("Edit31"), ControlKind::Text},
        {116, QStringLiteral("Edit32"), ControlKind::Text},
        {117, QStringLiteral("Edit33"), ControlKind::Text},
        {118, QStringLiteral("spm13"), ControlKind::Spin},
        {119, QStringLiteral("spm14"), ControlKind::Spin},
        {120, QStringLiteral("spm15"), ControlKind::Spin},
        {121, QStringLiteral("spm16"), ControlKind::Spin},
        {122, QStringLiteral("spp16"), ControlKind::Spin},
        {123, QStringLiteral("spp15"), ControlKind::Spin},
        {124, QStringLiteral("spp14"), ControlKind::Spin},
        {125, QStringLiteral("spp13"), ControlKind::Spin},
        {126, QStringLiteral("ckbM9"), ControlKind::Check},
        {127, QStringLiteral("ckbM10"), ControlKind::Check},
        {128, QStringLiteral("ckbM11"), ControlKind::Check},
        {129, QStringLiteral("ckbM12"), ControlKind::Check},
        {130, QStringLiteral("ckbM13"), ControlKind::Check},
        {131, QStringLiteral("ckbM14"), ControlKind::Check},
        {132, QStringLiteral("ckbM15"), ControlKind::Check},
        {133, QStringLiteral("ckbM16"), ControlKind::Check},
        {137, QStringLiteral("spVolume"), ControlKind::Spin},
        {138, QStringLiteral("spBank"), ControlKind::Spin},
        {139, QStringLiteral("spPan"), ControlKind::Spin},
        {140, QStringLiteral("cbUser1"), ControlKind::ComboBox},
        {141, QStringLiteral("spUser1"), ControlKind::Spin},
        {142, QStringLiteral("cbUser2"), ControlKind::ComboBox},
        {143, QStringLiteral("spUser2"), ControlKind::Spin},
        {144, QStringLiteral("cbUser3"), ControlKind::ComboBox},
        {145, QStringLiteral("spUser3"), ControlKind::Spin},
        {146, QStringLiteral("cbUser4"), ControlKind::ComboBox},
        {147, QStringLiteral("spUser4"), ControlKind::Spin},
        {148, QStringLiteral("ckbBank"), ControlKind::Check},
        {149, QStringLiteral("ckbVolume"), ControlKind::Check},
        {150, QStringLiteral("ckbPan"), ControlKind::Check},
        {151, QStringLiteral("ckbUser1"), ControlKind::Check},
        {152, QStringLiteral("ckbUser2"), ControlKind::Check},
        {153, QStringLiteral("ckbUser3"), ControlKind::Check},
        {154, QStringLiteral("ckbUser4"), ControlKind::Check},
        {155, QStringLiteral("ckbUser5"), ControlKind::Check},
        {156, QStringLiteral("cbUser5"), ControlKind::ComboBox},
        {157, QStringLiteral("spUser5"), ControlKind::Spin},
    };
    return table;
}

const StoredControl *storedControlByNumber(int number)
{
    const auto &table = storedControls();
    const auto it = std::lower_bound(table.begin(), table.end(), number,
                                     [](const StoredControl &c, int n) { return c.number < n; });
    return it != table.end() && it->number == number ? &*it : nullptr;
}

const StoredControl *storedControlByName(const QString &objectName)
{
    const auto &table = storedControls();
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const StoredControl &c) { return c.objectName == objectName; });
    return it != table.end() ? &*it : nullptr;
}

namespace
{

std::vector<QWidget *> recordWidgets(const SongControls &controls)
{
    std::vector<QWidget *> widgets;
    for (const ChannelStrip &strip : controls.strips)
        widgets.insert(widgets.end(),
                       {strip.active, strip.unitName, strip.channel, strip.program, strip.controllerData});
    auto addRow = [&](const ControllerRow &row) {
        widgets.insert(widgets.end(), {row.on, row.value, row.controller});
    };
    addRow(controls.volume);
    addRow(controls.bank);
    addRow(controls.pan);
    for (const ControllerRow &row : controls.user)
        addRow(row);
    widgets.insert(widgets.end(), {controls.Edit1, controls.cbProject, controls.edNewSong, controls.seSecond,
                                   controls.MidiSendCh, controls.MidiRecCh, controls.ckbRemote});
    return widgets;
}

bool isOfKind(const QWidget *widget, ControlKind kind)
{
    switch (kind) {
    case ControlKind::Spin:
        return qobject_cast<const SpinEdit *>(widget) != nullptr;
    case ControlKind::ComboBox:
        return qobject_cast<const QComboBox *>(widget) != nullptr;
    case ControlKind::Text:
        return qobject_cast<const QLineEdit *>(widget) != nullptr;
    case ControlKind::Check:
        return qobject_cast<const QCheckBox *>(widget) != nullptr;
    }
    return false;
}

} // namespace

QWidget *storedWidget(const SongControls &controls, const StoredControl &control)
{
    for (QWidget *widget : recordWidgets(controls)) {
        if (widget && widget->objectName() == control.objectName && isOfKind(widget, control.kind))
            return widget;
    }
    return nullptr;
}

std::vector<QWidget *> storedWidgets(const SongControls &controls)
{
    // One pass over the record instead of one per control: a song load reads every
    // stored control, and that search was most of its time.
    QHash<QString, std::vector<QWidget *>> byName;
    for (QWidget *widget : recordWidgets(controls)) {
        if (widget)
            byName[widget->objectName()].push_back(widget);
    }
    std::vector<QWidget *> widgets;
    widgets.reserve(storedControls().size());
    for (const StoredControl &control : storedControls()) {
        QWidget *found = nullptr;
        if (const auto named = byName.constFind(control.objectName); named != byName.cend()) {
            const auto it = std::find_if(named->begin(), named->end(), [&](const QWidget *widget) {
                return isOfKind(widget, control.kind);
            });
            found = it != named->end() ? *it : nullptr;
        }
        widgets.push_back(found);
    }
    return widgets;
}
