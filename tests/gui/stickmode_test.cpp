// Stick mode of the real window against the simulated stick without a module (LUMEQ_SIMULATOR): the
// identification, the read of the device memory, the caption, the log and the debug memo, Transfer and
// Default, the firmware question and the firmware update, and what the stick's faults do. The stick's
// memory is checked in the simulator's state file.

#include "app/mainwindow.h"
#include "files/configfile.h"
#include "files/firmwarecontainer.h"
#include "files/programmedlog.h"
#include "guitest.h"
#include "link/simstate.h"
#include "link/stickaccess.h"
#include "link/stickengine.h"
#include "model/crc16.h"
#include "model/image.h"
#include "windowrun.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <numeric>

using lumeq::Image;
using lumeq::MainWindow;
using lumeq::SimState;
using lumeq::StickState;

namespace {

// Dialogs answered by the test that also count the beeps.
class CountingDialogs : public ScriptedDialogs {
public:
    CountingDialogs(Script* script, int* beeps) : ScriptedDialogs(script), beeps_(beeps) {}
    void beep() override { ++*beeps_; }

private:
    int* beeps_;
};

// A configuration that differs from the defaults, in the stick's memory with an operating log.
SimState stickWithConfiguration(std::uint8_t firmwareVersion) {
    SimState state = SimState::stickAlone();
    state.stick.firmwareVersion = firmwareVersion;
    state.stick.deviceNumber = {0x00, 0x12, 0xA0, 0x7F};
    Image image = lumeq::defaultImage();
    image[3] = 0x21;
    image[40] = 0x42;
    std::copy(image.begin(), image.end(), state.stick.memory.begin());
    const std::uint8_t log[] = {0x40, 0x0D, 0x03, 0x10, 0x27, 0x04, 0x00, 61}; // 200000 min, 10000, 60 min, 61
    std::copy(std::begin(log), std::end(log), state.stick.memory.begin() + 247);
    return state;
}

// The built-in firmware of this build (the test build carries generated test containers).
std::optional<lumeq::FirmwareContainer> builtIn(bool sixtyHz = false) {
    const auto firmware = lumeq::builtInFirmware(sixtyHz);
    if (!firmware)
        return std::nullopt;
    return lumeq::parseFirmwareContainer(firmware->text);
}

QString ready(const QString& identity) {
    return identity + "            Ready...";
}

} // namespace

class StickModeTest : public QObject {
    Q_OBJECT

    struct Rig : WindowRun {
        int beeps = 0;
        std::optional<MainWindow::FirmwareSource> firmwareSource;
        // What the progress bar went through: every value, the maximum meanwhile, and whether it was on show.
        std::vector<int> progressValues;
        int progressMaximum = 0;
        bool progressShown = false;
        // Every caption the window had: "->Transfer finished." stays only until the stick, started afresh,
        // has been read again.
        QStringList captions;
        bool sawCaptionEnding(const QString& end) const {
            return std::any_of(captions.begin(), captions.end(), [&](const QString& c) { return c.endsWith(end); });
        }

        static MainWindow::Timing timing() {
            MainWindow::Timing t = fastTiming();
            t.stickPauseMs = 5;
            return t;
        }
        void start(const QStringList& parameters = {}, const MainWindow::Timing& t = timing()) {
            qputenv("LUMEQ_SIMULATOR", statePath().toLocal8Bit());
            window = std::make_unique<MainWindow>(lumeq::createStickAccess(), dir.path() + "/", parameters);
            window->setTiming(t);
            window->setRestartHandler([this](const QStringList& args) { restarts.append(args); });
            window->setDialogs(std::make_unique<CountingDialogs>(&dialogs, &beeps));
            if (firmwareSource)
                window->setFirmwareSource(*firmwareSource);
            QProgressBar* bar = progress();
            QObject::connect(bar, &QProgressBar::valueChanged, bar, [this, bar](int value) {
                progressValues.push_back(value);
                progressMaximum = bar->maximum();
                progressShown = progressShown || bar->isVisible();
            });
            QObject::connect(window.get(), &QWidget::windowTitleChanged, window.get(),
                             [this](const QString& caption) { captions << caption; });
            window->show();
            QTRY_VERIFY_WITH_TIMEOUT(window->startupFinished(), 15000);
        }
        // Waits until the device memory has been read and the caption says so.
        void waitForReady() { QTRY_VERIFY_WITH_TIMEOUT(window->windowTitle().endsWith("Ready..."), 10000); }
        QString caption() const { return window->windowTitle(); }
        QProgressBar* progress() const { return find<QProgressBar>("pbFWUpdate"); }
        StickState state() const { return window->stickSession()->engine().state(); }
        Image stickMemory() const {
            const SimState state = load();
            return Image(state.stick.memory.begin(), state.stick.memory.end());
        }
    };

private slots:
    void initTestCase() {
        if (!builtIn())
            QSKIP("this build carries no firmware: the firmware cases need the test containers");
    }

