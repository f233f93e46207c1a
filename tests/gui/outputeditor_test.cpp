// The control-output editor pOutput with the output selector of the diagram, and the dimming-curve
// chooser pDimmingCurve behind its cbDC and bDC. Widgets are found by their control names; clicks go
// through the window system so that the diagram's stacking and the interlock decide what happens.

#include "editorrig.h"
#include "guitest.h"

#include "diagram/blockdiagram.h"
#include "editors/dimmingcurvepanel.h"
#include "editors/outputeditor.h"
#include "model/image.h"
#include "model/layout.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaEnum>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <numeric>

using lumeq::BlockDiagram;
using lumeq::DimmingCurvePanel;
using lumeq::Image;
using lumeq::OutputEditor;
namespace img = lumeq::img;

namespace {

const QColor kTeal(0, 128, 128);

std::vector<int> identityPoints() {
    std::vector<int> points(101);
    std::iota(points.begin(), points.end(), 0);
    return points;
}

// Output = input / 2: level 20 is read back as 41, the highest input giving 20.
std::vector<int> halfPoints() {
    std::vector<int> points = identityPoints();
    for (int& point : points)
        point /= 2;
    return points;
}

QByteArray curveText(const std::vector<int>& points) {
    QByteArray text;
    for (const int point : points)
        text += QByteArray::number(point) + '\n';
    return text;
}

// The curve files of the tests, in list order.
struct CurveFile {
    const char* name;
    QByteArray text;
};

QList<CurveFile> curveFiles() {
    const QByteArray identity = curveText(identityPoints());
    QByteArray badValue = identity;
    badValue.replace("\n10\n", "\n101\n");
    QByteArray negative = identity;
    negative.replace("\n10\n", "\n-1\n");
    QByteArray word = identity;
    word.replace("\n10\n", "\nten\n");
    return {
        {"a_identity.dc", identity},
        {"b_half.dc", curveText(halfPoints())},
        {"c_short.dc", identity.left(identity.lastIndexOf("100\n"))}, // 100 lines
        {"d_long.dc", identity + "100\n"},                            // 102 lines
        {"e_value101.dc", badValue},
        {"f_negative.dc", negative},
        {"g_word.dc", word},
    };
}

// A 1-10V image with a minimum level of 20 and a power-on level of 100.
Image analogueImage() {
    Image image = lumeq::defaultImage();
    image[img::MinLevel] = 20;
    return image;
}

// The window with both panels, a program folder, and helpers to play the user's clicks.
class Rig : public EditorRig {
public:
    enum class Folder { None, Empty, Curves };

    explicit Rig(Image image = analogueImage(), Folder folder = Folder::Curves) : EditorRig(std::move(image)) {
        QDir program(dir.path());
        host.setProgramDir(dir.path() + QLatin1Char('/'));
        if (folder != Folder::None) {
            program.mkdir(QStringLiteral("DimmingCurve"));
            if (folder == Folder::Empty)
                write(QStringLiteral("tiny.dc"), "0\n");
            else
                for (const CurveFile& file : curveFiles())
                    write(QLatin1String(file.name), file.text);
        }
        output = host.editors().find<OutputEditor>();
        panel = host.editors().find<DimmingCurvePanel>();
        QVERIFY(output && panel);
    }

