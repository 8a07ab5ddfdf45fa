#include "songs/SongEdits.h"

#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

SongEdits::SongEdits(QObject *parent) : QObject(parent) {}

void SongEdits::watch(const std::vector<QWidget *> &widgets)
{
    for (QWidget *widget : widgets) {
        if (!widget)
            continue;
        if (auto *spin = qobject_cast<SpinEdit *>(widget))
            connect(spin, &SpinEdit::changed, this, &SongEdits::controlChanged);
        else if (auto *box = qobject_cast<QCheckBox *>(widget))
            connect(box, &QCheckBox::toggled, this, &SongEdits::controlChanged);
        else if (auto *choice = qobject_cast<QComboBox *>(widget))
            connect(choice, &QComboBox::currentIndexChanged, this, &SongEdits::controlChanged);
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            connect(edit, &QLineEdit::textChanged, this, &SongEdits::controlChanged);
    }
}

void SongEdits::setChanged(bool changed)
{
    if (m_changed == changed)
        return;
    m_changed = changed;
    emit changedChanged(changed);
}

void SongEdits::controlChanged()
{
    if (m_loading == 0)
        setChanged(true);
}
