#include "songs/ChannelStripsPage.h"
#include "songs/ControlNumbers.h"
#include "songs/ControllerCommandPage.h"
#include "songs/ControllerDataPage.h"
#include "songs/ControllerNames.h"
#include "songs/SongControls.h"
#include "songs/SongsPage.h"
#include "support/TestMain.h"
#include "widgets/LedDisplay.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include <map>
#include <memory>

namespace
{

// Every page that holds song controls, built into one parent as the main window does.
// The three controls of the device page are added here in its place.
struct SongWindow {
    QWidget root;
    SongControls controls;
    ChannelStripsPage *strips1to8 = new ChannelStripsPage(1, controls, &root);
    ChannelStripsPage *strips9to16 = new ChannelStripsPage(9, controls, &root);
    ControllerDataPage *controllerData = new ControllerDataPage(controls, &root);
    SongsPage *songs = new SongsPage(controls, &root);
    ControllerCommandPage *controllerCommand = new ControllerCommandPage(controls, &root);

    SongWindow()
    {
        controls.MidiSendCh = new SpinEdit(1, 16, 1, &root);
        controls.MidiSendCh->setObjectName(QStringLiteral("MidiSendCh"));
        controls.MidiRecCh = new SpinEdit(1, 16, 1, &root);
        controls.MidiRecCh->setObjectName(QStringLiteral("MidiRecCh"));
        controls.ckbRemote = new QCheckBox(QStringLiteral("Remote on"), &root);
        controls.ckbRemote->setObjectName(QStringLiteral("ckbRemote"));
    }
};

bool isKind(QWidget *widget, ControlKind kind)
{
    switch (kind) {
    case ControlKind::Spin:
        return qobject_cast<SpinEdit *>(widget);
    case ControlKind::ComboBox:
        return qobject_cast<QComboBox *>(widget);
    case ControlKind::Text:
        return qobject_cast<QLineEdit *>(widget);
    case ControlKind::Check:
        return qobject_cast<QCheckBox *>(widget);
    }
    return false;
}

// Line edits inside spin fields and combo boxes are parts of those, not text fields.
bool isStandaloneLineEdit(QLineEdit *edit)
{
    return !qobject_cast<QAbstractSpinBox *>(edit->parentWidget()) &&
           !qobject_cast<QComboBox *>(edit->parentWidget());
}

QStringList labelTexts(const QWidget *page)
{
    QStringList texts;
    for (const QLabel *label : page->findChildren<QLabel *>())
        texts << label->text();
    return texts;
}

} // namespace

class TestSongControls : public QObject
{
    Q_OBJECT
private slots:
    void controlNumbersAsStored_data();
    void controlNumbersAsStored();
    void tableIsAscendingAndCounted();
    void lookupByNumberAndName();
    void everyStoredControlIsOneWidgetOfItsKind();
    void noOtherWidgetLooksLikeAStoredControl();
    void freshStripsStartAsTheyShould();
    void freshControllerBlockStartsAsItShould();
    void typedControllerTextNeverAddsAnEntry();
    void songsPageControls();
    void controllerCommandPageControls();
    void spinFieldsOfTheSong();
    void pagesFitTheirPageControls();
};

