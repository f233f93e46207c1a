// The thermal-management editor pThermoM and its switch: the clean-up of the table on opening, the
// falling thresholds of the slider strip, and what OK and Cancel store. Widgets are found by their control
// names; clicks go through the window system.

#include "editorrig.h"
#include "guitest.h"
#include "roundtrip.h"
#include "windowrun.h"

#include "model/image.h"
#include "model/layout.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

using lumeq::Image;
namespace img = lumeq::img;

namespace {

constexpr int kThermalOn = 0x80;
const QColor kTeal(0, 128, 128);
const char* const kEdits[] = {"eOutput_T1", "eOutput_L1", "eOutput_T2", "eOutput_L2", "eOutput_T3", "eOutput_L3"};

using Table = QList<int>; // bytes 89..95

// The default image with thermal management on or off and bytes 89..95 given.
Image thermalImage(bool on, const Table& table) {
    Image image = lumeq::defaultImage();
    image[img::Flags] =
        static_cast<std::uint8_t>(on ? image[img::Flags] | kThermalOn : image[img::Flags] & ~kThermalOn);
    for (qsizetype i = 0; i < table.size(); ++i)
        image[img::ThermT1 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(table[i]);
    return image;
}

Table tableOf(const Image& image) {
    Table table;
    for (std::size_t at = img::ThermT1; at <= img::ThermEnd; ++at)
        table << image[at];
    return table;
}

class Rig : public EditorRig {
public:
    explicit Rig(Image image) : EditorRig(std::move(image)) {}

    QString text(const char* name) { return find<QLineEdit>(name)->text(); }
    QStringList texts() {
        QStringList all;
        for (const char* name : kEdits)
            all << text(name);
        return all;
    }
    QScrollBar* slider() { return find<QScrollBar>("sbThermo"); }
    // A click on the edit, then the slider to `position`.
    void set(const char* edit, int position) {
        click(edit);
        slider()->setValue(position);
    }
    void open() {
        if (pictureShown("sw_tm_on"))
            click("iTM");
        else
            click("sw_tm_off");
        QVERIFY(shown("pThermoM"));
    }
    void verifySwitch(bool on) {
        QCOMPARE(pictureShown("sw_tm_on"), on);
        QCOMPARE(pictureShown("sw_tm_off"), !on);
        QCOMPARE(pictureShown("iTM_dis"), !on);
    }
    bool enabled() { return (host.image()[img::Flags] & kThermalOn) != 0; }
};

// Three pairs in use, without the end mark.
const Table kThreePairs{70, 50, 60, 40, 50, 30, 0x00};

// Each step: the edit clicked and the slider position (-1: a click on "Off").
struct Move {
    const char* edit;
    int position;
};
using Moves = QList<Move>;

} // namespace

Q_DECLARE_METATYPE(Moves)

class ThermalTest : public QObject {
    Q_OBJECT

private slots:
    void panel();
    void openingCleansTheTable_data();
    void openingCleansTheTable();
    void sliderServesTheEdit_data();
    void sliderServesTheEdit();
    void fallingThresholds();
    void confirm_data();
    void confirm();
    void relayOffShowsAsLevelZero();
    void switchClosedKeepsTheTable();
    void switchOpenedThenCancelled();
    void roundTrip();
};

void ThermalTest::panel() {
    Rig rig(thermalImage(true, kThreePairs));
    QCOMPARE(rig.find("pThermoM")->geometry(), QRect(616, 35, 272, 182));
    rig.open();
    QCOMPARE(rig.find<QCheckBox>("cbOutput_Off")->text(), QStringLiteral("Off"));
    QCOMPARE(rig.find<QLabel>("lThermoT2")->text(), QStringLiteral("T2"));
    QCOMPARE(rig.find<QLabel>("lThermoT1Unit")->text(), QStringLiteral("C° -->"));
    QCOMPARE(rig.find<QLabel>("lThermoL3Unit")->text(), QStringLiteral("%"));
    QVERIFY(!rig.shown("pThermo"));
    for (const char* name : kEdits)
        QVERIFY2(rig.find<QLineEdit>(name)->isReadOnly(), name);

    rig.click("eOutput_L2");
    QVERIFY(rig.shown("pThermo"));
    QCOMPARE(rig.find<QLineEdit>("eOutput_L2")->palette().color(QPalette::Active, QPalette::Text), kTeal);
    QVERIFY(rig.find<QLineEdit>("eOutput_T1")->palette().color(QPalette::Active, QPalette::Text) != kTeal);
    rig.click("bTMCancel");
    QVERIFY(!rig.find("pThermo")->isVisibleTo(rig.find("pThermoM")));
    QVERIFY(rig.find<QLineEdit>("eOutput_L2")->palette().color(QPalette::Active, QPalette::Text) != kTeal);
}

void ThermalTest::openingCleansTheTable_data() {
    QTest::addColumn<bool>("on");
    QTest::addColumn<Table>("stored");
    QTest::addColumn<QStringList>("shown"); // T1, L1, T2, L2, T3, L3
    QTest::addColumn<bool>("relayOff");
    QTest::addColumn<Table>("cleaned");
    const Table cleared{0, 0, 0, 0, 0, 0, 0xFF};
    QTest::newRow("three pairs") << true << kThreePairs << QStringList{"70", "50", "60", "40", "50", "30"} << false
                                 << kThreePairs;
    QTest::newRow("off: the table goes") << false << kThreePairs << QStringList{"", "", "", "", "", ""} << false
                                         << cleared;
    QTest::newRow("T1 of 20") << true << Table{20, 50, 60, 40, 50, 30, 0} << QStringList{"", "", "", "", "", ""}
                              << false << cleared;
    QTest::newRow("T1 of 86") << true << Table{86, 0x85, 60, 40, 0, 0, 0} << QStringList{"", "", "", "", "", ""}
                              << false << cleared;
    QTest::newRow("T2 not in use ends the table")
        << true << Table{85, 100, 0, 40, 50, 30, 0x00} << QStringList{"85", "100", "", "", "", ""} << false
        << Table{85, 100, 0, 0, 0, 0, 0x00};
    QTest::newRow("T3 of 29") << true << Table{30, 0, 31, 7, 29, 30, 0xFF} << QStringList{"30", "0", "31", "7", "", ""}
                              << false << Table{30, 0, 31, 7, 0, 0, 0xFF};
    QTest::newRow("relay off at T1") << true << Table{70, 0xA8, 0, 0, 0, 0, 0xFF}
                                     << QStringList{"70", "0", "", "", "", ""} << true
                                     << Table{70, 0xA8, 0, 0, 0, 0, 0xFF};
    QTest::newRow("levels above 100") << true << Table{70, 0x7F, 60, 0xE5, 0, 0, 0xFF}
                                      << QStringList{"70", "100", "60", "100", "", ""} << false
                                      << Table{70, 0x7F, 60, 0xE5, 0, 0, 0xFF};
}

void ThermalTest::openingCleansTheTable() {
    QFETCH(bool, on);
    QFETCH(Table, stored);
    QFETCH(QStringList, shown);
    QFETCH(bool, relayOff);
    QFETCH(Table, cleaned);
    const Image image = thermalImage(on, stored);
    Rig rig(image);
    // Stale texts of an earlier opening must not survive.
    rig.open();
    for (const char* name : kEdits)
        rig.find<QLineEdit>(name)->setText(QStringLiteral("99"));
    rig.find<QCheckBox>("cbOutput_Off")->setChecked(true);
    rig.click("bTMCancel");
    rig.host.load(image);

    rig.open();
    QCOMPARE(rig.texts(), shown);
    QCOMPARE(rig.find<QCheckBox>("cbOutput_Off")->isChecked(), relayOff);
    Image expected = thermalImage(on, cleaned);
    QCOMPARE(rig.host.image(), expected);
    QVERIFY(rig.host.formDisabled());

    // Cancel writes nothing more; the clean-up stays.
    rig.click("bTMCancel");
    QCOMPARE(rig.host.image(), expected);
    rig.verifySwitch(on);
    QVERIFY(!rig.host.formDisabled());
}

void ThermalTest::fallingThresholds() {
    Rig rig(thermalImage(false, {0, 0, 0, 0, 0, 0, 0xFF}));
    rig.open();
    QScrollBar* slider = rig.slider();

    // Without T1 the slider sets no T2.
    rig.click("eOutput_T2");
    QCOMPARE(slider->minimum(), 30);
    QCOMPARE(slider->maximum(), 85);
    slider->setValue(60);
    QCOMPARE(rig.text("eOutput_T2"), QString());

    rig.set("eOutput_T1", 60);
    QCOMPARE(rig.text("eOutput_T1"), QStringLiteral("60"));
    rig.set("eOutput_T2", 80);
    QCOMPARE(slider->maximum(), 59);
    QCOMPARE(rig.text("eOutput_T2"), QStringLiteral("59"));
    slider->setValue(45);
    QCOMPARE(rig.text("eOutput_T2"), QStringLiteral("45"));
    rig.set("eOutput_T3", 85);
    QCOMPARE(rig.text("eOutput_T3"), QStringLiteral("44"));
    slider->setValue(31);
    QCOMPARE(rig.text("eOutput_T3"), QStringLiteral("31"));
    // The lowest position takes the pair out of use.
    slider->setValue(30);
    QCOMPARE(rig.text("eOutput_T3"), QString());

    // A threshold of 30 shows as empty when clicked; levels run 0..100.
    rig.click("eOutput_L1");
    QCOMPARE(slider->minimum(), 0);
    QCOMPARE(slider->maximum(), 100);
    QCOMPARE(rig.text("eOutput_L1"), QStringLiteral("0"));
    slider->setValue(100);
    QCOMPARE(rig.text("eOutput_L1"), QStringLiteral("100"));
    rig.set("eOutput_T1", 30);
    QCOMPARE(rig.text("eOutput_T1"), QString());
    QCOMPARE(rig.text("eOutput_T2"), QStringLiteral("45")); // left for OK to drop
}

void ThermalTest::sliderServesTheEdit_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("before"); // clicked first: leaves the slider where the edit's value lies
    // T1 70 -> 60 %, T2 60 -> 50 %, T3 50 -> 40 %
    QTest::newRow("T1") << "eOutput_T1" << 2 << 30 << 85 << 70 << "eOutput_L2";
    QTest::newRow("T2 below T1 at once") << "eOutput_T2" << 3 << 30 << 69 << 60 << "eOutput_L1";
    QTest::newRow("T3 below T2 at once") << "eOutput_T3" << 4 << 30 << 59 << 50 << "eOutput_L2";
    QTest::newRow("L1") << "eOutput_L1" << 5 << 0 << 100 << 60 << "eOutput_T2";
    QTest::newRow("L2") << "eOutput_L2" << 6 << 0 << 100 << 50 << "eOutput_T3";
    QTest::newRow("L3") << "eOutput_L3" << 7 << 0 << 100 << 40 << "eOutput_L1";
}

