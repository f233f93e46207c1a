// The editors of the two dimming engines, pDimmer1 (switching times on the astro clock) and pDimmer2
// (delays after the LSt signal), with their help pictures. Widgets are found by their control names and
// clicked through the window system; values are entered through the shared value slider as a user does.

#include "editorrig.h"
#include "guitest.h"
#include "roundtrip.h"

#include "diagram/blockdiagram.h"
#include "editors/dimmingengineeditor.h"
#include "editors/valueslider.h"
#include "model/image.h"
#include "model/layout.h"
#include "model/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTest>
#include <QTime>

#include <vector>

using lumeq::DimmingEngine1Editor;
using lumeq::DimmingEngine2Editor;
using lumeq::DimmingEngineEditor;
using lumeq::Engine;
using lumeq::Image;
namespace img = lumeq::img;

namespace {

const QColor kTeal(0, 128, 128);
const QColor kMoneyGreen(192, 220, 192);
const QColor kSilver(192, 192, 192);

// One step as three bytes: first byte (time of day or delay code), fade code, level byte.
struct Bytes {
    int time;
    int fade;
    int level;
};
using Table = std::vector<Bytes>; // the steps from step 1 on; the rest of the table is 00 00 FF

std::size_t tableOffset(Engine engine) {
    return engine == Engine::One ? img::Engine1 : img::Engine2;
}

// The default image with the engine's table replaced: `steps` from step 1, then empty steps.
Image withTable(Engine engine, const Table& steps) {
    Image image = lumeq::defaultImage();
    for (std::size_t k = 0; k < img::StepCount; ++k) {
        const Bytes step = k < steps.size() ? steps[k] : Bytes{0x00, 0x00, 0xFF};
        const std::size_t at = tableOffset(engine) + img::StepSize * k;
        image[at] = static_cast<std::uint8_t>(step.time);
        image[at + 1] = static_cast<std::uint8_t>(step.fade);
        image[at + 2] = static_cast<std::uint8_t>(step.level);
    }
    return image;
}

// The engine's table of an image, as in withTable().
Table tableOf(const Image& image, Engine engine) {
    Table steps;
    for (std::size_t k = 0; k < img::StepCount; ++k) {
        const std::size_t at = tableOffset(engine) + img::StepSize * k;
        steps.push_back({image[at], image[at + 1], image[at + 2]});
    }
    return steps;
}

Table padded(Table steps) {
    steps.resize(img::StepCount, Bytes{0x00, 0x00, 0xFF});
    return steps;
}

bool operator==(const Bytes& a, const Bytes& b) {
    return a.time == b.time && a.fade == b.fade && a.level == b.level;
}

// Readable failures for step tables.
QString describe(const Table& steps) {
    QStringList parts;
    for (const Bytes& step : steps)
        parts << QStringLiteral("%1 %2 %3")
                     .arg(step.time, 2, 16, QLatin1Char('0'))
                     .arg(step.fade, 2, 16, QLatin1Char('0'))
                     .arg(step.level, 2, 16, QLatin1Char('0'));
    return parts.join(QStringLiteral(" | "));
}

#define COMPARE_TABLE(actual, expected)                                                                                \
    QVERIFY2((actual) == (expected),                                                                                   \
             qPrintable(QStringLiteral("stored %1\nwanted %2").arg(describe(actual), describe(expected))))

} // namespace

Q_DECLARE_METATYPE(lumeq::Engine)
Q_DECLARE_METATYPE(Bytes)

namespace {

// Slider position of a clock time in the time-of-day mode: the signed 5-minute count plus 128.
int clockPosition(int hours, int minutes) {
    int m = hours * 60 + minutes;
    if (m > 720)
        m -= 1440;
    return m / 5 + 128;
}

// The window with both engine editors, and the user's clicks.
class Rig : public EditorRig {
public:
    explicit Rig(Image image = lumeq::defaultImage()) : EditorRig(std::move(image)) {
        one = host.editors().find<DimmingEngine1Editor>();
        two = host.editors().find<DimmingEngine2Editor>();
        QVERIFY(one && two);
    }

    DimmingEngineEditor* editor(Engine engine) const {
        return engine == Engine::One ? static_cast<DimmingEngineEditor*>(one) : two;
    }

    // Control names of the engine's widgets.
    static QString p(Engine engine) { return engine == Engine::One ? QStringLiteral("D1") : QStringLiteral("D2"); }
    static QString timeEdit(Engine e, int k) {
        return QStringLiteral("e%1_%2%3").arg(p(e), e == Engine::One ? "Time" : "Delay").arg(k);
    }
    static QString fadeEdit(Engine e, int k) { return QStringLiteral("e%1_Fade%2").arg(p(e)).arg(k); }
    static QString levelEdit(Engine e, int k) { return QStringLiteral("e%1_Level%2").arg(p(e)).arg(k); }
    static QString onButton(Engine e, int k) { return QStringLiteral("rb%1_On%2").arg(p(e)).arg(k); }
    static QString offButton(Engine e, int k) { return QStringLiteral("rb%1_Off%2").arg(p(e)).arg(k); }
    static QString group(Engine e, int k) { return QStringLiteral("E%1_gb%2").arg(p(e)).arg(k); }
    static QString deleteBox(Engine e, int k) { return QStringLiteral("E%1_cbDel%2").arg(p(e)).arg(k); }
    static QString panel(Engine e) {
        return e == Engine::One ? QStringLiteral("pDimmer1") : QStringLiteral("pDimmer2");
    }
    static QString strip(Engine e) { return QStringLiteral("p%1Slider").arg(p(e)); }
    static QString deleteLabel(Engine e) { return e == Engine::One ? QStringLiteral("lDelete") : "lDelete2"; }
    static QString okButton(Engine e) { return e == Engine::One ? QStringLiteral("bDimmer1_OK") : "bDimmer2OK"; }
    static QString cancelButton(Engine e) {
        return e == Engine::One ? QStringLiteral("bDimmer1_Cancel") : "bDimmer2Cancel";
    }