    void stickAloneIsIdentifiedReadShownEditedAndWrittenBack() {
        Rig rig;
        const SimState state = stickWithConfiguration(73);
        rig.save(state);
        rig.start({"-showLog", "-skipFW"});
        QCOMPARE(rig.caption(), QString("USB Stick"));
        QVERIFY(rig.window->isStickMode());
        rig.waitForReady();
        QCOMPARE(rig.caption(), ready("USB Stick, Device Nr. 0012A07F, FW 1.73"));
        QCOMPARE(rig.state(), StickState::Identified);
        QCOMPARE(rig.window->image(), rig.stickMemory());
        QVERIFY(!rig.window->isFormDisabled());
        QCOMPARE(rig.visibleActionButtons(),
                 QStringList({"bUpdateFw", "bReread", "bMemClear", "bMemStore", "bLoad", "bSave", "bPdf"}));
        for (const char* name : {"bM1", "bM2", "bM3", "bM4", "eInfo"})
            QVERIFY2(!rig.find(name)->isVisible(), name);
        QVERIFY(rig.find("gbLog")->isVisible());
        QCOMPARE(rig.find<QLabel>("lOp")->text(), QString("200000 min"));
        QCOMPARE(rig.find<QLabel>("lSwCnt")->text(), QString("10000"));
        QCOMPARE(rig.find<QLabel>("lOverT")->text(), QString("60 min"));
        QCOMPARE(rig.find<QLabel>("lMaxT")->text(), QString("61 \u00B0C"));
        QVERIFY(rig.find("iFW")->isVisible());
        QCOMPARE(rig.find("iFW")->toolTip(), QString::fromStdString(lumeq::firmwareVersionText(builtIn()->version)));
        QVERIFY(rig.dialogs.messages.isEmpty()); // -skipFW: no firmware question

        // Edited: a configuration file is loaded over bytes 0..127, the rest stays.
        const QString path = rig.dir.filePath("street.qcf");
        Image street = lumeq::defaultImage();
        street[2] = 35;
        street[60] = 0x5A;
        QVERIFY(lumeq::saveConfigFile(path, street, "Street").ok);
        rig.dialogs.nextFile = path;
        rig.click("bLoad");
        const Image edited = rig.window->image();
        QCOMPARE(edited.size(), std::size_t(256));
        QVERIFY(!std::equal(edited.begin(), edited.begin() + 96, state.stick.memory.begin()));
        QVERIFY(std::equal(edited.begin() + 128, edited.end(), state.stick.memory.begin() + 128));

        rig.click("bMemStore");
        QVERIFY(!rig.window->isFormDisabled()); // the write goes on in the background
        QTRY_VERIFY(rig.sawCaptionEnding("->Transfer finished."));
        QVERIFY(std::equal(edited.begin(), edited.begin() + 250, rig.stickMemory().begin()));
        // The stick starts afresh, says who it is, and the memory is read again.
        rig.waitForReady();
        QCOMPARE(rig.window->image(), rig.stickMemory());
        QVERIFY(rig.dialogs.messages.isEmpty());
        QVERIFY(rig.restarts.isEmpty()); // stick mode does not restart
    }

    void defaultThenTransferWritesTheDefaultsAndFF() {
        Rig rig;
        rig.save(stickWithConfiguration(73));
        rig.start({"-skipFW"});
        rig.waitForReady();
        rig.click("bMemClear");
        QCOMPARE(rig.dialogs.messages, QStringList{"Are youe sure?"});
        rig.click("bMemStore");
        QTRY_VERIFY(rig.sawCaptionEnding("->Transfer finished."));
        const Image memory = rig.stickMemory();
        QVERIFY(std::equal(lumeq::kDefaultImage.begin(), lumeq::kDefaultImage.end(), memory.begin()));
        QVERIFY(std::all_of(memory.begin() + 128, memory.begin() + 250, [](std::uint8_t b) { return b == 0xFF; }));
        QCOMPARE(int(memory[254]), 61); // beyond the frames: the stick's own
    }