void TestSongControls::controlNumbersAsStored_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");

    struct Strip {
        int active, unit;
        const char *unitName;
        int channel, program, controllerData;
    };
    const Strip strips[16] = {
        {46, 47, "Edit18", 48, 49, 78},      {53, 52, "Edit19", 51, 50, 79},
        {54, 55, "Edit20", 56, 57, 80},      {61, 60, "Edit21", 59, 58, 81},
        {62, 69, "Edit25", 70, 77, 82},      {63, 68, "Edit24", 71, 76, 83},
        {64, 67, "Edit23", 72, 75, 84},      {65, 66, "Edit22", 73, 74, 85},
        {94, 95, "Edit26", 96, 97, 126},     {101, 100, "Edit27", 99, 98, 127},
        {102, 103, "Edit28", 104, 105, 128}, {109, 108, "Edit29", 107, 106, 129},
        {110, 117, "Edit33", 118, 125, 130}, {111, 116, "Edit32", 119, 124, 131},
        {112, 115, "Edit31", 120, 123, 132}, {113, 114, "Edit30", 121, 122, 133},
    };
    auto row = [](int number, const QString &name, ControlKind kind) {
        QTest::addRow("%d %s", number, qPrintable(name)) << number << name << int(kind);
    };
    for (int n = 1; n <= 16; ++n) {
        const Strip &s = strips[n - 1];
        row(s.active, QStringLiteral("ckba%1").arg(n), ControlKind::Check);
        row(s.unit, QLatin1String(s.unitName), ControlKind::Text);
        row(s.channel, QStringLiteral("spm%1").arg(n), ControlKind::Spin);
        row(s.program, QStringLiteral("spp%1").arg(n), ControlKind::Spin);
        row(s.controllerData, QStringLiteral("ckbM%1").arg(n), ControlKind::Check);
    }
    row(149, QStringLiteral("ckbVolume"), ControlKind::Check);
    row(137, QStringLiteral("spVolume"), ControlKind::Spin);
    row(148, QStringLiteral("ckbBank"), ControlKind::Check);
    row(138, QStringLiteral("spBank"), ControlKind::Spin);
    row(150, QStringLiteral("ckbPan"), ControlKind::Check);
    row(139, QStringLiteral("spPan"), ControlKind::Spin);
    const int user[5][3] = {
        {151, 140, 141}, {152, 142, 143}, {153, 144, 145}, {154, 146, 147}, {155, 156, 157}};
    for (int k = 1; k <= 5; ++k) {
        row(user[k - 1][0], QStringLiteral("ckbUser%1").arg(k), ControlKind::Check);
        row(user[k - 1][1], QStringLiteral("cbUser%1").arg(k), ControlKind::ComboBox);
        row(user[k - 1][2], QStringLiteral("spUser%1").arg(k), ControlKind::Spin);
    }
    row(7, QStringLiteral("Edit1"), ControlKind::Text);
    row(9, QStringLiteral("cbProject"), ControlKind::Text);
    row(10, QStringLiteral("edNewSong"), ControlKind::Text);
    row(23, QStringLiteral("seSecond"), ControlKind::Spin);
    row(31, QStringLiteral("MidiSendCh"), ControlKind::Spin);
    row(32, QStringLiteral("MidiRecCh"), ControlKind::Spin);
    row(33, QStringLiteral("ckbRemote"), ControlKind::Check);
}

void TestSongControls::controlNumbersAsStored()
{
    QFETCH(int, number);
    QFETCH(QString, name);
    QFETCH(int, kind);
    const StoredControl *control = storedControlByNumber(number);
    QVERIFY(control);
    QCOMPARE(control->objectName, name);
    QCOMPARE(int(control->kind), kind);
}

void TestSongControls::tableIsAscendingAndCounted()
{
    const auto &table = storedControls();
    QCOMPARE(int(table.size()), 108);
    std::map<ControlKind, int> counts;
    QSet<QString> names;
    for (size_t i = 0; i < table.size(); ++i) {
        if (i > 0)
            QVERIFY2(table[i - 1].number < table[i].number, qPrintable(table[i].objectName));
        ++counts[table[i].kind];
        names.insert(table[i].objectName);
    }
    QCOMPARE(names.size(), 108);
    QCOMPARE(counts[ControlKind::Spin], 43);
    QCOMPARE(counts[ControlKind::ComboBox], 5);
    QCOMPARE(counts[ControlKind::Text], 19);
    QCOMPARE(counts[ControlKind::Check], 41);
    QCOMPARE(table.front().number, 7);
    QCOMPARE(table.back().number, 157);
}