    QScrollBar* slider(Engine e) { return find<QScrollBar>(QStringLiteral("sb%1").arg(p(e))); }
    QComboBox* selector(Engine e) { return find<QComboBox>(QStringLiteral("combo%1").arg(p(e))); }
    QString text(const QString& name) { return find<QLineEdit>(name)->text(); }
    QColor groupColour(Engine e, int k) { return find(group(e, k))->palette().color(QPalette::Window); }
    QColor textColour(const QString& name) {
        return find<QLineEdit>(name)->palette().color(QPalette::Active, QPalette::Text);
    }

    void open(Engine e) {
        click(e == Engine::One ? "iISD1_en" : "iISD2_en");
        QVERIFY(shown(panel(e)));
    }
    // Values entered through the slider, as a user does.
    void setLevel(Engine e, int k, int level) {
        click(levelEdit(e, k));
        slider(e)->setValue(level);
        QCOMPARE(text(levelEdit(e, k)), QString::number(level));
    }
    void setClock(int k, int hours, int minutes) {
        click(timeEdit(Engine::One, k));
        slider(Engine::One)->setValue(clockPosition(hours, minutes));
        QCOMPARE(text(timeEdit(Engine::One, k)), QTime(hours, minutes).toString("HH:mm:00"));
    }
    // A duration or fade: a range chosen in the selector, then the slider's position.
    void setRanged(const QString& edit, Engine e, int range, int position) {
        click(edit);
        QComboBox* combo = selector(e);
        combo->setCurrentIndex(range);
        emit combo->activated(range);
        slider(e)->setValue(position);
    }

    // Everything the panel shows, to see that a step back changed nothing.
    QStringList panelState(Engine e) {
        QStringList state;
        for (int k = 1; k <= 10; ++k) {
            state << text(timeEdit(e, k)) << text(fadeEdit(e, k)) << text(levelEdit(e, k))
                  << (find<QRadioButton>(offButton(e, k))->isChecked() ? "off" : "on")
                  << (find(group(e, k))->isEnabled() ? "enabled" : "locked") << groupColour(e, k).name();
        }
        return state;
    }
    DimmingEngine1Editor* one = nullptr;
    DimmingEngine2Editor* two = nullptr;
};

} // namespace

class DimmingEngineTest : public QObject {
    Q_OBJECT

private slots:
    void opensFromTheImage_data();
    void opensFromTheImage();
    void lockedWhileAnotherEditorIsOpen();
    void valueEntry_data();
    void valueEntry();
    void addingSteps_data();
    void addingSteps();
    void storedBytes_data();
    void storedBytes();
    void okKeepsOrDrops_data();
    void okKeepsOrDrops();
    void backReturnsToThePanel_data();
    void backReturnsToThePanel();
    void deleteStep3OfFive_data();
    void deleteStep3OfFive();
    void emptyFirstStepSwitchesTheEngineOff_data();
    void emptyFirstStepSwitchesTheEngineOff();
    void helpPanels_data();
    void helpPanels();
    void engine1RoundTrip();
    void engine2RoundTrip();
};

// Each step as "time fade level relay look", look being used (green, enabled), open (the first empty
// step: silver, enabled) or locked (silver, disabled).
void DimmingEngineTest::opensFromTheImage_data() {
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<Image>("image");
    QTest::addColumn<QStringList>("steps"); // steps 1 to 4
    QTest::addColumn<bool>("deleteLabel");
    QTest::addColumn<int>("usedInBuffer");
    QTest::newRow("engine 1, default image") << Engine::One << lumeq::defaultImage()
                                             << QStringList{"22:00:00 0 50 on used", "05:00:00 0 100 on used",
                                                            "00:00:00 0 - on open", "00:00:00 0 - on locked"}
                                             << true << 2;
    QTest::newRow("engine 1, no steps") << Engine::One << withTable(Engine::One, {})
                                        << QStringList{"00:00:00 0 - on open", "00:00:00 0 - on locked",
                                                       "00:00:00 0 - on locked", "00:00:00 0 - on locked"}
                                        << false << 0;
    QTest::newRow("engine 1, relay off, fades, a step behind an empty one")
        << Engine::One << withTable(Engine::One, {{0xDC, 0x3C, 0xE4}, {0x00, 0xFC, 0x80}, {0, 0, 0xFF}, {0x0C, 0, 20}})
        << QStringList{"21:00:00 00,060 100 off used", "00:00:00 54,000 0 off used", "00:00:00 0 - on open",
                       "00:00:00 0 - on locked"}
        << true << 2;
    QTest::newRow("engine 2, delays") << Engine::Two
                                      << withTable(Engine::Two,
                                                   {{0x00, 0x00, 0x32}, {0x7C, 0x41, 0x94}, {0xFF, 0x00, 0x00}})
                                      << QStringList{"0 0 50 on used", "00:10:00 00,010 20 off used",
                                                     "15:45:00 0 0 on used", "0 0 - on open"}
                                      << true << 3;
    QTest::newRow("engine 2, one step") << Engine::Two << lumeq::defaultImage()
                                        << QStringList{"0 0 50 on used", "0 0 - on open", "0 0 - on locked",
                                                       "0 0 - on locked"}
                                        << false << 1;
}

