// The astro switch, the ISD editor pISD with its offset calculator pCalc, and the night-length calculator
// pAstroCalc. Widgets are found by their control names and clicked through the window system, so that the
// diagram's stacking and the interlock decide what happens.

#include "editorrig.h"
#include "guitest.h"
#include "roundtrip.h"
#include "windowrun.h"

#include "diagram/blockdiagram.h"
#include "editors/astrocalcpanel.h"
#include "editors/isdeditor.h"
#include "model/image.h"
#include "model/layout.h"
#include "model/timecode.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTest>

using lumeq::AstroCalcPanel;
using lumeq::Image;
using lumeq::IsdEditor;
namespace img = lumeq::img;

namespace {

const QColor kTeal(0, 128, 128);
constexpr std::size_t kReserved = 85;
constexpr std::size_t kDstStart = 86;
constexpr std::size_t kDstEnd = 87;

// The default image (astro clock on, DST off, no automatic DST) with the astro bytes given.
Image astroImage(int offset, bool dstOn = false, int start = 0, int end = 0) {
    Image image = lumeq::defaultImage();
    image[img::IsdOffset] = static_cast<std::uint8_t>(offset);
    image[img::Options] = static_cast<std::uint8_t>(dstOn ? image[img::Options] & ~0x01 : image[img::Options] | 0x01);
    image[kDstStart] = static_cast<std::uint8_t>(start);
    image[kDstEnd] = static_cast<std::uint8_t>(end);
    return image;
}

// Sets the user's locale for one test and puts the old one back.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(old_); }

private:
    QLocale old_;
};

// The test window with the editors, and the user's clicks.
class Rig : public EditorRig {
public:
    explicit Rig(Image image = lumeq::defaultImage()) : EditorRig(std::move(image)) {
        editor = host.editors().find<IsdEditor>();
        calculator = host.editors().find<AstroCalcPanel>();
        QVERIFY(editor && calculator);
    }

    QString text(const char* name) { return find<QLineEdit>(name)->text(); }
    bool checked(const char* name) { return find<QCheckBox>(name)->isChecked(); }
    QScrollBar* bar(const char* name) { return find<QScrollBar>(name); }
    QColor textColour(const char* name) {
        return find<QLineEdit>(name)->palette().color(QPalette::Active, QPalette::Text);
    }
    const Image& image() { return host.image(); }

    void open() {
        click("iISD_en");
        QVERIFY(shown("pISD"));
        QVERIFY(host.formDisabled());
    }
    // Moves the slider of an edit: activates the edit, then sets the position.
    void slide(const char* edit, int position) {
        click(edit);
        QVERIFY(shown("pISDSLider"));
        bar("sbISD")->setValue(position);
    }
    void openOffsetCalculator() {
        click("bAstroCalc");
        QVERIFY(shown("pCalc"));
    }
    void openNightCalculator() {
        if (!checked("cbADSTEnable"))
            click("cbADSTEnable");
        click("bADSTCalc");
        QVERIFY(shown("pAstroCalc"));
    }
    void setNight(int latitude, QDate date, int horizon) {
        bar("sbLatitude")->setValue(latitude);
        find<QDateEdit>("DateTimePicker1")->setDate(date);
        bar("sbHorizon")->setValue(horizon);
    }
    // Types into the night-length field as the user does.
    void type(const char* name, const QString& text) {
        auto* edit = find<QLineEdit>(name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        QCOMPARE(edit->text(), text);
    }
    IsdEditor* editor = nullptr;
    AstroCalcPanel* calculator = nullptr;
};

// With LUMEQ_GRAB_DIR set, saves a picture of the widget there to look at.
void grab(QWidget* widget, const QString& name) {
    if (qEnvironmentVariableIsSet("LUMEQ_GRAB_DIR"))
        QVERIFY(widget->grab().save(qEnvironmentVariable("LUMEQ_GRAB_DIR") + "/" + name + ".png"));
}

const QStringList kAutoDstControls = {"Label14", "Label15", "Label16", "Label17", "eW2S", "eS2W", "bADSTCalc"};

} // namespace

class IsdEditorTest : public QObject {
    Q_OBJECT

private slots:
    void astroSwitch_data();
    void astroSwitch();
    void offsetShown_data();
    void offsetShown();
    void offsetStored_data();
    void offsetStored();
    void daylightSaving_data();
    void daylightSaving();
    void offsetCalculator_data();
    void offsetCalculator();
    void calculatorsKeepTheirSettings();
    void locale();
    void calculatorHelp();
    void autoDstShown_data();
    void autoDstShown();
    void autoDstStored_data();
    void autoDstStored();
    void nightLength_data();
    void nightLength();
    void handOver_data();
    void handOver();
    void calculatorErrors();
    void astroCalcHelp();
    void cancelWritesNothing();
    void isdRoundTrip();
};

// ---- The astro switch ---------------------------------------------------------------------------------------

