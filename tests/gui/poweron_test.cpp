// The power-on editor pStartupDelay with its value slider, "Random" and DPC/DOO, the three Power On labels
// of the diagram, and the help panels of the power-on, blocking-time and curve-chooser panels. Widgets are
// found by their control names; clicks go through the window system.

#include "editorrig.h"
#include "guitest.h"
#include "roundtrip.h"
#include "windowrun.h"

#include "diagram/blockdiagram.h"
#include "editors/dimmingcurvepanel.h"
#include "model/image.h"
#include "model/layout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using lumeq::BlockDiagram;
using lumeq::Image;
namespace img = lumeq::img;

namespace {

const QColor kTeal(0, 128, 128);

// A default image (random delay, DPC/DOO off) with the power-on bytes and byte 68 given.
Image powerOnImage(int level, int delay, int fade, int options = 0x01, int minLevel = 0) {
    Image image = lumeq::defaultImage();
    image[img::PowerOnLevel] = static_cast<std::uint8_t>(level);
    image[img::PowerOnDelay] = static_cast<std::uint8_t>(delay);
    image[img::PowerOnFade] = static_cast<std::uint8_t>(fade);
    image[img::Options] = static_cast<std::uint8_t>(options);
    image[img::MinLevel] = static_cast<std::uint8_t>(minLevel);
    return image;
}

// The editor's window with the user's clicks.
class Rig : public EditorRig {
public:
    explicit Rig(Image image = lumeq::defaultImage()) : EditorRig(std::move(image)) {}

    QString text(const char* name) {
        if (auto* edit = qobject_cast<QLineEdit*>(find(name)))
            return edit->text();
        return find<QLabel>(name)->text();
    }
    QCheckBox* box(const char* name) { return find<QCheckBox>(name); }
    int byte(std::size_t offset) { return host.image()[offset]; }
    QColor textColour(const char* name) {
        return find<QLineEdit>(name)->palette().color(QPalette::Active, QPalette::Text);
    }
    // A user's choice in the range selector: select, then activated().
    void chooseRange(int index) {
        auto* selector = find<QComboBox>("combRange");
        selector->setCurrentIndex(index);
        emit selector->activated(index);
    }
    QStringList labels() { return {text("lPO_Level"), text("lPO_Delay"), text("lPO_Fade")}; }
};

} // namespace

class PowerOnTest : public QObject {
    Q_OBJECT

private slots:
    void opensFromTheImage_data();
    void opensFromTheImage();
    void untickingRandom();
    void tickingRandomHidesTheSlider();
    void dpcNeedsADelay_data();
    void dpcNeedsADelay();
    void storedWithoutLoss_data();
    void storedWithoutLoss();
    void levelSlider_data();
    void levelSlider();
    void okWithRandom();
    void cancelLeavesTheImage_data();
    void cancelLeavesTheImage();
    void redrawTicksRandom();
    void ignoredWhileFormDisabled();
    void helpPanels_data();
    void helpPanels();
    void roundTrip();
};

void PowerOnTest::opensFromTheImage_data() {
    QTest::addColumn<QString>("opener");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("options");
    QTest::addColumn<QString>("delayText");
    QTest::addColumn<bool>("random");
    QTest::addColumn<bool>("dpcEnabled");
    QTest::addColumn<bool>("dpcChecked");
    QTest::newRow("random, DPC off, block") << "iTDpc_en" << 0xFF << 0x01 << "Random" << true << true << false;
    QTest::newRow("random, DPC on, delay label") << "lPO_Delay" << 0xFF << 0x03 << "Random" << true << true << true;
    QTest::newRow("90 minutes, DPC on, fade label")
        << "lPO_Fade" << 0xC6 << 0x02 << "01:30:00" << false << true << true;
    QTest::newRow("10 s of the tens scale, level label")
        << "lPO_Level" << 0x41 << 0x00 << "00:00:10" << false << true << false;
    QTest::newRow("no delay, DPC bit set") << "iTDpc_en" << 0x00 << 0x02 << "0" << false << false << false;
}

