// The control input LSt on the diagram (its switch and polarity pictures), the hold switch and the
// hold-time editor pTHold. Widgets are found by their control names; clicks go through the window system,
// so that the diagram's stacking and the interlock decide what a click reaches.

#include "editorrig.h"
#include "guitest.h"
#include "roundtrip.h"
#include "windowrun.h"

#include "diagram/blockdiagram.h"
#include "model/image.h"
#include "model/layout.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

using lumeq::BlockDiagram;
using lumeq::Image;
namespace img = lumeq::img;

namespace {

constexpr int kLstOn = 0x08;
constexpr int kHighToLow = 0x10;

// The default image (dimming engine 2 with a step) with byte 0's LSt bits and the hold time given.
Image lstImage(int lstBits, int hold) {
    Image image = lumeq::defaultImage();
    image[img::Flags] = static_cast<std::uint8_t>((image[img::Flags] & ~(kLstOn | kHighToLow)) | lstBits);
    image[img::HoldTime] = static_cast<std::uint8_t>(hold);
    return image;
}

class Rig : public EditorRig {
public:
    explicit Rig(Image image) : EditorRig(std::move(image)) {}

    QString edit() { return find<QLineEdit>("eHoldTime")->text(); }
    QString holdLabel() { return find<QLabel>("lHold")->text(); }
    int flags() { return host.image()[img::Flags]; }
    int hold() { return host.image()[img::HoldTime]; }
    void chooseRange(int index) {
        auto* selector = find<QComboBox>("combHold");
        selector->setCurrentIndex(index);
        emit selector->activated(index);
    }

    // The pictures given are on show, the others of the list hidden.
    void verifyPictures(const QStringList& on, const QStringList& off) {
        for (const QString& name : on)
            QVERIFY2(pictureShown(qPrintable(name)), qPrintable(name + " should show"));
        for (const QString& name : off)
            QVERIFY2(!pictureShown(qPrintable(name)), qPrintable(name + " should be hidden"));
    }
    void verifyHoldOff() {
        verifyPictures({"HOLD_dis", "sw_hold_off"}, {"lHold"});
        QCOMPARE(hold(), 0);
    }
};

} // namespace

class ControlInputTest : public QObject {
    Q_OBJECT

private slots:
    void lstOnClearsTheHoldTime();
    void lstOffKeepsTheHoldTime();
    void lstRefusedUnderRemoteDim();
    void remoteControlSwitchesTheInputOff();
    void polarity();
    void lstOnShowsTheStoredPolarity_data();
    void lstOnShowsTheStoredPolarity();
    void holdSwitchOff();
    void holdCancelAfterClosingTheSwitch();
    void holdTimes_data();
    void holdTimes();
    void holdCancelKeepsTheStoredTime();
    void roundTrip();
};

void ControlInputTest::lstOnClearsTheHoldTime() {
    const Image image = lstImage(kHighToLow, 0x1E);
    Rig rig(image);
    rig.verifyPictures({"LST_dis", "sw_lst_open", "SW_hold_dis", "HOLD_dis", "dm2_dis"}, {});

    rig.click("sw_lst_open");
    Image expected = image;
    expected[img::Flags] |= kLstOn;
    expected[img::HoldTime] = 0;
    QCOMPARE(rig.host.image(), expected);
    rig.verifyPictures({"sw_hold_off", "HOLD_dis", "SW_lst_close"},
                       {"LST_dis", "sw_lst_open", "SW_hold_dis", "dm2_dis", "lHold"});
    QVERIFY(!rig.host.formDisabled());
    QVERIFY(!rig.shown("pTHold"));
}

void ControlInputTest::lstOffKeepsTheHoldTime() {
    const Image image = lstImage(kLstOn, 0x5E);
    Rig rig(image);
    rig.verifyPictures({"lHold", "sw_hold_on"}, {"LST_dis", "sw_lst_open", "HOLD_dis", "sw_hold_off"});

    rig.click("SW_lst_close");
    Image expected = image;
    expected[img::Flags] &= ~kLstOn;
    QCOMPARE(rig.host.image(), expected);
    rig.verifyPictures({"LST_dis", "SW_hold_dis", "HOLD_dis", "sw_lst_open", "dm2_dis"}, {});
}

