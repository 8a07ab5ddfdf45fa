#include "stage/FootBindingsBox.h"

#include "stage/FootBindings.h"
#include "widgets/Named.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

FootBindingsBox::FootBindingsBox(FootBindings &bindings, QWidget *parent)
    : QGroupBox(QStringLiteral("Foot controller"), parent), m_bindings(bindings)
{
    setObjectName(QStringLiteral("gbFootController"));
    static const char *const Titles[] = {"Next song", "Previous song", "Re-send"};
    static const char *const LearnNames[] = {"btLearnNext", "btLearnPrevious", "btLearnResend"};
    static const char *const ClearNames[] = {"btClearNext", "btClearPrevious", "btClearResend"};
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(1);
    for (int a = 0; a < FootBindings::ActionCount; ++a) {
        m_shown[a] = new QLabel(this);
        m_learn[a] = named(new QPushButton(QStringLiteral("Learn"), this), LearnNames[a]);
        m_learn[a]->setToolTip(QStringLiteral("Press Learn, then the pedal; Cancel stops waiting"));
        m_clear[a] = named(new QPushButton(QStringLiteral("Clear"), this), ClearNames[a]);
        grid->addWidget(new QLabel(QLatin1String(Titles[a]), this), a, 0);
        grid->addWidget(m_shown[a], a, 1);
        grid->addWidget(m_learn[a], a, 2);
        grid->addWidget(m_clear[a], a, 3);
        connect(m_learn[a], &QPushButton::clicked, this, [this, a] {
            if (m_bindings.learningAction() == a)
                m_bindings.cancelLearning();
            else
                m_bindings.learn(FootBindings::Action(a));
        });
        connect(m_clear[a], &QPushButton::clicked, this, [this, a] {
            if (m_bindings.learningAction() == a)
                m_bindings.cancelLearning();
            m_bindings.setBinding(FootBindings::Action(a), {});
        });
    }
    m_debounce = named(new SpinEdit(0, 2000, bindings.debounceMs(), this), "seDebounce");
    grid->addWidget(new QLabel(QStringLiteral("Ignore repeats within (ms)"), this), 3, 0, 1, 2);
    grid->addWidget(m_debounce, 3, 2, 1, 2);
    m_dontForward =
        named(new QCheckBox(QStringLiteral("Don't forward remote messages"), this), "ckbDontForward");
    m_dontForward->setToolTip(
        QStringLiteral("Remote and foot-controller messages do not go out through MIDI thru"));
    grid->addWidget(m_dontForward, 4, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    connect(m_dontForward, &QCheckBox::toggled, this, [this](bool on) { m_bindings.setKeepOutOfThru(on); });
    connect(m_debounce, &SpinEdit::changed, this, [this] { m_bindings.setDebounceMs(m_debounce->value()); });
    connect(&bindings, &FootBindings::changed, this, &FootBindingsBox::refresh);
    refresh();
}

void FootBindingsBox::refresh()
{
    for (int a = 0; a < FootBindings::ActionCount; ++a) {
        const bool waiting = m_bindings.learningAction() == a;
        const QString text = FootBindings::describe(m_bindings.binding(FootBindings::Action(a)));
        m_shown[a]->setText(waiting ? QStringLiteral("press the pedal...")
                                    : (text.isEmpty() ? QStringLiteral("(none)") : text));
        m_learn[a]->setText(waiting ? QStringLiteral("Cancel") : QStringLiteral("Learn"));
        m_clear[a]->setEnabled(!text.isEmpty());
    }
    m_dontForward->setChecked(m_bindings.keepOutOfThru());
    if (m_debounce->value() != m_bindings.debounceMs())
        m_debounce->setValue(m_bindings.debounceMs());
}