void DimmingEngineTest::opensFromTheImage() {
    QFETCH(Engine, engine);
    QFETCH(Image, image);
    QFETCH(QStringList, steps);
    QFETCH(bool, deleteLabel);
    QFETCH(int, usedInBuffer);
    Rig rig(image);
    const Image loaded = rig.host.image(); // as the diagram left it
    // Relay buttons left on Off by an earlier opening: the used steps show the image's relay state.
    for (int k = 1; k <= 10; ++k)
        rig.find<QRadioButton>(Rig::offButton(engine, k))->setChecked(true);

    rig.open(engine);
    QVERIFY(rig.host.formDisabled());
    QVERIFY(!rig.shown(Rig::strip(engine)));
    for (int k = 1; k <= steps.size(); ++k) {
        const QStringList want = steps.at(k - 1).split(' ');
        const QString step = QStringLiteral("step %1").arg(k);
        QCOMPARE(rig.text(Rig::timeEdit(engine, k)), want[0]);
        QCOMPARE(rig.text(Rig::fadeEdit(engine, k)), want[1]);
        QCOMPARE(rig.text(Rig::levelEdit(engine, k)), want[2]);
        if (want[4] == "used")
            QVERIFY2(rig.find<QRadioButton>(Rig::offButton(engine, k))->isChecked() == (want[3] == "off"),
                     qPrintable(step));
        QVERIFY2(rig.find(Rig::group(engine, k))->isEnabled() == (want[4] != "locked"), qPrintable(step));
        QCOMPARE(rig.groupColour(engine, k), want[4] == "used" ? kMoneyGreen : kSilver);
        if (k > 1)
            QVERIFY2(rig.shown(Rig::deleteBox(engine, k)) == (want[4] == "used"), qPrintable(step));
    }
    QCOMPARE(rig.shown(Rig::deleteLabel(engine)), deleteLabel);
    const lumeq::StepTable& buffer = rig.editor(engine)->stepBuffer();
    for (int k = 0; k < 10; ++k)
        QCOMPARE(!buffer[std::size_t(k)].empty(), k < usedInBuffer);
    QCOMPARE(rig.find<QGroupBox>(Rig::group(engine, 1))->title(), engine == Engine::One ? " 1" : "1");
    QCOMPARE(rig.find<QGroupBox>(Rig::group(engine, 10))->title(), QStringLiteral("10"));
    QCOMPARE(rig.host.image(), loaded); // opening writes nothing
    if (qEnvironmentVariableIsSet("LUMEQ_GRAB_DIR")) {
        rig.click(Rig::fadeEdit(engine, 1));
        const QString file = QStringLiteral("%1/%2_%3.png")
                                 .arg(qEnvironmentVariable("LUMEQ_GRAB_DIR"), Rig::panel(engine))
                                 .arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_'));
        QVERIFY(rig.host.window()->grab().save(file));
    }
}

void DimmingEngineTest::lockedWhileAnotherEditorIsOpen() {
    Rig rig;
    rig.open(Engine::One);
    rig.click("iISD2_en");
    QVERIFY(!rig.shown("pDimmer2"));
    rig.click("bDimmer1_Cancel");
    QVERIFY(!rig.host.formDisabled());
    rig.open(Engine::Two);
    rig.click("iISD1_en");
    QVERIFY(!rig.shown("pDimmer1"));
}

// Clicking an edit: tag step * 16 + mode, the slider's limits and position, the range selector, teal.
void DimmingEngineTest::valueEntry_data() {
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("firstRange"); // empty: no range selector
    QTest::newRow("engine 1 time") << Engine::One << "eD1_Time1" << 0x14 << 20 << 236 << 104 << "";
    QTest::newRow("engine 1 fade") << Engine::One << "eD1_Fade2" << 0x23 << 0 << 60 << 0 << "-> 00,060";
    QTest::newRow("engine 1 level, minimum 20") << Engine::One << "eD1_Level2" << 0x21 << 20 << 100 << 100 << "";
    QTest::newRow("engine 2 delay") << Engine::Two << "eD2_Delay1" << 0x12 << 0 << 60 << 0 << "-> 00:01:00";
    QTest::newRow("engine 2 fade") << Engine::Two << "eD2_Fade1" << 0x13 << 0 << 60 << 0 << "-> 00,060";
    QTest::newRow("engine 2 level below the minimum raised")
        << Engine::Two << "eD2_Level1" << 0x11 << 20 << 100 << 20 << "";
    QTest::newRow("engine 2 level of an added step") << Engine::Two << "eD2_Level2" << 0x21 << 20 << 100 << 100 << "";
}