// While the remote control dims through the LSt input, the open LSt switch refuses to close.
void ControlInputTest::lstRefusedUnderRemoteDim() {
    const Image image = lstImage(0, 0x1E);
    Rig rig(image);
    rig.host.diagram().setRemoteDimActive(true);
    rig.click("sw_lst_open");
    QCOMPARE(rig.host.image(), image);
    rig.verifyPictures({"LST_dis", "sw_lst_open", "SW_hold_dis", "dm2_dis"}, {});

    rig.host.diagram().setRemoteDimActive(false);
    rig.click("sw_lst_open");
    QCOMPARE(rig.flags() & kLstOn, kLstOn);
}

// The remote control's OK switches the input off as a click on the closed switch does, while its own
// panel still holds the interlock: the handler does the whole work itself.
void ControlInputTest::remoteControlSwitchesTheInputOff() {
    Rig rig(lstImage(kLstOn, 0x1E));
    rig.host.setFormDisabled(true);
    rig.host.editors().actOnSwitch(BlockDiagram::Picture::SW_lst_close);
    QCOMPARE(rig.flags() & kLstOn, 0);
    QCOMPARE(rig.hold(), 0x1E);
    rig.verifyPictures({"LST_dis", "SW_hold_dis", "HOLD_dis", "sw_lst_open", "dm2_dis"}, {});
    QVERIFY(rig.host.formDisabled());
}

void ControlInputTest::polarity() {
    const Image image = lstImage(kLstOn, 0);
    Rig rig(image);
    rig.verifyPictures({"iLst_en"}, {"iLST_pol"});

    rig.click("iLst_en");
    Image expected = image;
    expected[img::Flags] |= kHighToLow;
    QCOMPARE(rig.host.image(), expected);
    rig.verifyPictures({"iLST_pol"}, {"iLst_en"});

    rig.click("iLST_pol");
    QCOMPARE(rig.host.image(), image);
    rig.verifyPictures({"iLst_en"}, {"iLST_pol"});

    // Both polarity pictures lie under the greyed block while the input is off.
    rig.click("SW_lst_close");
    rig.click("LST_dis");
    QCOMPARE(rig.flags() & kHighToLow, 0);
}

void ControlInputTest::lstOnShowsTheStoredPolarity_data() {
    QTest::addColumn<int>("polarity");
    QTest::addColumn<QString>("shownPicture");
    QTest::addColumn<QString>("hiddenPicture");
    QTest::newRow("Low->High") << 0 << "iLst_en"
                               << "iLST_pol";
    QTest::newRow("High->Low") << kHighToLow << "iLST_pol"
                               << "iLst_en";
}

// Off, the input shows both polarity pictures under its greyed block. Switched on again, only the stored
// polarity's picture may stay on show, and a click on it toggles from the stored polarity.
void ControlInputTest::lstOnShowsTheStoredPolarity() {
    QFETCH(int, polarity);
    QFETCH(QString, shownPicture);
    QFETCH(QString, hiddenPicture);
    Rig rig(lstImage(polarity, 0));
    rig.verifyPictures({"iLst_en", "iLST_pol", "LST_dis"}, {});

    rig.click("sw_lst_open");
    rig.verifyPictures({shownPicture}, {hiddenPicture, "LST_dis"});
    QCOMPARE(rig.flags() & kHighToLow, polarity);

    rig.click(qPrintable(shownPicture));
    QCOMPARE(rig.flags() & kHighToLow, polarity ^ kHighToLow);
    rig.verifyPictures({hiddenPicture}, {shownPicture});
}

void ControlInputTest::holdSwitchOff() {
    const Image image = lstImage(kLstOn, 0xC8);
    Rig rig(image);
    QCOMPARE(rig.holdLabel(), QStringLiteral("02:00:00"));
    rig.click("sw_hold_on");
    rig.verifyHoldOff();
    Image expected = image;
    expected[img::HoldTime] = 0;
    QCOMPARE(rig.host.image(), expected);
    QVERIFY(!rig.shown("pTHold"));
}

void ControlInputTest::holdCancelAfterClosingTheSwitch() {
    const Image image = lstImage(kLstOn, 0);
    Rig rig(image);
    rig.click("sw_hold_off");
    QVERIFY(rig.shown("pTHold"));
    QVERIFY(rig.host.formDisabled());
    rig.verifyPictures({"sw_hold_on", "iTHold_en"}, {"HOLD_dis", "sw_hold_off"});
    QCOMPARE(rig.edit(), QStringLiteral("0"));

    rig.click("eHoldTime");
    rig.find<QScrollBar>("sbHold")->setValue(30);
    QCOMPARE(rig.edit(), QStringLiteral("00:00:30"));
    rig.click("bTHoldCancel");

    QCOMPARE(rig.host.image(), image);
    rig.verifyHoldOff();
    QVERIFY(!rig.shown("pTHold"));
    QVERIFY(!rig.host.formDisabled());
}