void IsdEditorTest::astroSwitch_data() {
    QTest::addColumn<bool>("on");
    QTest::addColumn<bool>("remoteDim");
    QTest::addColumn<bool>("locked"); // formDisabled
    QTest::addColumn<bool>("onAfter");
    QTest::newRow("open switch closes") << false << false << false << true;
    QTest::newRow("closed switch opens") << true << false << false << false;
    QTest::newRow("Remote DIM refuses to close it") << false << true << false << false;
    QTest::newRow("Remote DIM lets it open") << true << true << false << false;
    QTest::newRow("open switch while an editor is open") << false << false << true << false;
    QTest::newRow("closed switch while an editor is open") << true << false << true << true;
}

void IsdEditorTest::astroSwitch() {
    QFETCH(bool, on);
    QFETCH(bool, remoteDim);
    QFETCH(bool, locked);
    QFETCH(bool, onAfter);
    Image image = lumeq::defaultImage();
    image[img::Flags] = static_cast<std::uint8_t>(on ? 0x0C : 0x08);
    Rig rig(image);
    rig.host.diagram().setRemoteDimActive(remoteDim);
    rig.host.setFormDisabled(locked);
    QCOMPARE(rig.pictureShown("sw_astro_open"), !on);

    rig.click(on ? "SW_astro_close" : "sw_astro_open");

    Image expected = image;
    expected[img::Flags] = static_cast<std::uint8_t>(onAfter ? 0x0C : 0x08);
    QCOMPARE(rig.image(), expected);
    for (const char* picture : {"Astro_dis", "dm1_dis", "sw_astro_open"})
        QCOMPARE(rig.pictureShown(picture), !onAfter);
    QVERIFY(!rig.shown("pISD"));
    QCOMPARE(rig.host.formDisabled(), locked);
}

// ---- The offset ---------------------------------------------------------------------------------------------

void IsdEditorTest::offsetShown_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position"); // of the slider once the edit is clicked
    QTest::newRow("0xF4") << 0xF4 << "-00:24:00" << 116;
    QTest::newRow("0x7F") << 0x7F << "04:14:00" << 255;
    QTest::newRow("0x80") << 0x80 << "-04:16:00" << 0;
    QTest::newRow("0x00") << 0x00 << "0" << 128;
    QTest::newRow("0x0C") << 0x0C << "00:24:00" << 140;
}

void IsdEditorTest::offsetShown() {
    QFETCH(int, byte);
    QFETCH(QString, text);
    QFETCH(int, position);
    Rig rig(astroImage(byte));
    rig.open();
    QCOMPARE(rig.text("eISDOffset"), text);
    QVERIFY(!rig.shown("pISDSLider"));
    QVERIFY(!rig.shown("pCalc"));

    rig.click("eISDOffset");
    QVERIFY(rig.shown("pISDSLider"));
    QCOMPARE(rig.editor->sliderTag(), lumeq::IsdSliderTag::Offset);
    QCOMPARE(rig.bar("sbISD")->minimum(), 0);
    QCOMPARE(rig.bar("sbISD")->maximum(), 255);
    QCOMPARE(rig.bar("sbISD")->value(), position);
    QCOMPARE(rig.text("eISDOffset"), text);
    QCOMPARE(rig.textColour("eISDOffset"), kTeal);
    QVERIFY(rig.textColour("eW2S") != kTeal);
    grab(rig.host.window(), QStringLiteral("pISD_") + QTest::currentDataTag());
}

void IsdEditorTest::offsetStored_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte");
    QTest::newRow("-00:24:00") << 116 << "-00:24:00" << 0xF4;
    QTest::newRow("00:24:00") << 140 << "00:24:00" << 0x0C;
    QTest::newRow("0") << 128 << "0" << 0x00;
    QTest::newRow("-04:16:00") << 0 << "-04:16:00" << 0x80;
    QTest::newRow("04:14:00") << 255 << "04:14:00" << 0x7F;
}

void IsdEditorTest::offsetStored() {
    QFETCH(int, position);
    QFETCH(QString, text);
    QFETCH(int, byte);
    const Image image = astroImage(0x20);
    Rig rig(image);
    rig.open();
    rig.slide("eISDOffset", position);
    QCOMPARE(rig.text("eISDOffset"), text);
    rig.click("bISDOK");

    Image expected = image;
    expected[img::IsdOffset] = static_cast<std::uint8_t>(byte);
    QCOMPARE(rig.image(), expected);
    QVERIFY(!rig.shown("pISD"));
    QVERIFY(!rig.host.formDisabled());
    QVERIFY(rig.textColour("eISDOffset") != kTeal);

    // Opened again, the slider strip is gone until an edit is clicked.
    rig.open();
    QVERIFY(!rig.shown("pISDSLider"));
    QCOMPARE(rig.text("eISDOffset"), text);
}