void TestSongControls::lookupByNumberAndName()
{
    for (int number : {-1, 0, 8, 24, 34, 86, 93, 134, 136, 158})
        QVERIFY2(!storedControlByNumber(number), qPrintable(QString::number(number)));
    QVERIFY(!storedControlByName(QStringLiteral("Edit17")));
    QVERIFY(!storedControlByName(QStringLiteral("lbControl")));
    for (const StoredControl &control : storedControls()) {
        QCOMPARE(storedControlByName(control.objectName), &control);
        QCOMPARE(storedControlByNumber(control.number), &control);
    }
}

void TestSongControls::everyStoredControlIsOneWidgetOfItsKind()
{
    SongWindow window;
    const std::vector<QWidget *> all = storedWidgets(window.controls);
    QCOMPARE(all.size(), storedControls().size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const StoredControl &control = storedControls()[i];
        const auto found = window.root.findChildren<QWidget *>(control.objectName);
        QVERIFY2(found.size() == 1, qPrintable(control.objectName));
        QVERIFY2(isKind(found.front(), control.kind), qPrintable(control.objectName));
        QCOMPARE(storedWidget(window.controls, control), found.front());
        QCOMPARE(all[i], found.front());
    }
}

void TestSongControls::noOtherWidgetLooksLikeAStoredControl()
{
    SongWindow window;
    std::map<ControlKind, int> counts;
    auto expect = [](QWidget *widget, ControlKind kind) {
        const StoredControl *control = storedControlByName(widget->objectName());
        return control && control->kind == kind;
    };
    for (SpinEdit *w : window.root.findChildren<SpinEdit *>()) {
        QVERIFY2(expect(w, ControlKind::Spin), qPrintable(w->objectName()));
        ++counts[ControlKind::Spin];
    }
    for (QComboBox *w : window.root.findChildren<QComboBox *>()) {
        QVERIFY2(expect(w, ControlKind::ComboBox), qPrintable(w->objectName()));
        ++counts[ControlKind::ComboBox];
    }
    for (QCheckBox *w : window.root.findChildren<QCheckBox *>()) {
        QVERIFY2(expect(w, ControlKind::Check), qPrintable(w->objectName()));
        ++counts[ControlKind::Check];
    }
    for (QLineEdit *w : window.root.findChildren<QLineEdit *>()) {
        if (!isStandaloneLineEdit(w))
            continue;
        QVERIFY2(expect(w, ControlKind::Text), qPrintable(w->objectName()));
        ++counts[ControlKind::Text];
    }
    QCOMPARE(counts[ControlKind::Spin], 43);
    QCOMPARE(counts[ControlKind::ComboBox], 5);
    QCOMPARE(counts[ControlKind::Text], 19);
    QCOMPARE(counts[ControlKind::Check], 41);
}

void TestSongControls::freshStripsStartAsTheyShould()
{
    SongWindow window;
    for (const ChannelStripsPage *page : {window.strips1to8, window.strips9to16}) {
        const QStringList labels = labelTexts(page);
        for (const char *heading : {"Active - CD", "MIDI Units", "MIDI Ch", "Program Number"})
            QVERIFY2(labels.contains(QLatin1String(heading)), heading);
    }
    for (int n = 1; n <= 16; ++n) {
        const ChannelStrip &strip = window.controls.strips[n - 1];
        const QByteArray at = QByteArray::number(n);
        QVERIFY2(strip.active && strip.unitName && strip.channel && strip.program && strip.controllerData,
                 at);
        QWidget *expectedPage = n <= 8 ? window.strips1to8 : window.strips9to16;
        QCOMPARE(strip.active->parentWidget(), expectedPage);
        QCOMPARE(strip.program->parentWidget(), expectedPage);

        QCOMPARE(strip.active->text(), QString::number(n));
        QVERIFY2(!strip.active->isChecked(), at);
        QVERIFY2(strip.controllerData->text().isEmpty(), at);
        QVERIFY2(!strip.controllerData->isChecked(), at);
        QCOMPARE(strip.controllerData->toolTip(), n <= 8 ? QStringLiteral("Controller Data") : QString());
        QCOMPARE(strip.unitName->objectName(), ChannelStripsPage::unitNameObjectName(n));
        QVERIFY2(strip.unitName->text().isEmpty(), at);
        QCOMPARE(strip.channel->value(), n);
        QCOMPARE(strip.channel->minimum(), 1);
        QCOMPARE(strip.channel->maximum(), 16);
        QCOMPARE(strip.program->value(), 1);
        QCOMPARE(strip.program->minimum(), 1);
        QCOMPARE(strip.program->maximum(), 128);
    }
}

