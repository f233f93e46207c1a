// The block diagram drawn from configuration images, and its clicks played through the window system so
// that the stacking of the pictures decides which one receives them.

#include "diagram/blockdiagram.h"
#include "guitest.h"
#include "model/image.h"
#include "model/layout.h"

#include <QMetaEnum>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTest>

#include <memory>

using lumeq::BlockDiagram;
using lumeq::DiagramPicture;
using lumeq::Image;
namespace img = lumeq::img;

using Editor = BlockDiagram::Editor;

// Images the click and visibility cases start from.
enum class Setup { Default, AllOn, AllOff, Pwm, Dali, RemoteLst, HighToLow };
Q_DECLARE_METATYPE(Setup)

namespace {

Image imageFor(Setup setup) {
    Image image = lumeq::defaultImage();
    // Every function on: astro, LSt input, remote control from the mains, thermal management; blocking,
    // hold time and MFF set.
    auto allOn = [&image] {
        image[img::Flags] = 0xAC;
        image[img::BlockTime] = 12;
        image[img::HoldTime] = 0x1E;
        image[img::MffLifetime] = 10;
        image[img::Options] = 0x11;
    };
    switch (setup) {
    case Setup::Default:
        break;
    case Setup::AllOn:
        allOn();
        break;
    case Setup::AllOff:
        image[img::Flags] = 0x00;
        break;
    case Setup::Pwm:
        allOn();
        image[img::Flags] |= 0x02;
        break;
    case Setup::Dali:
        allOn();
        image[img::Flags] |= 0x01;
        break;
    case Setup::RemoteLst:
        allOn();
        image[img::Flags] = 0xCC;
        break;
    case Setup::HighToLow:
        allOn();
        image[img::Flags] |= 0x10;
        break;
    }
    return image;
}

// Stands in for the window: the interlock.
struct Host {
    bool formDisabled = false;

    void attach(BlockDiagram& diagram) {
        diagram.setFormDisabledSource([this] { return formDisabled; });
    }
};

template <typename Enum> QByteArray keyOf(const QVariant& value) {
    return QMetaEnum::fromType<Enum>().valueToKey(static_cast<int>(value.value<Enum>()));
}

} // namespace

class BlockDiagramTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void picturesAreDrawn_data();
    void picturesAreDrawn();
    void stacking_data();
    void stacking();
    void defaultImageVisibility_data();
    void defaultImageVisibility();
    void defaultImageLabels();
    void emptyEngineSwitchesItsInputOff_data();
    void emptyEngineSwitchesItsInputOff();
    void blockingTime_data();
    void blockingTime();
    void controlInput_data();
    void controlInput();
    void powerOnLabels_data();
    void powerOnLabels();
    void outputType_data();
    void outputType();
    void remoteControl_data();
    void remoteControl();
    void clicksRoute_data();
    void clicksRoute();
    void greyedPicturesSwallowClicks_data();
    void greyedPicturesSwallowClicks();
    void shortImageIsLeftAlone();
    void hints_data();
    void hints();

private:
    bool visible(const QString& name) const;
    QString text(const QString& name) const;
    QWidget* control(const QString& name) const;
    QPoint topmostPoint(QWidget* target) const;
    void click(QPoint point);

    std::unique_ptr<BlockDiagram> diagram;
    Host host;
};

void BlockDiagramTest::init() {
    diagram = std::make_unique<BlockDiagram>();
    host = Host{};
    host.attach(*diagram);
    diagram->show();
    QVERIFY(QTest::qWaitForWindowExposed(diagram.get()));
}

void BlockDiagramTest::cleanup() {
    diagram.reset();
}

QWidget* BlockDiagramTest::control(const QString& name) const {
    return diagram->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
}

bool BlockDiagramTest::visible(const QString& name) const {
    QWidget* widget = control(name);
    return widget && widget->isVisibleTo(diagram.get());
}

QString BlockDiagramTest::text(const QString& name) const {
    auto* label = diagram->findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("<no label %1>").arg(name);
}