    void write(const QString& name, const QByteArray& text) {
        QFile file(dir.path() + QStringLiteral("/DimmingCurve/") + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    bool shown(const char* name) { return find<QWidget>(name)->isVisible(); }
    bool pictureShown(const char* name) { return !find<QWidget>(name)->isHidden(); }

    // Opens the editor by clicking the output picture on top.
    void open() {
        click(pictureShown("PWM") ? "PWM" : pictureShown("Dali") ? "Dali" : "iTen");
        QVERIFY(shown("pOutput"));
    }
    void selectEntry(int row) {
        auto* list = find<QListWidget>("lbDimmingCurve");
        const QRect place = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
        QCOMPARE(list->currentRow(), row);
    }
    QColor textColour(const char* name) {
        return find<QLineEdit>(name)->palette().color(QPalette::Active, QPalette::Text);
    }

    QTemporaryDir dir;
    OutputEditor* output = nullptr;
    DimmingCurvePanel* panel = nullptr;
};

} // namespace

class OutputEditorTest : public QObject {
    Q_OBJECT

private slots:
    void selectorCycle();
    void ignoredWhileFormDisabled_data();
    void ignoredWhileFormDisabled();
    void openAndConfirm_data();
    void openAndConfirm();
    void minimumLevel_data();
    void minimumLevel();
    void cancelWritesNothing();
    void curveControls_data();
    void curveControls();
    void chooseCurve_data();
    void chooseCurve();
    void switchCorrectionOff_data();
    void switchCorrectionOff();
    void chartShowsTheFile_data();
    void chartShowsTheFile();
    void startUpPreselects_data();
    void startUpPreselects();
    void correctionsForTheWindow();
    void logarithmicFollowsEveryRedraw();
};

void OutputEditorTest::selectorCycle() {
    Image image = analogueImage();
    image[img::Flags] = 0xAC | 0x03; // DALI linear, other functions on
    image[img::Options] = 0x15;      // Store POL and other options
    Rig rig(image);
    QVERIFY(rig.output->isDali());

    struct Step {
        const char* picture; // the selector picture on top, clicked
        int flags;
        int options;
        bool dali;
        bool pwm;
    };
    const Step steps[] = {
        {"SW_DALI", 0xAC, 0x15, false, false}, // to 1-10V; Store POL stays until the next OK or DALI
        {"SW_Ten", 0xAE, 0x15, false, true},   // to PWM
        {"SW_PWM", 0xAD, 0x11, true, false},   // to DALI logarithmic, Store POL cleared
        {"SW_DALI", 0xAC, 0x11, false, false}, // round again
    };
    for (const Step& step : steps) {
        QVERIFY2(rig.pictureShown(step.picture), step.picture);
        rig.click(step.picture);
        QCOMPARE(int(rig.host.image()[img::Flags]), step.flags);
        QCOMPARE(int(rig.host.image()[img::Options]), step.options);
        QCOMPARE(rig.pictureShown("Dali"), step.dali);
        QCOMPARE(rig.pictureShown("SW_DALI"), step.dali);
        QCOMPARE(rig.pictureShown("PWM"), step.pwm);
        QCOMPARE(rig.pictureShown("SW_PWM"), step.pwm);
        QCOMPARE(rig.output->isDali(), step.dali);
        QVERIFY(!rig.shown("pOutput"));
    }
}

enum class Action { ClickPicture, ClickLabel, CallOpen };
Q_DECLARE_METATYPE(Action)

void OutputEditorTest::ignoredWhileFormDisabled_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("name");
    QTest::newRow("DALI selector picture") << 0x0D << Action::ClickPicture << "SW_DALI";
    QTest::newRow("1-10V selector picture") << 0x0C << Action::ClickPicture << "SW_Ten";
    QTest::newRow("PWM selector picture") << 0x0E << Action::ClickPicture << "SW_PWM";
    QTest::newRow("DALI block") << 0x0D << Action::ClickPicture << "Dali";
    QTest::newRow("1-10V block") << 0x0C << Action::ClickPicture << "iTen";
    QTest::newRow("minimum-level label") << 0x0E << Action::ClickLabel << "lMinLevel";
    QTest::newRow("opening routine") << 0x0C << Action::CallOpen << "";
}

void OutputEditorTest::ignoredWhileFormDisabled() {
    QFETCH(int, flags);
    QFETCH(Action, action);
    QFETCH(QString, name);
    Image image = analogueImage();
    image[img::Flags] = static_cast<std::uint8_t>(flags);
    image[img::Options] = 0x04;
    Rig rig(image);
    const QStringList pictures = {"Dali", "SW_DALI", "PWM", "SW_PWM"};
    auto pictureState = [&rig, &pictures] {
        QList<bool> state;
        for (const QString& picture : pictures)
            state << rig.pictureShown(qPrintable(picture));
        return state;
    };
    const QList<bool> before = pictureState();
    rig.host.setFormDisabled(true);

    switch (action) {
    case Action::ClickPicture:
    case Action::ClickLabel:
        rig.click(qPrintable(name));
        break;
    case Action::CallOpen:
        rig.output->open();
        break;
    }

    QCOMPARE(rig.host.image(), image);
    QCOMPARE(pictureState(), before);
    QVERIFY(!rig.shown("pOutput"));
    QVERIFY(rig.host.formDisabled());
}

void OutputEditorTest::openAndConfirm_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("options");
    QTest::addColumn<bool>("clickLog");
    QTest::addColumn<bool>("clickPol");
    QTest::addColumn<bool>("daliControls");
    QTest::addColumn<bool>("logChecked"); // as the panel opens
    QTest::addColumn<bool>("polChecked");
    QTest::addColumn<int>("newFlags");
    QTest::addColumn<int>("newOptions");
    QTest::newRow("1-10V clears Store POL") << 0x0C << 0x05 << false << false << false << true << true << 0x0C << 0x01;
    QTest::newRow("PWM keeps bit 1, clears Store POL")
        << 0x0E << 0x04 << false << false << false << false << true << 0x0E << 0x00;
    QTest::newRow("DALI linear, tick Logarithmic")
        << 0x0F << 0x00 << true << false << true << false << false << 0x0D << 0x00;
    QTest::newRow("DALI logarithmic, untick") << 0x0D << 0x24 << true << false << true << true << true << 0x0F << 0x24;
    QTest::newRow("DALI, tick Store POL") << 0x0D << 0x10 << false << true << true << true << false << 0x0D << 0x14;
    QTest::newRow("DALI, untick Store POL") << 0x0D << 0x14 << false << true << true << true << true << 0x0D << 0x10;
    QTest::newRow("DALI unchanged") << 0x8D << 0x04 << false << false << true << true << true << 0x8D << 0x04;
}