void PowerOnTest::opensFromTheImage() {
    QFETCH(QString, opener);
    QFETCH(int, delay);
    QFETCH(int, options);
    QFETCH(QString, delayText);
    QFETCH(bool, random);
    QFETCH(bool, dpcEnabled);
    QFETCH(bool, dpcChecked);
    const Image image = powerOnImage(70, delay, 0x4A, options);
    Rig rig(image);

    rig.click(qPrintable(opener));
    QVERIFY(rig.shown("pStartupDelay"));
    QCOMPARE(rig.find("pStartupDelay")->geometry(), QRect(29, 149, 418, 161));
    QVERIFY(rig.host.formDisabled());
    QCOMPARE(rig.text("ePOLevel"), QStringLiteral("70"));
    QCOMPARE(rig.text("ePORelayDelay"), delayText);
    QCOMPARE(rig.find("ePORelayDelay")->isEnabled(), !random);
    QCOMPARE(rig.text("ePOFade"), QStringLiteral("00,100"));
    QCOMPARE(rig.box("cbRandom")->isChecked(), random);
    QCOMPARE(rig.box("cbEnableDPC")->isEnabled(), dpcEnabled);
    QCOMPARE(rig.box("cbEnableDPC")->isChecked(), dpcChecked);
    QVERIFY(!rig.shown("pPOSlider"));
    QVERIFY(!rig.shown("pHelpPowerOn"));
    QCOMPARE(rig.host.image(), image);
}

// "Random" unticked writes a delay of 0 at once; DPC/DOO then waits for a delay on the slider.
void PowerOnTest::untickingRandom() {
    Rig rig(powerOnImage(100, 0xFF, 0x00, 0x03));
    rig.click("iTDpc_en");
    QVERIFY(rig.box("cbEnableDPC")->isChecked());

    rig.click("cbRandom");
    QVERIFY(!rig.box("cbRandom")->isChecked());
    QCOMPARE(rig.byte(img::PowerOnDelay), 0);
    QCOMPARE(rig.text("ePORelayDelay"), QStringLiteral("0"));
    QVERIFY(rig.find("ePORelayDelay")->isEnabled());
    QVERIFY(!rig.box("cbEnableDPC")->isEnabled());
    QVERIFY(rig.box("cbEnableDPC")->isChecked()); // its tick stays until the delay is moved

    rig.click("ePORelayDelay");
    QVERIFY(rig.shown("pPOSlider"));
    QVERIFY(rig.shown("combRange"));
    auto* selector = rig.find<QComboBox>("combRange");
    QCOMPARE(selector->count(), 4);
    QCOMPARE(selector->itemText(0), QStringLiteral("-> 00:01:00"));
    QCOMPARE(selector->itemText(3), QStringLiteral("-> 15:00:00"));
    QCOMPARE(rig.textColour("ePORelayDelay"), kTeal);
    auto* slider = rig.find<QScrollBar>("sbPU");

    slider->setValue(5);
    QCOMPARE(rig.text("ePORelayDelay"), QStringLiteral("00:00:05"));
    QVERIFY(rig.box("cbEnableDPC")->isEnabled());
    QVERIFY(rig.box("cbEnableDPC")->isChecked());

    slider->setValue(0);
    QCOMPARE(rig.text("ePORelayDelay"), QStringLiteral("0"));
    QVERIFY(!rig.box("cbEnableDPC")->isEnabled());
    QVERIFY(!rig.box("cbEnableDPC")->isChecked());

    slider->setValue(12);
    QVERIFY(rig.box("cbEnableDPC")->isEnabled());
    QVERIFY(!rig.box("cbEnableDPC")->isChecked());
    rig.click("cbEnableDPC");
    rig.click("bDPC_OK");
    QCOMPARE(rig.byte(img::PowerOnDelay), 12);
    QCOMPARE(rig.byte(img::Options), 0x03);
    QCOMPARE(rig.text("lPO_Delay"), QStringLiteral("D=00:00:12"));
}

