// The remote-control editor pRemote and the input selector of the diagram (rc_off, rc_main, rc_lst): the
// selector cycle, the modes the panel offers per input, OK and Cancel, and Remote DIM taking the control
// input and the astro clock over. Widgets are found by their control names; clicks go through the window
// system.

#include "editorrig.h"
#include "guitest.h"
#include "roundtrip.h"
#include "windowrun.h"

#include "diagram/blockdiagram.h"
#include "model/image.h"
#include "model/layout.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

using lumeq::Image;
namespace img = lumeq::img;

namespace {

constexpr int kAstroOn = 0x04;
constexpr int kLstOn = 0x08;
constexpr int kRemoteMains = 0x20;
constexpr int kRemoteLst = 0x40;
constexpr int kInputBits = kRemoteMains | kRemoteLst;

// The default image (control input and astro clock on, each engine with steps) with the remote bits of
// byte 0 and byte 68 given.
Image remoteImage(int input, int options) {
    Image image = lumeq::defaultImage();
    image[img::Flags] = static_cast<std::uint8_t>((image[img::Flags] & ~kInputBits) | input);
    image[img::Options] = static_cast<std::uint8_t>(options);
    return image;
}

class Rig : public EditorRig {
public:
    explicit Rig(Image image) : EditorRig(std::move(image)) {}

    QRadioButton* radio(const char* name) { return find<QRadioButton>(name); }
    QString caption() { return find<QGroupBox>("gbRemote")->title(); }
    // The label's text, or an empty text while it is hidden.
    QString label() {
        auto* shownLabel = find<QLabel>("lRemote");
        return shownLabel->isHidden() ? QString() : shownLabel->text();
    }
    int flags() { return host.image()[img::Flags]; }
    int options() { return host.image()[img::Options]; }
    bool remoteDim() { return host.diagram().remoteDimActive(); }
    // Opens the panel from the block unless the redraw has opened it already.
    void open() {
        if (!shown("pRemote"))
            click("iRemote_en");
        QVERIFY(shown("pRemote"));
        QVERIFY(host.formDisabled());
    }
    // Exactly one selector picture shows: the one named.
    void verifySelector(const char* position) {
        for (const char* each : {"rc_off", "rc_main", "rc_lst"})
            QVERIFY2(pictureShown(each) == (qstrcmp(each, position) == 0), each);
        QCOMPARE(pictureShown("rem_dis"), qstrcmp(position, "rc_off") == 0);
    }
};

} // namespace

class RemoteTest : public QObject {
    Q_OBJECT

private slots:
    void panel();
    void selectorCycle();
    void openingShowsTheMode_data();
    void openingShowsTheMode();
    void confirm_data();
    void confirm();
    void remoteDimTakesInputAndAstro();
    void labelAgreesWithThePanel();
    void roundTrip();
    void roundTripRemoteDim();
};

void RemoteTest::panel() {
    Rig rig(remoteImage(kRemoteMains, 0x10));
    QCOMPARE(rig.find("pRemote")->geometry(), QRect(672, 254, 287, 144));
    QCOMPARE(rig.caption(), QStringLiteral("Remote Control"));
    QCOMPARE(rig.radio("rbMN")->text(), QStringLiteral("MidNight"));
    QVERIFY(!rig.shown("pRemote"));
    rig.open();
    for (const char* name : {"rbMN", "rbRemote", "bRC_OK", "bRemoteCancel"})
        QVERIFY2(rig.shown(name), name);
    // The two modes exclude each other.
    rig.click("rbRemote");
    QVERIFY(rig.radio("rbRemote")->isChecked());
    QVERIFY(!rig.radio("rbMN")->isChecked());
}