void OutputEditorTest::openAndConfirm() {
    QFETCH(int, flags);
    QFETCH(int, options);
    QFETCH(bool, clickLog);
    QFETCH(bool, clickPol);
    QFETCH(bool, daliControls);
    QFETCH(bool, logChecked);
    QFETCH(bool, polChecked);
    QFETCH(int, newFlags);
    QFETCH(int, newOptions);
    Image image = analogueImage();
    image[img::Flags] = static_cast<std::uint8_t>(flags);
    image[img::Options] = static_cast<std::uint8_t>(options);
    Rig rig(image);

    rig.open();
    QVERIFY(rig.host.formDisabled());
    QCOMPARE(rig.find<QLineEdit>("eMinLevel")->text(), QStringLiteral("20"));
    QCOMPARE(rig.shown("cbDaliLog"), daliControls);
    QCOMPARE(rig.shown("cbStorePOL"), daliControls);
    QCOMPARE(rig.find<QCheckBox>("cbDaliLog")->isChecked(), logChecked);
    QCOMPARE(rig.find<QCheckBox>("cbStorePOL")->isChecked(), polChecked);
    QVERIFY(!rig.shown("pMinLevel"));
    if (clickLog)
        rig.click("cbDaliLog");
    if (clickPol)
        rig.click("cbStorePOL");
    rig.click("bOutput_OK");

    Image expected = image;
    expected[img::Flags] = static_cast<std::uint8_t>(newFlags);
    expected[img::Options] = static_cast<std::uint8_t>(newOptions);
    QCOMPARE(rig.host.image(), expected);
    QVERIFY(!rig.shown("pOutput"));
    QVERIFY(!rig.host.formDisabled());
}