void DimmingEngineTest::valueEntry() {
    QFETCH(Engine, engine);
    QFETCH(QString, edit);
    QFETCH(int, tag);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, position);
    QFETCH(QString, firstRange);
    Image image = lumeq::defaultImage();
    image[img::MinLevel] = 20;
    image[img::Engine2FirstLevel] = 10; // below the minimum level
    Rig rig(image);
    rig.open(engine);
    const QString other = Rig::levelEdit(engine, 1) == edit ? Rig::fadeEdit(engine, 1) : Rig::levelEdit(engine, 1);
    rig.click(other);
    QCOMPARE(rig.textColour(other), kTeal);

    rig.click(edit);
    QVERIFY(rig.shown(Rig::strip(engine)));
    lumeq::ValueSlider* strip = rig.editor(engine)->valueSlider();
    QCOMPARE(strip->tag(), tag);
    QCOMPARE(rig.slider(engine)->minimum(), minimum);
    QCOMPARE(rig.slider(engine)->maximum(), maximum);
    QCOMPARE(rig.slider(engine)->value(), position);
    QCOMPARE(rig.selector(engine)->isVisible(), !firstRange.isEmpty());
    if (!firstRange.isEmpty())
        QCOMPARE(rig.selector(engine)->itemText(0), firstRange);
    QCOMPARE(rig.textColour(edit), kTeal);
    QCOMPARE(rig.textColour(other), rig.textColour(Rig::timeEdit(engine, 3)));
    QVERIFY(rig.textColour(other) != kTeal);
}

// Activating the "-" level edit of the first empty step adds the step and opens the next one.
void DimmingEngineTest::addingSteps_data() {
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<Image>("image");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("deleteLabel"); // after adding
    QTest::newRow("engine 1, step 3") << Engine::One << lumeq::defaultImage() << 3 << true;
    QTest::newRow("engine 1, step 1 of an empty table") << Engine::One << withTable(Engine::One, {}) << 1 << false;
    QTest::newRow("engine 2, step 2") << Engine::Two << lumeq::defaultImage() << 2 << true;
    QTest::newRow("engine 2, step 10") << Engine::Two << withTable(Engine::Two, Table(9, Bytes{0x05, 0x00, 0x20})) << 10
                                       << true;
}

void DimmingEngineTest::addingSteps() {
    QFETCH(Engine, engine);
    QFETCH(Image, image);
    QFETCH(int, step);
    QFETCH(bool, deleteLabel);
    Rig rig(image);
    rig.open(engine);
    QCOMPARE(rig.text(Rig::levelEdit(engine, step)), QStringLiteral("-"));
    QCOMPARE(rig.groupColour(engine, step), kSilver);

    rig.click(Rig::levelEdit(engine, step));
    QCOMPARE(rig.slider(engine)->value(), 100);
    QCOMPARE(rig.text(Rig::levelEdit(engine, step)), QStringLiteral("100"));
    QCOMPARE(rig.groupColour(engine, step), kMoneyGreen);
    if (step > 1)
        QVERIFY(rig.shown(Rig::deleteBox(engine, step)));
    QCOMPARE(rig.shown(Rig::deleteLabel(engine)), deleteLabel);
    if (step < 10) {
        QVERIFY(rig.find(Rig::group(engine, step + 1))->isEnabled());
        QCOMPARE(rig.text(Rig::levelEdit(engine, step + 1)), QStringLiteral("-"));
        QCOMPARE(rig.groupColour(engine, step + 1), kSilver);
        QVERIFY(!rig.shown(Rig::deleteBox(engine, step + 1)));
    }
    if (step < 9)
        QVERIFY(!rig.find(Rig::group(engine, step + 2))->isEnabled());
    // The buffer learns of the step only at OK.
    QVERIFY(rig.editor(engine)->stepBuffer()[std::size_t(step - 1)].empty());

    // Given a time or delay that keeps it, OK stores the new step.
    if (engine == Engine::One)
        rig.setClock(step, 6, 0);
    else
        rig.setRanged(Rig::timeEdit(engine, step), engine, 0, 30);
    rig.click(Rig::okButton(engine));
    QVERIFY(rig.host.messages().isEmpty());
    Table expected = tableOf(image, engine);
    expected[std::size_t(step - 1)] = {engine == Engine::One ? 0x48 : 0x1E, 0x00, 100};
    COMPARE_TABLE(tableOf(rig.host.image(), engine), expected);
}

// What OK stores of one step's values entered on the panel.
void DimmingEngineTest::storedBytes_data() {
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<int>("level");      // -1: left alone
    QTest::addColumn<bool>("relayOff");  // Off clicked
    QTest::addColumn<QString>("ranged"); // the fade or delay edit given a range and a position, or none
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown"); // its text after the slider
    QTest::addColumn<int>("time");
    QTest::addColumn<int>("fade");
    QTest::addColumn<int>("levelByte");
    QTest::newRow("level 100, relay Off") << Engine::One << 100 << true << "" << 0 << 0 << "" << 0xE8 << 0x00 << 0xE4;
    QTest::newRow("level 0, relay On") << Engine::One << 0 << false << "" << 0 << 0 << "" << 0xE8 << 0x00 << 0x00;
    QTest::newRow("fade 00,060") << Engine::One << -1 << false << "eD1_Fade1" << 0 << 60 << "00,060" << 0xE8 << 0x3C
                                 << 0x32;
    QTest::newRow("fade 54,000") << Engine::One << -1 << false << "eD1_Fade1" << 3 << 60 << "54,000" << 0xE8 << 0xFC
                                 << 0x32;
    QTest::newRow("engine 2, fade 01,500, level 70, relay Off")
        << Engine::Two << 70 << true << "eD2_Fade1" << 2 << 25 << "01,500" << 0x00 << 0x99 << 0xC6;
    QTest::newRow("engine 2, delay 15:00:00")
        << Engine::Two << -1 << false << "eD2_Delay1" << 3 << 60 << "15:00:00" << 0xFC << 0x00 << 0x32;
    QTest::newRow("engine 2, delay 00:01:30 in range 1")
        << Engine::Two << -1 << false << "eD2_Delay1" << 1 << 9 << "00:01:30" << 0x49 << 0x00 << 0x32;
}

