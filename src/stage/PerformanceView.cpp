#include "stage/PerformanceView.h"

#include "platform/Dialogs.h"
#include "platform/GuardedConnect.h"
#include "platform/IniFile.h"
#include "songs/ShownNameDelegate.h"
#include "songs/SongListController.h"
#include "songs/SongName.h"
#include "stage/FootBindings.h"
#include "widgets/LedDisplay.h"
#include "widgets/Named.h"
#include "widgets/SkinEngine.h"
#include "widgets/StyleSheets.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

const char *const PerformanceView::Section = "Performance view";

PerformanceView::PerformanceView(SongListController &songs, QListWidget *songList, LedDisplay *ledSource,
                                 SkinEngine &skin, QAbstractButton *inLed, QAbstractButton *outLed,
                                 QWidget *parent)
    : QWidget(parent, Qt::Window), m_songs(songs), m_songList(songList), m_ledSource(ledSource),
      m_inLed(inLed), m_outLed(outLed)
{
    setObjectName(QStringLiteral("PerformanceView"));
    setWindowTitle(QStringLiteral("Patchwarden - Performance"));
    resize(1024, 640);

    m_current = named(new QLabel(this), "labCurrentSong");
    m_current->setWordWrap(true);
    m_current->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_next = named(new QLabel(this), "labNextSong");
    m_next->setWordWrap(true);

    // The main list's own model and selection: one list, one current song.
    m_list = named(new QListView(this), "lvSetList");
    m_list->setModel(songList->model());
    m_list->setItemDelegate(new ShownNameDelegate(m_list));
    QItemSelectionModel *own = m_list->selectionModel();
    m_list->setSelectionModel(songList->selectionModel());
    delete own;
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);

    m_previous = named(new QPushButton(QStringLiteral("Previous"), this), "btPrevious");
    m_resend = named(new QPushButton(QStringLiteral("Re-send"), this), "btResend");
    m_nextButton = named(new QPushButton(QStringLiteral("Next"), this), "btNext");
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {m_previous, m_resend, m_nextButton}) {
        // Keys stay with the window, whichever button was last touched.
        button->setFocusPolicy(Qt::NoFocus);
        button->setMinimumHeight(96);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        buttons->addWidget(button);
    }
    connectGuarded(m_previous, &QPushButton::clicked, this, [this] { m_songs.stepSong(-1); });
    connectGuarded(m_resend, &QPushButton::clicked, this, [this] { m_songs.resend(); });
    connectGuarded(m_nextButton, &QPushButton::clicked, this, [this] { m_songs.stepSong(1); });

    m_inLamp = named(new QLabel(QStringLiteral("MIDI In"), this), "labInLamp");
    m_outLamp = named(new QLabel(QStringLiteral("MIDI Out"), this), "labOutLamp");
    m_status = named(new QLabel(this), "labStageStatus");
    // In stage-sized letters the status takes two lines rather than the set list's room.
    m_status->setWordWrap(true);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_inLamp);
    bottom->addWidget(m_outLamp);
    bottom->addWidget(m_status, 1);

    auto *left = new QVBoxLayout;
    left->addWidget(m_current, 3);
    left->addWidget(m_next, 1);
    left->addLayout(buttons);
    left->addLayout(bottom);
    auto *row = new QHBoxLayout(this);
    row->addLayout(left, 3);
    row->addWidget(m_list, 1);

    connect(&songs, &SongListController::currentSongChanged, this, &PerformanceView::refresh);
    QAbstractItemModel *model = songList->model();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model, signal, this, &PerformanceView::refresh);
    connect(model, &QAbstractItemModel::rowsMoved, this, &PerformanceView::refresh);
    connect(model, &QAbstractItemModel::dataChanged, this, &PerformanceView::refresh);
    connect(model, &QAbstractItemModel::modelReset, this, &PerformanceView::refresh);
    connect(&skin, &SkinEngine::skinChanged, this, &PerformanceView::followSkin);
    inLed->installEventFilter(this);
    outLed->installEventFilter(this);

    followSkin();
    refresh();
}