void OutputEditorTest::minimumLevel_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("clickEdit");
    QTest::addColumn<int>("slideTo"); // -1: slider left alone
    QTest::addColumn<int>("level");
    QTest::newRow("slider to 0") << 40 << true << 0 << 0;
    QTest::newRow("slider to 100") << 40 << true << 100 << 100;
    QTest::newRow("slider moved") << 0 << true << 57 << 57;
    QTest::newRow("slider never opened") << 42 << false << -1 << 42;
    QTest::newRow("slider opened, not moved") << 42 << true << -1 << 42;
    QTest::newRow("damaged level opened") << 150 << true << -1 << 100;
    QTest::newRow("damaged level not opened") << 150 << false << -1 << 100;
}

void OutputEditorTest::minimumLevel() {
    QFETCH(int, stored);
    QFETCH(bool, clickEdit);
    QFETCH(int, slideTo);
    QFETCH(int, level);
    Image image = analogueImage();
    image[img::MinLevel] = static_cast<std::uint8_t>(stored);
    Rig rig(image);
    rig.open();
    auto* slider = rig.find<QScrollBar>("sbMinLevel");
    auto* edit = rig.find<QLineEdit>("eMinLevel");
    const QColor normal = rig.textColour("eMinLevel");

    if (clickEdit) {
        rig.click("eMinLevel");
        QVERIFY(rig.shown("pMinLevel"));
        QCOMPARE(rig.textColour("eMinLevel"), kTeal);
        QCOMPARE(slider->minimum(), 0);
        QCOMPARE(slider->maximum(), 100);
        QCOMPARE(slider->value(), std::min(stored, 100));
        QCOMPARE(edit->text(), QString::number(std::min(stored, 100)));
    }
    if (slideTo >= 0) {
        slider->setValue(slideTo);
        QCOMPARE(edit->text(), QString::number(slideTo));
    }
    rig.click("bOutput_OK");

    Image expected = image;
    expected[img::MinLevel] = static_cast<std::uint8_t>(level);
    QCOMPARE(rig.host.image(), expected);
    QCOMPARE(rig.find<QLabel>("lMinLevel")->text(), QStringLiteral("Min. Level=%1%").arg(level));
    QVERIFY(!rig.find<QWidget>("pMinLevel")->isVisibleTo(rig.output));
    QCOMPARE(rig.textColour("eMinLevel"), normal);
}

void OutputEditorTest::cancelWritesNothing() {
    Image image = analogueImage();
    image[img::Flags] = 0x0D;
    image[img::Options] = 0x04;
    Rig rig(image);
    const QColor normal = rig.textColour("eMinLevel");
    const QString label = rig.find<QLabel>("lMinLevel")->text();

    rig.open();
    rig.click("eMinLevel");
    rig.find<QScrollBar>("sbMinLevel")->setValue(77);
    rig.click("cbDaliLog");
    rig.click("cbStorePOL");
    rig.click("bOutput_Cancel");

    QCOMPARE(rig.host.image(), image);
    QVERIFY(!rig.shown("pOutput"));
    QVERIFY(!rig.host.formDisabled());
    QVERIFY(!rig.find<QWidget>("pMinLevel")->isVisibleTo(rig.output));
    QCOMPARE(rig.textColour("eMinLevel"), normal);
    QCOMPARE(rig.find<QLabel>("lMinLevel")->text(), label);

    // The next opening shows the image again, not what was left on the panel.
    rig.open();
    QCOMPARE(rig.find<QLineEdit>("eMinLevel")->text(), QStringLiteral("20"));
    QVERIFY(rig.find<QCheckBox>("cbDaliLog")->isChecked());
    QVERIFY(rig.find<QCheckBox>("cbStorePOL")->isChecked());
}