void RemoteTest::selectorCycle() {
    const Image image = remoteImage(0, 0x0F);
    Rig rig(image);
    rig.verifySelector("rc_off");
    QCOMPARE(rig.label(), QString());

    rig.click("rc_off");
    rig.verifySelector("rc_main");
    QCOMPARE(rig.caption(), QStringLiteral("Remote Control, Input=230V"));
    QCOMPARE(rig.host.image(), image); // the input is stored by OK
    QVERIFY(!rig.shown("pRemote"));

    rig.click("rc_main");
    rig.verifySelector("rc_lst");
    QCOMPARE(rig.caption(), QStringLiteral("Remote Control, Input=LST"));
    QCOMPARE(rig.host.image(), image);

    rig.click("rc_lst");
    rig.verifySelector("rc_off");
    QCOMPARE(rig.host.image(), image);

    // From a stored remote control on the LSt input, the step to OFF switches it off at once.
    Image dim = remoteImage(kRemoteLst, 0x2A);
    rig.host.load(dim);
    rig.click("bRemoteCancel"); // the redraw opened the editor
    QVERIFY(rig.remoteDim());
    QCOMPARE(rig.label(), QStringLiteral("Remote DIM"));
    rig.click("rc_lst");
    rig.verifySelector("rc_off");
    QCOMPARE(rig.options(), 0x0A);
    QCOMPARE(rig.flags() & kInputBits, 0);
    QCOMPARE(rig.flags() & ~kInputBits, dim[img::Flags] & ~kInputBits);
    QVERIFY(!rig.remoteDim());
    QCOMPARE(rig.label(), QString());

    // Mains, then LSt: pictures only, the mains setting stays in the image.
    const Image mains = remoteImage(kRemoteMains, 0x35);
    rig.host.load(mains);
    QCOMPARE(rig.label(), QStringLiteral("MidNight Protect"));
    rig.click("rc_main");
    rig.verifySelector("rc_lst");
    QCOMPARE(rig.host.image(), mains);
    QCOMPARE(rig.label(), QString());
}

void RemoteTest::openingShowsTheMode_data() {
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("options");
    QTest::addColumn<bool>("midNight");
    QTest::addColumn<bool>("second");
    QTest::addColumn<QString>("secondCaption");
    QTest::addColumn<bool>("remoteDim");
    const QString protect = QStringLiteral("MidNight Protect");
    const QString dim = QStringLiteral("Remote DIM");
    QTest::newRow("mains, MidNight") << kRemoteMains << 0x11 << true << false << protect << false;
    QTest::newRow("mains, MidNight Protect") << kRemoteMains << 0x3E << false << true << protect << false;
    QTest::newRow("mains, nibble of the LSt input") << kRemoteMains << 0x20 << false << false << protect << false;
    QTest::newRow("mains, no mode") << kRemoteMains << 0x01 << false << false << protect << false;
    QTest::newRow("LSt, MidNight") << kRemoteLst << 0x1F << true << false << dim << false;
    QTest::newRow("LSt, Remote DIM") << kRemoteLst << 0x21 << false << true << dim << true;
    QTest::newRow("LSt, nibble of the mains input") << kRemoteLst << 0x31 << false << false << dim << false;
    QTest::newRow("LSt, unknown nibble") << kRemoteLst << 0x70 << false << false << dim << false;
}

void RemoteTest::openingShowsTheMode() {
    QFETCH(int, input);
    QFETCH(int, options);
    QFETCH(bool, midNight);
    QFETCH(bool, second);
    QFETCH(QString, secondCaption);
    QFETCH(bool, remoteDim);
    // The panel holds the opposite state from before: the opening must set both buttons.
    Rig rig(remoteImage(kRemoteMains, midNight ? 0x31 : 0x11));
    rig.open();
    rig.click("bRemoteCancel");

    const Image image = remoteImage(input, options);
    rig.host.load(image);
    if (input == kRemoteLst)
        QVERIFY(rig.shown("pRemote")); // an image on the LSt input opens the editor as it is shown
    rig.open();
    QCOMPARE(rig.radio("rbMN")->isChecked(), midNight);
    QCOMPARE(rig.radio("rbRemote")->isChecked(), second);
    QCOMPARE(rig.radio("rbRemote")->text(), secondCaption);
    QCOMPARE(rig.remoteDim(), remoteDim);
    QCOMPARE(rig.host.image(), image);
}

// What to click after the image is shown: selector pictures, then the panel's buttons.
using Clicks = QStringList;

