// The blocking-time editor pBlockTime with its slider strip, and the T_BLOCK switch of the diagram.
// Widgets are found by their control names; clicks go through the window system, so that the diagram's
// stacking (greyed block over the block, open switch over the closed one) decides what a click reaches.

#include "editorrig.h"
#include "guitest.h"
#include "roundtrip.h"
#include "windowrun.h"

#include "model/image.h"
#include "model/layout.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

using lumeq::Image;
namespace img = lumeq::img;

namespace {

Image blockImage(int units) {
    Image image = lumeq::defaultImage();
    image[img::BlockTime] = static_cast<std::uint8_t>(units);
    return image;
}

class Rig : public EditorRig {
public:
    explicit Rig(Image image) : EditorRig(std::move(image)) {}

    QString edit() { return find<QLineEdit>("eBlockTime")->text(); }
    QScrollBar* slider() { return find<QScrollBar>("sbBlockTime"); }
    int units() { return host.image()[img::BlockTime]; }

    // The block greyed, the switch open and no label: the blocking time is off on the diagram.
    void verifyOff() {
        QVERIFY(pictureShown("Block_dis"));
        QVERIFY(pictureShown("sw_block_open"));
        QVERIFY(!pictureShown("lBlock"));
    }
};

} // namespace

class BlockingTimeTest : public QObject {
    Q_OBJECT

private slots:
    void sliderStoresTheTime_data();
    void sliderStoresTheTime();
    void okAtZeroGreysTheBlock();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void closedSwitchClearsTheTime();
    void roundTrip();
};

void BlockingTimeTest::sliderStoresTheTime_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");
    QTest::newRow("the longest") << 255 << "00:21:15";
    QTest::newRow("one step") << 1 << "00:00:05";
    QTest::newRow("a minute") << 12 << "00:01:00";
}

// From the open switch: the editor opens at 0, the slider sets the time in steps of 5 seconds.
void BlockingTimeTest::sliderStoresTheTime() {
    QFETCH(int, position);
    QFETCH(QString, shown);
    Rig rig(blockImage(0));
    rig.verifyOff();

    rig.click("sw_block_open");
    QVERIFY(rig.shown("pBlockTime"));
    QCOMPARE(rig.find("pBlockTime")->geometry(), QRect(29, 27, 302, 116));
    QVERIFY(rig.host.formDisabled());
    QVERIFY(!rig.pictureShown("Block_dis"));
    QVERIFY(!rig.pictureShown("sw_block_open"));
    QVERIFY(rig.pictureShown("SW_block_close"));
    QVERIFY(rig.pictureShown("iTBlock_en"));
    QCOMPARE(rig.edit(), QStringLiteral("0"));
    QVERIFY(!rig.shown("pBTSlider"));

    rig.click("eBlockTime");
    QVERIFY(rig.shown("pBTSlider"));
    QCOMPARE(rig.slider()->minimum(), 0);
    QCOMPARE(rig.slider()->maximum(), 255);
    QCOMPARE(rig.slider()->value(), 0);
    rig.slider()->setValue(position);
    QCOMPARE(rig.edit(), shown);
    rig.click("bTBlockOK");

    QCOMPARE(rig.units(), position);
    QVERIFY(!rig.shown("pBlockTime"));
    QVERIFY(!rig.host.formDisabled());
    QVERIFY(rig.pictureShown("lBlock"));
    QCOMPARE(static_cast<QLabel*>(rig.find("lBlock"))->text(), shown);
    QVERIFY(!rig.pictureShown("Block_dis"));

    // The block and its label open the editor on the stored time, the slider where it was left.
    rig.click("lBlock");
    QCOMPARE(rig.edit(), shown);
    QVERIFY(!rig.shown("pBTSlider"));
    rig.click("eBlockTime");
    QCOMPARE(rig.slider()->value(), position);
}

void BlockingTimeTest::okAtZeroGreysTheBlock() {
    const Image image = blockImage(12);
    Rig rig(image);
    rig.click("iTBlock_en");
    QCOMPARE(rig.edit(), QStringLiteral("00:01:00"));
    rig.click("eBlockTime");
    QCOMPARE(rig.slider()->value(), 12);
    rig.slider()->setValue(0);
    QCOMPARE(rig.edit(), QStringLiteral("0"));
    rig.click("bTBlockOK");

    QCOMPARE(rig.host.image(), blockImage(0));
    rig.verifyOff();
    QVERIFY(!rig.host.formDisabled());
    // Greyed, the block takes no click.
    rig.click("Block_dis");
    QVERIFY(!rig.shown("pBlockTime"));
}

void BlockingTimeTest::cancelWritesNothing_data() {
    QTest::addColumn<int>("units");
    QTest::newRow("opened by the switch, no time") << 0;
    QTest::newRow("opened by the block") << 36;
}

// Cancel writes nothing; a switch closed only to open the editor opens again.
void BlockingTimeTest::cancelWritesNothing() {
    QFETCH(int, units);
    const Image image = blockImage(units);
    Rig rig(image);
    const bool on = units != 0;
    rig.click(on ? "iTBlock_en" : "sw_block_open");
    rig.click("eBlockTime");
    rig.slider()->setValue(200);
    rig.click("bTBlockCancel");

    QCOMPARE(rig.host.image(), image);
    QVERIFY(!rig.shown("pBlockTime"));
    QVERIFY(!rig.host.formDisabled());
    if (on) {
        QVERIFY(!rig.pictureShown("Block_dis"));
        QVERIFY(!rig.pictureShown("sw_block_open"));
        QCOMPARE(static_cast<QLabel*>(rig.find("lBlock"))->text(), QStringLiteral("00:03:00"));
    } else {
        rig.verifyOff();
    }
    rig.click(on ? "iTBlock_en" : "sw_block_open");
    QVERIFY(!rig.shown("pBTSlider"));
    QCOMPARE(rig.edit(), on ? QStringLiteral("00:03:00") : QStringLiteral("0"));
}

// The closed switch clears the time at once; the earlier time is not remembered.
void BlockingTimeTest::closedSwitchClearsTheTime() {
    Rig rig(blockImage(60));
    QVERIFY(rig.pictureShown("lBlock"));
    rig.click("SW_block_close");
    QCOMPARE(rig.host.image(), blockImage(0));
    rig.verifyOff();
    QVERIFY(!rig.host.formDisabled());

    rig.click("sw_block_open");
    QCOMPARE(rig.edit(), QStringLiteral("0"));
    rig.click("bTBlockOK");
    rig.verifyOff();
    QCOMPARE(rig.host.image(), blockImage(0));
}

void BlockingTimeTest::roundTrip() {
    WindowRun run;
    run.startDemo();
    QTest::mouseClick(run.find("sw_block_open"), Qt::LeftButton);
    QTest::mouseClick(run.find("eBlockTime"), Qt::LeftButton);
    run.find<QScrollBar>("sbBlockTime")->setValue(37);
    run.click("bTBlockOK");
    QCOMPARE(run.find<QLabel>("lBlock")->text(), QStringLiteral("00:03:05"));

    const RoundTrip trip = RoundTrip::of(run);
    QVERIFY(trip.saved);
    QCOMPARE(run.window->image()[img::BlockTime], std::uint8_t(37));
    QCOMPARE(trip.item("blockingTime", "blockingTime"), QStringLiteral("00:03:05"));
    QVERIFY(trip.reportPrints("00:03:05"));
}

LUMEQ_GUI_TEST(BlockingTimeTest)
#include "blockingtime_test.moc"