// A point of the diagram where `target` is the uppermost widget, or (-1, -1).
QPoint BlockDiagramTest::topmostPoint(QWidget* target) const {
    for (int y = 2; y < target->height(); y += 3) {
        for (int x = 2; x < target->width(); x += 3) {
            const QPoint point = target->mapTo(diagram.get(), QPoint(x, y));
            if (diagram->childAt(point) == target)
                return point;
        }
    }
    return {-1, -1};
}

void BlockDiagramTest::click(QPoint point) {
    QTest::mouseClick(diagram->windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
}

// ---------------------------------------------------------------------------------------------------------

void BlockDiagramTest::picturesAreDrawn_data() {
    QTest::addColumn<QString>("name");
    const QMetaEnum pictures = QMetaEnum::fromType<BlockDiagram::Picture>();
    for (int i = 0; i < pictures.keyCount(); ++i)
        QTest::newRow(pictures.key(i)) << QString::fromLatin1(pictures.key(i));
}

void BlockDiagramTest::picturesAreDrawn() {
    QFETCH(QString, name);
    auto* picture = qobject_cast<DiagramPicture*>(control(name));
    QVERIFY(picture);
    QCOMPARE(picture->objectName(), name);
    QImage drawn(picture->size(), QImage::Format_ARGB32);
    drawn.fill(Qt::transparent);
    picture->render(&drawn, QPoint(), QRegion(), QWidget::RenderFlags());
    int opaque = 0;
    int coloured = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor pixel = drawn.pixelColor(x, y);
            if (pixel.alpha() < 200)
                continue;
            ++opaque;
            if (qMax(qAbs(pixel.red() - pixel.green()), qAbs(pixel.green() - pixel.blue())) > 8)
                ++coloured;
        }
    }
    QVERIFY2(opaque > picture->width() * picture->height() / 10, "the picture's drawing did not load");
    if (picture->isGreyed())
        QCOMPARE(coloured, 0);
}

void BlockDiagramTest::stacking_data() {
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("lower");
    const char* pairs[][2] = {
        {"Block_dis", "iTBlock_en"},
        {"sw_block_open", "SW_block_close"},
        {"MFF_dis", "iMFF_en"},
        {"sw_mff_off", "SW_mff_on"},
        {"iTM_dis", "iTM"},
        {"sw_tm_off", "sw_tm_on"},
        {"Astro_dis", "iISD_en"},
        {"sw_astro_open", "SW_astro_close"},
        {"dm1_dis", "iISD1_en"},
        {"LST_dis", "iLst_en"},
        {"LST_dis", "iLST_pol"},
        {"sw_lst_open", "SW_lst_close"},
        {"sw_hold_off", "sw_hold_on"},
        {"SW_hold_dis", "sw_hold_off"},
        {"HOLD_dis", "iTHold_en"},
        {"dm2_dis", "iISD2_en"},
        {"Dali", "iTen"},
        {"PWM", "Dali"},
        {"SW_DALI", "SW_Ten"},
        {"SW_PWM", "SW_DALI"},
        {"rem_dis", "iRemote_en"},
        {"lBlock", "Block_dis"},
        {"lHold", "HOLD_dis"},
        {"lRemote", "rem_dis"},
        {"lPO_Level", "iTDpc_en"},
        {"lMinLevel", "PWM"},
    };
    for (const auto& pair : pairs)
        QTest::addRow("%s over %s", pair[0], pair[1]) << QString::fromLatin1(pair[0]) << QString::fromLatin1(pair[1]);
}