void IsdEditorTest::daylightSaving_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("dstOn");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("afterClick");
    QTest::addColumn<QString>("afterSecondClick");
    QTest::addColumn<int>("stored"); // byte 7 after a third click and OK
    QTest::newRow("on from 0") << 0x00 << false << "0"
                               << "-01:00:00"
                               << "0" << 0xE2;
    QTest::newRow("off from -01:00:00") << 0xE2 << true << "-01:00:00"
                                        << "0"
                                        << "-01:00:00" << 0x00;
    QTest::newRow("on stops at -04:16:00") << 0x88 << false << "-04:00:00"
                                           << "-04:16:00"
                                           << "-03:16:00" << 0x80;
    QTest::newRow("off stops at 04:14:00") << 0x7F << true << "04:14:00"
                                           << "04:14:00"
                                           << "03:14:00" << 0x7F;
}

void IsdEditorTest::daylightSaving() {
    QFETCH(int, offset);
    QFETCH(bool, dstOn);
    QFETCH(QString, shown);
    QFETCH(QString, afterClick);
    QFETCH(QString, afterSecondClick);
    QFETCH(int, stored);
    const Image image = astroImage(offset, dstOn);
    Rig rig(image);
    // The mark set while opening does not change the offset on show.
    rig.open();
    QCOMPARE(rig.checked("cbDST"), dstOn);
    QCOMPARE(rig.text("eISDOffset"), shown);

    rig.click("cbDST");
    QCOMPARE(rig.checked("cbDST"), !dstOn);
    QCOMPARE(rig.text("eISDOffset"), afterClick);
    QVERIFY(!rig.shown("pISDSLider"));
    rig.click("cbDST");
    QCOMPARE(rig.text("eISDOffset"), afterSecondClick);
    rig.click("cbDST");
    rig.click("bISDOK");

    Image expected = image;
    expected[img::IsdOffset] = static_cast<std::uint8_t>(stored);
    expected[img::Options] =
        static_cast<std::uint8_t>(dstOn ? image[img::Options] | 0x01 : image[img::Options] & ~0x01);
    QCOMPARE(rig.image(), expected);
}

// ---- Offset calculator --------------------------------------------------------------------------------------

void IsdEditorTest::offsetCalculator_data() {
    QTest::addColumn<int>("length"); // half degrees
    QTest::addColumn<int>("utc");
    QTest::addColumn<bool>("dst");
    QTest::addColumn<bool>("nightSliderBefore"); // the slider last served a night length
    QTest::addColumn<QString>("eLength");
    QTest::addColumn<QString>("eUTC");
    QTest::addColumn<QString>("eOffset");
    QTest::addColumn<QString>("offsetText"); // after the calculator's OK
    QTest::addColumn<int>("byte");
    QTest::newRow("E 9° UTC+1") << 18 << 1 << false << false << "E 9°"
                                << "UTC+1"
                                << "-24"
                                << "-00:24:00" << 0xF4;
    QTest::newRow("E 9° UTC+1 with DST") << 18 << 1 << true << false << "E 9°"
                                         << "UTC+1"
                                         << "-24"
                                         << "-01:24:00" << 0xD6;
    QTest::newRow("W 180° UTC-11") << -360 << -11 << false << false << "W 180°"
                                   << "UTC-11"
                                   << "-60"
                                   << "-01:00:00" << 0xE2;
    QTest::newRow("E 180° UTC-11 out of range") << 360 << -11 << false << false << "E 180°"
                                                << "UTC-11"
                                                << "???"
                                                << "00:24:00" << 0x0C;
    QTest::newRow("E 60° UTC+8 after the night slider") << 120 << 8 << false << true << "E 60°"
                                                        << "UTC+8"
                                                        << "-240"
                                                        << "-04:00:00" << 0x88;
    QTest::newRow("E 60° UTC+8 with DST stops at the end") << 120 << 8 << true << false << "E 60°"
                                                           << "UTC+8"
                                                           << "-240"
                                                           << "-04:16:00" << 0x80;
    QTest::newRow("Greenwich") << 0 << 0 << false << false << "0°"
                               << "UTC+0"
                               << "0"
                               << "0" << 0x00;
}

void IsdEditorTest::offsetCalculator() {
    QFETCH(int, length);
    QFETCH(int, utc);
    QFETCH(bool, dst);
    QFETCH(bool, nightSliderBefore);
    QFETCH(QString, eLength);
    QFETCH(QString, eUTC);
    QFETCH(QString, eOffset);
    QFETCH(QString, offsetText);
    QFETCH(int, byte);
    const LocaleScope c(QLocale::c());
    const Image image = astroImage(dst ? 0xEE : 0x0C, dst, 0x96, 0x84);
    Rig rig(image);
    rig.open();
    if (nightSliderBefore)
        rig.slide("eW2S", 0x96); // as it was: 12:30
    rig.openOffsetCalculator();
    QCOMPARE(rig.text("eUTC"), QStringLiteral("UTC+0"));
    QCOMPARE(rig.text("eLength"), QStringLiteral("0°"));
    QCOMPARE(rig.text("eOffset"), QStringLiteral("0"));

    rig.bar("sbUTC")->setValue(utc);
    rig.bar("sbLength")->setValue(length);
    QCOMPARE(rig.text("eUTC"), eUTC);
    QCOMPARE(rig.text("eLength"), eLength);
    QCOMPARE(rig.text("eOffset"), eOffset);
    rig.click("bCalcOK");

    QVERIFY(!rig.shown("pCalc"));
    QVERIFY(rig.shown("pISD"));
    QCOMPARE(rig.checked("cbDST"), dst);
    QCOMPARE(rig.text("eISDOffset"), offsetText);
    QCOMPARE(rig.image(), image); // nothing is written before the editor's OK
    rig.click("bISDOK");
    Image expected = image;
    expected[img::IsdOffset] = static_cast<std::uint8_t>(byte);
    expected[kReserved] = 0;
    QCOMPARE(rig.image(), expected);
}