// The strip's tag, limits and position for each edit; the texts stay as they are.
void ThermalTest::sliderServesTheEdit() {
    QFETCH(QString, edit);
    QFETCH(int, tag);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, position);
    QFETCH(QString, before);
    Rig rig(thermalImage(true, {70, 60, 60, 50, 50, 40, 0xFF}));
    rig.open();
    const QStringList shown = rig.texts();
    rig.click(qPrintable(before));
    rig.click(qPrintable(edit));
    QScrollBar* slider = rig.slider();
    QCOMPARE(slider->property("tag").toInt(), tag);
    QCOMPARE(slider->minimum(), minimum);
    QCOMPARE(slider->maximum(), maximum);
    QCOMPARE(slider->value(), position);
    QCOMPARE(rig.texts(), shown);

    // The slider's far end is the limit the edit takes.
    slider->setValue(slider->maximum());
    QCOMPARE(rig.text(qPrintable(edit)), QString::number(maximum));
}

void ThermalTest::confirm_data() {
    QTest::addColumn<bool>("on");
    QTest::addColumn<Table>("stored");
    QTest::addColumn<Moves>("moves");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<Table>("result");
    const Table empty{0, 0, 0, 0, 0, 0, 0x00};
    QTest::newRow("three pairs unchanged")
        << true << kThreePairs << Moves{} << true << Table{70, 50, 60, 40, 50, 30, 0xFF};
    QTest::newRow("Off with L1 = 40") << false << empty
                                      << Moves{{"eOutput_T1", 75}, {"eOutput_L1", 40}, {"cbOutput_Off", -1}} << true
                                      << Table{75, 0xA8, 0, 0, 0, 0, 0xFF};
    QTest::newRow("T2 emptied drops a filled T3")
        << true << kThreePairs << Moves{{"eOutput_T2", 30}} << true << Table{70, 50, 0, 0, 0, 0, 0xFF};
    QTest::newRow("T3 emptied") << true << kThreePairs << Moves{{"eOutput_T3", 30}} << true
                                << Table{70, 50, 60, 40, 0, 0, 0xFF};
    QTest::newRow("T1 emptied switches off")
        << true << kThreePairs << Moves{{"eOutput_T1", 30}} << false << Table{0, 0, 0, 0, 0, 0, 0xFF};
    QTest::newRow("nothing set") << false << kThreePairs << Moves{} << false << Table{0, 0, 0, 0, 0, 0, 0xFF};
    QTest::newRow("empty level stored as 0")
        << false << empty << Moves{{"eOutput_T1", 85}, {"eOutput_T2", 84}, {"eOutput_L2", 55}} << true
        << Table{85, 0, 84, 55, 0, 0, 0xFF};
    QTest::newRow("levels moved") << true << kThreePairs
                                  << Moves{{"eOutput_L1", 100}, {"eOutput_L2", 0}, {"eOutput_L3", 66}} << true
                                  << Table{70, 100, 60, 0, 50, 66, 0xFF};
}