void ControlInputTest::holdTimes_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("range"); // -1: the range the edit opened in
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("code");
    QTest::newRow("30 s") << 0 << 0 << 30 << "00:00:30" << 0x1E;
    QTest::newRow("5 min") << 0 << 1 << 30 << "00:05:00" << 0x5E;
    QTest::newRow("2 h") << 0 << 3 << 8 << "02:00:00" << 0xC8;
    QTest::newRow("15 h") << 0 << 3 << 60 << "15:00:00" << 0xFC;
    QTest::newRow("\"0\" switches the hold time off") << 0x5E << -1 << 0 << "0" << 0x00;
}

void ControlInputTest::holdTimes() {
    QFETCH(int, stored);
    QFETCH(int, range);
    QFETCH(int, position);
    QFETCH(QString, shown);
    QFETCH(int, code);
    Rig rig(lstImage(kLstOn, stored));
    rig.click(stored == 0 ? "sw_hold_off" : "iTHold_en");
    QVERIFY(rig.shown("pTHold"));
    rig.click("eHoldTime");
    QVERIFY(rig.shown("pHoldTime"));
    auto* selector = rig.find<QComboBox>("combHold");
    QCOMPARE(selector->count(), 4);
    QCOMPARE(selector->itemText(0), QStringLiteral("->00:01:00"));
    QCOMPARE(selector->itemText(1), QStringLiteral("->00:10:00"));
    QCOMPARE(selector->itemText(2), QStringLiteral("->01:00:00"));
    QCOMPARE(selector->itemText(3), QStringLiteral("->15:00:00"));
    if (stored != 0)
        QCOMPARE(selector->currentIndex(), 1); // 300 s opens in the range of 10 s steps
    if (range >= 0)
        rig.chooseRange(range);
    rig.find<QScrollBar>("sbHold")->setValue(position);
    QCOMPARE(rig.edit(), shown);
    rig.click("bTHoldOK");

    QCOMPARE(rig.hold(), code);
    QVERIFY(!rig.shown("pTHold"));
    QVERIFY(!rig.host.formDisabled());
    if (code == 0) {
        rig.verifyHoldOff();
        return;
    }
    rig.verifyPictures({"lHold", "sw_hold_on"}, {"HOLD_dis", "sw_hold_off"});
    QCOMPARE(rig.holdLabel(), shown);
    // The label opens the editor on the stored time.
    rig.click("lHold");
    QCOMPARE(rig.edit(), shown);
}

void ControlInputTest::holdCancelKeepsTheStoredTime() {
    const Image image = lstImage(kLstOn, 0x5E);
    Rig rig(image);
    rig.click("lHold");
    QCOMPARE(rig.edit(), QStringLiteral("00:05:00"));
    rig.click("eHoldTime");
    rig.chooseRange(3);
    rig.find<QScrollBar>("sbHold")->setValue(20);
    rig.click("bTHoldCancel");
    QCOMPARE(rig.host.image(), image);
    rig.verifyPictures({"lHold", "sw_hold_on"}, {"HOLD_dis", "sw_hold_off"});
    QCOMPARE(rig.holdLabel(), QStringLiteral("00:05:00"));
}

void ControlInputTest::roundTrip() {
    WindowRun run;
    run.startDemo();
    QTest::mouseClick(run.find("iLst_en"), Qt::LeftButton);
    QTest::mouseClick(run.find("sw_hold_off"), Qt::LeftButton);
    QTest::mouseClick(run.find("eHoldTime"), Qt::LeftButton);
    auto* selector = run.find<QComboBox>("combHold");
    selector->setCurrentIndex(1);
    emit selector->activated(1);
    run.find<QScrollBar>("sbHold")->setValue(30);
    run.click("bTHoldOK");
    QCOMPARE(run.find<QLabel>("lHold")->text(), QStringLiteral("00:05:00"));

    const RoundTrip trip = RoundTrip::of(run);
    QVERIFY(trip.saved);
    QCOMPARE(run.window->image()[img::HoldTime], std::uint8_t(0x5E));
    QCOMPARE(trip.item("controlInput", "polarity"), QStringLiteral("High->Low"));
    QCOMPARE(trip.item("controlInput", "holdTime"), QStringLiteral("00:05:00"));
    QVERIFY(trip.reportPrints("Input polarity: High->Low"));
    QVERIFY(trip.reportPrints("Hold time: 00:05:00"));
}

LUMEQ_GUI_TEST(ControlInputTest)
#include "controlinput_test.moc"