void DimmingEngineTest::storedBytes() {
    QFETCH(Engine, engine);
    QFETCH(int, level);
    QFETCH(bool, relayOff);
    QFETCH(QString, ranged);
    QFETCH(int, range);
    QFETCH(int, position);
    QFETCH(QString, shown);
    QFETCH(int, time);
    QFETCH(int, fade);
    QFETCH(int, levelByte);
    Rig rig;
    const Image before = rig.host.image();
    rig.open(engine);
    if (level >= 0)
        rig.setLevel(engine, 1, level);
    if (relayOff)
        rig.click(Rig::offButton(engine, 1));
    if (!ranged.isEmpty()) {
        rig.setRanged(ranged, engine, range, position);
        QCOMPARE(rig.text(ranged), shown);
    }
    rig.click(Rig::okButton(engine));

    Table expected = tableOf(before, engine);
    expected[0] = {time, fade, levelByte};
    COMPARE_TABLE(tableOf(rig.host.image(), engine), expected);
    QVERIFY(!rig.shown(Rig::panel(engine)));
    QVERIFY(!rig.host.formDisabled());
    QVERIFY(rig.host.messages().isEmpty());
    // Only the engine's own table changed.
    Image rest = rig.host.image();
    std::copy(before.begin() + long(tableOffset(engine)), before.begin() + long(tableOffset(engine)) + 30,
              rest.begin() + long(tableOffset(engine)));
    QCOMPARE(rest, before);
}

// OK of tables as loaded, and of steps left with a time or delay that breaks the engine's rule. The user is
// asked before used steps go and here agrees.
void DimmingEngineTest::okKeepsOrDrops_data() {
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<Table>("loaded");
    QTest::addColumn<int>("addStep"); // 0: none; else the step added with level 100, time/delay left alone
    QTest::addColumn<Table>("stored");
    QTest::addColumn<QString>("question"); // empty: nothing asked
    const Bytes evening{0xE8, 0x00, 0x32}; // 22:00 to 50 %
    const Bytes morning{0x3C, 0x00, 0x64}; // 05:00 to 100 %
    QTest::newRow("22:00 then 05:00 kept")
        << Engine::One << Table{evening, morning} << 0 << Table{evening, morning} << "";
    QTest::newRow("05:00 then 22:00 drops the rest")
        << Engine::One << Table{morning, evening, {0xF4, 0x3C, 0x14}} << 0 << Table{morning}
        << "Step 2 (22:00:00) is not later than step 1 (05:00:00); steps 2 to 3 will be removed.";
    QTest::newRow("equal times drop")
        << Engine::One << Table{evening, {0xE8, 0x00, 0x10}} << 0 << Table{evening}
        << "Step 2 (22:00:00) is not later than step 1 (22:00:00); step 2 will be removed.";
    QTest::newRow("a later step out of order")
        << Engine::One << Table{evening, morning, {0x30, 0, 0x20}, {0x48, 0, 0x30}, {0x54, 0, 0x40}} << 0
        << Table{evening, morning}
        << "Step 3 (04:00:00) is not later than step 2 (05:00:00); steps 3 to 5 will be removed.";
    QTest::newRow("15:00 to 09:00 across midnight kept")
        << Engine::One << Table{{0x94, 0, 10}, {0xFF, 0, 20}, {0x00, 0, 30}, {0x6C, 0xFC, 0xE4}} << 0
        << Table{{0x94, 0, 10}, {0xFF, 0, 20}, {0x00, 0, 30}, {0x6C, 0xFC, 0xE4}} << "";
    QTest::newRow("a step added behind 05:00 left at 00:00:00")
        << Engine::One << Table{evening, morning} << 3 << Table{evening, morning}
        << "Step 3 (00:00:00) is not later than step 2 (05:00:00); step 3 will be removed.";
    QTest::newRow("a step added behind 22:00 left at 00:00:00 kept")
        << Engine::One << Table{evening} << 2 << Table{evening, {0x00, 0x00, 0x64}} << "";

    QTest::newRow("engine 2, delays 00:10:00, 00:05:00, 01:00:00 kept")
        << Engine::Two << Table{{0x7C, 0, 10}, {0x5E, 0, 20}, {0xBC, 0, 30}} << 0
        << Table{{0x7C, 0, 10}, {0x5E, 0, 20}, {0xBC, 0, 30}} << "";
    QTest::newRow("engine 2, step 1 with delay 0 and level 50 stays")
        << Engine::Two << Table{{0x00, 0x00, 0x32}} << 0 << Table{{0x00, 0x00, 0x32}} << "";
    QTest::newRow("engine 2, a zero delay behind step 2")
        << Engine::Two << Table{{0x00, 0, 10}, {0x5E, 0, 20}, {0x00, 0x3C, 30}, {0x0A, 0, 40}} << 0
        << Table{{0x00, 0, 10}, {0x5E, 0, 20}}
        << "Step 3 has a delay of 0, which only step 1 may have; steps 3 to 4 will be removed.";
    QTest::newRow("engine 2, a step added behind step 2 left at delay 0")
        << Engine::Two << Table{{0x00, 0, 10}, {0x5E, 0, 20}} << 3 << Table{{0x00, 0, 10}, {0x5E, 0, 20}}
        << "Step 3 has a delay of 0, which only step 1 may have; step 3 will be removed.";
}