void PerformanceView::followSkin()
{
    m_led = m_ledSource->ledColor();
    const QString led = m_led.name();
    // Dark whatever the skin: a stage is dark, and the LED colour carries the skin.
    const QString sheet =
        QStringLiteral("QWidget#PerformanceView { background: #0b0b0b; }"
                       "QLabel { color: #d0d0d0; }"
                       "QLabel#labCurrentSong { color: %1; }"
                       "QListView { background: #151515; color: #d0d0d0; border: 1px solid #333; }"
                       "QListView::item:selected { background: %1; color: #000; }"
                       // A light scroll bar would be the brightest thing on a dark stage.
                       "QScrollBar { background: #151515; width: 14px; height: 14px; margin: 0; }"
                       "QScrollBar::handle { background: #3a3a3a; min-height: 32px; min-width: 32px;"
                       " border-radius: 6px; }"
                       "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
                       "QScrollBar::add-page, QScrollBar::sub-page { background: none; }"
                       "QPushButton { background: #222; color: %1; border: 2px solid %1;"
                       " border-radius: 8px; font-size: 28px; }"
                       "QPushButton:pressed { background: %1; color: #000; }")
            .arg(led);
    setStyleSheetIfChanged(this, sheet);
    showLamps();
}

void PerformanceView::showLamps()
{
    m_lampsQueued = false;
    const auto show = [this](QLabel *lamp, bool lit) {
        // Lit, the lamp is filled with the LED colour; dark, it is an outline whose name
        // still reads: on and off differ by far more than a shade of grey.
        setStyleSheetIfChanged(
            lamp, lit ? QStringLiteral("background: %1; color: #000; font-weight: bold;"
                                       " border: 2px solid %1; border-radius: 6px; padding: 2px 10px;")
                            .arg(m_led.name())
                      : QStringLiteral("background: #0b0b0b; color: #8c8c8c; border: 2px solid #444;"
                                       " border-radius: 6px; padding: 2px 10px;"));
    };
    show(m_inLamp, m_inLed->isVisible());
    show(m_outLamp, m_outLed->isVisible());
}

