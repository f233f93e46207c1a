// The maintenance-factor editor pMFF with its switch and its chart pHelpMFF: the opening, the lifetime
// slider that fills the levels, the intermediate points, OK and Cancel with the greying rule, and the chart.
// Widgets are found by their control names; clicks go through the window system.

#include "editorrig.h"
#include "guitest.h"
#include "roundtrip.h"
#include "windowrun.h"

#include "editors/mffeditor.h"
#include "model/image.h"
#include "model/layout.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

using lumeq::Image;
using lumeq::MffChart;
namespace img = lumeq::img;

namespace {

constexpr int kResetHours = 0x08;
const char* const kLevelEdits[] = {"eReduction", "eL1", "eL2", "eL3", "eStopLevel"};

// The default image with the MFF bytes given: lifetime units, burn-in hours and the five levels 69..73.
Image mffImage(int lifetime, int burnIn, const QList<int>& levels = {0xFF, 0, 0, 0, 0}) {
    Image image = lumeq::defaultImage();
    image[img::MffLifetime] = static_cast<std::uint8_t>(lifetime);
    image[img::MffBurnIn] = static_cast<std::uint8_t>(burnIn);
    for (qsizetype i = 0; i < levels.size(); ++i)
        image[img::MffStart + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(levels[i]);
    return image;
}

QList<int> levelBytes(const Image& image) {
    QList<int> levels;
    for (std::size_t at = img::MffStart; at <= img::MffStop; ++at)
        levels << image[at];
    return levels;
}

bool isRed(QRgb pixel) {
    return qRed(pixel) > 200 && qGreen(pixel) < 90 && qBlue(pixel) < 90;
}

class Rig : public EditorRig {
public:
    explicit Rig(Image image) : EditorRig(std::move(image)) {
        editor = host.editors().find<lumeq::MffEditor>();
        QVERIFY(editor);
    }

    QString text(const char* name) { return find<QLineEdit>(name)->text(); }
    // Start level, L1, L2, L3 and stop level as shown.
    QStringList levels() {
        QStringList shown;
        for (const char* name : kLevelEdits)
            shown << text(name);
        return shown;
    }
    bool levelsEnabled() {
        bool all = true;
        bool none = true;
        for (const char* name : kLevelEdits) {
            all = all && find(name)->isEnabled();
            none = none && !find(name)->isEnabled();
        }
        if (!all && !none)
            qWarning("the level edits are not enabled alike");
        return all;
    }
    QScrollBar* slider() { return find<QScrollBar>("sbMFF"); }
    void set(const char* edit, int position) {
        click(edit);
        slider()->setValue(position);
    }
    // Opens the editor from the block, or from the switch while the block is greyed.
    void open() {
        click(pictureShown("MFF_dis") ? "sw_mff_off" : "iMFF_en");
        QVERIFY(shown("pMFF"));
    }
    bool greyed() {
        const bool grey = pictureShown("MFF_dis");
        if (pictureShown("sw_mff_off") != grey)
            qWarning("MFF_dis and sw_mff_off disagree");
        return grey;
    }
    // The chart as drawn, at a pixel ratio.
    QImage chartImage(qreal ratio = 1) {
        MffChart* chart = editor->chart();
        QImage image(chart->size() * ratio, QImage::Format_ARGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        chart->render(&image);
        return image;
    }
    lumeq::MffEditor* editor = nullptr;
};

} // namespace

class MffTest : public QObject {
    Q_OBJECT

private slots:
    void panel();
    void opening_data();
    void opening();
    void sliderServesTheEdit_data();
    void sliderServesTheEdit();
    void lifetimeSlider();
    void intermediatePoints_data();
    void intermediatePoints();
    void pointMovedByHand();
    void pointWithoutRoom();
    void confirm_data();
    void confirm();
    void cancelWritesNothing();
    void switchClosedKeepsTheLevels();
    void switchOpenedThenCancelled_data();
    void switchOpenedThenCancelled();
    void chartAsksForTheLifetime();
    void chartDrawsTheCurve();
    void chartGridIsSharpAtDoubleDensity();
    void roundTrip();
};

void MffTest::panel() {
    Rig rig(mffImage(0, 0));
    QCOMPARE(rig.find("pMFF")->geometry(), QRect(269, 27, 300, 205));
    QCOMPARE(rig.find<QGroupBox>("gbMFF")->title(), QStringLiteral("MFF Setup"));
    QCOMPARE(rig.find<QGroupBox>("gbBBT")->title(), QStringLiteral("BBT Setup"));
    QCOMPARE(rig.find<QCheckBox>("cbresetOH")->text(), QStringLiteral("Reset operating hours"));
    QCOMPARE(rig.find<QLabel>("lMFFLifeTime")->text(), QStringLiteral("Lifetime"));
    QCOMPARE(rig.find<QLabel>("lBurnIn")->text(), QStringLiteral("Burn-In Period"));
    rig.open();
    for (const char* name : {"eLifeTime", "eReduction", "eStopLevel", "eL1", "eL2", "eL3", "eBurnIn"})
        QVERIFY2(rig.find<QLineEdit>(name)->isReadOnly(), name);
    for (const char* name : {"bMFFOk", "bMFFCancel", "bMFFHelp"})
        QVERIFY2(rig.shown(name), name);
    QVERIFY(!rig.shown("pMFFSlider"));
    QVERIFY(!rig.shown("pHelpMFF"));
    rig.click("eBurnIn");
    QVERIFY(rig.shown("pMFFSlider"));
    QCOMPARE(rig.find<QLineEdit>("eBurnIn")->palette().color(QPalette::Active, QPalette::Text), QColor(0, 128, 128));
    rig.click("bMFFCancel");
    QVERIFY(rig.find<QLineEdit>("eBurnIn")->palette().color(QPalette::Active, QPalette::Text) != QColor(0, 128, 128));
}

void MffTest::opening_data() {
    QTest::addColumn<int>("lifetime");
    QTest::addColumn<int>("burnIn");
    QTest::addColumn<QList<int>>("stored");
    QTest::addColumn<QString>("lifetimeText");
    QTest::addColumn<QStringList>("levels");
    QTest::newRow("off with burn-in") << 0 << 12 << QList<int>{80, 85, 90, 95, 100} << "0"
                                      << QStringList{"-", "-", "-", "-", "-"};
    QTest::newRow("default image") << 0 << 0 << QList<int>{0xFF, 0, 0, 0, 0} << "0"
                                   << QStringList{"-", "-", "-", "-", "-"};
    QTest::newRow("50000 h") << 100 << 0 << QList<int>{70, 75, 81, 88, 95} << "50000"
                             << QStringList{"70", "75", "81", "88", "95"};
    QTest::newRow("highest lifetime") << 255 << 255 << QList<int>{0, 0, 0, 0, 0} << "127500"
                                      << QStringList{"0", "0", "0", "0", "0"};
}

void MffTest::opening() {
    QFETCH(int, lifetime);
    QFETCH(int, burnIn);
    QFETCH(QList<int>, stored);
    QFETCH(QString, lifetimeText);
    QFETCH(QStringList, levels);
    Image image = mffImage(lifetime, burnIn, stored);
    image[img::Options] |= kResetHours;
    Rig rig(image);
    rig.open();
    QCOMPARE(rig.text("eLifeTime"), lifetimeText);
    QCOMPARE(rig.text("eBurnIn"), QString::number(burnIn));
    QCOMPARE(rig.levels(), levels);
    QCOMPARE(rig.levelsEnabled(), lifetime != 0);
    // The reset box is not taken from the image.
    QVERIFY(!rig.find<QCheckBox>("cbresetOH")->isChecked());
    QVERIFY(rig.host.formDisabled());
    QCOMPARE(rig.host.image(), image);
}

void MffTest::sliderServesTheEdit_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");
    // 5000 h, burn-in 24 h, levels 70, 75, 81, 88, 95.
    QTest::newRow("lifetime") << "eLifeTime" << 1 << 0 << 255 << 10 << "5000";
    QTest::newRow("start level") << "eReduction" << 2 << 0 << 100 << 70 << "70";
    QTest::newRow("burn-in") << "eBurnIn" << 3 << 0 << 255 << 24 << "24";
    QTest::newRow("stop level: from the start level") << "eStopLevel" << 4 << 70 << 100 << 95 << "95";
    QTest::newRow("L1: start level to L2") << "eL1" << 5 << 70 << 81 << 75 << "75";
    QTest::newRow("L2: L1 to L3") << "eL2" << 6 << 75 << 88 << 81 << "81";
    QTest::newRow("L3: L2 to stop level") << "eL3" << 7 << 81 << 95 << 88 << "88";
}

// One strip serves the seven edits: its tag, limits and position for each.
void MffTest::sliderServesTheEdit() {
    QFETCH(QString, edit);
    QFETCH(int, tag);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, position);
    QFETCH(QString, shown);
    Rig rig(mffImage(10, 24, {70, 75, 81, 88, 95}));
    rig.open();
    rig.click(qPrintable(edit));
    QScrollBar* slider = rig.slider();
    QVERIFY(slider->isEnabled());
    QCOMPARE(slider->property("tag").toInt(), tag);
    QCOMPARE(slider->minimum(), minimum);
    QCOMPARE(slider->maximum(), maximum);
    QCOMPARE(slider->value(), position);
    QCOMPARE(rig.text(qPrintable(edit)), shown);
}