void ThermalTest::confirm() {
    QFETCH(bool, on);
    QFETCH(Table, stored);
    QFETCH(Moves, moves);
    QFETCH(bool, enabled);
    QFETCH(Table, result);
    const Image image = thermalImage(on, stored);
    Rig rig(image);
    rig.open();
    for (const Move& move : moves) {
        if (move.position < 0)
            rig.click(move.edit);
        else
            rig.set(move.edit, move.position);
    }
    rig.click("bTMOk");

    QCOMPARE(tableOf(rig.host.image()), result);
    QCOMPARE(rig.host.image(), thermalImage(enabled, result));
    rig.verifySwitch(enabled);
    QVERIFY(!rig.shown("pThermoM"));
    QVERIFY(!rig.find("pThermo")->isVisibleTo(rig.find("pThermoM")));
    QVERIFY(!rig.host.formDisabled());
}

void ThermalTest::relayOffShowsAsLevelZero() {
    Rig rig(thermalImage(false, {0, 0, 0, 0, 0, 0, 0xFF}));
    rig.open();
    rig.set("eOutput_T1", 70);
    rig.set("eOutput_L1", 40);
    rig.click("cbOutput_Off");
    rig.click("bTMOk");
    QCOMPARE(int(rig.host.image()[img::ThermL1]), 0xA8);

    rig.open();
    QVERIFY(rig.find<QCheckBox>("cbOutput_Off")->isChecked());
    QCOMPARE(rig.text("eOutput_L1"), QStringLiteral("0"));
    rig.click("bTMOk");
    QCOMPARE(int(rig.host.image()[img::ThermL1]), 0x80);
}