void IsdEditorTest::calculatorsKeepTheirSettings() {
    const LocaleScope c(QLocale::c());
    Rig rig(astroImage(0, false, 0x96, 0x84));
    rig.open();
    rig.openOffsetCalculator();
    rig.bar("sbUTC")->setValue(-5);
    rig.bar("sbLength")->setValue(-24);
    rig.click("bCalcCancel");
    rig.openNightCalculator();
    rig.setNight(-25, QDate(2014, 10, 26), -1);
    const QString night = rig.text("eLoN");
    rig.click("bAstroCalcCancel");
    QVERIFY(!rig.shown("pAstroCalc"));
    rig.click("bISDCancel");
    QVERIFY(!rig.shown("pCalc"));

    rig.open();
    QVERIFY(!rig.shown("pCalc"));
    QVERIFY(!rig.shown("pAstroCalc"));
    rig.openOffsetCalculator();
    QCOMPARE(rig.bar("sbUTC")->value(), -5);
    QCOMPARE(rig.text("eUTC"), QStringLiteral("UTC-5"));
    QCOMPARE(rig.text("eLength"), QStringLiteral("W 12°"));
    QCOMPARE(rig.text("eOffset"), QStringLiteral("252"));
    rig.click("bCalcCancel");
    QCOMPARE(rig.text("eISDOffset"), QStringLiteral("0")); // Cancel takes nothing over
    rig.openNightCalculator();
    QCOMPARE(rig.bar("sbLatitude")->value(), -25);
    QCOMPARE(rig.find<QDateEdit>("DateTimePicker1")->date(), QDate(2014, 10, 26));
    QCOMPARE(rig.bar("sbHorizon")->value(), -1);
    QCOMPARE(rig.text("eLoN"), night);
}

// Longitude, latitude and twilight are written with the user's decimal separator, without trailing zeros.
void IsdEditorTest::locale() {
    for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany), QLocale::c()}) {
        const LocaleScope scope(locale);
        const QString half = locale.decimalPoint() == QStringLiteral(",") ? QStringLiteral(",5") : QStringLiteral(".5");
        Rig rig;
        rig.open();
        rig.openOffsetCalculator();
        const struct {
            int position;
            QString text;
        } longitudes[] = {
            {15, "E 7" + half + "°"}, {-24, "W 12°"}, {0, "0°"}, {-1, "W 0" + half + "°"}, {360, "E 180°"}};
        for (const auto& row : longitudes) {
            rig.bar("sbLength")->setValue(row.position);
            QCOMPARE(rig.text("eLength"), row.text);
        }
        rig.click("bCalcCancel");

        rig.openNightCalculator();
        QCOMPARE(rig.find<QLabel>("lLatitude")->text(), QStringLiteral("N 50"));
        QCOMPARE(rig.find<QLabel>("lHorizon")->text(), QStringLiteral("-3"));
        const struct {
            int position;
            QString text;
        } latitudes[] = {{-25, "S 12" + half}, {0, "N 0"}, {1, "N 0" + half}, {124, "N 62"}, {-124, "S 62"}};
        rig.find<QDateEdit>("DateTimePicker1")->setDate(QDate(2014, 3, 10));
        for (const auto& row : latitudes) {
            rig.bar("sbLatitude")->setValue(row.position);
            QCOMPARE(rig.find<QLabel>("lLatitude")->text(), row.text);
        }
        const struct {
            int position;
            QString text;
        } horizons[] = {{-5, "-2" + half}, {0, "0"}, {-12, "-6"}, {-1, "-0" + half}};
        for (const auto& row : horizons) {
            rig.bar("sbHorizon")->setValue(row.position);
            QCOMPARE(rig.find<QLabel>("lHorizon")->text(), row.text);
        }
        QVERIFY(rig.host.messages().isEmpty());
    }
}