void MffTest::lifetimeSlider() {
    Rig rig(mffImage(0, 0));
    rig.open();
    rig.click("eLifeTime");
    QCOMPARE(rig.slider()->minimum(), 0);
    QCOMPARE(rig.slider()->maximum(), 255);
    QCOMPARE(rig.slider()->value(), 0);

    rig.slider()->setValue(1);
    QCOMPARE(rig.text("eLifeTime"), QStringLiteral("500"));
    QCOMPARE(rig.levels(), (QStringList{"80", "85", "90", "95", "100"}));
    QVERIFY(rig.levelsEnabled());

    // Levels on show stay; the points are computed again.
    rig.set("eReduction", 60);
    rig.set("eLifeTime", 255);
    QCOMPARE(rig.text("eLifeTime"), QStringLiteral("127500"));
    QCOMPARE(rig.levels(), (QStringList{"60", "70", "80", "90", "100"}));

    rig.slider()->setValue(0);
    QCOMPARE(rig.text("eLifeTime"), QStringLiteral("0"));
    QCOMPARE(rig.levels(), (QStringList{"-", "-", "-", "-", "-"}));
    QVERIFY(!rig.levelsEnabled());
}

void MffTest::intermediatePoints_data() {
    QTest::addColumn<int>("firstStart"); // the start level before the stop level is set
    QTest::addColumn<int>("stop");
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<int>>("points");
    QTest::newRow("80 to 100") << 80 << 100 << 80 << QList<int>{85, 90, 95};
    QTest::newRow("81: 85.75, 90.5, 95.25") << 81 << 100 << 81 << QList<int>{86, 90, 95};
    QTest::newRow("82: 86.5, 91, 95.5") << 82 << 100 << 82 << QList<int>{86, 91, 96};
    QTest::newRow("83: 87.25, 91.5, 95.75") << 83 << 100 << 83 << QList<int>{87, 92, 96};
    QTest::newRow("start above stop falls") << 20 << 40 << 90 << QList<int>{78, 65, 52};
    QTest::newRow("start above stop, halves") << 0 << 1 << 100 << QList<int>{75, 50, 26};
    QTest::newRow("flat") << 0 << 0 << 0 << QList<int>{0, 0, 0};
}

