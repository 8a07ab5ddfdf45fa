#pragma once

#include "songs/ControlNumbers.h"
#include "songs/SongControls.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

// The two songs the save loop alternates between. They differ in every stored control,
// and their long texts make a save slow enough for a kill to land inside it.
inline void setLoopSong(SongControls &controls, bool second)
{
    for (const StoredControl &control : storedControls()) {
        QWidget *widget = storedWidget(controls, control);
        switch (control.kind) {
        case ControlKind::Spin: {
            auto *spin = static_cast<SpinEdit *>(widget);
            spin->setValue(second ? spin->maximum() : spin->minimum());
            break;
        }
        case ControlKind::ComboBox:
            static_cast<QComboBox *>(widget)->setCurrentIndex(second ? 127 : 0);
            break;
        case ControlKind::Text:
            static_cast<QLineEdit *>(widget)->setText(QString(2000, second ? u'b' : u'a'));
            break;
        case ControlKind::Check:
            static_cast<QCheckBox *>(widget)->setChecked(second);
            break;
        }
    }
}