void PowerOnTest::dpcNeedsADelay_data() {
    QTest::addColumn<int>("randomClicks");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("options");
    QTest::newRow("Random unticked: no delay, no DPC/DOO") << 1 << 0x00 << 0x01;
    QTest::newRow("Random unticked and ticked again") << 2 << 0xFF << 0x03;
}

// The disabled DPC/DOO box keeps its tick when "Random" is unticked; OK stores DPC/DOO only with a delay.
void PowerOnTest::dpcNeedsADelay() {
    QFETCH(int, randomClicks);
    QFETCH(int, delay);
    QFETCH(int, options);
    Rig rig(powerOnImage(100, 0xFF, 0x00, 0x03));
    rig.click("iTDpc_en");
    for (int i = 0; i < randomClicks; ++i)
        rig.click("cbRandom");
    QVERIFY(rig.box("cbEnableDPC")->isChecked());
    rig.click("bDPC_OK");
    QCOMPARE(rig.byte(img::PowerOnDelay), delay);
    QCOMPARE(rig.byte(img::Options), options);
}

void PowerOnTest::tickingRandomHidesTheSlider() {
    Rig rig(powerOnImage(100, 0x1E, 0x00, 0x01));
    rig.click("iTDpc_en");
    rig.click("ePORelayDelay");
    QVERIFY(rig.shown("pPOSlider"));

    rig.click("cbRandom");
    QCOMPARE(rig.byte(img::PowerOnDelay), 0xFF);
    QCOMPARE(rig.text("ePORelayDelay"), QStringLiteral("Random"));
    QVERIFY(!rig.find("ePORelayDelay")->isEnabled());
    QVERIFY(!rig.shown("pPOSlider"));
    QVERIFY(rig.box("cbEnableDPC")->isEnabled());
    // The disabled edit takes no click.
    rig.click("ePORelayDelay");
    QVERIFY(!rig.shown("pPOSlider"));
}

void PowerOnTest::storedWithoutLoss_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("code");
    QTest::newRow("delay 45 s") << "ePORelayDelay" << 0 << 45 << "00:00:45" << 0x2D;
    QTest::newRow("delay 7 min") << "ePORelayDelay" << 1 << 42 << "00:07:00" << 0x6A;
    QTest::newRow("delay 50 min") << "ePORelayDelay" << 2 << 50 << "00:50:00" << 0xB2;
    QTest::newRow("delay 15 h, the longest") << "ePORelayDelay" << 3 << 60 << "15:00:00" << 0xFC;
    QTest::newRow("fade 60 ms") << "ePOFade" << 0 << 60 << "00,060" << 0x3C;
    QTest::newRow("fade 250 ms") << "ePOFade" << 1 << 25 << "00,250" << 0x59;
    QTest::newRow("fade 1.2 s") << "ePOFade" << 2 << 20 << "01,200" << 0x94;
    QTest::newRow("fade 54 s") << "ePOFade" << 3 << 60 << "54,000" << 0xFC;
}

void PowerOnTest::storedWithoutLoss() {
    QFETCH(QString, edit);
    QFETCH(int, range);
    QFETCH(int, position);
    QFETCH(QString, shown);
    QFETCH(int, code);
    const bool delay = edit == QStringLiteral("ePORelayDelay");
    Rig rig(powerOnImage(100, 0x00, 0x00));
    rig.click("iTDpc_en");
    rig.click(qPrintable(edit));
    rig.chooseRange(range);
    rig.find<QScrollBar>("sbPU")->setValue(position);
    QCOMPARE(rig.text(qPrintable(edit)), shown);
    rig.click("bDPC_OK");

    QVERIFY(!rig.shown("pStartupDelay"));
    QVERIFY(!rig.host.formDisabled());
    QCOMPARE(rig.byte(delay ? img::PowerOnDelay : img::PowerOnFade), code);
    QCOMPARE(rig.byte(delay ? img::PowerOnFade : img::PowerOnDelay), 0);
    QCOMPARE(rig.text(delay ? "lPO_Delay" : "lPO_Fade"), (delay ? "D=" : "F=") + shown);
    QCOMPARE(rig.textColour(qPrintable(edit)), rig.textColour("ePOLevel"));

    // Opened again, the editor shows what was chosen.
    rig.click("iTDpc_en");
    QCOMPARE(rig.text(qPrintable(edit)), shown);
}