    void debugMemoTakesTheFrameLogWhileTickedAndNotStopped() {
        Rig rig;
        const SimState state = stickWithConfiguration(0xFF);
        rig.save(state);
        rig.start({"-debug", "-skipFW"});
        rig.waitForReady();
        QCOMPARE(rig.caption(), ready("USB Stick, Device Nr. 0012A07F, FW ???"));
        auto* memo = rig.find<QPlainTextEdit>("mDebug");
        QVERIFY(memo->toPlainText().isEmpty()); // "Debug" was not ticked
        QVERIFY(memo->font().fixedPitch());
        rig.find<QCheckBox>("cbStickDebug")->setChecked(true);
        QVERIFY(rig.find("pDebug")->isVisible());
        rig.click("bReread");
        QTRY_VERIFY(memo->toPlainText().contains("------------------ Memory dump"));
        const QStringList lines = memo->toPlainText().split('\n');
        QCOMPARE(lines.first(), QString("Send: Read Memory 0x00"));
        QCOMPARE(lines[9], QString("Send: Read Memory 0xEA"));
        QString row30 = "30: ";
        for (int i = 0x30; i < 0x40; ++i)
            row30 += QString("%1 ").arg(state.stick.memory[static_cast<std::size_t>(i)], 2, 16, QChar('0')).toUpper();
        QVERIFY2(lines.contains(row30), qPrintable(row30));

        memo->clear();
        rig.find<QCheckBox>("cbDebugHold")->setChecked(true); // "Stop"
        rig.click("bReread");
        QVERIFY(rig.window->stickSession()->engine().reading());
        QTRY_VERIFY(!rig.window->stickSession()->engine().reading());
        QVERIFY(memo->toPlainText().isEmpty());
    }

    void pauseAfterTheIdentificationKeepsTheWindowWorking() {
        Rig rig;
        rig.save(stickWithConfiguration(73));
        MainWindow::Timing timing = Rig::timing();
        timing.stickPauseMs = 400;
        rig.start({"-skipFW"}, timing);
        QTRY_VERIFY(rig.window->stickSession()->pausing());
        // The window's events run during the pause: a timer fires, a click is taken.
        bool fired = false;
        QTimer::singleShot(0, [&fired] { fired = true; });
        QTRY_VERIFY(fired);
        QVERIFY(rig.window->stickSession()->pausing());
        QCOMPARE(rig.caption(), QString("USB Stick"));
        rig.waitForReady();
    }

    void firmwareQuestionAndUpdateWithTheProgressBar() {
        Rig rig;
        rig.save(stickWithConfiguration(40));
        rig.dialogs.confirmAnswer = true;
        rig.start();
        QTRY_VERIFY_WITH_TIMEOUT(rig.caption().endsWith("->FW Update finished."), 15000);
        const lumeq::FirmwareContainer firmware = *builtIn();
        const QString question = QString("The Lumeq Firmware version (1.40) and the embedded version (1.%1) are "
                                         "different!\rDo you want to update the firmware?")
                                     .arg(firmware.version);
        QCOMPARE(rig.dialogs.messages, QStringList{question});
        QCOMPARE(rig.caption(), ready("USB Stick, Device Nr. 0012A07F, FW 1.40") + "->FW Update finished.");
        const int records = int((firmware.length + 71) / 72);
        QCOMPARE(rig.progressMaximum, records);
        QVERIFY(rig.progressShown);
        std::vector<int> everyRecord(static_cast<std::size_t>(records) + 1); // from 0, one step a record
        std::iota(everyRecord.begin(), everyRecord.end(), 0);
        QCOMPARE(rig.progressValues, everyRecord);
        QVERIFY(!rig.progress()->isVisible());
        QVERIFY(!rig.window->isFormDisabled());
        QCOMPARE(rig.state(), StickState::Identified);
        QCOMPARE(rig.beeps, 0);
        // The stick received every record: the image's first 72 * records bytes, then the reset frame.
        const SimState after = rig.load();
        QCOMPARE(after.stick.receivedFirmwareBytes, records * 72);
        QCOMPARE(after.stick.receivedFirmwareCrc,
                 lumeq::crc16(std::span(firmware.image).first(static_cast<std::size_t>(records) * 72)));
    }