bool PerformanceView::eventFilter(QObject *watched, QEvent *event)
{
    // A lamp's style sheet takes longer to apply than a whole recall takes to send, and the
    // main window's lamp lights inside the recall: the lamps follow once it is done, and
    // only while they can be seen (showing the view brings them up to date).
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) &&
        (watched == m_inLed || watched == m_outLed) && isVisible() && !m_lampsQueued) {
        m_lampsQueued = true;
        QMetaObject::invokeMethod(this, &PerformanceView::showLamps, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void PerformanceView::refresh()
{
    const int row = m_songs.currentSongRow();
    m_current->setText(row >= 0 ? SongName::shown(m_songs.songAt(row)) : QStringLiteral("-"));
    // Fitting the title loads the font in several sizes: a hidden view fits it when shown.
    if (isVisible())
        fitCurrentTitle();
    const bool hasNext = row + 1 < m_songs.count();
    m_next->setText(hasNext ? QStringLiteral("Next: ") + SongName::shown(m_songs.songAt(row + 1))
                            : QStringLiteral("End of set"));
    // Laying out the whole list to scroll it costs a song change more than its load
    // when nobody sees the list; showing the view scrolls it then.
    if (row >= 0 && isVisible())
        m_list->scrollTo(m_list->model()->index(row, 0));
}

QString PerformanceView::helpText()
{
    return QStringLiteral("Next song: Space, Page Down or Right. Previous song: Page Up or Left. Send the "
                          "current song again: Enter. Full screen: F11; Escape leaves it.\n\n"
                          "Foot switch (learnt on \"Midi Setup\"): one press acts once. A controller is "
                          "pressed when its value reaches %2 or more, and released only when it falls "
                          "below %1 again; values in between change nothing, so a continuous pedal moved "
                          "through the middle or resting there counts one press. A note is pressed by its "
                          "note-on, a program change by itself. A press within \"Ignore repeats within\" of "
                          "the pedal's last change, press or release, is a bounce and is ignored.")
        .arg(FootBindings::ReleasedBelow)
        .arg(FootBindings::PressedFrom);
}

void PerformanceView::setStatus(const QString &text)
{
    m_status->setText(text);
}

void PerformanceView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitCurrentTitle();
    QFont next = m_next->font();
    next.setPixelSize(std::max(16, height() / 16));
    m_next->setFont(next);
    QFont list = m_list->font();
    list.setPixelSize(std::max(14, height() / 28));
    m_list->setFont(list);
    // The state of the rig, readable from where the player stands.
    QFont status = m_status->font();
    status.setPixelSize(std::max(16, height() / 32));
    for (QLabel *label : {m_status, m_inLamp, m_outLamp})
        label->setFont(status);
}

void PerformanceView::fitCurrentTitle()
{
    // Names readable from a few metres: a short one takes about a sixth of the height; a
    // long one gets smaller until it fits two lines, never so small that it cannot be read.
    const int width = std::max(1, m_current->contentsRect().width());
    const QString title = m_current->text();
    QFont big = m_current->font();
    big.setBold(true);
    const int least = std::max(16, height() / 24);
    int size = std::max(24, height() / 6);
    for (; size > least; size -= std::max(1, size / 12)) {
        big.setPixelSize(size);
        const QFontMetrics metrics(big);
        const QRect needed = metrics.boundingRect(QRect(0, 0, width, 1 << 20), Qt::TextWordWrap, title);
        if (needed.width() <= width && needed.height() <= 2 * metrics.lineSpacing())
            break;
    }
    big.setPixelSize(std::max(size, least));
    if (big != m_current->font())
        m_current->setFont(big);
}

void PerformanceView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_PageDown:
    case Qt::Key_Right:
        guarded([this] { m_songs.stepSong(1); });
        break;
    case Qt::Key_PageUp:
    case Qt::Key_Left:
        guarded([this] { m_songs.stepSong(-1); });
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        guarded([this] { m_songs.resend(); });
        break;
    case Qt::Key_Escape:
        // Back to the main window; F11 there brings the view back as it was.
        hide();
        break;
    case Qt::Key_F11:
        setWindowState(windowState() ^ Qt::WindowFullScreen);
        break;
    case Qt::Key_F1:
        Dialogs::information(helpText(), QStringLiteral("Performance view"));
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PerformanceView::toggle()
{
    if (isVisible() && isActiveWindow()) {
        hide();
        return;
    }
    show();
    raise();
    activateWindow();
}

void PerformanceView::read(const IniFile &ini)
{
    const QString section = QLatin1String(Section);
    const QByteArray geometry =
        QByteArray::fromBase64(ini.readString(section, QStringLiteral("Geometry"), QString()).toLatin1());
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    if (ini.readBool(section, QStringLiteral("Full screen"), false))
        setWindowState(windowState() | Qt::WindowFullScreen);
    if (ini.readBool(section, QStringLiteral("Open"), false))
        show();
}

void PerformanceView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_opened = true;
    refresh();
    showLamps();
}

void PerformanceView::write(IniFile &ini) const
{
    const QString section = QLatin1String(Section);
    if (!m_opened && !ini.hasKey(section, QStringLiteral("Geometry")))
        return;
    ini.writeString(section, QStringLiteral("Geometry"), QString::fromLatin1(saveGeometry().toBase64()));
    ini.writeBool(section, QStringLiteral("Full screen"), isFullScreen());
    ini.writeBool(section, QStringLiteral("Open"), isVisible());
}
