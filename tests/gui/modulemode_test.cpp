// Module mode of the real window against the simulated stick and module (LUMEQ_SIMULATOR): reading the
// module at start-up, choosing a slot, Cancel, Default, Transfer and Erase ALL. The module's memory is
// checked in the simulator's state file, as the module holds it after the run.

#include "app/mainwindow.h"
#include "files/configfile.h"
#include "files/firmwarecontainer.h"
#include "files/programmedlog.h"
#include "guitest.h"
#include "link/blockwriter.h"
#include "link/simstate.h"
#include "link/slotrecords.h"
#include "link/stickaccess.h"
#include "model/dimmingcurve.h"
#include "model/image.h"
#include "windowrun.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using lumeq::Block;
using lumeq::Image;
using lumeq::MainWindow;
using lumeq::SimState;

Q_DECLARE_METATYPE(lumeq::Image)

namespace {

constexpr std::uint16_t kControlBlockAt = 0xFF80;
constexpr std::size_t kAstroFirst = 76;
constexpr std::size_t kAstroLast = 84;
constexpr std::size_t kStoredBytes = 96;

const QColor kFilled(166, 202, 240);
const QColor kEmpty(0, 255, 0);

// Output = input / divisor for inputs 0..100 %.
std::vector<int> curvePoints(int divisor) {
    std::vector<int> points;
    for (int level = 0; level <= 100; ++level)
        points.push_back(level / divisor);
    return points;
}

Block blockAt(const SimState& state, std::uint16_t address) {
    Block block{};
    std::copy_n(state.module.memory.begin() + address, block.size(), block.begin());
    return block;
}

// Stores a configuration in a slot as a Transfer does.
void storeSlot(SimState& state, int slot, const Image& image, const std::string& name) {
    lumeq::TransferRequest request;
    request.controlBlock = blockAt(state, kControlBlockAt);
    request.controlBlockRead = true;
    request.slot = slot;
    request.image = image;
    request.info = name;
    const auto planned = lumeq::planTransfer(request);
    QVERIFY2(planned.plan.has_value(), planned.error.c_str());
    lumeq::applyTransferPlan(*planned.plan, state.module.memory);
}

// A configuration that differs from the defaults, with astro data in bytes 76..84.
Image m3Image() {
    Image image = lumeq::defaultImage();
    image[3] = 0x21;
    image[40] = 0x42;
    image[95] = 0x63;
    for (std::size_t i = kAstroFirst; i <= kAstroLast; ++i)
        image[i] = static_cast<std::uint8_t>(i);
    return image;
}

Image m1Image() {
    Image image = lumeq::defaultImage();
    image[7] = 0x17;
    return image;
}

// The firmware this build carries (the test build: a generated test container); none in a build without.
std::optional<lumeq::FirmwareContainer> builtInFirmware(bool sixtyHz = false) {
    const auto builtIn = lumeq::builtInFirmware(sixtyHz);
    if (!builtIn)
        return std::nullopt;
    return lumeq::parseFirmwareContainer(builtIn->text);
}

// The version the module records: the built-in one, so that no update is due; 7 in a build without firmware.
std::uint8_t currentFirmwareVersion() {
    const auto firmware = builtInFirmware();
    return firmware ? firmware->version : 7;
}

constexpr std::uint16_t kFirstFirmwareBlockAt = 0x0200;

// A module with M1 "Lamp A" and M3 "Road 7"; M2 and M4 empty; firmware version `firmwareVersion` recorded.
// Transfer fills a name up to eight characters with blanks, and those blanks are part of the name read back.
SimState moduleWithTwoSlots(std::uint8_t firmwareVersion = currentFirmwareVersion()) {
    SimState state = SimState::withModule();
    storeSlot(state, 1, m1Image(), "Lamp A");
    storeSlot(state, 3, m3Image(), "Road 7");
    const std::uint8_t firmware[] = {0x8A, 0x65, 0xC1, firmwareVersion, 0x00, 0x40, 0x04, 0x00};
    state.setModuleBytes(kControlBlockAt + 4 * 16, firmware);
    return state;
}

std::vector<std::uint8_t> firmwareDescriptor(const SimState& state) {
    const auto at = state.module.memory.begin() + kControlBlockAt + 4 * 16;
    return std::vector<std::uint8_t>(at, at + 8);
}

// The firmware area of the module as a Transfer writes `length` bytes of `image`: whole blocks, FF beyond.
bool firmwareWritten(const SimState& state, const std::vector<std::uint8_t>& image, std::size_t length) {
    const std::size_t blocks = (length + 127) / 128;
    for (std::size_t i = 0; i < blocks * 128; ++i) {
        if (state.module.memory[kFirstFirmwareBlockAt + i] != (i < length ? image[i] : 0xFF))
            return false;
    }
    return state.module.memory[kFirstFirmwareBlockAt + blocks * 128] == 0xFF;
}

// Configurations whose bytes look like answers of the module or the stick where a data report starts:
// record k carries image bytes 12k + 6 and 12k + 7 at the start of the block's report 2k + 1.
Image engineStepLikeStickAnswer() {
    Image image = lumeq::defaultImage();
    image[41] = 0x00; // dimming engine 1, step 2: 05:00
    image[42] = 0xB2; //   fade
    image[43] = 0x50; //   level 80 %
    return image;
}

Image thermalLikeBlockHeader() {
    Image image = lumeq::defaultImage();
    image[0] |= 0x80; // thermal management on
    image[89] = 75;   // T1
    image[90] = 0xC0; // L1 64 % with the relay off
    image[91] = 0x44; // T2 68 degrees
    image[92] = 40;
    return image;
}

// Slot names that start like a block header (C0 44) and a stick answer (B2 50) in the control block.
SimState moduleWithLookalikes() {
    SimState state = SimState::withModule();
    storeSlot(state, 1, engineStepLikeStickAnswer(), "\u00B2Park");
    storeSlot(state, 2, thermalLikeBlockHeader(), "\u00C0Dorf");
    return state;
}

// The image a slot choice should give: the stored bytes over the old image, astro data cleared.
Image chosen(const Image& stored, const Image& before, bool copyAstro) {
    Image image = before;
    std::copy_n(stored.begin(), kStoredBytes, image.begin());
    if (!copyAstro)
        std::fill(image.begin() + kAstroFirst, image.begin() + kAstroLast + 1, 0);
    return image;
}

} // namespace