void PowerOnTest::levelSlider_data() {
    QTest::addColumn<int>("minLevel");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("moveTo"); // -1: left where it opened
    QTest::addColumn<int>("level");
    QTest::newRow("a level under the minimum is raised") << 30 << 20 << -1 << 30;
    QTest::newRow("the slider stops at the minimum") << 30 << 60 << 0 << 30;
    QTest::newRow("moved to 100") << 0 << 70 << 100 << 100;
    QTest::newRow("left alone") << 10 << 45 << -1 << 45;
}

void PowerOnTest::levelSlider() {
    QFETCH(int, minLevel);
    QFETCH(int, stored);
    QFETCH(int, moveTo);
    QFETCH(int, level);
    Rig rig(powerOnImage(stored, 0xFF, 0x00, 0x01, minLevel));
    rig.click("lPO_Level");
    rig.click("ePOLevel");
    auto* slider = rig.find<QScrollBar>("sbPU");
    QVERIFY(rig.shown("pPOSlider"));
    QVERIFY(!rig.shown("combRange"));
    QCOMPARE(slider->minimum(), minLevel);
    QCOMPARE(slider->maximum(), 100);
    QCOMPARE(slider->value(), std::max(stored, minLevel));
    QCOMPARE(rig.text("ePOLevel"), QString::number(std::max(stored, minLevel)));
    if (moveTo >= 0)
        slider->setValue(moveTo);
    rig.click("bDPC_OK");
    QCOMPARE(rig.byte(img::PowerOnLevel), level);
    QCOMPARE(rig.text("lPO_Level"), QStringLiteral("L=%1%").arg(level));
    // Random stays random.
    QCOMPARE(rig.byte(img::PowerOnDelay), 0xFF);
}

void PowerOnTest::okWithRandom() {
    const Image image = powerOnImage(80, 0x1E, 0x4A, 0x01);
    Rig rig(image);
    rig.click("iTDpc_en");
    rig.click("cbRandom");
    rig.click("cbEnableDPC");
    rig.click("bDPC_OK");
    Image expected = image;
    expected[img::PowerOnDelay] = 0xFF;
    expected[img::Options] = 0x03;
    QCOMPARE(rig.host.image(), expected);
    QCOMPARE(rig.labels(), (QStringList{"L=80%", "D=Random", "F=00,100"}));
}

void PowerOnTest::cancelLeavesTheImage_data() {
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("options");
    QTest::newRow("Random unticked") << 0xFF << 0x03;
    QTest::newRow("Random ticked on a coarse code") << 0x41 << 0x01;
    QTest::newRow("Random ticked, then unticked") << 0x1E << 0x03;
}

// "Random" writes the delay byte while the panel is open; Cancel puts every power-on byte back.
void PowerOnTest::cancelLeavesTheImage() {
    QFETCH(int, delay);
    QFETCH(int, options);
    const Image image = powerOnImage(60, delay, 0x4A, options);
    Rig rig(image);
    const QStringList labels = rig.labels();

    rig.click("iTDpc_en");
    rig.click("cbRandom");
    if (delay == 0x1E)
        rig.click("cbRandom");
    QVERIFY(rig.host.image() != image);
    rig.click("ePOLevel");
    rig.find<QScrollBar>("sbPU")->setValue(90);
    rig.click("ePOFade");
    rig.find<QScrollBar>("sbPU")->setValue(33);
    rig.click("bDPC_Cancel");

    QCOMPARE(rig.host.image(), image);
    QCOMPARE(rig.labels(), labels);
    QVERIFY(!rig.shown("pStartupDelay"));
    QVERIFY(!rig.host.formDisabled());
    for (const char* edit : {"ePOLevel", "ePORelayDelay", "ePOFade"})
        QCOMPARE(rig.textColour(edit), rig.textColour("ePOLevel"));
    QVERIFY(rig.textColour("ePOLevel") != kTeal);
}