void BlockDiagramTest::stacking() {
    QFETCH(QString, upper);
    QFETCH(QString, lower);
    QWidget* top = control(upper);
    QWidget* below = control(lower);
    QVERIFY(top && below);
    QVERIFY(top->geometry().intersects(below->geometry()));
    for (QWidget* child : diagram->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->hide();
    top->show();
    below->show();
    // Where both lie, the upper one is what the user sees and clicks.
    const QRect overlap = top->geometry().intersected(below->geometry());
    bool found = false;
    for (int y = overlap.top(); y <= overlap.bottom() && !found; y += 2)
        for (int x = overlap.left(); x <= overlap.right() && !found; x += 2)
            found = diagram->childAt(x, y) == top;
    QVERIFY(found);
    const QObjectList& children = diagram->children();
    QVERIFY(children.indexOf(top) > children.indexOf(below));
}

void BlockDiagramTest::defaultImageVisibility_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("shown");
    // Analogue output, LSt input with engine 2 but no hold time, no blocking time, astro with engine 1,
    // MFF off, remote control off, thermal management off.
    const std::pair<const char*, bool> table[] = {
        {"iTen", true},           {"Dali", false},      {"PWM", false},           {"SW_Ten", true},
        {"SW_DALI", false},       {"SW_PWM", false},    {"lMinLevel", true},      {"iLst_en", true},
        {"iLST_pol", false},      {"LST_dis", false},   {"SW_lst_close", true},   {"sw_lst_open", false},
        {"SW_hold_dis", false},   {"sw_hold_on", true}, {"sw_hold_off", true},    {"iTHold_en", true},
        {"HOLD_dis", true},       {"lHold", false},     {"iISD2_en", true},       {"dm2_dis", false},
        {"iTBlock_en", true},     {"Block_dis", true},  {"SW_block_close", true}, {"sw_block_open", true},
        {"lBlock", false},        {"iISD_en", true},    {"Astro_dis", false},     {"SW_astro_close", true},
        {"sw_astro_open", false}, {"iISD1_en", true},   {"dm1_dis", false},       {"iMFF_en", true},
        {"MFF_dis", true},        {"SW_mff_on", true},  {"sw_mff_off", true},     {"iRemote_en", true},
        {"rem_dis", true},        {"rc_off", true},     {"rc_main", false},       {"rc_lst", false},
        {"lRemote", false},       {"iTM", true},        {"iTM_dis", true},        {"sw_tm_on", false},
        {"sw_tm_off", true},      {"iTDpc_en", true},   {"lPO_Delay", true},      {"lPO_Fade", true},
        {"lPO_Level", true},      {"iRelay", true},
    };
    for (const auto& [name, shown] : table)
        QTest::newRow(name) << QString::fromLatin1(name) << shown;
}

void BlockDiagramTest::defaultImageVisibility() {
    QFETCH(QString, name);
    QFETCH(bool, shown);
    Image image = lumeq::defaultImage();
    diagram->setDisplay(image);
    QVERIFY2(control(name), "no such control");
    QCOMPARE(visible(name), shown);
    QCOMPARE(image, lumeq::defaultImage());
}

void BlockDiagramTest::defaultImageLabels() {
    Image image = lumeq::defaultImage();
    diagram->setDisplay(image);
    QCOMPARE(text("lMinLevel"), QStringLiteral("Min. Level=0%"));
    QCOMPARE(text("lPO_Level"), QStringLiteral("L=100%"));
    QCOMPARE(text("lPO_Delay"), QStringLiteral("D=Random"));
    QCOMPARE(text("lPO_Fade"), QStringLiteral("F=0"));
    QVERIFY(!diagram->remoteDimActive());
}

void BlockDiagramTest::emptyEngineSwitchesItsInputOff_data() {
    QTest::addColumn<int>("levelByte");
    QTest::addColumn<int>("flagBit");
    QTest::addColumn<int>("otherBit");
    QTest::addColumn<QStringList>("greyed");
    QTest::newRow("engine 2 empty: control input off")
        << int(img::Engine2FirstLevel) << int(img::FlagLst) << int(img::FlagAstro)
        << QStringList{"LST_dis", "dm2_dis", "sw_lst_open", "SW_hold_dis", "HOLD_dis"};
    QTest::newRow("engine 1 empty: astro clock off")
        << int(img::Engine1FirstLevel) << int(img::FlagAstro) << int(img::FlagLst)
        << QStringList{"Astro_dis", "dm1_dis", "sw_astro_open"};
}

void BlockDiagramTest::emptyEngineSwitchesItsInputOff() {
    QFETCH(int, levelByte);
    QFETCH(int, flagBit);
    QFETCH(int, otherBit);
    QFETCH(QStringList, greyed);
    Image image = imageFor(Setup::AllOn);
    image[levelByte] = 0xFF;
    QVERIFY(lumeq::TestBit(image[img::Flags], flagBit));
    const lumeq::IdleEnginesSwitchedOff cleared = diagram->setDisplay(image);
    QCOMPARE(cleared.controlInput, flagBit == int(img::FlagLst));
    QCOMPARE(cleared.astroClock, flagBit == int(img::FlagAstro));
    QVERIFY(!lumeq::TestBit(image[img::Flags], flagBit));
    QVERIFY(lumeq::TestBit(image[img::Flags], otherBit));
    for (const QString& name : greyed)
        QVERIFY2(visible(name), qPrintable(name));
}