void IsdEditorTest::calculatorHelp() {
    Rig rig;
    rig.open();
    rig.openOffsetCalculator();
    QVERIFY(!rig.shown("pCalcHelp"));
    auto* picture = rig.find<QSvgWidget>("iCalcHelp");
    QVERIFY(picture->renderer()->isValid());
    QCOMPARE(picture->renderer()->defaultSize(), QSize(462, 188));

    rig.bar("sbUTC")->setValue(1);
    rig.bar("sbLength")->setValue(18);
    grab(rig.host.window(), QStringLiteral("pCalc"));
    rig.click("bCalcHelp");
    QVERIFY(rig.shown("pCalcHelp"));
    QCOMPARE(rig.find("pCalcHelp")->geometry(), QRect(QPoint(0, 0), rig.find("pCalc")->size()));
    if (qEnvironmentVariableIsSet("LUMEQ_GRAB_DIR")) {
        const QString dir = qEnvironmentVariable("LUMEQ_GRAB_DIR");
        QVERIFY(rig.find("pCalcHelp")->grab().save(dir + "/pCalcHelp.png"));
        QImage twice(rig.find("iCalcHelp")->size() * 2, QImage::Format_ARGB32);
        twice.fill(Qt::white);
        QPainter painter(&twice);
        picture->renderer()->render(&painter);
        painter.end();
        QVERIFY(twice.save(dir + "/iCalcHelp@2x.png"));
    }
    rig.click("iCalcHelp");
    QVERIFY(!rig.shown("pCalcHelp"));
    QVERIFY(rig.shown("pCalc"));
    rig.click("bCalcHelp");
    QTest::mouseClick(rig.find("pCalcHelp"), Qt::LeftButton, {}, QPoint(2, 2));
    QVERIFY(!rig.shown("pCalcHelp"));
    // The help neither closes the calculator nor touches the lock.
    QVERIFY(rig.shown("pCalc"));
    QVERIFY(rig.host.formDisabled());
}

// ---- Automatic daylight saving --------------------------------------------------------------------------

void IsdEditorTest::autoDstShown_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("startText");
    QTest::addColumn<QString>("endText");
    QTest::newRow("0x96 and 0x84") << 0x96 << 0x84 << true << "12:30"
                                   << "11:00";
    QTest::newRow("59 and 132") << 59 << 132 << false << "0"
                                << "0";
    QTest::newRow("the ends 60 and 216") << 60 << 216 << true << "05:00"
                                         << "18:00";
    QTest::newRow("217 and 100") << 217 << 100 << false << "0"
                                 << "0";
    QTest::newRow("off") << 0 << 0 << false << "0"
                         << "0";
}

void IsdEditorTest::autoDstShown() {
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(bool, enabled);
    QFETCH(QString, startText);
    QFETCH(QString, endText);
    Rig rig(astroImage(0, false, start, end));
    rig.open();
    QCOMPARE(rig.checked("cbADSTEnable"), enabled);
    QCOMPARE(rig.text("eW2S"), startText);
    QCOMPARE(rig.text("eS2W"), endText);
    for (const QString& name : kAutoDstControls)
        QVERIFY2(rig.shown(qPrintable(name)) == enabled, qPrintable(name));

    // The seven controls follow the mark.
    rig.click("cbADSTEnable");
    for (const QString& name : kAutoDstControls)
        QVERIFY2(rig.shown(qPrintable(name)) == !enabled, qPrintable(name));
    rig.click("cbADSTEnable");
    for (const QString& name : kAutoDstControls)
        QVERIFY2(rig.shown(qPrintable(name)) == enabled, qPrintable(name));
}

void IsdEditorTest::autoDstStored_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<int>("startPosition"); // -1: left alone
    QTest::addColumn<int>("endPosition");
    QTest::addColumn<QString>("startText");
    QTest::addColumn<QString>("endText");
    QTest::addColumn<int>("storedStart");
    QTest::addColumn<int>("storedEnd");
    QTest::newRow("unchanged") << 0x96 << 0x84 << false << -1 << -1 << "12:30"
                               << "11:00" << 0x96 << 0x84;
    QTest::newRow("eW2S at 59 turns it off") << 0x96 << 0x84 << false << 59 << -1 << "0"
                                             << "11:00" << 0 << 0;
    QTest::newRow("unticked") << 0x96 << 0x84 << true << -1 << -1 << "12:30"
                              << "11:00" << 0 << 0;
    QTest::newRow("ticked and both set") << 0 << 0 << true << 129 << 200 << "10:45"
                                         << "16:40" << 129 << 200;
    QTest::newRow("ticked, the end left at 0") << 0 << 0 << true << 129 << -1 << "10:45"
                                               << "0" << 0 << 0;
    QTest::newRow("the ends of the slider") << 0x96 << 0x84 << false << 60 << 216 << "05:00"
                                            << "18:00" << 60 << 216;
}