void MffTest::intermediatePoints() {
    QFETCH(int, firstStart);
    QFETCH(int, stop);
    QFETCH(int, start);
    QFETCH(QList<int>, points);
    Rig rig(mffImage(0, 0));
    rig.open();
    rig.set("eLifeTime", 3);
    rig.set("eReduction", firstStart);
    rig.set("eStopLevel", stop);
    QCOMPARE(rig.slider()->minimum(), firstStart);
    rig.set("eReduction", start);
    const QStringList expected{QString::number(start), QString::number(points[0]), QString::number(points[1]),
                               QString::number(points[2]), QString::number(stop)};
    QCOMPARE(rig.levels(), expected);

    rig.click("bMFFOk");
    QCOMPARE(levelBytes(rig.host.image()), (QList<int>{start, points[0], points[1], points[2], stop}));
    QCOMPARE(int(rig.host.image()[img::MffLifetime]), 3);
}

void MffTest::pointMovedByHand() {
    Rig rig(mffImage(0, 0));
    rig.open();
    rig.set("eLifeTime", 1);
    rig.click("eL2");
    QCOMPARE(rig.slider()->minimum(), 85);
    QCOMPARE(rig.slider()->maximum(), 95);
    QCOMPARE(rig.slider()->value(), 90);
    rig.slider()->setValue(93);
    QCOMPARE(rig.levels(), (QStringList{"80", "85", "93", "95", "100"}));
    rig.set("eL3", 100);
    QCOMPARE(rig.text("eL3"), QStringLiteral("100"));
    rig.set("eL1", 80);
    QCOMPARE(rig.levels(), (QStringList{"80", "80", "93", "100", "100"}));
    rig.click("bMFFOk");
    QCOMPARE(levelBytes(rig.host.image()), (QList<int>{80, 80, 93, 100, 100}));

    // A point outside its neighbours (from the image) is pulled to the nearer one when clicked.
    rig.host.load(mffImage(4, 0, {50, 70, 60, 80, 90}));
    rig.open();
    rig.click("eL1");
    QCOMPARE(rig.text("eL1"), QStringLiteral("60"));
    rig.click("bMFFOk");
    QCOMPARE(levelBytes(rig.host.image()), (QList<int>{50, 60, 60, 80, 90}));
}

