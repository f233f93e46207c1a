// The relay editor pRelay: zero-cross switching in bit 0 of byte 88. Widgets are found by their control
// names; clicks go through the window system.

#include "editorrig.h"
#include "guitest.h"
#include "roundtrip.h"
#include "windowrun.h"

#include "model/image.h"
#include "model/layout.h"

#include <QCheckBox>
#include <QTest>

using lumeq::Image;
namespace img = lumeq::img;

namespace {

Image relayImage(int relayByte) {
    Image image = lumeq::defaultImage();
    image[img::Relay] = static_cast<std::uint8_t>(relayByte);
    return image;
}

class Rig : public EditorRig {
public:
    explicit Rig(Image image) : EditorRig(std::move(image)) {}

    bool ticked() { return find<QCheckBox>("cbZCSwitch")->isChecked(); }
};

} // namespace

class RelayTest : public QObject {
    Q_OBJECT

private slots:
    void panel();
    void confirm_data();
    void confirm();
    void cancelWritesNothing();
    void lockedWhileAnotherEditorIsOpen();
    void roundTrip();
};

void RelayTest::panel() {
    Rig rig(relayImage(0x01));
    QCOMPARE(rig.find("pRelay")->geometry(), QRect(721, 450, 274, 106));
    QCOMPARE(rig.find<QCheckBox>("cbZCSwitch")->text(), QStringLiteral("Zero-Cross Switch"));
    QVERIFY(!rig.shown("pRelay"));
    rig.click("iRelay");
    QVERIFY(rig.shown("pRelay"));
    QVERIFY(rig.host.formDisabled());
    for (const char* name : {"cbZCSwitch", "bRelay_OK", "bRelay_Cancel"})
        QVERIFY2(rig.shown(name), name);
}

void RelayTest::confirm_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("ticked"); // as the panel opens
    QTest::addColumn<bool>("toggle");
    QTest::addColumn<int>("result");
    QTest::newRow("on, unchanged") << 0x01 << true << false << 0x01;
    QTest::newRow("off, unchanged") << 0x00 << false << false << 0x00;
    QTest::newRow("other bits, unchanged") << 0xA4 << false << false << 0xA4;
    QTest::newRow("ticked, other bits kept") << 0xFE << false << true << 0xFF;
    QTest::newRow("unticked, other bits kept") << 0xFF << true << true << 0xFE;
    QTest::newRow("unticked, no other bits") << 0x01 << true << true << 0x00;
}

void RelayTest::confirm() {
    QFETCH(int, stored);
    QFETCH(bool, ticked);
    QFETCH(bool, toggle);
    QFETCH(int, result);
    const Image image = relayImage(stored);
    Rig rig(image);
    rig.click("iRelay");
    QCOMPARE(rig.ticked(), ticked);
    if (toggle)
        rig.click("cbZCSwitch");
    rig.click("bRelay_OK");

    Image expected = image;
    expected[img::Relay] = static_cast<std::uint8_t>(result);
    QCOMPARE(rig.host.image(), expected);
    QVERIFY(!rig.shown("pRelay"));
    QVERIFY(!rig.host.formDisabled());
}

void RelayTest::cancelWritesNothing() {
    const Image image = relayImage(0x81);
    Rig rig(image);
    rig.click("iRelay");
    rig.click("cbZCSwitch");
    QVERIFY(!rig.ticked());
    rig.click("bRelay_Cancel");
    QCOMPARE(rig.host.image(), image);
    QVERIFY(!rig.shown("pRelay"));
    QVERIFY(!rig.host.formDisabled());

    // The next opening shows the image, not what was left on the panel.
    rig.click("iRelay");
    QVERIFY(rig.ticked());
}

void RelayTest::lockedWhileAnotherEditorIsOpen() {
    const Image image = relayImage(0x00);
    Rig rig(image);
    rig.host.setFormDisabled(true);
    rig.click("iRelay");
    QVERIFY(!rig.shown("pRelay"));
    QCOMPARE(rig.host.image(), image);
}

void RelayTest::roundTrip() {
    WindowRun run;
    run.startDemo();
    QTest::mouseClick(run.find("iRelay"), Qt::LeftButton);
    auto* box = run.find<QCheckBox>("cbZCSwitch");
    QVERIFY(box->isChecked()); // the default image switches at zero crossings
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    run.click("bRelay_OK");

    const RoundTrip trip = RoundTrip::of(run);
    QVERIFY(trip.saved);
    QCOMPARE(run.window->image()[img::Relay], std::uint8_t(0x00));
    QCOMPARE(trip.item("relay", "zeroCross"), QStringLiteral("OFF"));
    QVERIFY(trip.reportPrints("Relay zero-cross switching: OFF"));
}

LUMEQ_GUI_TEST(RelayTest)
#include "relay_test.moc"