    void refusedFirmwareBeepsAndStops() {
        Rig rig;
        SimState state = stickWithConfiguration(40);
        state.faults.refuseFirmwareFrame = 8; // record 3, phase 2
        rig.save(state);
        rig.dialogs.confirmAnswer = false; // No to the question: Update FW by hand
        rig.start();
        rig.waitForReady();
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QVERIFY(!rig.progress()->isVisible());
        rig.click("bUpdateFw");
        QTRY_COMPARE(rig.beeps, 1);
        QVERIFY(!rig.window->isFormDisabled());
        QVERIFY(rig.progress()->isVisible()); // it stays where it stopped
        QCOMPARE(rig.progress()->value(), 2);
        QVERIFY(!rig.caption().contains("FW Update finished"));
        QCOMPARE(rig.load().stick.receivedFirmwareBytes, 0);
        // Update FW starts again from the first record, and now goes through.
        rig.click("bUpdateFw");
        QTRY_VERIFY_WITH_TIMEOUT(rig.caption().endsWith("->FW Update finished."), 15000);
        QCOMPARE(rig.beeps, 1);
        QCOMPARE(rig.load().stick.receivedFirmwareBytes, int((builtIn()->length + 71) / 72 * 72));
    }

    void buildWithoutFirmwareAsksNothingAndSaysSo_data() {
        QTest::addColumn<bool>("carried"); // a container is built in, but its CRC fails
        QTest::newRow("no container built in") << false;
        QTest::newRow("a container whose CRC fails") << true;
    }
    void buildWithoutFirmwareAsksNothingAndSaysSo() {
        QFETCH(bool, carried);
        Rig rig;
        rig.save(stickWithConfiguration(40));
        if (carried) {
            // Version 1.41 in its header, which differs from the stick's 1.40: only the missing image keeps the
            // question away.
            std::string text = lumeq::formatFirmwareContainer(std::vector<std::uint8_t>(300, 0x5A), 41);
            text[9] = text[9] == '0' ? '1' : '0'; // the first digit of the CRC
            rig.firmwareSource = [text](bool) { return std::optional<lumeq::BuiltInFirmware>({text, false}); };
        } else {
            rig.firmwareSource = [](bool) { return std::optional<lumeq::BuiltInFirmware>(); };
        }
        rig.start();
        rig.waitForReady();
        QVERIFY(rig.dialogs.messages.isEmpty());
        QVERIFY(!rig.find("iFW")->isVisible());
        rig.click("bUpdateFw");
        QCOMPARE(rig.dialogs.messages, QStringList{lumeq::kNoFirmwareMessage});
        QVERIFY(!rig.progress()->isVisible());
        QCOMPARE(rig.state(), StickState::Identified);

        // A firmware file loaded by hand is sent instead.
        std::vector<std::uint8_t> bytes(500);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 3);
        const QString path = rig.dir.filePath("update.qfw");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(lumeq::formatFirmwareContainer(bytes, 77)));
        file.close();
        rig.dialogs.nextFile = path;
        rig.click("bLoad");
        QCOMPARE(rig.find("iFW")->toolTip(), QString("Version 1.77"));
        QVERIFY(rig.find("iFW")->isVisible());
        rig.click("bUpdateFw");
        QTRY_VERIFY(rig.caption().endsWith("->FW Update finished."));
        bytes.resize(7 * 72, 0xFF);
        QCOMPARE(rig.load().stick.receivedFirmwareCrc, lumeq::crc16(bytes));
    }

    void readAnswersWithAWrongCrc_data() {
        QTest::addColumn<int>("badAnswers");
        QTest::newRow("five: asked again, the read completes") << 5;
        QTest::newRow("six: Read Error, ReRead works") << 6;
    }
    void readAnswersWithAWrongCrc() {
        QFETCH(int, badAnswers);
        Rig rig;
        SimState state = stickWithConfiguration(73);
        state.faults.badReadCrc = badAnswers;
        rig.save(state);
        rig.start({"-skipFW"});
        if (badAnswers <= 5) {
            rig.waitForReady();
            QCOMPARE(rig.window->image(), rig.stickMemory());
            QVERIFY(rig.dialogs.messages.isEmpty());
            return;
        }
        QTRY_COMPARE(rig.caption(), QString("Read Error"));
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QVERIFY(!rig.window->isFormDisabled());
        QVERIFY(rig.find("bReread")->isVisible());
        rig.click("bReread");
        rig.waitForReady();
        QCOMPARE(rig.window->image(), rig.stickMemory());
    }

    void refusedWriteFramesEndWithTransferError() {
        Rig rig;
        SimState state = stickWithConfiguration(73);
        state.faults.refuseWrites = 6;
        rig.save(state);
        rig.start({"-skipFW"});
        rig.waitForReady();
        rig.window->image()[5] = 0x55;
        rig.click("bMemStore");
        QTRY_COMPARE(rig.caption(), QString("Transfer Error!"));
        QCOMPARE(rig.state(), StickState::Waiting);
        QVERIFY(!rig.window->isFormDisabled());
        QVERIFY(rig.find("bMemStore")->isVisible());
        QCOMPARE(int(rig.stickMemory()[5]), int(state.stick.memory[5])); // nothing was written
        // A stick that takes the frames again: Transfer works.
        SimState willing = rig.load();
        willing.faults.refuseWrites = 0;
        rig.save(willing);
        rig.click("bMemStore");
        QTRY_VERIFY(rig.sawCaptionEnding("->Transfer finished."));
        QCOMPARE(int(rig.stickMemory()[5]), 0x55);
    }

    void stickUnpluggedDuringAWrite() {
        Rig rig;
        SimState state = stickWithConfiguration(73);
        rig.save(state);
        rig.start({"-skipFW"});
        rig.waitForReady();
        // Transfer finds the stick afresh (the state file read again): it is pulled out after three frames.
        state.faults.unplugAfter = 4;
        rig.save(state);
        rig.click("bMemStore");
        QTRY_COMPARE(rig.dialogs.messages, QStringList{"   USB Error!   "});
        QCOMPARE(rig.caption(), QString("Transfer Error!"));
        QVERIFY(!rig.window->isFormDisabled());
        QVERIFY(rig.find("bMemStore")->isVisible());
        QVERIFY(!rig.load().stick.present);
        // Without the stick, Transfer says so; with it back, it writes again.
        rig.click("bMemStore");
        QCOMPARE(rig.dialogs.messages.size(), 2);
        SimState back = rig.load();
        back.stick.present = true;
        back.faults.unplugAfter = -1;
        rig.save(back);
        rig.click("bMemStore");
        QTRY_VERIFY(rig.sawCaptionEnding("->Transfer finished."));
    }

    // Every write of the stick's memory adds a record to the log of programmed modules: refused, written,
    // and cut short by the stick being pulled out.
    void writesAreLogged() {
        Rig rig;
        const QString logPath = rig.ownLog();
        SimState state = stickWithConfiguration(73);
        state.faults.refuseWrites = 6;
        rig.save(state);
        rig.start({"-skipFW"});
        rig.waitForReady();
        rig.window->image()[5] = 0x55;
        const std::uint16_t crc = lumeq::configurationCrc(rig.window->image());
        rig.click("bMemStore");
        QTRY_COMPARE(rig.caption(), QString("Transfer Error!"));

        SimState willing = rig.load();
        willing.faults.refuseWrites = 0;
        rig.save(willing);
        rig.click("bMemStore");
        QTRY_VERIFY(rig.sawCaptionEnding("->Transfer finished."));
        rig.waitForReady();

        SimState pulled = rig.load();
        pulled.faults.unplugAfter = 4;
        rig.save(pulled);
        rig.click("bMemStore");
        QTRY_COMPARE(rig.dialogs.messages, QStringList{"   USB Error!   "});

        const lumeq::ProgrammedLogRead read = lumeq::readProgrammedLog(logPath);
        QVERIFY2(read.ok, read.error.c_str());
        QStringList outcomes;
        QStringList readBacks;
        for (const lumeq::ProgrammedRecord& record : read.log.records) {
            outcomes << QString::fromStdString(lumeq::programmedOutcomeText(record));
            readBacks << QString::fromStdString(record.readBack);
            QCOMPARE(record.mode, lumeq::ProgrammedMode::Stick);
            QCOMPARE(record.slot, 0);
            QCOMPARE(record.crc, std::optional<std::uint16_t>(crc));
            QVERIFY(record.firmware.empty());
        }
        QCOMPARE(outcomes, QStringList({"failed: the stick refused a frame six times", "ok",
                                        "interrupted: the stick was unplugged during the write"}));
        // The written memory was read back once the stick had started afresh, as lumeq-cli does.
        QCOMPARE(readBacks, QStringList({"", "identical", ""}));
    }

    void stickUnpluggedDuringAFirmwareUpdate() {
        Rig rig;
        SimState state = stickWithConfiguration(40);
        state.faults.unplugAfter = 1 + 10 + 30; // the start-up read, the memory read, ten records
        rig.save(state);
        rig.dialogs.confirmAnswer = true;
        rig.start();
        QTRY_COMPARE(rig.dialogs.messages.size(), 2);
        QCOMPARE(rig.dialogs.messages.last(), QString("   USB Error!   "));
        QVERIFY(!rig.window->isFormDisabled());
        QVERIFY(!rig.progress()->isVisible());
        QVERIFY(rig.find("bUpdateFw")->isVisible());
        QCOMPARE(rig.state(), StickState::Identified);
    }

    void stickThatNeverIdentifiesItselfKeepsWaiting() {
        Rig rig;
        SimState state = stickWithConfiguration(73);
        state.faults.loseAnswersAfter = 1; // B2 50 only
        rig.save(state);
        rig.start();
        QTest::qWait(20); // the stick's answers come within a millisecond; nothing comes
        QCOMPARE(rig.caption(), QString("USB Stick"));
        QCOMPARE(rig.state(), StickState::Waiting);
        QVERIFY(rig.window->isFormDisabled());
        QVERIFY(rig.visibleActionButtons().isEmpty());
    }

    // Nothing is written that was not read: after a first read that failed, Transfer and Default say why and
    // leave the stick's memory and the window's image as they are; ReRead works and then Transfer does.
    void failedFirstReadRefusesTransferAndDefault_data() {
        QTest::addColumn<int>("badCrc");
        QTest::addColumn<int>("lateFrame");        // the stick frame whose answer comes too late (lost)
        QTest::addColumn<int>("loseAfter");        // answers after which all are lost
        QTest::addColumn<int>("reidentifyMs");     // the stick says who it is again and again
        QTest::addColumn<QString>("message");
        QTest::newRow("six answers with a wrong CRC at 52") << 6 << 0 << -1 << 0 << QString(lumeq::kStickReadErrorMessage);
        QTest::newRow("the answer at 104 lost") << 0 << 5 << -1 << 0 << QString(lumeq::kStickNoAnswerMessage);
        QTest::newRow("lost at 104, identifications every 100 ms")
            << 0 << 0 << 6 << 100 << QString(lumeq::kStickNoAnswerMessage);
    }
    void failedFirstReadRefusesTransferAndDefault() {
        QFETCH(int, badCrc);
        QFETCH(int, lateFrame);
        QFETCH(int, loseAfter);
        QFETCH(int, reidentifyMs);
        QFETCH(QString, message);
        Rig rig;
        SimState state = stickWithConfiguration(73);
        state.faults.badReadCrc = badCrc;
        state.faults.lateAnswerFrame = lateFrame;
        state.faults.lateAnswerMs = 600;
        state.faults.loseAnswersAfter = loseAfter;
        state.faults.reidentifyMs = reidentifyMs;
        rig.save(state);
        MainWindow::Timing timing = Rig::timing();
        timing.stickAnswerMs = 300;
        rig.start({"-skipFW"}, timing);
        // Identifications that keep coming do not hold the read's wait open.
        QTRY_COMPARE_WITH_TIMEOUT(rig.caption(), QString("Read Error"), 5000);
        QCOMPARE(rig.dialogs.messages, QStringList{message});
        QVERIFY(!rig.window->stickSession()->engine().memoryRead());
        QVERIFY(rig.find("bMemStore")->isVisible());
        rig.window->image()[5] = 0x55;
        const Image edited = rig.window->image();
        rig.click("bMemStore");
        QCOMPARE(rig.dialogs.messages.size(), 2);
        QVERIFY(rig.dialogs.messages.last().contains("read the stick again first"));
        rig.click("bMemClear");
        QCOMPARE(rig.dialogs.messages.size(), 3);
        QVERIFY(rig.dialogs.messages.last().contains("read the stick again first"));
        QCOMPARE(rig.window->image(), edited);
        QTest::qWait(50); // a write would have begun by now
        QVERIFY(std::equal(state.stick.memory.begin(), state.stick.memory.end(), rig.stickMemory().begin()));
        if (loseAfter >= 0)
            return; // every later answer is lost too
        // ReRead works after the failed read (the late answer, when it comes, changes nothing).
        if (lateFrame)
            QTest::qWait(1000); // the late answer has come meanwhile (600 ms after its frame)
        rig.click("bReread");
        rig.waitForReady();
        QCOMPARE(rig.window->image(), rig.stickMemory());
        // Transfer finds the stick afresh, which counts its frames from 1 again: without the fault now.
        SimState willing = rig.load();
        willing.faults = {};
        rig.save(willing);
        rig.window->image()[5] = 0x55;
        rig.click("bMemStore");
        QTRY_VERIFY(rig.sawCaptionEnding("->Transfer finished."));
        QCOMPARE(int(rig.stickMemory()[5]), 0x55);
    }

    // Firmware never goes down unasked: the question after the read offers the older built-in image with
    // No as its default and a line naming both versions; No is remembered for this stick (a Transfer, whose
    // read-back reads the stick again, does not bring it back); Update FW asks the same way.
    void olderFirmwareIsOfferedWithNoAsTheDefault() {
        Rig rig;
        const QString logPath = rig.ownLog();
        const lumeq::FirmwareContainer firmware = *builtIn();
        const int newer = firmware.version + 22;
        rig.save(stickWithConfiguration(static_cast<std::uint8_t>(newer)));
        rig.dialogs.defaultNoAnswer = false;
        rig.start();
        rig.waitForReady();
        const QString question = QString::fromStdString(lumeq::firmwareQuestionText(newer, firmware.version));
        const QString detail = QString("The stick has firmware 1.%1; updating would install the older version 1.%2.")
                                   .arg(newer)
                                   .arg(firmware.version);
        QCOMPARE(rig.dialogs.defaultNoQuestions, QStringList{question});
        QCOMPARE(rig.dialogs.details, QStringList{detail});
        QVERIFY(detail.contains("older"));

        rig.click("bMemStore");
        QTRY_VERIFY(rig.sawCaptionEnding("->Transfer finished."));
        rig.waitForReady();
        QCOMPARE(rig.dialogs.defaultNoQuestions.size(), 1); // not asked again for this stick
        QCOMPARE(rig.load().stick.receivedFirmwareBytes, 0);

        rig.click("bUpdateFw");
        QCOMPARE(rig.dialogs.defaultNoQuestions,
                 QStringList({question, QString::fromLatin1(lumeq::kOlderFirmwareQuestion)}));
        QCOMPARE(rig.dialogs.details.last(), detail);
        QVERIFY(!rig.progress()->isVisible());
        QCOMPARE(rig.load().stick.receivedFirmwareBytes, 0); // No sends nothing
        rig.dialogs.defaultNoAnswer = true;
        rig.click("bUpdateFw");
        QTRY_VERIFY_WITH_TIMEOUT(rig.caption().endsWith("->FW Update finished."), 15000);
        QCOMPARE(rig.load().stick.receivedFirmwareBytes, int((firmware.length + 71) / 72 * 72));

        // The log: the Transfer read back identical, the update with the version of the image sent.
        const lumeq::ProgrammedLogRead read = lumeq::readProgrammedLog(logPath);
        QVERIFY2(read.ok, read.error.c_str());
        QCOMPARE(read.log.records.size(), std::size_t(2));
        QCOMPARE(read.log.records[0].readBack, std::string("identical"));
        QCOMPARE(read.log.records[0].outcome, lumeq::ProgrammedOutcome::Ok);
        QCOMPARE(read.log.records[1].firmware, "1." + std::to_string(firmware.version));
        QVERIFY(read.log.records[1].readBack.empty());
        QCOMPARE(read.log.records[1].outcome, lumeq::ProgrammedOutcome::Ok);
    }

    // Stray and late answers during a Transfer: the write goes through unharmed, bytes 0..249 as they were
    // in the window and nothing past them.
    void strayAnswersDuringATransferChangeNothing_data() {
        QTest::addColumn<int>("code");
        QTest::newRow("B2 56 to the first write memory frame") << 0x56;
        QTest::newRow("B2 5A to the first write memory frame") << 0x5A;
    }
    void strayAnswersDuringATransferChangeNothing() {
        QFETCH(int, code);
        Rig rig;
        SimState state = stickWithConfiguration(73);
        state.faults.strayAnswerFrame = 11; // ten read frames, then the first write memory frame
        state.faults.strayAnswerCode = code;
        rig.save(state);
        rig.start({"-skipFW"});
        rig.waitForReady();
        for (std::size_t i = 0; i < 250; ++i)
            rig.window->image()[i] = static_cast<std::uint8_t>(i ^ 0xA5);
        const Image written = rig.window->image();
        rig.click("bMemStore");
        QTRY_VERIFY(rig.sawCaptionEnding("->Transfer finished."));
        rig.waitForReady();
        const Image memory = rig.stickMemory();
        QVERIFY(std::equal(written.begin(), written.begin() + 250, memory.begin()));
        QVERIFY(std::equal(memory.begin() + 250, memory.end(), state.stick.memory.begin() + 250));
        QVERIFY(rig.dialogs.messages.isEmpty());
    }

    // A stick that keeps a byte otherwise than written: the Transfer's read-back finds it, says so with the
    // difference as its detail line, and the log records it.
    void transferWhoseReadBackDiffersSaysSo() {
        Rig rig;
        const QString logPath = rig.ownLog();
        SimState state = stickWithConfiguration(73);
        state.faults.stickStoreDiffersByte = 200;
        rig.save(state);
        rig.start({"-skipFW"});
        rig.waitForReady();
        rig.window->image()[200] = 0x3C;
        rig.click("bMemStore");
        QTRY_COMPARE(rig.dialogs.messages, QStringList{lumeq::kStickReadBackMessage});
        QCOMPARE(rig.dialogs.details,
                 QStringList{"the memory was written, but byte 200 reads back as C3 instead of 3C"});
        QVERIFY(rig.caption().endsWith("Ready...")); // the stick as it was read back
        QCOMPARE(int(rig.window->image()[200]), 0xC3);
        const lumeq::ProgrammedLogRead read = lumeq::readProgrammedLog(logPath);
        QVERIFY2(read.ok, read.error.c_str());
        QCOMPARE(read.log.records.size(), std::size_t(1));
        QCOMPARE(lumeq::programmedOutcomeText(read.log.records[0]), std::string("failed: the read-back differs"));
        QCOMPARE(read.log.records[0].readBack, std::string("differs: byte 200 reads back as C3 instead of 3C"));
    }

    // A stick that does not start afresh after the write (its identification lost): the wait for it ends
    // with the message, and the log says the memory was not read back.
    void transferWithoutARestartIsNotReadBack() {
        Rig rig;
        const QString logPath = rig.ownLog();
        rig.save(stickWithConfiguration(73));
        rig.start({"-skipFW"});
        rig.waitForReady();
        // Transfer finds the stick afresh: twenty answers to the write, then nothing.
        SimState silent = rig.load();
        silent.faults.loseAnswersAfter = 20;
        rig.save(silent);
        rig.click("bMemStore");
        QTRY_VERIFY(rig.sawCaptionEnding("->Transfer finished."));
        QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.messages, QStringList{lumeq::kStickReadBackMessage}, 10000);
        QCOMPARE(rig.dialogs.details, QStringList{"the memory was written, but it could not be read back"});
        const lumeq::ProgrammedLogRead read = lumeq::readProgrammedLog(logPath);
        QVERIFY2(read.ok, read.error.c_str());
        QCOMPARE(read.log.records.size(), std::size_t(1));
        QCOMPARE(lumeq::programmedOutcomeText(read.log.records[0]), std::string("failed: the read-back failed"));
        QCOMPARE(read.log.records[0].readBack, std::string("not read back"));
    }
};

LUMEQ_GUI_TEST(StickModeTest)
#include "stickmode_test.moc"