// Falling points leave the intermediate sliders no room between their neighbours: the slider stays where it
// stands, takes no moves, and the point keeps its value.
void MffTest::pointWithoutRoom() {
    Rig rig(mffImage(2, 0, {90, 78, 65, 52, 40}));
    rig.open();
    rig.set("eBurnIn", 17);
    QScrollBar* slider = rig.slider();
    for (const char* point : {"eL1", "eL2", "eL3"}) {
        rig.click(point);
        QCOMPARE(slider->value(), 17);
        QCOMPARE(slider->maximum(), 255);
        QVERIFY(!slider->isEnabled());
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 4, slider->height() / 2));
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(slider->value(), 17);
        QCOMPARE(rig.levels(), (QStringList{"90", "78", "65", "52", "40"}));
        QCOMPARE(rig.text("eBurnIn"), QStringLiteral("17"));
    }
    // Another edit takes the slider back.
    rig.click("eLifeTime");
    QVERIFY(slider->isEnabled());
    QCOMPARE(slider->value(), 2);
    rig.click("bMFFOk");
    QCOMPARE(levelBytes(rig.host.image()), (QList<int>{90, 78, 65, 52, 40}));
    QCOMPARE(int(rig.host.image()[img::MffBurnIn]), 17);
}

void MffTest::confirm_data() {
    QTest::addColumn<int>("lifetime");
    QTest::addColumn<int>("burnIn");
    QTest::addColumn<int>("newLifetime"); // slider position, -1: left alone
    QTest::addColumn<int>("newBurnIn");
    QTest::addColumn<bool>("tickReset");
    QTest::addColumn<QList<int>>("levels");
    QTest::addColumn<bool>("greyed");
    const QList<int> stored{80, 85, 90, 95, 100};
    const QList<int> zeros{0, 0, 0, 0, 0};
    QTest::newRow("unchanged") << 10 << 24 << -1 << -1 << false << stored << false;
    QTest::newRow("lifetime 0 keeps the burn-in") << 10 << 24 << 0 << -1 << false << zeros << false;
    QTest::newRow("lifetime and burn-in 0 grey") << 10 << 24 << 0 << 0 << false << zeros << true;
    QTest::newRow("burn-in only") << 0 << 0 << -1 << 200 << false << zeros << false;
    QTest::newRow("reset hours") << 10 << 0 << -1 << -1 << true << stored << false;
    QTest::newRow("nothing set") << 0 << 0 << -1 << -1 << true << zeros << true;
}