void TestSongControls::freshControllerBlockStartsAsItShould()
{
    SongWindow window;
    const SongControls &c = window.controls;
    const QStringList labels = labelTexts(window.controllerData);
    for (const char *heading : {"Send MIDI Ctr Data", "Send Value", "User define"})
        QVERIFY2(labels.contains(QLatin1String(heading)), heading);

    struct Fixed {
        const ControllerRow &row;
        const char *caption;
        int start;
    };
    for (const Fixed &fixed :
         {Fixed{c.volume, "Volume", 64}, Fixed{c.bank, "Bank Ctrl 32", 1}, Fixed{c.pan, "Pan  ", 64}}) {
        QVERIFY(fixed.row.on && fixed.row.value);
        QCOMPARE(fixed.row.controller, nullptr);
        QCOMPARE(fixed.row.on->text(), QLatin1String(fixed.caption));
        QVERIFY(!fixed.row.on->isChecked());
        QCOMPARE(fixed.row.value->value(), fixed.start);
        QCOMPARE(fixed.row.value->minimum(), 1);
        QCOMPARE(fixed.row.value->maximum(), 128);
    }
    for (const ControllerRow &row : c.user) {
        QVERIFY(row.on && row.value && row.controller);
        QCOMPARE(row.on->text(), QStringLiteral("active"));
        QVERIFY(!row.on->isChecked());
        QCOMPARE(row.value->value(), 1);
        QCOMPARE(row.value->maximum(), 128);
        QVERIFY(row.controller->isEditable());
        QCOMPARE(row.controller->count(), 128);
        for (int i = 0; i < 128; ++i)
            QCOMPARE(row.controller->itemText(i), controllerNames().at(i));
        QCOMPARE(row.controller->currentIndex(), -1);
        QCOMPARE(row.controller->currentText(), QString());
    }
}

void TestSongControls::typedControllerTextNeverAddsAnEntry()
{
    SongWindow window;
    QComboBox *choice = window.controls.user[0].controller;
    QTest::keyClicks(choice, QStringLiteral("My Synth Knob"));
    QTest::keyClick(choice, Qt::Key_Return);
    QCOMPARE(choice->count(), 128);
    QCOMPARE(choice->currentIndex(), -1);

    choice->setCurrentIndex(7);
    QCOMPARE(choice->currentText(), controllerNames().at(7));
    choice->setCurrentIndex(-1);
    QCOMPARE(choice->currentText(), QString());
}