void RemoteTest::confirm_data() {
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("options");
    QTest::addColumn<Clicks>("clicks");
    QTest::addColumn<int>("newInput");
    QTest::addColumn<int>("newOptions");
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("label");
    QTest::newRow("off to mains, MidNight Protect")
        << 0 << 0x0F << Clicks{"rc_off", "iRemote_en", "rbRemote", "bRC_OK"} << kRemoteMains << 0x3F << "rc_main"
        << "MidNight Protect";
    QTest::newRow("off to mains, MidNight")
        << 0 << 0x05 << Clicks{"rc_off", "iRemote_en", "rbMN", "bRC_OK"} << kRemoteMains << 0x15 << "rc_main"
        << "MidNight";
    QTest::newRow("mains to LSt, MidNight kept")
        << kRemoteMains << 0x1A << Clicks{"rc_main", "iRemote_en", "bRC_OK"} << kRemoteLst << 0x1A << "rc_lst"
        << "MidNight";
    QTest::newRow("mains, to MidNight") << kRemoteMains << 0x3A << Clicks{"lRemote", "rbMN", "bRC_OK"} << kRemoteMains
                                        << 0x1A << "rc_main"
                                        << "MidNight";
    QTest::newRow("LSt, MidNight") << kRemoteLst << 0x01 << Clicks{"rbMN", "bRC_OK"} << kRemoteLst << 0x11 << "rc_lst"
                                   << "MidNight";
    QTest::newRow("neither checked: OK switches off")
        << kRemoteMains << 0x05 << Clicks{"iRemote_en", "bRC_OK"} << 0 << 0x05 << "rc_off"
        << "";
    QTest::newRow("neither checked: Cancel switches off")
        << kRemoteMains << 0x2C << Clicks{"iRemote_en", "bRemoteCancel"} << 0 << 0x0C << "rc_off"
        << "";
    QTest::newRow("mismatched nibble on LSt, OK") << kRemoteLst << 0x37 << Clicks{"bRC_OK"} << 0 << 0x07 << "rc_off"
                                                  << "";
    QTest::newRow("Cancel with a mode writes nothing")
        << kRemoteMains << 0x3F << Clicks{"iRemote_en", "rbMN", "bRemoteCancel"} << kRemoteMains << 0x3F << "rc_main"
        << "MidNight Protect";
    QTest::newRow("off to mains, cancelled")
        << 0 << 0x03 << Clicks{"rc_off", "iRemote_en", "bRemoteCancel"} << 0 << 0x03 << "rc_off"
        << "";
}

void RemoteTest::confirm() {
    QFETCH(int, input);
    QFETCH(int, options);
    QFETCH(Clicks, clicks);
    QFETCH(int, newInput);
    QFETCH(int, newOptions);
    QFETCH(QString, selector);
    QFETCH(QString, label);
    const Image image = remoteImage(input, options);
    Rig rig(image);
    for (const QString& name : clicks)
        rig.click(qPrintable(name));

    QCOMPARE(rig.host.image(), remoteImage(newInput, newOptions));
    rig.verifySelector(qPrintable(selector));
    QCOMPARE(rig.label(), label);
    QVERIFY(!rig.remoteDim());
    QVERIFY(!rig.shown("pRemote"));
    QVERIFY(!rig.host.formDisabled());
}

void RemoteTest::remoteDimTakesInputAndAstro() {
    const Image image = remoteImage(kRemoteMains, 0x1B);
    Rig rig(image);
    rig.click("rc_main");
    rig.open();
    QCOMPARE(rig.radio("rbRemote")->text(), QStringLiteral("Remote DIM"));
    rig.click("rbRemote");
    rig.click("bRC_OK");

    // Remote DIM on the LSt input; the control input and the astro clock are off and greyed.
    QCOMPARE(rig.options(), 0x2B);
    QCOMPARE(rig.flags(), (image[img::Flags] & ~(kInputBits | kLstOn | kAstroOn)) | kRemoteLst);
    QVERIFY(rig.remoteDim());
    QCOMPARE(rig.label(), QStringLiteral("Remote DIM"));
    rig.verifySelector("rc_lst");
    for (const char* greyed : {"LST_dis", "sw_lst_open", "dm2_dis", "Astro_dis", "sw_astro_open", "dm1_dis"})
        QVERIFY2(rig.pictureShown(greyed), greyed);
    QVERIFY(!rig.host.formDisabled());

    // Their switches refuse to close meanwhile.
    const Image dim = rig.host.image();
    rig.click("sw_lst_open");
    rig.click("sw_astro_open");
    QCOMPARE(rig.host.image(), dim);
    QVERIFY(rig.pictureShown("LST_dis"));
    QVERIFY(rig.pictureShown("Astro_dis"));

    // Until the remote mode changes: MidNight on the same input frees them.
    rig.click("iRemote_en");
    QVERIFY(rig.radio("rbRemote")->isChecked());
    rig.click("rbMN");
    rig.click("bRC_OK");
    QVERIFY(!rig.remoteDim());
    QCOMPARE(rig.options(), 0x1B);
    rig.click("sw_lst_open");
    rig.click("sw_astro_open");
    QCOMPARE(rig.flags() & (kLstOn | kAstroOn), kLstOn | kAstroOn);
}

// The label on the block says what the panel would: "MidNight" while that is checked, else the caption of
// the second mode, for every mode nibble on both inputs.
void RemoteTest::labelAgreesWithThePanel() {
    Rig rig(remoteImage(0, 0));
    for (const int input : {kRemoteMains, kRemoteLst}) {
        for (int nibble = 0x00; nibble <= 0xF0; nibble += 0x10) {
            const QString row = QStringLiteral("input 0x%1, options 0x%2").arg(input, 0, 16).arg(nibble | 5, 0, 16);
            rig.host.load(remoteImage(input, nibble | 0x05));
            const QString expected =
                rig.radio("rbMN")->isChecked() ? QStringLiteral("MidNight") : rig.radio("rbRemote")->text();
            QVERIFY2(rig.label() == expected, qPrintable(row + ": " + rig.label() + " / " + expected));
            QVERIFY2(rig.find("lRemote")->width() >= 94, qPrintable(row));
            if (rig.shown("pRemote"))
                rig.click("bRemoteCancel");
        }
    }
}