void MffTest::confirm() {
    QFETCH(int, lifetime);
    QFETCH(int, burnIn);
    QFETCH(int, newLifetime);
    QFETCH(int, newBurnIn);
    QFETCH(bool, tickReset);
    QFETCH(QList<int>, levels);
    QFETCH(bool, greyed);
    Image image =
        mffImage(lifetime, burnIn, lifetime == 0 ? QList<int>{0, 0, 0, 0, 0} : QList<int>{80, 85, 90, 95, 100});
    image[img::Options] = 0x25; // bits of other editors, kept
    Rig rig(image);
    rig.open();
    if (newLifetime >= 0)
        rig.set("eLifeTime", newLifetime);
    if (newBurnIn >= 0)
        rig.set("eBurnIn", newBurnIn);
    if (tickReset)
        rig.click("cbresetOH");
    rig.click("bMFFOk");

    Image expected = image;
    expected[img::MffLifetime] = static_cast<std::uint8_t>(newLifetime >= 0 ? newLifetime : lifetime);
    expected[img::MffBurnIn] = static_cast<std::uint8_t>(newBurnIn >= 0 ? newBurnIn : burnIn);
    for (qsizetype i = 0; i < levels.size(); ++i)
        expected[img::MffStart + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(levels[i]);
    if (tickReset)
        expected[img::Options] |= kResetHours;
    QCOMPARE(rig.host.image(), expected);
    QCOMPARE(rig.greyed(), greyed);
    QVERIFY(!rig.shown("pMFF"));
    QVERIFY(!rig.find("pMFFSlider")->isVisibleTo(rig.find("pMFF")));
    QVERIFY(!rig.host.formDisabled());
}

void MffTest::cancelWritesNothing() {
    Image image = mffImage(10, 24, {80, 85, 90, 95, 100});
    Rig rig(image);
    rig.open();
    rig.set("eLifeTime", 0);
    rig.set("eBurnIn", 0);
    rig.click("cbresetOH");
    rig.click("bMFFCancel");
    QCOMPARE(rig.host.image(), image);
    QVERIFY(!rig.greyed());
    QVERIFY(!rig.shown("pMFF"));
    QVERIFY(!rig.host.formDisabled());

    rig.open();
    QCOMPARE(rig.text("eLifeTime"), QStringLiteral("5000"));
    QCOMPARE(rig.levels(), (QStringList{"80", "85", "90", "95", "100"}));
}

void MffTest::switchClosedKeepsTheLevels() {
    Image image = mffImage(10, 24, {80, 85, 90, 95, 100});
    image[img::Options] = 0x2D;
    Rig rig(image);
    QVERIFY(!rig.greyed());
    rig.open();
    rig.click("cbresetOH");
    rig.click("bMFFOk");
    QVERIFY(rig.find<QCheckBox>("cbresetOH")->isChecked());

    rig.click("SW_mff_on");
    Image expected = image;
    expected[img::MffLifetime] = 0;
    expected[img::MffBurnIn] = 0;
    expected[img::Options] = 0x25;
    QCOMPARE(rig.host.image(), expected);
    QVERIFY(rig.greyed());
    QVERIFY(!rig.find<QCheckBox>("cbresetOH")->isChecked());
    QVERIFY(!rig.shown("pMFF"));
}

void MffTest::switchOpenedThenCancelled_data() {
    QTest::addColumn<int>("burnIn");
    QTest::addColumn<bool>("greyedAfter");
    QTest::newRow("nothing set: greyed again") << 0 << true;
    // A burn-in alone is greyed by the redraw, but the block shows active once the editor has closed.
    QTest::newRow("burn-in only: active") << 36 << false;
}

void MffTest::switchOpenedThenCancelled() {
    QFETCH(int, burnIn);
    QFETCH(bool, greyedAfter);
    const Image image = mffImage(0, burnIn, {80, 85, 90, 95, 100});
    Rig rig(image);
    QVERIFY(rig.greyed());
    rig.click("sw_mff_off");
    QVERIFY(rig.shown("pMFF"));
    QVERIFY(!rig.greyed());
    QCOMPARE(rig.text("eLifeTime"), QStringLiteral("0"));
    QCOMPARE(rig.text("eBurnIn"), QString::number(burnIn));
    rig.click("bMFFCancel");
    QCOMPARE(rig.host.image(), image);
    QCOMPARE(rig.greyed(), greyedAfter);
    QVERIFY(!rig.host.formDisabled());
}

void MffTest::chartAsksForTheLifetime() {
    Rig rig(mffImage(0, 0));
    rig.open();
    rig.click("bMFFHelp");
    QCOMPARE(rig.find("pMFF")->size(), QSize(508, 508));
    QVERIFY(rig.shown("pHelpMFF"));
    QCOMPARE(rig.find("pHelpMFF")->geometry(), QRect(4, 4, 500, 500));
    QVERIFY(rig.editor->chart()->asksForLifetime());

    // Red only in the question, which starts at (240, 240) on its base line.
    const QImage drawn = rig.chartImage();
    int inQuestion = 0;
    int elsewhere = 0;
    const QRect question(236, 220, 120, 26);
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            if (isRed(drawn.pixel(x, y)))
                ++(question.contains(x, y) ? inQuestion : elsewhere);
        }
    }
    QVERIFY(inQuestion > 40);
    QCOMPARE(elsewhere, 0);

    // A click on the chart closes it and the panel shrinks back.
    QTest::mouseClick(rig.find("Image7"), Qt::LeftButton);
    QVERIFY(!rig.shown("pHelpMFF"));
    QCOMPARE(rig.find("pMFF")->size(), QSize(300, 205));
    QVERIFY(rig.find("pHelpMFF")->y() >= 205);
    QVERIFY(rig.shown("pMFF"));
    QVERIFY(rig.host.formDisabled());
}