// The diagram's redraw ticks "Random" for a random delay, with its effects on the panel.
void PowerOnTest::redrawTicksRandom() {
    Rig rig(powerOnImage(100, 0x1E, 0x00));
    rig.click("iTDpc_en");
    QVERIFY(!rig.box("cbRandom")->isChecked());
    rig.click("bDPC_Cancel");

    const Image random = powerOnImage(100, 0xFF, 0x00);
    rig.host.load(random);
    QVERIFY(rig.box("cbRandom")->isChecked());
    QCOMPARE(rig.text("ePORelayDelay"), QStringLiteral("Random"));
    QVERIFY(!rig.find("ePORelayDelay")->isEnabled());
    QVERIFY(rig.box("cbEnableDPC")->isEnabled());
    QCOMPARE(rig.host.image(), random);
    QCOMPARE(rig.text("lPO_Delay"), QStringLiteral("D=Random"));
}

void PowerOnTest::ignoredWhileFormDisabled() {
    Rig rig;
    rig.host.setFormDisabled(true);
    for (const char* opener : {"iTDpc_en", "lPO_Delay", "lPO_Fade", "lPO_Level"}) {
        rig.click(opener);
        QVERIFY2(!rig.shown("pStartupDelay"), opener);
    }
    QCOMPARE(rig.host.image(), lumeq::defaultImage());
}

void PowerOnTest::helpPanels_data() {
    QTest::addColumn<QString>("opener"); // opens the editor
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("help");
    QTest::addColumn<QString>("closer"); // clicked to close the help
    QTest::addColumn<QSize>("size");     // of the editor
    QTest::addColumn<QSize>("helpSize"); // of the editor while the help shows
    QTest::newRow("power on") << "iTDpc_en"
                              << "pStartupDelay"
                              << "bHelpPowerOn"
                              << "pHelpPowerOn"
                              << "Image4" << QSize(418, 161) << QSize(474, 212);
    QTest::newRow("blocking time") << "sw_block_open"
                                   << "pBlockTime"
                                   << "SpeedButton2"
                                   << "pHelpBlock"
                                   << "Image6" << QSize(302, 116) << QSize(474, 212);
    QTest::newRow("curve chooser, its picture") << "cbDC"
                                                << "pDimmingCurve"
                                                << "bDcHelp"
                                                << "pDcHelp"
                                                << "Image1" << QSize(1039, 623) << QSize(1039, 623);
    QTest::newRow("curve chooser, the panel") << "cbDC"
                                              << "pDimmingCurve"
                                              << "bDcHelp"
                                              << "pDcHelp"
                                              << "pDcHelp" << QSize(1039, 623) << QSize(1039, 623);
}