void ThermalTest::switchClosedKeepsTheTable() {
    const Image image = thermalImage(true, kThreePairs);
    Rig rig(image);
    rig.verifySwitch(true);
    rig.click("sw_tm_on");
    QCOMPARE(rig.host.image(), thermalImage(false, kThreePairs));
    rig.verifySwitch(false);
    QVERIFY(!rig.shown("pThermoM"));
    QVERIFY(!rig.host.formDisabled());
}

void ThermalTest::switchOpenedThenCancelled() {
    Rig rig(thermalImage(false, kThreePairs));
    rig.click("sw_tm_off");
    QVERIFY(rig.shown("pThermoM"));
    QVERIFY(rig.pictureShown("sw_tm_on"));
    QVERIFY(!rig.pictureShown("sw_tm_off"));
    // The switch was open: the table is dropped at once.
    QCOMPARE(tableOf(rig.host.image()), (Table{0, 0, 0, 0, 0, 0, 0xFF}));
    rig.click("bTMCancel");
    rig.verifySwitch(false);
    QVERIFY(!rig.enabled());

    // Opened again and confirmed with T1: on.
    rig.click("sw_tm_off");
    rig.set("eOutput_T1", 55);
    rig.click("bTMOk");
    rig.verifySwitch(true);
    QVERIFY(rig.enabled());
    QCOMPARE(tableOf(rig.host.image()), (Table{55, 0, 0, 0, 0, 0, 0xFF}));
}