void BlockDiagramTest::blockingTime_data() {
    QTest::addColumn<int>("units");
    QTest::addColumn<bool>("greyed");
    QTest::addColumn<QString>("label"); // empty: hidden
    QTest::newRow("off") << 0 << true << QString();
    QTest::newRow("one unit") << 1 << false << QStringLiteral("00:00:05");
    QTest::newRow("longest") << 255 << false << QStringLiteral("00:21:15");
}

void BlockDiagramTest::blockingTime() {
    QFETCH(int, units);
    QFETCH(bool, greyed);
    QFETCH(QString, label);
    Image image = imageFor(Setup::AllOn); // a blocking time is on before
    diagram->setDisplay(image);
    image[img::BlockTime] = static_cast<std::uint8_t>(units);
    diagram->setDisplay(image);
    QCOMPARE(visible("Block_dis"), greyed);
    QCOMPARE(visible("sw_block_open"), greyed);
    QVERIFY(visible("SW_block_close"));
    QCOMPARE(visible("lBlock"), !label.isEmpty());
    if (!label.isEmpty())
        QCOMPARE(text("lBlock"), label);
}

void BlockDiagramTest::controlInput_data() {
    QTest::addColumn<Image>("before");
    QTest::addColumn<Image>("image");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QString>("holdText");

    Image on = imageFor(Setup::AllOn);
    Image highToLow = imageFor(Setup::HighToLow);
    Image longHold = on;
    longHold[img::HoldTime] = 0x5E;
    Image inputOff = on;
    inputOff[img::Flags] = lumeq::ClearBit(inputOff[img::Flags], img::FlagLst);

    QTest::newRow("polarity Low->High") << Image{} << on << QStringList{"iLst_en"} << QStringList{"iLST_pol", "LST_dis"}
                                        << QStringLiteral("00:00:30");
    QTest::newRow("polarity High->Low") << Image{} << highToLow << QStringList{"iLST_pol"}
                                        << QStringList{"iLst_en", "LST_dis"} << QStringLiteral("00:00:30");
    QTest::newRow("hold time set") << Image{} << longHold << QStringList{"lHold", "sw_hold_on"}
                                   << QStringList{"HOLD_dis", "sw_hold_off", "SW_hold_dis"}
                                   << QStringLiteral("00:05:00");
    QTest::newRow("input off keeps the hold label")
        << on << inputOff
        << QStringList{"LST_dis", "iLst_en", "iLST_pol", "SW_hold_dis", "HOLD_dis", "dm2_dis", "lHold"}
        << QStringList{"sw_hold_off"} << QStringLiteral("00:00:30");
}

void BlockDiagramTest::controlInput() {
    QFETCH(Image, before);
    QFETCH(Image, image);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    QFETCH(QString, holdText);
    if (!before.empty())
        diagram->setDisplay(before);
    diagram->setDisplay(image);
    for (const QString& name : shown)
        QVERIFY2(visible(name), qPrintable(name + " hidden"));
    for (const QString& name : hidden)
        QVERIFY2(!visible(name), qPrintable(name + " shown"));
    if (visible("lHold"))
        QCOMPARE(text("lHold"), holdText);
}

void BlockDiagramTest::powerOnLabels_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("fade");
    QTest::addColumn<QString>("levelText");
    QTest::addColumn<QString>("delayText");
    QTest::addColumn<QString>("fadeText");
    QTest::newRow("random delay") << 100 << 0xFF << 0 << "L=100%"
                                  << "D=Random"
                                  << "F=0";
    QTest::newRow("fixed delay, fade") << 50 << 0x1E << 0x3C << "L=50%"
                                       << "D=00:00:30"
                                       << "F=00,060";
    QTest::newRow("long delay, slowest fade") << 0 << 0xC6 << 0xFF << "L=0%"
                                              << "D=01:30:00"
                                              << "F=56,700";
    QTest::newRow("no delay") << 7 << 0 << 0x41 << "L=7%"
                              << "D=0"
                              << "F=00,010";
}