void RemoteTest::roundTrip() {
    WindowRun run;
    run.startDemo();
    QTest::mouseClick(run.find("rc_off"), Qt::LeftButton);
    QTest::mouseClick(run.find("iRemote_en"), Qt::LeftButton);
    auto* protect = run.find<QRadioButton>("rbRemote");
    QCOMPARE(protect->text(), QStringLiteral("MidNight Protect"));
    QTest::mouseClick(protect, Qt::LeftButton, {}, QPoint(8, protect->height() / 2));
    run.click("bRC_OK");
    QCOMPARE(run.find<QLabel>("lRemote")->text(), QStringLiteral("MidNight Protect"));

    const RoundTrip trip = RoundTrip::of(run);
    QVERIFY(trip.saved);
    QCOMPARE(run.window->image()[img::Options] & 0xF0, 0x30);
    QCOMPARE(trip.item("remote", "input"), QStringLiteral("Mains"));
    QCOMPARE(trip.item("remote", "mode"), QStringLiteral("Midnight Protect"));
    QVERIFY(trip.reportPrints("Midnight Protect"));
    QVERIFY(trip.reportPrints("Input= Mains"));
}

// Remote DIM through the real window. The file it saves, loaded again, opens the editor on its image as it
// is shown, with the mode checked; OK there changes nothing.
void RemoteTest::roundTripRemoteDim() {
    WindowRun run;
    run.startDemo();
    const int flagsBefore = run.window->image()[img::Flags];
    QCOMPARE(flagsBefore & (kLstOn | kAstroOn), kLstOn | kAstroOn);
    QTest::mouseClick(run.find("rc_off"), Qt::LeftButton);
    QTest::mouseClick(run.find("rc_main"), Qt::LeftButton);
    QCOMPARE(run.find<QGroupBox>("gbRemote")->title(), QStringLiteral("Remote Control, Input=LST"));
    QTest::mouseClick(run.find("iRemote_en"), Qt::LeftButton);
    auto* dim = run.find<QRadioButton>("rbRemote");
    QCOMPARE(dim->text(), QStringLiteral("Remote DIM"));
    QTest::mouseClick(dim, Qt::LeftButton, {}, QPoint(8, dim->height() / 2));
    run.click("bRC_OK");

    QCOMPARE(run.find<QLabel>("lRemote")->text(), QStringLiteral("Remote DIM"));
    for (const char* greyed : {"LST_dis", "sw_lst_open", "Astro_dis", "sw_astro_open"})
        QVERIFY2(run.find(QLatin1String(greyed))->isVisible(), greyed);
    const RoundTrip trip = RoundTrip::of(run);
    QVERIFY(trip.saved);
    const int options = run.window->image()[img::Options];
    const int flags = run.window->image()[img::Flags];
    QCOMPARE(options & 0xF0, 0x20);
    QCOMPARE(flags & (kInputBits | kLstOn | kAstroOn), kRemoteLst);
    QCOMPARE(trip.item("remote", "input"), QStringLiteral("LSt"));
    QCOMPARE(trip.item("remote", "mode"), QStringLiteral("Remote DIM"));
    QCOMPARE(trip.item("controlInput", "lstInput"), QStringLiteral("OFF"));
    QCOMPARE(trip.item("astro", "astroClock"), QStringLiteral("OFF"));
    QVERIFY(trip.reportPrints("Remote DIM"));
    QVERIFY(trip.reportPrints("Input= LSt"));

    run.dialogs.nextFile = trip.file;
    run.click("bLoad");
    QVERIFY(run.find("pRemote")->isVisible());
    QVERIFY(run.window->isFormDisabled());
    QVERIFY(dim->isChecked());
    QVERIFY(!run.find<QRadioButton>("rbMN")->isChecked());
    run.click("bRC_OK");
    QVERIFY(!run.window->isFormDisabled());
    QCOMPARE(int(run.window->image()[img::Options]), options);
    QCOMPARE(int(run.window->image()[img::Flags]), flags);
    QCOMPARE(run.find<QLabel>("lRemote")->text(), QStringLiteral("Remote DIM"));
    QVERIFY(run.dialogs.messages.isEmpty());
}

LUMEQ_GUI_TEST(RemoteTest)
#include "remote_test.moc"