class ModuleModeTest : public QObject {
    Q_OBJECT

    struct Rig : WindowRun {
        void writeCurve(const QString& name, int divisor = 1) {
            QVERIFY(QDir(dir.path()).mkpath("DimmingCurve"));
            QFile file(dir.path() + "/DimmingCurve/" + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            for (const int point : curvePoints(divisor))
                file.write(QByteArray::number(point) + '\n');
        }
        void start(const QStringList& parameters = {}, const MainWindow::Timing& timing = fastTiming()) {
            startSimulated(parameters, timing);
        }
        // As a build that carries no firmware.
        void startWithoutFirmware() {
            qputenv("LUMEQ_SIMULATOR", statePath().toLocal8Bit());
            window = std::make_unique<MainWindow>(lumeq::createStickAccess(), dir.path() + "/", QStringList());
            window->setTiming(fastTiming());
            window->setRestartHandler([this](const QStringList& args) { restarts.append(args); });
            window->setDialogs(std::make_unique<ScriptedDialogs>(&dialogs));
            window->setFirmwareSource([](bool) { return std::optional<lumeq::BuiltInFirmware>(); });
            window->show();
            QTRY_VERIFY_WITH_TIMEOUT(window->startupFinished(), 15000);
        }
        QString firmwareHint() const { return find("iFW")->isVisible() ? find("iFW")->toolTip() : QString(); }
        void verifyNoSlotChosen() const {
            for (const char* name : {"bM1", "bM2", "bM3", "bM4"}) {
                QVERIFY2(find(name)->isVisible(), name);
                QVERIFY2(find(name)->isEnabled(), name);
            }
            QVERIFY(visibleActionButtons().isEmpty());
            QVERIFY(window->isFormDisabled());
        }
    };

private slots:
    void startUpReadsTheSlotsOfTheModule() {
        Rig rig;
        rig.save(moduleWithTwoSlots());
        rig.start();
        QCOMPARE(rig.window->windowTitle(), QString("Lumeq"));
        QVERIFY(!rig.window->isStickMode());
        QVERIFY(rig.session().moduleAnswered());
        QVERIFY(rig.window->isFormDisabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(rig.session().moduleFwVersion(), int(currentFirmwareVersion()));
        struct Expected {
            const char* button;
            QColor colour;
            QString hint;
        };
        for (const Expected& e : {Expected{"bM1", kFilled, "Info: Lamp A  "}, Expected{"bM2", kEmpty, ""},
                                  Expected{"bM3", kFilled, "Info: Road 7  "}, Expected{"bM4", kEmpty, ""}}) {
            QPushButton* button = rig.find<QPushButton>(e.button);
            QVERIFY2(button->isVisible() && button->isEnabled(), e.button);
            QCOMPARE(button->palette().color(QPalette::Button), e.colour);
            QCOMPARE(button->toolTip(), e.hint);
        }
        QCOMPARE(rig.session().memorySlot(3).mAddress, std::uint16_t(0x8000));
        QVERIFY(rig.visibleActionButtons().isEmpty());
        QVERIFY(rig.dialogs.messages.isEmpty());
    }

    void choosingASlot_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<Image>("expected");
        QTest::addColumn<QString>("info");
        QTest::addColumn<bool>("label60Hz");
        const Image zeros(lumeq::kImageSize, 0);
        QTest::newRow("filled M3: astro data cleared")
            << "bM3" << QStringList() << chosen(m3Image(), zeros, false) << "Road 7  " << false;
        QTest::newRow("filled M3 with -copyAstro: astro data kept")
            << "bM3" << QStringList{"-copyAstro"} << chosen(m3Image(), zeros, true) << "Road 7  " << false;
        QTest::newRow("empty M2: default image, info kept")
            << "bM2" << QStringList() << lumeq::defaultImage() << "typed" << false;
        QTest::newRow("-set60Hz: label shown")
            << "bM1" << QStringList{"-set60Hz"} << chosen(m1Image(), zeros, false) << "Lamp A  " << true;
        QTest::newRow("-set60Hz with -skipFW: no label")
            << "bM1" << QStringList{"-set60Hz", "-skipFW"} << chosen(m1Image(), zeros, false) << "Lamp A  " << false;
    }
    void choosingASlot() {
        QFETCH(QString, button);
        QFETCH(QStringList, parameters);
        QFETCH(Image, expected);
        QFETCH(QString, info);
        QFETCH(bool, label60Hz);
        Rig rig;
        rig.save(moduleWithTwoSlots());
        rig.start(parameters);
        rig.info()->setText("typed");
        rig.window->setFormDisabled(true); // slot buttons do not heed the interlock
        rig.click(button);
        QCOMPARE(rig.window->image(), expected);
        QCOMPARE(rig.info()->text(), info);
        QVERIFY(!rig.window->isFormDisabled());
        QCOMPARE(rig.session().selectedSlot(), button.right(1).toInt());
        for (const char* name : {"bM1", "bM2", "bM3", "bM4"}) {
            const bool isChosen = button == name;
            QCOMPARE(rig.find(name)->isVisible(), isChosen);
            if (isChosen)
                QVERIFY(!rig.find(name)->isEnabled());
        }
        QCOMPARE(rig.visibleActionButtons(),
                 QStringList({"bMemCancel", "bMemClear", "bMemStore", "bLoad", "bSave", "bPdf"}));
        QVERIFY(rig.info()->isVisible());
        QCOMPARE(rig.find<QWidget>("l60Hz")->isVisible(), label60Hz);
    }