void ThermalTest::roundTrip() {
    WindowRun run;
    run.startDemo();
    QTest::mouseClick(run.find("sw_tm_off"), Qt::LeftButton);
    auto set = [&run](const char* edit, int position) {
        QTest::mouseClick(run.find(QLatin1String(edit)), Qt::LeftButton);
        run.find<QScrollBar>("sbThermo")->setValue(position);
    };
    set("eOutput_T1", 70);
    set("eOutput_L1", 40);
    auto* off = run.find<QCheckBox>("cbOutput_Off");
    QTest::mouseClick(off, Qt::LeftButton, {}, QPoint(8, off->height() / 2));
    set("eOutput_T2", 60);
    set("eOutput_L2", 50);
    run.click("bTMOk");

    const RoundTrip trip = RoundTrip::of(run);
    QVERIFY(trip.saved);
    QCOMPARE(tableOf(run.window->image()), (Table{70, 0xA8, 60, 50, 0, 0, 0xFF}));
    QVERIFY(run.find("sw_tm_on")->isVisible());
    QVERIFY(run.find("sw_tm_off")->isHidden());
    QVERIFY(run.find("iTM_dis")->isHidden());
    QCOMPARE(trip.item("thermal", "thermal"), QStringLiteral("ON"));
    QCOMPARE(trip.item("thermal", "t1"), QStringLiteral("70 °C"));
    QCOMPARE(trip.item("thermal", "levelT1"), QStringLiteral("40 %"));
    QCOMPARE(trip.item("thermal", "relayT1"), QStringLiteral("OFF"));
    QCOMPARE(trip.item("thermal", "t2"), QStringLiteral("60 °C"));
    QCOMPARE(trip.item("thermal", "levelT2"), QStringLiteral("50 %"));
    QVERIFY(trip.reportPrints("T1= 70°C"));
    QVERIFY(trip.reportPrints("Level= 40%         Relay OFF"));
    QVERIFY(trip.reportPrints("T2= 60°C"));
    QVERIFY(trip.reportPrints("Level= 50%"));
}

LUMEQ_GUI_TEST(ThermalTest)
#include "thermal_test.moc"