void TestSongControls::songsPageControls()
{
    SongWindow window;
    SongsPage *page = window.songs;
    window.root.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.root));

    QCOMPARE(window.controls.cbProject, page->cbProject());
    QCOMPARE(window.controls.edNewSong, page->edNewSong());
    QCOMPARE(window.controls.Edit1, page->Edit1());
    QVERIFY(page->cbProject()->text().isEmpty());
    QVERIFY(page->edNewSong()->text().isEmpty());
    QCOMPARE(page->btLoadPrj()->text(), QStringLiteral("Load"));
    QCOMPARE(page->btSavePrj()->text(), QStringLiteral("Save"));
    QCOMPARE(page->btAddSong()->text(), QStringLiteral("Add Song"));
    QCOMPARE(page->btDeleteSong()->text(), QStringLiteral("Delete Song"));
    QCOMPARE(page->labDeleteSong()->text(), QStringLiteral("#"));
    QCOMPARE(page->MMLabel6()->text(), QStringLiteral("Save Song"));
    QCOMPARE(page->lbSongList()->count(), 0);
    QCOMPARE(page->lbSongList()->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(page->LabSong()->text(), QString());

    const QStringList labels = labelTexts(page);
    for (const char *text : {"Project Name", "Song Name", "Delete Song:"})
        QVERIFY2(labels.contains(QLatin1String(text)), text);

    // Kept for the song files, never shown.
    QCOMPARE(page->Edit1()->text(), QStringLiteral("Edit1"));
    QVERIFY(!page->Edit1()->isVisible());
    QVERIFY(page->cbProject()->isVisible());
}

void TestSongControls::controllerCommandPageControls()
{
    SongWindow window;
    ControllerCommandPage *page = window.controllerCommand;
    QListWidget *list = page->lbControl();
    QCOMPARE(list->objectName(), QStringLiteral("lbControl"));
    QCOMPARE(list->count(), 128);
    for (int i = 0; i < 128; ++i)
        QCOMPARE(list->item(i)->text(), controllerNames().at(i));
    QCOMPARE(list->currentRow(), -1);
    QVERIFY(list->selectedItems().isEmpty());

    QCOMPARE(window.controls.seSecond, page->seSecond());
    QCOMPARE(page->seSecond()->value(), 77);
    QCOMPARE(page->seSecond()->minimum(), 0);
    QCOMPARE(page->seSecond()->maximum(), 127);
    QCOMPARE(page->Button1()->objectName(), QStringLiteral("Button1"));
    QCOMPARE(page->Button1()->text(), QStringLiteral("Send MIDI Controller Data"));
    const QStringList labels = labelTexts(page);
    QVERIFY(labels.contains(QStringLiteral("MIDI Controller Messages")));
    QVERIFY(labels.contains(QStringLiteral("Send Value")));
}

void TestSongControls::spinFieldsOfTheSong()
{
    SongWindow window;
    SpinEdit *program = window.controls.strips[0].program;
    program->findChild<QLineEdit *>()->clear();
    QCOMPARE(program->value(), 1);
    program->setValue(200);
    QCOMPARE(program->text(), QStringLiteral("128"));
    program->setValue(-1);
    QCOMPARE(program->text(), QStringLiteral("1"));
    window.controls.seSecond->setValue(-1);
    QCOMPARE(window.controls.seSecond->text(), QStringLiteral("0"));
}

void TestSongControls::pagesFitTheirPageControls()
{
    // The window's client area is fixed: the left page control is 417 px wide, the right
    // one 377 px, and both share the height left under the menu and tool bar.
    SongWindow window;
    const int pageHeight = 553 - 25 - 30 - 30; // tool bar, menu bar, tab bar
    QTabWidget left;
    left.addTab(window.songs, QStringLiteral("Sessions"));
    left.addTab(window.controllerCommand, QStringLiteral("MIDI Controller Data"));
    QTabWidget right;
    right.addTab(window.strips1to8, QStringLiteral("Channel 1-8"));
    right.addTab(window.strips9to16, QStringLiteral("Channel 9-16"));
    right.addTab(window.controllerData, QStringLiteral("Controller Data"));
    for (auto [tabs, width] : {std::pair{&left, 417}, std::pair{&right, 377}}) {
        const QSize need = tabs->minimumSizeHint();
        QVERIFY2(need.width() <= width, qPrintable(QStringLiteral("%1 px wide").arg(need.width())));
        QVERIFY2(need.height() <= pageHeight + 30,
                 qPrintable(QStringLiteral("%1 px high").arg(need.height())));
    }
}

PW_TEST_MAIN(TestSongControls)
#include "tst_songcontrols.moc"