void IsdEditorTest::autoDstStored() {
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(bool, tick);
    QFETCH(int, startPosition);
    QFETCH(int, endPosition);
    QFETCH(QString, startText);
    QFETCH(QString, endText);
    QFETCH(int, storedStart);
    QFETCH(int, storedEnd);
    Image image = astroImage(0x10, true, start, end);
    image[kReserved] = 0x33;
    Rig rig(image);
    rig.open();
    if (tick)
        rig.click("cbADSTEnable");
    if (startPosition >= 0) {
        rig.slide("eW2S", startPosition);
        QCOMPARE(rig.editor->sliderTag(), lumeq::IsdSliderTag::DstStart);
        QCOMPARE(rig.bar("sbISD")->minimum(), 59);
        QCOMPARE(rig.bar("sbISD")->maximum(), 216);
        QCOMPARE(rig.textColour("eW2S"), kTeal);
        QVERIFY(rig.textColour("eISDOffset") != kTeal);
    }
    if (endPosition >= 0) {
        rig.slide("eS2W", endPosition);
        QCOMPARE(rig.textColour("eS2W"), kTeal);
        QVERIFY(rig.textColour("eW2S") != kTeal);
    }
    QCOMPARE(rig.text("eW2S"), startText);
    QCOMPARE(rig.text("eS2W"), endText);
    rig.click("bISDOK");

    Image expected = image;
    expected[kReserved] = 0;
    expected[kDstStart] = static_cast<std::uint8_t>(storedStart);
    expected[kDstEnd] = static_cast<std::uint8_t>(storedEnd);
    QCOMPARE(rig.image(), expected);
}

// ---- Night-length calculator ------------------------------------------------------------------------------

void IsdEditorTest::nightLength_data() {
    QTest::addColumn<int>("latitude"); // half degrees
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("horizon"); // half degrees
    QTest::addColumn<QString>("night");
    QTest::newRow("N 50, -3, 10 March 2014") << 100 << QDate(2014, 3, 10) << -6 << "12:01";
    QTest::newRow("N 50, -3, 30 March 2014") << 100 << QDate(2014, 3, 30) << -6 << "10:46";
    QTest::newRow("N 50, -3, 26 October 2014") << 100 << QDate(2014, 10, 26) << -6 << "13:23";
    QTest::newRow("N 50, 0, 21 June 2014") << 100 << QDate(2014, 6, 21) << 0 << "07:51";
    QTest::newRow("N 50, 0, 21 December 2014") << 100 << QDate(2014, 12, 21) << 0 << "16:09";
    QTest::newRow("N 0, 0, 21 March 2014") << 0 << QDate(2014, 3, 21) << 0 << "12:00";
    QTest::newRow("N 50, -6, 30 March 2014") << 100 << QDate(2014, 3, 30) << -12 << "10:07";
}

void IsdEditorTest::nightLength() {
    QFETCH(int, latitude);
    QFETCH(QDate, date);
    QFETCH(int, horizon);
    QFETCH(QString, night);
    const Image image = astroImage(0, false, 0x96, 0x84);
    Rig rig(image);
    rig.open();
    rig.openNightCalculator();
    // The window design: N 50, 10 March 2014, -3.
    QCOMPARE(rig.bar("sbLatitude")->value(), 100);
    QCOMPARE(rig.find<QDateEdit>("DateTimePicker1")->date(), QDate(2014, 3, 10));
    QCOMPARE(rig.bar("sbHorizon")->value(), -6);
    QCOMPARE(rig.text("eLoN"), QStringLiteral("12:01"));

    rig.setNight(latitude, date, horizon);
    QCOMPARE(rig.text("eLoN"), night);
    grab(rig.host.window(), QStringLiteral("pAstroCalc_%1").arg(night.left(2)));
    QVERIFY(rig.host.messages().isEmpty());
    QCOMPARE(rig.image(), image);
    rig.click("bAstroCalcCancel");
    QVERIFY(!rig.shown("pAstroCalc"));
    QCOMPARE(rig.text("eW2S"), QStringLiteral("12:30"));
    QCOMPARE(rig.text("eS2W"), QStringLiteral("11:00"));
}

void IsdEditorTest::handOver_data() {
    QTest::addColumn<QString>("typed"); // empty: the calculated 10:46 of 30 March 2014
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("storedStart");
    QTest::addColumn<int>("storedEnd");
    QTest::newRow("Set DST Start with 10:46") << ""
                                              << "bDSTOn"
                                              << "10:45"
                                              << "11:00" << 129 << 0x84;
    QTest::newRow("Set DST End with 10:46") << ""
                                            << "bDSTOff"
                                            << "12:30"
                                            << "10:45" << 0x96 << 129;
    QTest::newRow("typed 13:24") << "13:24"
                                 << "bDSTOff"
                                 << "12:30"
                                 << "13:20" << 0x96 << 160;
    QTest::newRow("typed 00:04 gives 0") << "00:04"
                                         << "bDSTOn"
                                         << "0"
                                         << "11:00" << 0 << 0;
    QTest::newRow("typed 18:04 is too long a night") << "18:04"
                                                     << "bDSTOn"
                                                     << "18:00"
                                                     << "11:00" << 216 << 0x84;
    QTest::newRow("typed 19:00 is refused at OK") << "19:00"
                                                  << "bDSTOn"
                                                  << "19:00"
                                                  << "11:00" << 0 << 0;
    QTest::newRow("typed text of another length") << "1:30"
                                                  << "bDSTOn"
                                                  << "0"
                                                  << "11:00" << 0 << 0;
}