void MffTest::chartDrawsTheCurve() {
    Rig rig(mffImage(0, 0));
    rig.open();
    rig.set("eLifeTime", 1);
    rig.set("eL2", 93);
    rig.click("bMFFHelp");
    MffChart* chart = rig.editor->chart();
    QVERIFY(!chart->asksForLifetime());
    const std::array<QPoint, 5> expected{QPoint(49, 126), QPoint(149, 106), QPoint(249, 74), QPoint(349, 66),
                                         QPoint(449, 46)};
    QCOMPARE(chart->curvePoints(), expected);

    // The red line runs through the corners and between them; nothing red near the question's place.
    const QImage drawn = rig.chartImage();
    for (int i = 0; i < 4; ++i) {
        const QPoint middle = (expected[i] + expected[i + 1]) / 2;
        QVERIFY2(isRed(drawn.pixel(middle)), qPrintable(QStringLiteral("segment %1").arg(i + 1)));
    }
    for (int x = 236; x < 356; ++x)
        QVERIFY(!isRed(drawn.pixel(x, 236)));

    // The chart shows the values on show when it opens, not those of its last opening.
    QTest::mouseClick(rig.find("Image7"), Qt::LeftButton);
    rig.set("eLifeTime", 0);
    rig.click("bMFFHelp");
    QVERIFY(chart->asksForLifetime());
}

void MffTest::chartGridIsSharpAtDoubleDensity() {
    Rig rig(mffImage(0, 0));
    rig.open();
    rig.click("bMFFHelp");
    const QImage drawn = rig.chartImage(2);
    QCOMPARE(drawn.size(), QSize(1000, 1000));
    // Across the vertical grid line at x = 149 (a row without text or horizontal lines): a line two device
    // pixels wide in one flat colour, white on both sides.
    const int row = 2 * 300 + 1;
    QList<QRgb> line;
    for (int x = 2 * 149 - 4; x <= 2 * 149 + 4; ++x) {
        const QRgb pixel = drawn.pixel(x, row);
        if (pixel != qRgb(255, 255, 255))
            line << pixel;
    }
    QCOMPARE(line.size(), 2);
    QCOMPARE(line[0], line[1]);
    // The same along a horizontal grid line (50 % at y = 246).
    QList<QRgb> across;
    for (int y = 2 * 246 - 4; y <= 2 * 246 + 4; ++y) {
        const QRgb pixel = drawn.pixel(2 * 200 + 1, y);
        if (pixel != qRgb(255, 255, 255))
            across << pixel;
    }
    QCOMPARE(across.size(), 2);
    QCOMPARE(across[0], line[0]);
}

void MffTest::roundTrip() {
    WindowRun run;
    run.startDemo();
    QTest::mouseClick(run.find("sw_mff_off"), Qt::LeftButton);
    auto set = [&run](const char* edit, int position) {
        QTest::mouseClick(run.find(QLatin1String(edit)), Qt::LeftButton);
        run.find<QScrollBar>("sbMFF")->setValue(position);
    };
    set("eLifeTime", 20);
    set("eReduction", 81);
    set("eBurnIn", 100);
    run.click("bMFFOk");

    const RoundTrip trip = RoundTrip::of(run);
    QVERIFY(trip.saved);
    QCOMPARE(levelBytes(run.window->image()), (QList<int>{81, 86, 90, 95, 100}));
    QVERIFY(run.find("MFF_dis")->isHidden());
    QVERIFY(run.find("sw_mff_off")->isHidden());
    QCOMPARE(trip.item("mff", "lifetime"), QStringLiteral("10000 h"));
    QCOMPARE(trip.item("mff", "startLevel"), QStringLiteral("81 %"));
    QCOMPARE(trip.item("mff", "level1"), QStringLiteral("86 %"));
    QCOMPARE(trip.item("mff", "level2"), QStringLiteral("90 %"));
    QCOMPARE(trip.item("mff", "level3"), QStringLiteral("95 %"));
    QCOMPARE(trip.item("mff", "stopLevel"), QStringLiteral("100 %"));
    QCOMPARE(trip.item("mff", "burnIn"), QStringLiteral("100 h"));
    QVERIFY(trip.reportPrints("Lifetime= 10000 h"));
    QVERIFY(trip.reportPrints("Start= 81%"));
    QVERIFY(trip.reportPrints("L1= 86%"));
    QVERIFY(trip.reportPrints("Burn-In= 100 h"));
}

LUMEQ_GUI_TEST(MffTest)
#include "mff_test.moc"