    void transferWritesTheSlotAndRestarts_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<QString>("restartParams");
        QTest::addColumn<bool>("commandIni");
        QTest::newRow("no curve") << QStringList{"site 7"} << 0 << QString(" site 7") << false;
        QTest::newRow("curve 1 chosen: levels written through it")
            << QStringList{"-dc=1", "site 7"} << 2 << QString(" site 7 -dc=1") << false;
        // With command.ini the other parameters are not read, but the curve still goes to the next run.
        QTest::newRow("curve 1 chosen, command.ini")
            << QStringList{"-dc=1", "site 7"} << 2 << QString(" -dc=1") << true;
    }
    void transferWritesTheSlotAndRestarts() {
        QFETCH(QStringList, parameters);
        QFETCH(int, divisor);
        QFETCH(QString, restartParams);
        QFETCH(bool, commandIni);
        Rig rig;
        if (commandIni) {
            QFile ini(rig.dir.filePath("command.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[Commands]\ncopyAstro=0\n");
        }
        rig.writeCurve("a_linear.dc");
        rig.writeCurve("b_half.dc", 2);
        const SimState before = moduleWithTwoSlots();
        rig.save(before);
        rig.start(parameters);
        rig.click("bM3");
        Image& image = rig.window->image();
        image[40] = 0x55;
        rig.info()->setText("Kiosk-1234"); // ten characters: eight are stored
        Image written = image;
        if (divisor != 0)
            QVERIFY(lumeq::correctDC(written, curvePoints(divisor)));
        rig.click("bMemStore");
        rig.waitForWrite();

        QCOMPARE(rig.restarts.size(), 1);
        QCOMPARE(lumeq::joinParams(rig.restarts.first()), restartParams);
        QVERIFY(rig.dialogs.messages.isEmpty());
        const SimState after = rig.load();
        QVERIFY(blockAt(after, 0x8000) == lumeq::encodeSlotRecords(written));
        const Block control = blockAt(after, kControlBlockAt);
        const Block old = blockAt(before, kControlBlockAt);
        const std::uint8_t descriptor[16] = {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x01,
                                             'K',  'i',  'o',  's',  'k',  '-',  '1',  '2'};
        QVERIFY(std::equal(descriptor, descriptor + 16, control.begin() + 32));
        // The other descriptors and the firmware entry go back as they were read.
        QVERIFY(std::equal(control.begin(), control.begin() + 32, old.begin()));
        QVERIFY(std::equal(control.begin() + 48, control.end(), old.begin() + 48));
        QVERIFY(blockAt(after, 0x0000) == blockAt(before, 0x0000));
    }

    void transferOfAnEmptySlotAfterDefault() {
        Rig rig;
        rig.save(moduleWithTwoSlots());
        rig.start();
        rig.click("bM3");
        rig.click("bMemClear");
        rig.click("bMemStore");
        rig.waitForWrite();
        QCOMPARE(rig.restarts.size(), 1);
        const Block control = blockAt(rig.load(), kControlBlockAt);
        const char name[] = "Default ";
        QVERIFY(std::equal(name, name + 8, control.begin() + 32 + 8));
        QVERIFY(blockAt(rig.load(), 0x8000) == lumeq::encodeSlotRecords(lumeq::defaultImage()));
    }

    void defaultThenCancel_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("confirmed") << true;
        QTest::newRow("declined") << false;
    }
    void defaultThenCancel() {
        QFETCH(bool, yes);
        Rig rig;
        rig.save(moduleWithTwoSlots());
        rig.start();
        rig.click("bM3");
        const Image taken = rig.window->image();
        rig.dialogs.confirmAnswer = yes;
        rig.click("bMemClear");
        QCOMPARE(rig.dialogs.messages, QStringList{"Are youe sure?"});
        QCOMPARE(rig.dialogs.defaultNoQuestions, QStringList{"Are youe sure?"});
        QVERIFY(rig.dialogs.details.first().startsWith("Default replaces the configuration of M3"));
        QCOMPARE(rig.window->image(), yes ? lumeq::defaultImage() : taken);
        QCOMPARE(rig.info()->text(), yes ? QString("Default") : QString("Road 7  "));
        QCOMPARE(rig.find<QPushButton>("bM3")->palette().color(QPalette::Button), yes ? kEmpty : kFilled);
        QCOMPARE(rig.find<QPushButton>("bM3")->toolTip(), yes ? QString() : QString("Info: Road 7  "));
        const Block control = rig.session().controlBlockCopy();
        QCOMPARE(std::all_of(control.begin() + 40, control.begin() + 48, [](std::uint8_t b) { return b == 0xFF; }),
                 yes);

        rig.click("bMemCancel");
        rig.verifyNoSlotChosen();
        QVERIFY(rig.info()->text().isEmpty());
        QCOMPARE(rig.find<QPushButton>("bM3")->palette().color(QPalette::Button), yes ? kEmpty : kFilled);
        QCOMPARE(rig.session().selectedSlot(), 3);
        // Cancel and Default do nothing while the interlock is set.
        rig.find<QPushButton>("bMemCancel")->show();
        rig.click("bMemCancel");
        QVERIFY(!rig.find<QPushButton>("bMemCancel")->isHidden());
        QVERIFY(rig.restarts.isEmpty());
        QVERIFY(rig.load() == moduleWithTwoSlots()); // the module is not touched
    }