void BlockDiagramTest::powerOnLabels() {
    QFETCH(int, level);
    QFETCH(int, delay);
    QFETCH(int, fade);
    QFETCH(QString, levelText);
    QFETCH(QString, delayText);
    QFETCH(QString, fadeText);
    Image image = lumeq::defaultImage();
    image[img::PowerOnLevel] = static_cast<std::uint8_t>(level);
    image[img::PowerOnDelay] = static_cast<std::uint8_t>(delay);
    image[img::PowerOnFade] = static_cast<std::uint8_t>(fade);
    diagram->setDisplay(image);
    QCOMPARE(text("lPO_Level"), levelText);
    QCOMPARE(text("lPO_Delay"), delayText);
    QCOMPARE(text("lPO_Fade"), fadeText);
    for (const char* name : {"lPO_Level", "lPO_Delay", "lPO_Fade"})
        QVERIFY(visible(name));
    // The label shows its whole text.
    auto* delayLabel = diagram->label(BlockDiagram::Label::lPO_Delay);
    QVERIFY(delayLabel->width() >= delayLabel->fontMetrics().horizontalAdvance(delayText));
}

void BlockDiagramTest::outputType_data() {
    QTest::addColumn<int>("firstFlags");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("block"); // the output picture the user sees
    QTest::addColumn<QString>("selector");
    QTest::newRow("DALI after PWM") << 0x0E << 0x0D << "Dali"
                                    << "SW_DALI";
    QTest::newRow("DALI linear after 1-10V") << 0x0C << 0x0F << "Dali"
                                             << "SW_DALI";
    QTest::newRow("PWM after DALI") << 0x0D << 0x0E << "PWM"
                                    << "SW_PWM";
    QTest::newRow("1-10V after DALI linear") << 0x0F << 0x0C << "iTen"
                                             << "SW_Ten";
    QTest::newRow("1-10V after PWM") << 0x0E << 0x0C << "iTen"
                                     << "SW_Ten";
}

void BlockDiagramTest::outputType() {
    QFETCH(int, firstFlags);
    QFETCH(int, flags);
    QFETCH(QString, block);
    QFETCH(QString, selector);
    Image image = lumeq::defaultImage();
    image[img::Flags] = static_cast<std::uint8_t>(firstFlags);
    diagram->setDisplay(image);
    image[img::Flags] = static_cast<std::uint8_t>(flags);
    diagram->setDisplay(image);
    for (const char* name : {"iTen", "Dali", "PWM", "SW_Ten", "SW_DALI", "SW_PWM"}) {
        const QString control = QLatin1String(name);
        const bool expected = control == block || control == selector || control == QLatin1String("iTen") ||
                              control == QLatin1String("SW_Ten");
        QVERIFY2(visible(control) == expected, name);
    }
    QCOMPARE(diagram->childAt(topmostPoint(control(block))), control(block));
    QCOMPARE(diagram->childAt(topmostPoint(control(selector))), control(selector));
}

void BlockDiagramTest::remoteControl_data() {
    QTest::addColumn<int>("inputBits"); // byte 0 bits 5 and 6
    QTest::addColumn<int>("mode");      // byte 68 high nibble
    QTest::addColumn<bool>("locked");   // the window's interlock while the image is shown
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("label"); // empty: hidden
    QTest::addColumn<bool>("remoteDim");
    QTest::addColumn<int>("editorOpened");

    QTest::newRow("mains, MidNight") << 0x20 << 0x10 << false << "rc_main"
                                     << "MidNight" << false << 0;
    QTest::newRow("mains, MidNight Protect") << 0x20 << 0x30 << false << "rc_main"
                                             << "MidNight Protect" << false << 0;
    QTest::newRow("LSt, Remote DIM, window free") << 0x40 << 0x20 << false << "rc_lst"
                                                  << "Remote DIM" << true << 1;
    QTest::newRow("LSt, Remote DIM, window locked") << 0x40 << 0x20 << true << "rc_lst"
                                                    << "Remote DIM" << true << 0;
    QTest::newRow("LSt, MidNight") << 0x40 << 0x10 << false << "rc_lst"
                                   << "MidNight" << false << 1;
    QTest::newRow("LSt, mode of the mains input") << 0x40 << 0x30 << false << "rc_lst"
                                                  << "Remote DIM" << false << 1;
    QTest::newRow("off") << 0x00 << 0x20 << false << "rc_off" << QString() << false << 0;
}