void DimmingEngineTest::okKeepsOrDrops() {
    QFETCH(Engine, engine);
    QFETCH(Table, loaded);
    QFETCH(int, addStep);
    QFETCH(Table, stored);
    QFETCH(QString, question);
    const Image image = withTable(engine, loaded);
    Rig rig(image);
    rig.open(engine);
    if (addStep > 0)
        rig.click(Rig::levelEdit(engine, addStep));
    rig.host.answer = true;
    rig.click(Rig::okButton(engine));

    QCOMPARE(rig.host.messages(), question.isEmpty() ? QStringList() : QStringList{question});
    COMPARE_TABLE(tableOf(rig.host.image(), engine), padded(stored));
    QVERIFY(!rig.shown(Rig::panel(engine)));
    QVERIFY(!rig.host.formDisabled());
    // The next opening shows what was stored.
    rig.open(engine);
    const int used = int(stored.size());
    QCOMPARE(rig.text(Rig::levelEdit(engine, used + 1)), QStringLiteral("-"));
    QVERIFY(rig.text(Rig::levelEdit(engine, used)) != QStringLiteral("-"));
}

// "Back" leaves everything as it was: panel open, interlock set, buffer, texts and image unchanged. The
// user can then mend the time and store without being asked.
void DimmingEngineTest::backReturnsToThePanel_data() {
    QTest::addColumn<Engine>("engine");
    QTest::newRow("engine 1") << Engine::One;
    QTest::newRow("engine 2") << Engine::Two;
}

void DimmingEngineTest::backReturnsToThePanel() {
    QFETCH(Engine, engine);
    const Image image = lumeq::defaultImage();
    Rig rig(image);
    rig.open(engine);
    const int added = engine == Engine::One ? 3 : 2;
    rig.setLevel(engine, added, 40);
    rig.click(Rig::offButton(engine, added));
    const QStringList panel = rig.panelState(engine);
    const lumeq::StepTable buffer = rig.editor(engine)->stepBuffer();

    rig.host.answer = false;
    rig.click(Rig::okButton(engine));
    QCOMPARE(rig.host.messages().size(), 1);
    QVERIFY(rig.shown(Rig::panel(engine)));
    QVERIFY(rig.host.formDisabled());
    QCOMPARE(rig.panelState(engine), panel);
    QVERIFY(rig.editor(engine)->stepBuffer() == buffer);
    QCOMPARE(rig.host.image(), image);

    if (engine == Engine::One)
        rig.setClock(added, 7, 30);
    else
        rig.setRanged(Rig::timeEdit(engine, added), engine, 1, 60);
    rig.click(Rig::okButton(engine));
    QCOMPARE(rig.host.messages().size(), 1);
    Table expected = tableOf(image, engine);
    expected[std::size_t(added - 1)] = {engine == Engine::One ? 0x5A : 0x7C, 0x00, 0x80 | 40};
    COMPARE_TABLE(tableOf(rig.host.image(), engine), expected);
}

void DimmingEngineTest::deleteStep3OfFive_data() {
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<bool>("confirm"); // OK, else Cancel
    QTest::newRow("engine 1, OK") << Engine::One << true;
    QTest::newRow("engine 1, Cancel") << Engine::One << false;
    QTest::newRow("engine 2, OK") << Engine::Two << true;
    QTest::newRow("engine 2, Cancel") << Engine::Two << false;
}