// A help panel opens over its editor and closes on a click, as often as asked; neither touches the image
// nor the interlock, and the editor stays open at its own size.
void PowerOnTest::helpPanels() {
    QFETCH(QString, opener);
    QFETCH(QString, editor);
    QFETCH(QString, button);
    QFETCH(QString, help);
    QFETCH(QString, closer);
    QFETCH(QSize, size);
    QFETCH(QSize, helpSize);
    QTemporaryDir dir;
    Rig rig;
    if (opener == QStringLiteral("cbDC")) {
        // The chooser opens from the output editor once a curve file is there.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("DimmingCurve")));
        QFile curve(dir.path() + QStringLiteral("/DimmingCurve/identity.dc"));
        QVERIFY(curve.open(QIODevice::WriteOnly));
        for (int i = 0; i <= 100; ++i)
            curve.write(QByteArray::number(i) + '\n');
        curve.close();
        rig.host.setProgramDir(dir.path() + QLatin1Char('/'));
        rig.host.editors().find<lumeq::DimmingCurvePanel>()->startUp();
        rig.click("iTen");
    }
    rig.click(qPrintable(opener));
    QVERIFY(rig.shown(qPrintable(editor)));
    QWidget* panel = rig.find(qPrintable(editor));
    const QPoint place = panel->pos();
    QCOMPARE(panel->size(), size);
    QVERIFY(!rig.shown(qPrintable(help)));
    const Image image = rig.host.image();
    const bool locked = rig.host.formDisabled();

    for (int round = 0; round < 2; ++round) {
        rig.click(qPrintable(button));
        rig.click(qPrintable(button)); // twice in a row
        QVERIFY(rig.shown(qPrintable(help)));
        QCOMPARE(panel->size(), helpSize);
        QCOMPARE(panel->pos(), place);
        QWidget* helpPanel = rig.find(qPrintable(help));
        QVERIFY(helpPanel->geometry().right() < panel->width() && helpPanel->geometry().bottom() < panel->height());
        if (qEnvironmentVariableIsSet("LUMEQ_GRAB_DIR") && round == 0)
            QVERIFY(panel->grab().save(QStringLiteral("%1/%2.png").arg(qEnvironmentVariable("LUMEQ_GRAB_DIR"), help)));

        // A click on the panel's rim or on the picture.
        QWidget* target = rig.find(qPrintable(closer));
        rig.click(target, target == helpPanel ? QPoint(2, 2) : QPoint());
        QVERIFY(!rig.shown(qPrintable(help)));
        QVERIFY(rig.shown(qPrintable(editor)));
        QCOMPARE(panel->size(), size);
        QCOMPARE(rig.host.image(), image);
        QCOMPARE(rig.host.formDisabled(), locked);
    }
}

// OK through the real window: the diagram, a saved file, lumeq-cli show and the report agree.
void PowerOnTest::roundTrip() {
    WindowRun run;
    run.startDemo();
    QTest::mouseClick(run.find("iTDpc_en"), Qt::LeftButton);
    QTest::mouseClick(run.find("ePOLevel"), Qt::LeftButton);
    run.find<QScrollBar>("sbPU")->setValue(70);
    auto* random = run.find<QCheckBox>("cbRandom");
    QTest::mouseClick(random, Qt::LeftButton, {}, QPoint(8, random->height() / 2));
    QTest::mouseClick(run.find("ePORelayDelay"), Qt::LeftButton);
    run.find<QScrollBar>("sbPU")->setValue(30);
    auto* dpc = run.find<QCheckBox>("cbEnableDPC");
    QTest::mouseClick(dpc, Qt::LeftButton, {}, QPoint(8, dpc->height() / 2));
    QTest::mouseClick(run.find("ePOFade"), Qt::LeftButton);
    auto* selector = run.find<QComboBox>("combRange");
    selector->setCurrentIndex(1);
    emit selector->activated(1);
    run.find<QScrollBar>("sbPU")->setValue(25);
    run.click("bDPC_OK");
    QCOMPARE(run.find<QLabel>("lPO_Level")->text(), QStringLiteral("L=70%"));
    QCOMPARE(run.find<QLabel>("lPO_Delay")->text(), QStringLiteral("D=00:00:30"));
    QCOMPARE(run.find<QLabel>("lPO_Fade")->text(), QStringLiteral("F=00,250"));

    const RoundTrip trip = RoundTrip::of(run);
    QVERIFY(trip.saved);
    QCOMPARE(trip.item("powerOn", "level"), QStringLiteral("70 %"));
    QCOMPARE(trip.item("powerOn", "delay"), QStringLiteral("00:00:30"));
    QCOMPARE(trip.item("powerOn", "fade"), QStringLiteral("00,250 s/%"));
    QCOMPARE(trip.item("powerOn", "dpcDoo"), QStringLiteral("ON"));
    QVERIFY(trip.reportPrints("Delay= 00:00:30"));
    QVERIFY(trip.reportPrints("Fade= 00,250 s/%"));
    QVERIFY(trip.reportPrints("Level= 70 %"));
}

LUMEQ_GUI_TEST(PowerOnTest)
#include "poweron_test.moc"