void BlockDiagramTest::remoteControl() {
    QFETCH(int, inputBits);
    QFETCH(int, mode);
    QFETCH(bool, locked);
    QFETCH(QString, selector);
    QFETCH(QString, label);
    QFETCH(bool, remoteDim);
    QFETCH(int, editorOpened);

    diagram->setRemoteDimActive(!remoteDim); // the flag is set from the image, not kept
    Image image = imageFor(Setup::AllOn);
    image[img::Flags] = static_cast<std::uint8_t>((image[img::Flags] & 0x9F) | inputBits);
    image[img::Options] = static_cast<std::uint8_t>(mode | (image[img::Options] & 0x0F));
    host.formDisabled = locked;
    QSignalSpy opened(diagram.get(), &BlockDiagram::openEditor);
    diagram->setDisplay(image);

    QCOMPARE(opened.count(), editorOpened);
    if (editorOpened)
        QCOMPARE(opened.at(0).at(0).value<Editor>(), Editor::Remote);
    for (const char* name : {"rc_off", "rc_main", "rc_lst"})
        QCOMPARE(visible(QLatin1String(name)), selector == QLatin1String(name));
    QCOMPARE(visible("rem_dis"), label.isEmpty());
    QCOMPARE(visible("lRemote"), !label.isEmpty());
    QCOMPARE(diagram->remoteDimActive(), remoteDim);
    if (label.isEmpty())
        return;
    QCOMPARE(text("lRemote"), label);
    QVERIFY(diagram->label(BlockDiagram::Label::lRemote)->width() >= 94);
}

void BlockDiagramTest::clicksRoute_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("opensEditor");
    QTest::addColumn<QByteArray>("target"); // Editor or Switch key

    struct Row {
        Setup setup;
        const char* name;
        bool editor;
        const char* target;
    };
    const Row rows[] = {
        {Setup::AllOn, "iTBlock_en", true, "BlockTime"},
        {Setup::AllOn, "lBlock", true, "BlockTime"},
        {Setup::AllOn, "iMFF_en", true, "MFF"},
        {Setup::AllOn, "iTM", true, "ThermoM"},
        {Setup::AllOn, "iTDpc_en", true, "StartupDelay"},
        {Setup::AllOn, "lPO_Delay", true, "StartupDelay"},
        {Setup::AllOn, "lPO_Fade", true, "StartupDelay"},
        {Setup::AllOn, "lPO_Level", true, "StartupDelay"},
        {Setup::AllOn, "iISD_en", true, "ISD"},
        {Setup::AllOn, "iISD1_en", true, "Dimmer1"},
        {Setup::AllOn, "iTHold_en", true, "THold"},
        {Setup::AllOn, "lHold", true, "THold"},
        {Setup::AllOn, "iISD2_en", true, "Dimmer2"},
        {Setup::AllOn, "iTen", true, "Output"},
        {Setup::Dali, "Dali", true, "Output"},
        {Setup::Pwm, "PWM", true, "Output"},
        {Setup::AllOn, "lMinLevel", true, "Output"},
        {Setup::AllOn, "iRemote_en", true, "Remote"},
        {Setup::AllOn, "lRemote", true, "Remote"},
        {Setup::AllOn, "iRelay", true, "Relay"},
        {Setup::AllOn, "SW_block_close", false, "SW_block_close"},
        {Setup::AllOff, "sw_block_open", false, "sw_block_open"},
        {Setup::AllOn, "SW_mff_on", false, "SW_mff_on"},
        {Setup::AllOff, "sw_mff_off", false, "sw_mff_off"},
        {Setup::AllOn, "sw_tm_on", false, "sw_tm_on"},
        {Setup::AllOff, "sw_tm_off", false, "sw_tm_off"},
        {Setup::AllOn, "SW_astro_close", false, "SW_astro_close"},
        {Setup::AllOff, "sw_astro_open", false, "sw_astro_open"},
        {Setup::AllOn, "SW_lst_close", false, "SW_lst_close"},
        {Setup::AllOff, "sw_lst_open", false, "sw_lst_open"},
        {Setup::AllOn, "sw_hold_on", false, "sw_hold_on"},
        {Setup::Default, "sw_hold_off", false, "sw_hold_off"},
        {Setup::AllOn, "SW_Ten", false, "SW_Ten"},
        {Setup::Pwm, "SW_PWM", false, "SW_PWM"},
        {Setup::Dali, "SW_DALI", false, "SW_DALI"},
        {Setup::AllOff, "rc_off", false, "rc_off"},
        {Setup::AllOn, "rc_main", false, "rc_main"},
        {Setup::RemoteLst, "rc_lst", false, "rc_lst"},
        {Setup::AllOn, "iLst_en", false, "iLst_en"},
        {Setup::HighToLow, "iLST_pol", false, "iLST_pol"},
    };
    for (const Row& row : rows)
        QTest::newRow(row.name) << row.setup << QString::fromLatin1(row.name) << row.editor << QByteArray(row.target);
}