    void cancelGivesUpTheChosenCurve() {
        Rig rig;
        rig.writeCurve("linear.dc");
        rig.save(moduleWithTwoSlots());
        rig.start({"-dc=0"});
        QCOMPARE(rig.window->curveIndex(), 0);
        rig.click("bM1");
        QVERIFY(rig.window->curves().levelsUncorrected);
        rig.click("bMemCancel");
        QCOMPARE(rig.window->curveIndex(), -1);
        QVERIFY(!rig.window->curves().levelsUncorrected);
    }

    // Every Transfer adds a record to the log of programmed modules, a failed one too.
    void transferIsLogged_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<int>("confirmStatus"); // -1: the module confirms every block
        QTest::addColumn<QString>("curve");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("written through a curve") << QStringList{"-dc=1"} << -1 << "b_half.dc"
                                                 << "ok";
        QTest::newRow("refused by the module")
            << QStringList{} << 0 << ""
            << "failed: Firmware Write Error!CF (the module answered that the block was not written at address 8000)";
    }
    void transferIsLogged() {
        QFETCH(QStringList, parameters);
        QFETCH(int, confirmStatus);
        QFETCH(QString, curve);
        QFETCH(QString, outcome);
        Rig rig;
        const QString logPath = rig.ownLog("log/programmed.log");
        rig.writeCurve("a_linear.dc");
        rig.writeCurve("b_half.dc", 2);
        SimState state = moduleWithTwoSlots();
        if (confirmStatus >= 0)
            state.faults.confirmStatus = confirmStatus;
        rig.save(state);
        rig.start(parameters);
        rig.click("bM3");
        rig.info()->setText("Kiosk");
        Image written = rig.window->image();
        if (!curve.isEmpty())
            QVERIFY(lumeq::correctDC(written, curvePoints(2)));
        const QDateTime before = lumeq::programmedNow();
        rig.click("bMemStore");
        rig.waitForWrite();

        const lumeq::ProgrammedLogRead read = lumeq::readProgrammedLog(logPath);
        QVERIFY2(read.ok, read.error.c_str());
        QCOMPARE(read.log.records.size(), std::size_t(1));
        const lumeq::ProgrammedRecord& record = read.log.records.front();
        QVERIFY(record.time >= before && record.time <= lumeq::programmedNow());
        QCOMPARE(record.mode, lumeq::ProgrammedMode::Module);
        QCOMPARE(record.slot, 3);
        QCOMPARE(record.name, std::string("Kiosk"));
        QCOMPARE(record.crc, std::optional<std::uint16_t>(lumeq::configurationCrc(written)));
        QCOMPARE(QString::fromStdString(record.curve), curve);
        QVERIFY(record.firmware.empty()); // the module's firmware is the built-in one
        // A confirmed write is read back before the restart; a refused one is not.
        QCOMPARE(QString::fromStdString(record.readBack), confirmStatus < 0 ? QString("identical") : QString());
        QCOMPARE(QString::fromStdString(lumeq::programmedOutcomeText(record)), outcome);
    }

    // A failed Transfer loses nothing: the message says why, the slot stays open with the edits as they were
    // (not curve-corrected), and Transfer can be tried again.
    void failedWriteKeepsTheEdits_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("detail");
        QTest::newRow("negative confirmation")
            << "ConfirmStatus=0" << "Firmware Write Error!CF"
            << "The module answered that the block was not written at address 8000.";
        QTest::newRow("confirmation of another block")
            << "ConfirmAddressOffset=128" << "Firmware Write Error!CF"
            << "The module confirmed another block at address 8000.";
        QTest::newRow("confirmed, but kept differently")
            << "StoreDiffersAddress=0x8000" << "The module did not keep what was written."
            << "Slot M3 was written, but the slot's data differs at byte 2: written ";
    }
    void failedWriteKeepsTheEdits() {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(QString, detail);
        Rig rig;
        const QString logPath = rig.ownLog();
        rig.writeCurve("a_half.dc", 2);
        SimState state = moduleWithTwoSlots();
        const QStringList setting = fault.split('=');
        const int value = setting[1].toInt(nullptr, 0);
        if (setting[0] == "ConfirmStatus")
            state.faults.confirmStatus = value;
        else if (setting[0] == "ConfirmAddressOffset")
            state.faults.confirmAddressOffset = value;
        else
            state.faults.storeDiffersAddress = value;
        rig.save(state);
        rig.start({"-dc=0"});
        rig.click("bM3");
        rig.window->image()[40] = 0x42; // an edit
        rig.window->image()[3] = 80;    // the minimum level, which the curve would halve
        const Image edited = rig.window->image();
        rig.click("bMemStore");
        rig.waitForWrite();
        QCOMPARE(rig.dialogs.messages, QStringList{message});
        QCOMPARE(rig.dialogs.details.size(), 1);
        QVERIFY2(rig.dialogs.details.first().startsWith(detail), qPrintable(rig.dialogs.details.first()));
        QVERIFY(rig.restarts.isEmpty());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(rig.window->image(), edited);
        QCOMPARE(rig.session().selectedSlot(), 3);
        QVERIFY(!rig.window->isFormDisabled());
        QVERIFY(rig.find<QPushButton>("bMemStore")->isVisible());
        QVERIFY(rig.find<QPushButton>("bSave")->isVisible());
        QVERIFY(rig.find<QLabel>("lStatus")->text().contains("Transfer to M3 failed: " + message));
        const lumeq::ProgrammedLogRead log = lumeq::readProgrammedLog(logPath);
        QCOMPARE(log.log.records.size(), std::size_t(1));
        QCOMPARE(log.log.records.front().outcome, lumeq::ProgrammedOutcome::Failed);
        if (setting[0] == "StoreDiffersAddress") {
            QVERIFY(log.log.records.front().readBack.starts_with("differs: the slot's data differs at byte 2"));
            // Without the fault the same Transfer goes through, is read back identical, and the restarted run
            // says so.
            state.faults.storeDiffersAddress = -1;
            SimState now = rig.load();
            now.faults = state.faults;
            rig.save(now);
            rig.click("bMemStore");
            rig.waitForWrite();
            QCOMPARE(rig.restarts.size(), 1);
            const lumeq::ProgrammedLogRead again = lumeq::readProgrammedLog(logPath);
            QCOMPARE(again.log.records.size(), std::size_t(2));
            QCOMPARE(again.log.records.back().readBack, std::string("identical"));
            QCOMPARE(again.log.records.back().outcome, lumeq::ProgrammedOutcome::Ok);
            Rig next;
            next.save(rig.load());
            next.start();
            QVERIFY2(next.find<QLabel>("lStatus")->text().contains("Transfer to M3 \"Road 7\": done, read back identical"),
                     qPrintable(next.find<QLabel>("lStatus")->text()));
        } else {
            // The control block was not written.
            QVERIFY(blockAt(rig.load(), kControlBlockAt) == blockAt(state, kControlBlockAt));
        }
    }

    void stickGoneAtTransfer() {
        Rig rig;
        rig.save(moduleWithTwoSlots());
        rig.start();
        rig.click("bM1");
        rig.save(SimState::noStick());
        rig.click("bMemStore");
        rig.waitForWrite();
        QCOMPARE(rig.dialogs.messages, QStringList{"   USB Error!   "});
        QVERIFY(rig.dialogs.details.first().startsWith("The programming stick was not found"));
        QVERIFY(rig.restarts.isEmpty());
        QVERIFY(!rig.window->isFormDisabled());
        QVERIFY(rig.find<QPushButton>("bMemStore")->isVisible());
    }

    void eraseAll_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("confirmed") << true;
        QTest::newRow("declined") << false;
    }
    void eraseAll() {
        QFETCH(bool, yes);
        Rig rig;
        rig.save(moduleWithTwoSlots());
        rig.start({"-eraseAll", "-dc=2", "x"});
        rig.click("bM1");
        QVERIFY(rig.find<QPushButton>("bErase")->isVisible());
        rig.dialogs.confirmAnswer = yes;
        rig.click("bErase");
        rig.waitForWrite();
        QCOMPARE(rig.dialogs.messages, QStringList{"Are youe sure?"});
        QCOMPARE(rig.dialogs.defaultNoQuestions, QStringList{"Are youe sure?"});
        QVERIFY(rig.dialogs.details.first().startsWith("Erase ALL wipes all four slots and the directory"));
        const SimState after = rig.load();
        if (yes) {
            QCOMPARE(rig.restarts.size(), 1);
            QCOMPARE(lumeq::joinParams(rig.restarts.first()), QString(" -eraseAll x"));
            QVERIFY(std::all_of(after.module.memory.begin(), after.module.memory.end(),
                                [](std::uint8_t b) { return b == 0xFF; }));
        } else {
            QVERIFY(rig.restarts.isEmpty());
            QVERIFY(after == moduleWithTwoSlots());
        }
    }

    void moduleThatNeverAnswers() {
        Rig rig;
        SimState state = moduleWithTwoSlots();
        state.faults.noAnswer = true;
        rig.save(state);
        auto timing = WindowRun::fastTiming();
        timing.maxPass = 20;
        rig.start({"-eraseAll"}, timing);
        QCOMPARE(rig.window->windowTitle(), QString("Loading..."));
        QVERIFY(!rig.session().moduleAnswered());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QVERIFY(rig.dialogs.messages.first().contains("did not answer"));
        rig.verifyNoSlotChosen();
        QCOMPARE(rig.find<QPushButton>("bM1")->palette().color(QPalette::Button),
                 rig.find<QPushButton>("bMemStore")->palette().color(QPalette::Button)); // the design look
        rig.click("bM2");
        QCOMPARE(rig.dialogs.messages.size(), 2);
        QVERIFY(rig.dialogs.messages.last().contains("did not answer"));
        QCOMPARE(rig.session().selectedSlot(), 0);
        QVERIFY(rig.visibleActionButtons().isEmpty()); // no Transfer, no Erase ALL
    }

    void slotDataThatLooksLikeAnswers() {
        Rig rig;
        rig.save(moduleWithLookalikes());
        rig.start();
        QCOMPARE(rig.window->windowTitle(), QString("Lumeq"));
        QVERIFY(!rig.window->isStickMode());
        QCOMPARE(rig.find<QPushButton>("bM1")->toolTip(), QString("Info: \u00B2Park   "));
        QCOMPARE(rig.find<QPushButton>("bM2")->toolTip(), QString("Info: \u00C0Dorf   "));
        for (int slot : {1, 2}) {
            QVERIFY(!rig.session().memorySlot(slot).unreadable);
            QVERIFY(!rig.session().memorySlot(slot).mEmpty);
        }
        rig.click("bM1");
        QCOMPARE(rig.window->image(), chosen(engineStepLikeStickAnswer(), Image(lumeq::kImageSize, 0), false));
        QCOMPARE(rig.info()->text(), QString("\u00B2Park   "));
        rig.click("bMemCancel");
        rig.click("bM2");
        QCOMPARE(rig.window->image(), chosen(thermalLikeBlockHeader(), Image(lumeq::kImageSize, 0), false));
        QVERIFY(rig.dialogs.messages.isEmpty());
    }

    void cancelledDefaultLeavesTheSlotNameOnTheModule() {
        Rig rig;
        const SimState before = moduleWithTwoSlots();
        rig.save(before);
        rig.start();
        rig.click("bM3");
        rig.click("bMemClear");  // Default: M3's name is given up in the program's copy...
        rig.click("bMemCancel"); // ...and the Default is given up with it
        rig.click("bM1");
        rig.click("bMemStore");
        rig.waitForWrite();
        QCOMPARE(rig.restarts.size(), 1);
        const Block control = blockAt(rig.load(), kControlBlockAt);
        const Block old = blockAt(before, kControlBlockAt);
        // M3's descriptor, name included, is written back as the module had it.
        QVERIFY(std::equal(control.begin() + 32, control.begin() + 48, old.begin() + 32));
    }

    void curveChosenLaterConvertsStoredLevelsOnly_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("minLevel"); // after the curve is chosen
        // The stored levels of a filled slot went through a curve once: choosing one converts them back.
        QTest::newRow("filled slot: converted") << "slot" << 41;
        // Files, the defaults and an empty slot hold the levels as wanted: they stay.
        QTest::newRow("file loaded after the slot") << "file" << 20;
        QTest::newRow("Default after the slot") << "default" << 0;
        QTest::newRow("empty slot") << "empty" << 0;
    }
    void curveChosenLaterConvertsStoredLevelsOnly() {
        QFETCH(QString, source);
        QFETCH(int, minLevel);
        Rig rig;
        rig.writeCurve("a_linear.dc");
        rig.writeCurve("b_half.dc", 2);
        SimState state = moduleWithTwoSlots();
        Image stored = m1Image();
        stored[2] = 20;
        storeSlot(state, 1, stored, "Lamp A");
        rig.save(state);
        rig.start();
        rig.click(source == "empty" ? "bM2" : "bM1");
        if (source == "file") {
            Image file = lumeq::defaultImage();
            file[2] = 20;
            const QString path = rig.dir.filePath("wanted.qcf");
            QVERIFY(lumeq::saveConfigFile(path, file, "wanted").ok);
            rig.dialogs.nextFile = path;
            rig.click("bLoad");
        } else if (source == "default") {
            rig.click("bMemClear");
        }
        // Output editor, correction on, second curve, OK.
        QTest::mouseClick(rig.find("iTen"), Qt::LeftButton);
        QVERIFY(rig.find("pOutput")->isVisible());
        auto* correction = rig.find<QCheckBox>("cbDC");
        QTest::mouseClick(correction, Qt::LeftButton, {}, QPoint(8, correction->height() / 2));
        QVERIFY(rig.find("pDimmingCurve")->isVisible());
        rig.find<QListWidget>("lbDimmingCurve")->setCurrentRow(1);
        rig.click("bDCOk");
        QCOMPARE(rig.window->curveIndex(), 1);
        QCOMPARE(int(rig.window->image()[2]), minLevel);
        QCOMPARE(rig.find<QLineEdit>("eMinLevel")->text(), QString::number(minLevel));
    }

    void slotDataThatDoesNotArrive() {
        Rig rig;
        SimState state = moduleWithTwoSlots();
        state.faults.loseAnswersAfter = 2 * 17; // control block and M1: a header and sixteen reports each
        rig.save(state);
        auto timing = WindowRun::fastTiming();
        timing.maxPass = 20;
        rig.start({}, timing);
        QCOMPARE(rig.window->windowTitle(), QString("Lumeq"));
        QVERIFY(rig.session().memorySlot(3).unreadable);
        QVERIFY(!rig.session().memorySlot(1).unreadable);
        QCOMPARE(rig.find<QPushButton>("bM3")->text(), QString("M3?"));
        QVERIFY(rig.find<QPushButton>("bM3")->toolTip().contains("Info: Road 7"));
        QVERIFY(rig.find<QPushButton>("bM3")->toolTip().contains("could not be read", Qt::CaseInsensitive));
        QVERIFY(rig.dialogs.messages.isEmpty());

        rig.click("bM3");
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QVERIFY(rig.dialogs.messages.first().contains("M3 could not be read"));
        QCOMPARE(rig.session().selectedSlot(), 0);
        rig.verifyNoSlotChosen();
        QCOMPARE(rig.window->image(), Image(lumeq::kImageSize, 0));

        rig.click("bM1");
        QCOMPARE(rig.window->image(), chosen(m1Image(), Image(lumeq::kImageSize, 0), false));
    }

    void firmwareGoesWithTheTransferWhenDue_data() {
        QTest::addColumn<int>("moduleVersion"); // -1: the version of the standard built-in firmware
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<bool>("sixtyHz"); // the firmware expected: the 60 Hz variant
        QTest::addColumn<QString>("hint"); // %1: the version of the expected built-in firmware
        QTest::addColumn<bool>("written");
        QTest::newRow("module on 1.7: update") << 7 << QStringList() << false << "Version 1.%1 (Update!)" << true;
        QTest::newRow("module on the built-in version: none")
            << -1 << QStringList() << false << "Version 1.%1" << false;
        QTest::newRow("-skipFW: none, the module's version shown")
            << 7 << QStringList{"-skipFW"} << false << "Version 1.7" << false;
        // The module holds the standard firmware's version; the 60 Hz variant is another one.
        QTest::newRow("-set60Hz: the 60 Hz firmware")
            << -1 << QStringList{"-set60Hz"} << true << "Version 1.%1 (Update!)" << true;
    }
    void firmwareGoesWithTheTransferWhenDue() {
        QFETCH(int, moduleVersion);
        QFETCH(QStringList, parameters);
        QFETCH(bool, sixtyHz);
        QFETCH(QString, hint);
        QFETCH(bool, written);
        const auto standard = builtInFirmware();
        const auto firmware = builtInFirmware(sixtyHz);
        if (!standard || !firmware)
            QSKIP("this build carries no firmware");
        if (sixtyHz && (firmware->version == standard->version || firmware->image == standard->image))
            QSKIP("the 60 Hz firmware of this build cannot be told from the standard one");
        Rig rig;
        const std::uint8_t recorded = moduleVersion < 0 ? standard->version : std::uint8_t(moduleVersion);
        const SimState before = moduleWithTwoSlots(recorded);
        rig.save(before);
        rig.start(parameters);
        QCOMPARE(rig.firmwareHint(), hint.contains("%1") ? hint.arg(firmware->version) : hint);
        rig.click("bM3");
        rig.click("bMemStore");
        rig.waitForWrite();
        QCOMPARE(rig.restarts.size(), 1);
        QVERIFY(rig.dialogs.messages.isEmpty());
        const SimState after = rig.load();
        if (written) {
            QVERIFY(firmwareWritten(after, firmware->image, firmware->length));
            const std::vector<std::uint8_t> descriptor = {0x8A,
                                                          0x65,
                                                          0xC1,
                                                          firmware->version,
                                                          std::uint8_t(firmware->length & 0xFF),
                                                          std::uint8_t(firmware->length >> 8),
                                                          0x04,
                                                          0x00};
            QCOMPARE(firmwareDescriptor(after), descriptor);
        } else {
            QVERIFY(blockAt(after, kFirstFirmwareBlockAt) == blockAt(before, kFirstFirmwareBlockAt));
            QCOMPARE(firmwareDescriptor(after), firmwareDescriptor(before));
        }
        QVERIFY(blockAt(after, 0x8000) ==
                lumeq::encodeSlotRecords(chosen(m3Image(), Image(lumeq::kImageSize, 0), false)));
    }

    // The device sets the pace: with 5 ms between the module's answers the window's events keep running
    // during a Transfer that takes the firmware along, and the progress bar counts the blocks to the end.
    void transferKeepsTheWindowLive() {
        const auto firmware = builtInFirmware();
        if (!firmware)
            QSKIP("this build carries no firmware");
        Rig rig;
        SimState state = moduleWithTwoSlots(7);
        state.faults.delayPerReportMs = 5;
        rig.save(state);
        rig.start();
        rig.click("bM3");
        QVERIFY2(rig.find<QLabel>("lStatus")->text().contains(
                     QStringLiteral("Transfer also writes firmware: 1.7 \u2192 1.%1").arg(firmware->version)),
                 qPrintable(rig.find<QLabel>("lStatus")->text()));
        auto* bar = rig.find<QProgressBar>("pbFWUpdate");
        int ticks = 0;
        int highest = 0;
        int maximum = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            ++ticks;
            if (bar->isVisible()) {
                highest = std::max(highest, bar->value());
                maximum = bar->maximum();
            }
        });
        ticker.start(10);
        rig.click("bMemStore");
        QVERIFY(rig.session().writing()); // the click returned while the Transfer goes on
        rig.waitForWrite();
        ticker.stop();
        const int blocks = 2 + int((firmware->length + 127) / 128);
        QCOMPARE(maximum, blocks);
        QVERIFY2(highest >= blocks - 1, qPrintable(QString::number(highest)));
        QVERIFY2(ticks > 20, qPrintable(QString::number(ticks))); // the loop ran all along
        QCOMPARE(rig.restarts.size(), 1);
        QVERIFY(rig.dialogs.messages.isEmpty());
        QVERIFY(firmwareWritten(rig.load(), firmware->image, firmware->length));
    }

    // Firmware older than the module's goes along only on Yes to a question whose default is No; No writes
    // the configuration alone.
    void olderFirmwareIsAskedFirst_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No: the configuration alone") << false;
        QTest::newRow("Yes: the older firmware too") << true;
    }
    void olderFirmwareIsAskedFirst() {
        QFETCH(bool, yes);
        const auto firmware = builtInFirmware();
        if (!firmware)
            QSKIP("this build carries no firmware");
        Rig rig;
        const std::uint8_t newer = std::uint8_t(firmware->version + 20);
        const SimState before = moduleWithTwoSlots(newer);
        rig.save(before);
        rig.start();
        rig.click("bM3");
        QVERIFY(rig.find<QLabel>("lStatus")->text().contains("(older: asked first)"));
        rig.dialogs.defaultNoAnswer = yes;
        rig.click("bMemStore");
        rig.waitForWrite();
        QCOMPARE(rig.dialogs.defaultNoQuestions.size(), 1);
        const QString question = rig.dialogs.defaultNoQuestions.first();
        QVERIFY(question.contains(QStringLiteral("1.%1").arg(firmware->version)));
        QVERIFY(question.contains(QStringLiteral("1.%1").arg(newer)));
        QVERIFY(rig.dialogs.details.first().contains("older"));
        QCOMPARE(rig.restarts.size(), 1);
        const SimState after = rig.load();
        if (yes) {
            QVERIFY(firmwareWritten(after, firmware->image, firmware->length));
        } else {
            QCOMPARE(firmwareDescriptor(after), firmwareDescriptor(before));
            QVERIFY(blockAt(after, kFirstFirmwareBlockAt) == blockAt(before, kFirstFirmwareBlockAt));
        }
        QVERIFY(blockAt(after, 0x8000) == lumeq::encodeSlotRecords(chosen(m3Image(), Image(lumeq::kImageSize, 0), false)));
    }

    void refusedFirmwareBlockKeepsTheDescriptor() {
        const auto firmware = builtInFirmware();
        if (!firmware)
            QSKIP("this build carries no firmware");
        Rig rig;
        SimState before = moduleWithTwoSlots(7);
        before.faults.refuseBlockAddress = kFirstFirmwareBlockAt + 3 * 128;
        rig.save(before);
        rig.start();
        rig.click("bM1");
        rig.info()->setText("Neu");
        rig.click("bMemStore");
        rig.waitForWrite();
        QCOMPARE(rig.dialogs.messages, QStringList{"Firmware Write Error!FW"});
        const SimState after = rig.load();
        // The blocks before the refused one went in, the descriptor keeps the old record, and the slot and its
        // descriptor were written with the control block all the same.
        QCOMPARE(firmwareDescriptor(after), firmwareDescriptor(before));
        QVERIFY(std::equal(firmware->image.begin(), firmware->image.begin() + 3 * 128,
                           after.module.memory.begin() + kFirstFirmwareBlockAt));
        QCOMPARE(int(after.module.memory[kFirstFirmwareBlockAt + 3 * 128]), 0xFF);
        const Block control = blockAt(after, kControlBlockAt);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(control.data()) + 8, 8), QByteArray("Neu     "));
        QCOMPARE(rig.restarts.size(), 1);
    }

    void firmwareFileFromLoad() {
        Rig rig;
        const SimState before = moduleWithTwoSlots();
        rig.save(before);
        rig.start();
        const QString hintBefore = rig.firmwareHint();
        rig.click("bM1");
        std::vector<std::uint8_t> bytes(1000);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = std::uint8_t(i * 7 + 1);
        const auto write = [&](const QString& name, const std::string& text) {
            const QString path = rig.dir.filePath(name);
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(QByteArray::fromStdString(text));
            return path;
        };
        std::string tooLong = lumeq::formatFirmwareContainer(bytes, 78);
        tooLong.replace(3, 4, "3000");
        std::string corrupted = lumeq::formatFirmwareContainer(bytes, 78);
        corrupted[20] = corrupted[20] == '0' ? '1' : '0';
        // 97 data lines whose first 96 hold their CRC: only the line count refuses it.
        std::string tooManyLines = lumeq::formatFirmwareContainer(std::vector<std::uint8_t>(12287, 0x42), 78);
        tooManyLines += std::string(256, '4') + "\r\n";
        const Image image = rig.window->image();
        for (const auto& [name, text] :
             {std::pair{"long.qfw", tooLong}, {"bad.qfw", corrupted}, {"many.qfw", tooManyLines}}) {
            rig.dialogs.nextFile = write(name, text);
            rig.click("bLoad");
            QCOMPARE(rig.dialogs.messages.last(), QString("File is corrupted!"));
            QCOMPARE(rig.firmwareHint(), hintBefore);
            QVERIFY(!rig.window->firmwareState().fwUpdatePending);
        }
        rig.dialogs.messages.clear();
        rig.dialogs.nextFile = write("good.qfw", lumeq::formatFirmwareContainer(bytes, 78));
        rig.click("bLoad");
        QVERIFY(rig.dialogs.messages.isEmpty());
        QCOMPARE(rig.firmwareHint(), QString("Version 1.78"));
        QCOMPARE(rig.window->image(), image); // the configuration is not touched
        rig.click("bMemStore");
        rig.waitForWrite();
        QCOMPARE(rig.restarts.size(), 1);
        const SimState after = rig.load();
        QVERIFY(firmwareWritten(after, bytes, bytes.size()));
        QCOMPARE(firmwareDescriptor(after), (std::vector<std::uint8_t>{0x8A, 0x65, 0xC1, 78, 0xE8, 0x03, 0x04, 0x00}));
    }

    void buildWithoutFirmwareOffersNoUpdate() {
        Rig rig;
        const SimState before = moduleWithTwoSlots(7);
        rig.save(before);
        rig.startWithoutFirmware();
        QCOMPARE(rig.firmwareHint(), QString("Version 1.7"));
        QVERIFY(!rig.window->firmwareState().fwUpdatePending);
        rig.click("bM3");
        rig.click("bMemStore");
        rig.waitForWrite();
        QCOMPARE(rig.restarts.size(), 1);
        QCOMPARE(firmwareDescriptor(rig.load()), firmwareDescriptor(before));
        QVERIFY(blockAt(rig.load(), kFirstFirmwareBlockAt) == blockAt(before, kFirstFirmwareBlockAt));
    }
};

LUMEQ_GUI_TEST(ModuleModeTest)
#include "modulemode_test.moc"