void OutputEditorTest::curveControls_data() {
    QTest::addColumn<int>("folder");
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("found");
    QTest::addColumn<bool>("curveControls");
    QTest::newRow("no curve folder, 1-10V") << int(Rig::Folder::None) << 0x0C << false << false;
    QTest::newRow("only a too small file, PWM") << int(Rig::Folder::Empty) << 0x0E << false << false;
    QTest::newRow("curve files, 1-10V") << int(Rig::Folder::Curves) << 0x0C << true << true;
    QTest::newRow("curve files, PWM") << int(Rig::Folder::Curves) << 0x0E << true << true;
    QTest::newRow("curve files, DALI") << int(Rig::Folder::Curves) << 0x0D << true << false;
}

void OutputEditorTest::curveControls() {
    QFETCH(int, folder);
    QFETCH(int, flags);
    QFETCH(bool, found);
    QFETCH(bool, curveControls);
    Image image = analogueImage();
    image[img::Flags] = static_cast<std::uint8_t>(flags);
    Rig rig(image, static_cast<Rig::Folder>(folder));
    rig.panel->startUp();
    QCOMPARE(rig.host.curves().curveFilesFound, found);
    QCOMPARE(rig.host.curves().curveIndex, -1);

    rig.open();
    QCOMPARE(rig.shown("cbDC"), curveControls);
    QCOMPARE(rig.shown("bDC"), curveControls);
    QCOMPARE(rig.shown("cbDaliLog"), flags == 0x0D);
    if (qEnvironmentVariableIsSet("LUMEQ_GRAB_DIR")) {
        rig.click("eMinLevel");
        const QString file =
            QStringLiteral("%1/pOutput_%2.png")
                .arg(qEnvironmentVariable("LUMEQ_GRAB_DIR"), QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(rig.host.window()->grab().save(file));
        rig.find<QWidget>("pMinLevel")->hide();
    }
    if (curveControls) {
        auto* cbDC = rig.find<QCheckBox>("cbDC");
        QCOMPARE(cbDC->text(), QStringLiteral("Correction OFF"));
        QVERIFY(!cbDC->isChecked());
        QVERIFY(!rig.find<QPushButton>("bDC")->isEnabled());
    }
}

void OutputEditorTest::chooseCurve_data() {
    QTest::addColumn<bool>("demo");
    QTest::addColumn<bool>("alreadyUncorrected");
    QTest::addColumn<bool>("converted");
    QTest::newRow("module levels are converted") << false << false << true;
    QTest::newRow("demo mode keeps the levels") << true << false << false;
    QTest::newRow("levels converted before") << false << true << false;
}

void OutputEditorTest::chooseCurve() {
    QFETCH(bool, demo);
    QFETCH(bool, alreadyUncorrected);
    QFETCH(bool, converted);
    Image image = analogueImage();
    image[img::PowerOnLevel] = 30;
    image[img::Engine1FirstLevel] = 0x80 | 10; // relay off, level 10
    Rig rig(image);
    rig.host.setDemo(demo);
    rig.host.curves().levelsUncorrected = alreadyUncorrected;
    rig.panel->startUp();
    rig.open();
    QVERIFY(!rig.shown("pDimmingCurve"));

    // Ticking the correction opens the chooser with the first curve drawn.
    rig.click("cbDC");
    QVERIFY(rig.shown("pDimmingCurve"));
    auto* list = rig.find<QListWidget>("lbDimmingCurve");
    QCOMPARE(list->count(), curveFiles().size());
    QCOMPARE(list->item(0)->text(), QStringLiteral("a_identity.dc"));
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(rig.panel->chart()->curve(), identityPoints());
    QCOMPARE(rig.panel->chartMessage(), QString());

    rig.selectEntry(1);
    QCOMPARE(rig.panel->chart()->curve(), halfPoints());
    rig.click("bDCOk");

    const lumeq::CurveState& curves = rig.host.curves();
    QVERIFY(!rig.shown("pDimmingCurve"));
    QCOMPARE(curves.curveIndex, 1);
    QCOMPARE(curves.dimmingCurve, halfPoints());
    auto* cbDC = rig.find<QCheckBox>("cbDC");
    QVERIFY(cbDC->isChecked());
    QCOMPARE(cbDC->text(), QStringLiteral("b_half"));
    QVERIFY(rig.find<QPushButton>("bDC")->isEnabled());
    QVERIFY(rig.shown("pOutput"));
    QVERIFY(rig.host.formDisabled());

    Image expected = image;
    if (converted) {
        // Each level becomes the highest input the curve maps onto it.
        expected[img::MinLevel] = 41;
        expected[img::PowerOnLevel] = 61;
        expected[img::Engine2FirstLevel] = 100; // 50 comes from the inputs 100 and 101, within 0..100
        expected[img::Engine1FirstLevel] = 0x80 | 21;
        expected[img::Engine1FirstLevel + img::StepSize] = 100;
    }
    QCOMPARE(rig.host.image(), expected);
    QCOMPARE(curves.levelsUncorrected, converted || alreadyUncorrected);
    QCOMPARE(rig.find<QLineEdit>("eMinLevel")->text(), QString::number(expected[img::MinLevel]));
    QCOMPARE(rig.find<QLabel>("lPO_Level")->text(), converted ? QStringLiteral("L=61%") : QStringLiteral("L=30%"));

    rig.click("bOutput_OK");
    QCOMPARE(rig.host.image(), expected);
    QCOMPARE(rig.host.curves().curveIndex, 1);
}

void OutputEditorTest::switchCorrectionOff_data() {
    QTest::addColumn<bool>("throughChooser");
    QTest::newRow("Cancel in the chooser") << true;
    QTest::newRow("cbDC unticked") << false;
}

void OutputEditorTest::switchCorrectionOff() {
    QFETCH(bool, throughChooser);
    Rig rig;
    rig.host.curves().curveIndex = 1;
    rig.panel->startUp();
    rig.open();
    auto* cbDC = rig.find<QCheckBox>("cbDC");
    QVERIFY(cbDC->isChecked());
    QCOMPARE(cbDC->text(), QStringLiteral("b_half"));
    QVERIFY(rig.find<QPushButton>("bDC")->isEnabled());

    if (throughChooser) {
        // Choosing again starts from the first curve; Cancel leaves no curve at all.
        rig.click("bDC");
        QVERIFY(rig.shown("pDimmingCurve"));
        QCOMPARE(rig.host.curves().curveIndex, -1);
        QCOMPARE(rig.find<QListWidget>("lbDimmingCurve")->currentRow(), 0);
        QCOMPARE(rig.panel->chart()->curve(), identityPoints());
        rig.click("bDCCancel");
    } else {
        rig.click(cbDC);
    }

    QVERIFY(!rig.shown("pDimmingCurve"));
    QCOMPARE(rig.host.curves().curveIndex, -1);
    QVERIFY(rig.host.curves().dimmingCurve.empty());
    QVERIFY(!cbDC->isChecked());
    QCOMPARE(cbDC->text(), QStringLiteral("Correction OFF"));
    QVERIFY(!rig.find<QPushButton>("bDC")->isEnabled());
    QCOMPARE(rig.host.image(), analogueImage());
    QVERIFY(rig.shown("pOutput"));
}

void OutputEditorTest::chartShowsTheFile_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("message");
    const QString count = QStringLiteral("Error: Nr. of points is not 101!");
    const QString data = QStringLiteral("Error: Wrong Data!");
    QTest::newRow("identity curve") << 0 << QString();
    QTest::newRow("half curve") << 1 << QString();
    QTest::newRow("100 lines") << 2 << count;
    QTest::newRow("102 lines") << 3 << count;
    QTest::newRow("value 101") << 4 << data;
    QTest::newRow("value -1") << 5 << data;
    QTest::newRow("a word") << 6 << data;
}