void BlockDiagramTest::clicksRoute() {
    QFETCH(Setup, setup);
    QFETCH(QString, name);
    QFETCH(bool, opensEditor);
    QFETCH(QByteArray, target);

    Image image = imageFor(setup);
    diagram->setDisplay(image);
    QWidget* widget = control(name);
    QVERIFY(widget && visible(name));
    QCOMPARE(widget->cursor().shape(), Qt::PointingHandCursor);
    const QPoint point = topmostPoint(widget);
    QVERIFY2(point.x() >= 0, "covered by other pictures");

    QSignalSpy editors(diagram.get(), &BlockDiagram::openEditor);
    QSignalSpy switches(diagram.get(), &BlockDiagram::switchClicked);

    // While an editor is open every click does nothing.
    host.formDisabled = true;
    click(point);
    QCOMPARE(editors.count() + switches.count(), 0);

    host.formDisabled = false;
    click(point);
    QCOMPARE(editors.count(), opensEditor ? 1 : 0);
    QCOMPARE(switches.count(), opensEditor ? 0 : 1);
    const QByteArray key = opensEditor ? keyOf<BlockDiagram::Editor>(editors.at(0).at(0))
                                       : keyOf<BlockDiagram::Picture>(switches.at(0).at(0));
    QCOMPARE(key, target);
}

void BlockDiagramTest::greyedPicturesSwallowClicks_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("below");
    const char* pairs[][2] = {
        {"Block_dis", "iTBlock_en"},    {"MFF_dis", "iMFF_en"},  {"iTM_dis", "iTM"},
        {"Astro_dis", "iISD_en"},       {"dm1_dis", "iISD1_en"}, {"LST_dis", "iLst_en"},
        {"HOLD_dis", "iTHold_en"},      {"dm2_dis", "iISD2_en"}, {"rem_dis", "iRemote_en"},
        {"SW_hold_dis", "sw_hold_off"},
    };
    for (const auto& pair : pairs)
        QTest::newRow(pair[0]) << QString::fromLatin1(pair[0]) << QString::fromLatin1(pair[1]);
}

void BlockDiagramTest::greyedPicturesSwallowClicks() {
    QFETCH(QString, name);
    QFETCH(QString, below);
    Image image = imageFor(Setup::AllOff);
    diagram->setDisplay(image);
    QWidget* greyed = control(name);
    QWidget* active = control(below);
    QVERIFY(visible(name) && visible(below));
    QVERIFY(greyed->cursor().shape() != Qt::PointingHandCursor);
    const QPoint point = topmostPoint(greyed);
    QVERIFY(point.x() >= 0);
    QVERIFY(active->geometry().contains(point));

    QSignalSpy editors(diagram.get(), &BlockDiagram::openEditor);
    QSignalSpy switches(diagram.get(), &BlockDiagram::switchClicked);
    click(point);
    QCOMPARE(editors.count() + switches.count(), 0);
    // Once the greyed picture is gone the same place opens the block.
    greyed->hide();
    click(point);
    QCOMPARE(editors.count() + switches.count(), 1);
}