void DimmingEngineTest::deleteStep3OfFive() {
    QFETCH(Engine, engine);
    QFETCH(bool, confirm);
    const Table five = engine == Engine::One
                           ? Table{{0xDC, 0, 80}, {0xE8, 0x3C, 50}, {0xF4, 0, 0x9E}, {0x24, 0, 40}, {0x3C, 0, 100}}
                           : Table{{0x00, 0, 80}, {0x0A, 0x3C, 50}, {0x3C, 0, 0x9E}, {0x7C, 0, 40}, {0xBC, 0, 100}};
    const Image image = withTable(engine, five);
    Rig rig(image);
    rig.open(engine);
    rig.click(Rig::fadeEdit(engine, 4));
    QVERIFY(rig.shown(Rig::strip(engine)));

    auto* box = rig.find<QCheckBox>(Rig::deleteBox(engine, 3));
    rig.click(box);
    QVERIFY(!box->isChecked());
    QVERIFY(!box->isVisible());
    QVERIFY(!rig.shown(Rig::strip(engine)));
    QVERIFY(rig.shown(Rig::deleteBox(engine, 2)));
    QVERIFY(rig.shown(Rig::deleteLabel(engine)));
    QCOMPARE(rig.text(Rig::levelEdit(engine, 2)), QStringLiteral("50"));
    QCOMPARE(rig.text(Rig::levelEdit(engine, 3)), QStringLiteral("-"));
    QCOMPARE(rig.groupColour(engine, 3), kSilver);
    QVERIFY(rig.find(Rig::group(engine, 3))->isEnabled());
    for (int k = 4; k <= 5; ++k) {
        QCOMPARE(rig.text(Rig::levelEdit(engine, k)), QStringLiteral("-"));
        QVERIFY(!rig.find(Rig::group(engine, k))->isEnabled());
        QVERIFY(!rig.shown(Rig::deleteBox(engine, k)));
    }
    for (int k = 0; k < 10; ++k)
        QCOMPARE(rig.editor(engine)->stepBuffer()[std::size_t(k)].empty(), k >= 2);
    QCOMPARE(rig.host.image(), image);

    rig.click(confirm ? Rig::okButton(engine) : Rig::cancelButton(engine));
    QVERIFY(rig.host.messages().isEmpty());
    QVERIFY(!rig.shown(Rig::panel(engine)));
    QVERIFY(!rig.host.formDisabled());
    COMPARE_TABLE(tableOf(rig.host.image(), engine), padded(confirm ? Table{five[0], five[1]} : five));
    // The next opening shows the image, not what was left on the panel.
    rig.open(engine);
    QCOMPARE(rig.text(Rig::levelEdit(engine, 3)), confirm ? QStringLiteral("-") : QStringLiteral("30"));
    for (int k = 1; k <= 10; ++k)
        QVERIFY(rig.textColour(Rig::fadeEdit(engine, k)) != kTeal);
}

// OK with step 1 empty (only a loaded image has that) switches the engine's function off: engine 1 greys
// the astro pictures itself; engine 2 clears the LSt bit and has the whole diagram drawn again while the
// interlock still holds.
void DimmingEngineTest::emptyFirstStepSwitchesTheEngineOff_data() {
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<bool>("firstStepUsed");
    QTest::newRow("engine 1, no steps") << Engine::One << false;
    QTest::newRow("engine 1, steps") << Engine::One << true;
    QTest::newRow("engine 2, no steps") << Engine::Two << false;
    QTest::newRow("engine 2, steps") << Engine::Two << true;
}

void DimmingEngineTest::emptyFirstStepSwitchesTheEngineOff() {
    QFETCH(Engine, engine);
    QFETCH(bool, firstStepUsed);
    const Image image = firstStepUsed ? lumeq::defaultImage() : withTable(engine, {});
    Rig rig(image);
    // The function's switch stands closed, as the editor may find it (the bit set, the pictures active).
    const unsigned bit = engine == Engine::One ? img::FlagAstro : img::FlagLst;
    rig.host.image()[img::Flags] = lumeq::SetBit(rig.host.image()[img::Flags], bit);
    const std::vector<const char*> greyed = engine == Engine::One
                                                ? std::vector<const char*>{"Astro_dis", "dm1_dis", "sw_astro_open"}
                                                : std::vector<const char*>{"LST_dis", "dm2_dis", "sw_lst_open"};
    for (const char* picture : greyed)
        rig.find(QLatin1String(picture))->hide();
    struct Redraw {
        bool formDisabled;
        bool panelShown;
    };
    QList<Redraw> redraws;
    QObject::connect(&rig.host.diagram(), &lumeq::BlockDiagram::displayed, rig.host.window(), [&] {
        redraws << Redraw{rig.host.formDisabled(), rig.find(Rig::panel(engine))->isVisible()};
    });

    rig.open(engine);
    rig.click(Rig::okButton(engine));

    QCOMPARE(lumeq::TestBit(rig.host.image()[img::Flags], bit), firstStepUsed);
    for (const char* picture : greyed)
        QCOMPARE(rig.pictureShown(picture), !firstStepUsed);
    QCOMPARE(redraws.size(), engine == Engine::Two && !firstStepUsed ? 1 : 0);
    if (!redraws.isEmpty()) {
        QVERIFY(redraws.first().formDisabled);
        QVERIFY(!redraws.first().panelShown);
    }
    QVERIFY(!rig.host.formDisabled());
    QVERIFY(rig.host.messages().isEmpty());
    COMPARE_TABLE(tableOf(rig.host.image(), engine), tableOf(image, engine));
    // The other engine's bit is left alone.
    const unsigned otherBit = engine == Engine::One ? img::FlagLst : img::FlagAstro;
    QCOMPARE(lumeq::TestBit(rig.host.image()[img::Flags], otherBit), lumeq::TestBit(image[img::Flags], otherBit));
}

void DimmingEngineTest::helpPanels_data() {
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("picture");
    QTest::newRow("engine 1") << Engine::One << "bHelpD1a"
                              << "pHelpD1a"
                              << "Image3";
    QTest::newRow("engine 2") << Engine::Two << "bQuestion"
                              << "pHelpD1"
                              << "Image2";
}