void OutputEditorTest::chartShowsTheFile() {
    QFETCH(int, row);
    QFETCH(QString, message);
    Rig rig;
    rig.panel->startUp();
    rig.open();
    rig.click("cbDC");
    if (row != 0) {
        // Away and back, so that the entry is drawn afresh.
        rig.selectEntry(row);
        rig.selectEntry(0);
        QCOMPARE(rig.panel->chartMessage(), QString());
        rig.selectEntry(row);
    }
    QCOMPARE(rig.panel->chartMessage(), message);
    const bool good = message.isEmpty();
    const std::vector<int> points = row == 1 ? halfPoints() : identityPoints();
    QCOMPARE(rig.panel->chart()->curve(), good ? points : std::vector<int>());
    QCOMPARE(rig.host.curves().dimmingCurve, good ? points : std::vector<int>());
    if (qEnvironmentVariableIsSet("LUMEQ_GRAB_DIR")) {
        const QString file =
            QStringLiteral("%1/iDimmingCurve_%2.png").arg(qEnvironmentVariable("LUMEQ_GRAB_DIR")).arg(row);
        QVERIFY(rig.panel->chart()->grab().save(file));
        QVERIFY(rig.find<QWidget>("pDimmingCurve")->grab().save(file.chopped(4) + QStringLiteral("_panel.png")));
    }

    rig.click("bDCOk");
    if (good) {
        QVERIFY(rig.host.messages().isEmpty());
        QVERIFY(!rig.shown("pDimmingCurve"));
        QCOMPARE(rig.host.curves().curveIndex, row);
        QCOMPARE(rig.find<QCheckBox>("cbDC")->text(), rig.panel->entryCaption(row));
        QVERIFY(rig.host.curves().levelsUncorrected);
        return;
    }
    // A broken file is not taken: OK says which file and what is wrong, the chooser stays open for another
    // choice, and no curve is chosen (none would go to the restart either).
    QCOMPARE(rig.host.messages().size(), 1);
    const QString said = rig.host.messages().first();
    QVERIFY2(said.contains(rig.panel->curveNames().at(row)), qPrintable(said));
    QVERIFY2(said.contains(row <= 3 ? QStringLiteral("101 lines") : QStringLiteral("line 11")), qPrintable(said));
    QVERIFY(rig.shown("pDimmingCurve"));
    QCOMPARE(rig.host.curves().curveIndex, -1);
    QVERIFY(rig.host.curves().dimmingCurve.empty());
    QVERIFY(!rig.host.curves().levelsUncorrected);
    QCOMPARE(rig.host.image(), analogueImage());
    // Another choice, or Cancel, goes on from there.
    rig.selectEntry(1);
    rig.click("bDCOk");
    QCOMPARE(rig.host.curves().curveIndex, 1);
    QVERIFY(!rig.shown("pDimmingCurve"));
}