void IsdEditorTest::handOver() {
    QFETCH(QString, typed);
    QFETCH(QString, button);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(int, storedStart);
    QFETCH(int, storedEnd);
    const Image image = astroImage(0, false, 0x96, 0x84);
    Rig rig(image);
    rig.open();
    rig.openNightCalculator();
    rig.setNight(100, QDate(2014, 3, 30), -6);
    QCOMPARE(rig.text("eLoN"), QStringLiteral("10:46"));
    if (!typed.isEmpty())
        rig.type("eLoN", typed);
    rig.click(qPrintable(button));

    QVERIFY(!rig.shown("pAstroCalc"));
    QVERIFY(rig.host.messages().isEmpty());
    QCOMPARE(rig.text("eW2S"), start);
    QCOMPARE(rig.text("eS2W"), end);
    QCOMPARE(rig.image(), image); // the calculator writes nothing itself
    rig.click("bISDOK");
    Image expected = image;
    expected[kDstStart] = static_cast<std::uint8_t>(storedStart);
    expected[kDstEnd] = static_cast<std::uint8_t>(storedEnd);
    QCOMPARE(rig.image(), expected);
}

void IsdEditorTest::calculatorErrors() {
    const LocaleScope c(QLocale::c());
    const Image image = astroImage(0, false, 0x96, 0x84);
    Rig rig(image);
    rig.open();
    rig.openNightCalculator();
    rig.setNight(120, QDate(2014, 6, 21), -12); // 60° north: 01:35
    QCOMPARE(rig.text("eLoN"), QStringLiteral("01:35"));
    QVERIFY(rig.host.messages().isEmpty());

    // No night at 62° north on 21 June at -6°: the message names all three, eLoN keeps its text.
    rig.bar("sbLatitude")->setValue(124);
    QCOMPARE(rig.host.messages().size(), 1);
    const QString noNight = rig.host.messages().last();
    for (const QString& part : {QStringLiteral("N 62"), QStringLiteral("21.06.2014"), QStringLiteral("-6")})
        QVERIFY2(noNight.contains(part), qPrintable(noNight));
    QCOMPARE(rig.text("eLoN"), QStringLiteral("01:35"));
    QVERIFY(rig.shown("pAstroCalc"));

    // A date before 2000 leaves the night length alone, without a message.
    rig.setNight(100, QDate(2014, 3, 10), -6);
    QCOMPARE(rig.text("eLoN"), QStringLiteral("12:01"));
    rig.find<QDateEdit>("DateTimePicker1")->setDate(QDate(1999, 12, 31));
    QCOMPARE(rig.text("eLoN"), QStringLiteral("12:01"));
    QCOMPARE(rig.host.messages().size(), 1);

    // A typed night length that is no time: the conversion error names it, nothing changes.
    for (const char* button : {"bDSTOn", "bDSTOff"}) {
        rig.type("eLoN", QStringLiteral("1x:30"));
        rig.click(button);
        QCOMPARE(rig.host.messages().last(), QString::fromStdString(lumeq::conversionErrorMessage("1x:30")));
        QVERIFY(rig.shown("pAstroCalc"));
        QCOMPARE(rig.text("eW2S"), QStringLiteral("12:30"));
        QCOMPARE(rig.text("eS2W"), QStringLiteral("11:00"));
    }
    QCOMPARE(rig.host.messages().size(), 3);
    rig.click("bAstroCalcCancel");
    rig.click("bISDOK");
    QCOMPARE(rig.image(), image);
}