void DimmingEngineTest::helpPanels() {
    QFETCH(Engine, engine);
    QFETCH(QString, button);
    QFETCH(QString, panel);
    QFETCH(QString, picture);
    Rig rig;
    const Image image = rig.host.image();
    rig.open(engine);
    rig.click(Rig::levelEdit(engine, 1));
    QWidget* help = rig.find(panel);
    QWidget* editor = rig.find(Rig::panel(engine));
    QVERIFY(!help->isVisible());
    auto* svg = rig.find<QSvgWidget>(picture);
    QVERIFY(svg->renderer()->isValid());
    QVERIFY(help->parentWidget() == editor);
    QCOMPARE(help->geometry(), editor->rect());

    // Closed by a click on the picture, then by a click on the panel's edge.
    for (QWidget* target : {static_cast<QWidget*>(svg), help}) {
        rig.click(button);
        QVERIFY(help->isVisible());
        QVERIFY(rig.host.formDisabled());
        if (qEnvironmentVariableIsSet("LUMEQ_GRAB_DIR"))
            QVERIFY(rig.host.window()->grab().save(
                QStringLiteral("%1/%2.png").arg(qEnvironmentVariable("LUMEQ_GRAB_DIR"), panel)));
        QTest::mouseClick(target, Qt::LeftButton, {}, target == help ? QPoint(1, 1) : svg->rect().center());
        QVERIFY(!help->isVisible());
        QVERIFY(editor->isVisible());
        QVERIFY(rig.host.formDisabled());
    }
    QCOMPARE(rig.host.image(), image);
    // The editor goes on as before.
    rig.slider(engine)->setValue(30);
    rig.click(Rig::okButton(engine));
    QCOMPARE(int(rig.host.image()[lumeq::steps::levelOffset(engine, 0)]), 30);
}

// Dimming engine 1 through the real window: a third step at 06:00 to 80 % with the relay off. The diagram,
// the saved file, `lumeq-cli show` and the report agree.
void DimmingEngineTest::engine1RoundTrip() {
    WindowRun run;
    run.startDemo();
    QTest::mouseClick(run.find("iISD1_en"), Qt::LeftButton);
    QTest::mouseClick(run.find("eD1_Level3"), Qt::LeftButton);
    run.find<QScrollBar>("sbD1")->setValue(80);
    QTest::mouseClick(run.find("eD1_Time3"), Qt::LeftButton);
    run.find<QScrollBar>("sbD1")->setValue(clockPosition(6, 0));
    QTest::mouseClick(run.find("eD1_Fade3"), Qt::LeftButton);
    run.find<QScrollBar>("sbD1")->setValue(40);
    QTest::mouseClick(run.find("rbD1_Off3"), Qt::LeftButton, {}, QPoint(8, 10));
    run.click("bDimmer1_OK");
    QVERIFY(run.dialogs.messages.isEmpty());
    QVERIFY(!run.find("pDimmer1")->isVisible());
    QVERIFY(run.find("dm1_dis")->isHidden());
    QVERIFY(run.find("sw_astro_open")->isHidden());

    const RoundTrip trip = RoundTrip::of(run);
    QVERIFY(trip.saved);
    QCOMPARE(trip.item("astro", "astroClock"), QString("ON"));
    QCOMPARE(trip.item("astro", "stepsInUse"), QString("3"));
    const QJsonObject step = trip.step("astro", 2);
    QCOMPARE(step.value("time").toString(), QString("06:00:00"));
    QCOMPARE(step.value("fade").toString(), QString("00,040"));
    QCOMPARE(step.value("level").toString(), QString("80"));
    QCOMPARE(step.value("relay").toString(), QString("OFF"));
    QVERIFY(trip.reportPrints("06:00:00"));
    QVERIFY(trip.reportPrints("00,040"));
    QVERIFY(trip.reportPrints(" OFF"));
}

// Dimming engine 2 through the real window: a second step 00:10:00 after the first, down to 20 %.
void DimmingEngineTest::engine2RoundTrip() {
    WindowRun run;
    run.startDemo();
    QTest::mouseClick(run.find("iISD2_en"), Qt::LeftButton);
    QTest::mouseClick(run.find("eD2_Level2"), Qt::LeftButton);
    run.find<QScrollBar>("sbD2")->setValue(20);
    QTest::mouseClick(run.find("eD2_Delay2"), Qt::LeftButton);
    auto* combo = run.find<QComboBox>("comboD2");
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    run.find<QScrollBar>("sbD2")->setValue(60);
    QCOMPARE(run.find<QLineEdit>("eD2_Delay2")->text(), QString("00:10:00"));
    run.click("bDimmer2OK");
    QVERIFY(run.dialogs.messages.isEmpty());
    QVERIFY(!run.find("pDimmer2")->isVisible());
    QVERIFY(run.find("dm2_dis")->isHidden());

    const RoundTrip trip = RoundTrip::of(run);
    QVERIFY(trip.saved);
    QCOMPARE(trip.item("controlInput", "stepsInUse"), QString("2"));
    const QJsonObject step = trip.step("controlInput", 1);
    QCOMPARE(step.value("delay").toString(), QString("00:10:00"));
    QCOMPARE(step.value("level").toString(), QString("20"));
    QCOMPARE(step.value("relay").toString(), QString("ON"));
    QVERIFY(trip.reportPrints("00:10:00"));
    QVERIFY(trip.reportPrints("20"));
}

LUMEQ_GUI_TEST(DimmingEngineTest)
#include "dimmingengine_test.moc"