void BlockDiagramTest::shortImageIsLeftAlone() {
    Image image(10, 0xFF);
    QSignalSpy displayed(diagram.get(), &BlockDiagram::displayed);
    diagram->setDisplay(image);
    QCOMPARE(image, Image(10, 0xFF));
    QCOMPARE(displayed.count(), 0);
}

void BlockDiagramTest::hints_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("hint"); // empty: the picture has none
    const QString mff = "MFF (Maintenance Factor Function)\nReduction of the degree to which the luminous flux "
                        "decreases\nover the service life of the light source.\n\nBBT (Burn-In Block Time)\n"
                        "Disable dimming during the burn-in period\nof conventional light sources.";
    const QString timer =
        "Timer\nAfter power on disable the power reduction/ dimming for\na configurable period of time.";
    const QString powerOn =
        "Power On\nConfigurable delay, fade and level immediately after power on.\n\nDPC (Delayed Switching for "
        "Pedestrian Crossing)\nThe lighting is switched on after a delay or switched off\nmore quickly in the "
        "vicinity of pedestrian crossings.\n\nDOO (Dimmed ON/OFF)\nThe lighting system is fade-in/out.";
    const QString isd =
        "ISD(Intelligent Switching Time Dimming)\nThe dimming period is derived from the switch-on/off time.";
    const QString hold = "Timer\nHold time, increase the impulse width for the control input.";
    const QString engine1 = "Dimming Engine 1\nTimer-controlled periods of dimmed light.";
    const QString engine2 = "Dimming Engine 2\nTimer-controlled periods of dimmed light.";
    const QString output = "Control Output\nConfigurable DALI or 1-10V output";
    const QString remote = "Remote Control\nAllowing the change of configuration parameters.";
    const std::pair<const char*, QString> rows[] = {
        {"MFF_dis", mff},
        {"iMFF_en", mff},
        {"Block_dis", timer},
        {"iTBlock_en", timer},
        {"iTDpc_en", powerOn},
        {"LST_dis", "230Vac Control Input"},
        {"iLst_en", "230Vac Control Input"},
        {"iLST_pol", "230Vac Control Input"},
        {"Astro_dis", isd},
        {"iISD_en", isd},
        {"HOLD_dis", hold},
        {"iTHold_en", hold},
        {"dm1_dis", engine1},
        {"iISD1_en", engine1},
        {"dm2_dis", engine2},
        {"iISD2_en", engine2},
        {"Dali", output},
        {"iTen", output},
        {"rem_dis", remote},
        {"iRemote_en", remote},
        {"iRelay", "Relay\nChangeover relay output"},
        // No hint: PWM, thermal management, switches.
        {"PWM", QString()},
        {"iTM", QString()},
        {"iTM_dis", QString()},
        {"sw_tm_on", QString()},
        {"SW_block_close", QString()},
        {"rc_off", QString()},
    };
    for (const auto& [name, hint] : rows)
        QTest::newRow(name) << QString::fromLatin1(name) << hint;
}

void BlockDiagramTest::hints() {
    int withHint = 0;
    for (auto* picture : diagram->findChildren<DiagramPicture*>())
        withHint += picture->hint().isEmpty() ? 0 : 1;
    QCOMPARE(withHint, 21);
    QFETCH(QString, name);
    QFETCH(QString, hint);
    QWidget* picture = control(name);
    QVERIFY(picture);
    // Off until "Show Hints" is ticked, and off again when it is unticked.
    QCOMPARE(picture->toolTip(), QString());
    diagram->setHintsEnabled(true);
    QCOMPARE(picture->toolTip(), hint);
    if (!hint.isEmpty())
        QCOMPARE(picture->toolTipDuration(), 60000);
    diagram->setHintsEnabled(false);
    QCOMPARE(picture->toolTip(), QString());
}

LUMEQ_GUI_TEST(BlockDiagramTest)
#include "blockdiagram_test.moc"