void IsdEditorTest::astroCalcHelp() {
    Rig rig(astroImage(0, false, 0x96, 0x84));
    rig.open();
    rig.openNightCalculator();
    auto* help = rig.find("pHelpAstroCalc");
    const QRect place = AstroCalcPanel::kHelpPlace;
    QCOMPARE(help->geometry(), place.translated(0, 700));
    const QStringList lines = {
        "Twilight begin/end",
        "Twilight is defined according to the solar elevation angle, ",
        "which is the position of the geometric center of the sun ",
        "relative to the horizon. The further the Sun is below the horizon,",
        "the dimmer the twilight.",
        "Civil twilight begins when the geometric center of the sun",
        "is 6° below the horizon.",
        "Our default value is 3° below the horizon: at this angle  ",
        "in Middle Europe the illuminance is about 20 Lux.",
    };
    const QList<QLabel*> labels = help->findChildren<QLabel*>();
    QCOMPARE(labels.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        auto* label = rig.find<QLabel>(qPrintable(QStringLiteral("lACHelp%1").arg(i + 1)));
        QCOMPARE(label->text(), lines[i]);
        QCOMPARE(label->font().bold(), i == 0);
        if (i > 0)
            QVERIFY(label->y() > rig.find<QLabel>(qPrintable(QStringLiteral("lACHelp%1").arg(i)))->y());
    }

    // Up into view, twice in a row as well; a click on a line or on the panel moves it down again.
    for (const char* closer : {"lACHelp5", "lACHelp1", "pHelpAstroCalc"}) {
        rig.click("bACHelp");
        rig.click("bACHelp");
        QCOMPARE(help->geometry(), place);
        QVERIFY(help->isVisible());
        QVERIFY(QRect(0, 0, TestHost::kWindowWidth, TestHost::kWindowHeight).contains(help->geometry()));
        if (qEnvironmentVariableIsSet("LUMEQ_GRAB_DIR") && QLatin1String(closer) == QLatin1String("lACHelp5"))
            QVERIFY(rig.host.window()->grab().save(qEnvironmentVariable("LUMEQ_GRAB_DIR") + "/pHelpAstroCalc.png"));
        QTest::mouseClick(rig.find(closer), Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(help->geometry(), place.translated(0, 700));
        QVERIFY(rig.shown("pAstroCalc"));
    }
    // Leaving the calculator takes the help along.
    rig.click("bACHelp");
    rig.click("bAstroCalcCancel");
    QCOMPARE(help->geometry(), place.translated(0, 700));
}

void IsdEditorTest::cancelWritesNothing() {
    const Image image = astroImage(0xF4, false, 0x96, 0x84);
    Rig rig(image);
    rig.open();
    rig.slide("eISDOffset", 200);
    rig.click("cbDST");
    rig.slide("eW2S", 100);
    rig.openOffsetCalculator();
    rig.bar("sbLength")->setValue(18);
    rig.bar("sbUTC")->setValue(1);
    rig.click("bCalcOK");
    rig.openNightCalculator();
    rig.click("bDSTOff");
    rig.click("cbADSTEnable");
    rig.openOffsetCalculator();
    rig.click("bISDCancel");

    QCOMPARE(rig.image(), image);
    QVERIFY(!rig.shown("pISD"));
    QVERIFY(!rig.host.formDisabled());
    QVERIFY(rig.textColour("eW2S") != kTeal);

    rig.open();
    QCOMPARE(rig.text("eISDOffset"), QStringLiteral("-00:24:00"));
    QVERIFY(!rig.checked("cbDST"));
    QVERIFY(rig.checked("cbADSTEnable"));
    QCOMPARE(rig.text("eW2S"), QStringLiteral("12:30"));
    QVERIFY(!rig.shown("pCalc"));
    QVERIFY(!rig.shown("pISDSLider"));
    QCOMPARE(rig.textColour("eISDOffset"), rig.textColour("eS2W"));
}

// ---- Through the real window ---------------------------------------------------------------------------------

void IsdEditorTest::isdRoundTrip() {
    WindowRun run;
    run.startDemo();
    QTest::mouseClick(run.find("iISD_en"), Qt::LeftButton);
    QVERIFY(run.find("pISD")->isVisible());
    QTest::mouseClick(run.find("cbDST"), Qt::LeftButton, {}, QPoint(8, 11));
    run.click("bAstroCalc");
    run.find<QScrollBar>("sbUTC")->setValue(1);
    run.find<QScrollBar>("sbLength")->setValue(18);
    run.click("bCalcOK");
    QCOMPARE(run.find<QLineEdit>("eISDOffset")->text(), QStringLiteral("-01:24:00"));

    QTest::mouseClick(run.find("cbADSTEnable"), Qt::LeftButton, {}, QPoint(8, 11));
    run.click("bADSTCalc");
    run.find<QDateEdit>("DateTimePicker1")->setDate(QDate(2014, 3, 30));
    run.click("bDSTOn");
    run.click("bADSTCalc");
    run.find<QDateEdit>("DateTimePicker1")->setDate(QDate(2014, 10, 26));
    run.click("bDSTOff");
    QCOMPARE(run.find<QLineEdit>("eW2S")->text(), QStringLiteral("10:45"));
    QCOMPARE(run.find<QLineEdit>("eS2W")->text(), QStringLiteral("13:20"));
    run.click("bISDOK");
    QVERIFY(!run.find("pISD")->isVisible());

    const RoundTrip trip = RoundTrip::of(run);
    QVERIFY(trip.saved);
    QCOMPARE(trip.item("astro", "isdOffset"), QStringLiteral("-01:24:00"));
    QCOMPARE(trip.item("astro", "dst"), QStringLiteral("ON (Summer Time)"));
    QCOMPARE(trip.item("astro", "autoDst"), QStringLiteral("ON"));
    QCOMPARE(trip.item("astro", "dstStartNight"), QStringLiteral("10:45"));
    QCOMPARE(trip.item("astro", "dstEndNight"), QStringLiteral("13:20"));
    for (const char* text :
         {"Offset: -01:24:00", "DST= ON (Summer Time)", "Auto DST: ON", "DST Start: 10:45", "DST Stop: 13:20"})
        QVERIFY2(trip.reportPrints(QLatin1String(text)), text);

    // The astro switch through the window: open, then closed again.
    QTest::mouseClick(run.find("SW_astro_close"), Qt::LeftButton);
    QCOMPARE(run.window->image()[img::Flags] & 0x04, 0);
    QTest::mouseClick(run.find("sw_astro_open"), Qt::LeftButton);
    QCOMPARE(run.window->image()[img::Flags] & 0x04, 0x04);
}

LUMEQ_GUI_TEST(IsdEditorTest)
#include "isdeditor_test.moc"