void OutputEditorTest::startUpPreselects_data() {
    QTest::addColumn<int>("folder");
    QTest::addColumn<int>("given");
    QTest::addColumn<int>("chosen");
    QTest::newRow("second curve") << int(Rig::Folder::Curves) << 1 << 1;
    QTest::newRow("last curve") << int(Rig::Folder::Curves) << 6 << 6;
    QTest::newRow("none given") << int(Rig::Folder::Curves) << -1 << -1;
    QTest::newRow("index beyond the list") << int(Rig::Folder::Curves) << 7 << -1;
    QTest::newRow("negative index") << int(Rig::Folder::Curves) << -5 << -1;
    QTest::newRow("no curve folder") << int(Rig::Folder::None) << 1 << -1;
}

void OutputEditorTest::startUpPreselects() {
    QFETCH(int, folder);
    QFETCH(int, given);
    QFETCH(int, chosen);
    Rig rig(analogueImage(), static_cast<Rig::Folder>(folder));
    rig.host.curves().curveIndex = given;
    rig.panel->startUp();

    const lumeq::CurveState& curves = rig.host.curves();
    QCOMPARE(curves.curveIndex, chosen);
    QVERIFY(!rig.shown("pDimmingCurve"));
    QVERIFY(!rig.shown("pOutput"));
    QCOMPARE(rig.host.image(), analogueImage());
    auto* cbDC = rig.find<QCheckBox>("cbDC");
    QCOMPARE(cbDC->isChecked(), chosen != -1);
    if (chosen == -1) {
        QVERIFY(curves.dimmingCurve.empty());
        return;
    }
    QCOMPARE(cbDC->text(), rig.panel->entryCaption(chosen));
    QCOMPARE(curves.dimmingCurve.empty(), chosen > 1); // the later test files are broken
    if (chosen == 1)
        QCOMPARE(curves.dimmingCurve, halfPoints());

    // The editor then opens with the choice on show.
    rig.open();
    QVERIFY(cbDC->isChecked());
    QCOMPARE(cbDC->text(), rig.panel->entryCaption(chosen));
    QVERIFY(rig.find<QPushButton>("bDC")->isEnabled());
    QVERIFY(!rig.shown("pDimmingCurve"));
}

// What the module session does around a module with the chooser's state: the inverse correction after a
// slot is taken (only while the correction box is ticked with a curve), the correction before a write, and
// giving the choice up.
void OutputEditorTest::correctionsForTheWindow() {
    Rig rig;
    lumeq::CurveState& curves = rig.host.curves();
    QVERIFY(!lumeq::uncorrectFromModule(rig.host.image(), curves)); // no curve chosen yet
    curves.curveIndex = 1;
    rig.panel->startUp();
    QVERIFY(curves.correctionOn);

    QVERIFY(lumeq::uncorrectFromModule(rig.host.image(), curves));
    QCOMPARE(int(rig.host.image()[img::MinLevel]), 41);
    QVERIFY(curves.levelsUncorrected);
    QVERIFY(!lumeq::uncorrectFromModule(rig.host.image(), curves)); // never twice
    QCOMPARE(int(rig.host.image()[img::MinLevel]), 41);

    QVERIFY(lumeq::correctForModule(rig.host.image(), curves));
    QCOMPARE(int(rig.host.image()[img::MinLevel]), 20);

    // A DALI image is left alone both ways.
    Image dali = analogueImage();
    dali[img::Flags] = 0x0D;
    rig.host.load(dali);
    curves.levelsUncorrected = false;
    QVERIFY(!lumeq::uncorrectFromModule(rig.host.image(), curves));
    QVERIFY(!lumeq::correctForModule(rig.host.image(), curves));
    QCOMPARE(rig.host.image(), dali);

    // Giving up the slot gives up the curve.
    rig.panel->dropChoice();
    QCOMPARE(curves.curveIndex, -1);
    QVERIFY(!curves.correctionOn);
    QVERIFY(curves.dimmingCurve.empty());
    QVERIFY(!rig.find<QCheckBox>("cbDC")->isChecked());
    QCOMPARE(rig.find<QCheckBox>("cbDC")->text(), QStringLiteral("Correction OFF"));
}

// The diagram's redraw presets "Logarithmic" from the image, with the panel closed.
void OutputEditorTest::logarithmicFollowsEveryRedraw() {
    Rig rig;
    auto* logarithmic = rig.find<QCheckBox>("cbDaliLog");
    for (const int flags : {0x0F, 0x0D, 0x0E, 0x0C}) {
        Image image = analogueImage();
        image[img::Flags] = static_cast<std::uint8_t>(flags);
        rig.host.load(image);
        QVERIFY(!rig.shown("pOutput"));
        QCOMPARE(logarithmic->isChecked(), (flags & 0x02) == 0);
    }
}

LUMEQ_GUI_TEST(OutputEditorTest)
#include "outputeditor_test.moc"
