// The device faults as a matrix through the real window and the simulator (LUMEQ_SIMULATOR): every
// operation of module mode and stick mode against every fault the simulated stick and module can show.
// Each combination must end with something the user sees (a message, a caption, a beep, or the restart
// that ends a module write), leave no part of the window disabled and no busy cursor behind, and leave the
// memory of the module or the stick unchanged outside what the operation was writing (checked in the
// simulator's state file). Combinations that cannot occur are listed as "n/a" with the reason. The table
// is printed with the test's output.

#include "app/mainwindow.h"
#include "files/firmwarecontainer.h"
#include "guitest.h"
#include "link/blockwriter.h"
#include "link/simstate.h"
#include "link/stickaccess.h"
#include "link/stickengine.h"
#include "model/image.h"
#include "windowrun.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

using lumeq::Image;
using lumeq::MainWindow;
using lumeq::SimFaults;
using lumeq::SimState;

namespace {

enum class Op { StartUpRead, SlotRead, SlotWrite, FirmwareWrite, Erase, StickRead, StickWrite, StickFirmware };
enum class Fault { NoAnswer, LostAnswers, NegativeConfirmation, WrongAddress, RefusedSixTimes, BadReadCrc, Unplugged };

const Op kOps[] = {Op::StartUpRead, Op::SlotRead,  Op::SlotWrite,  Op::FirmwareWrite,
                   Op::Erase,       Op::StickRead, Op::StickWrite, Op::StickFirmware};
const Fault kFaults[] = {Fault::NoAnswer,        Fault::LostAnswers, Fault::NegativeConfirmation, Fault::WrongAddress,
                         Fault::RefusedSixTimes, Fault::BadReadCrc,  Fault::Unplugged};

const char* opName(Op op) {
    switch (op) {
    case Op::StartUpRead:
        return "start-up read";
    case Op::SlotRead:
        return "slot read";
    case Op::SlotWrite:
        return "slot write";
    case Op::FirmwareWrite:
        return "firmware write";
    case Op::Erase:
        return "erase";
    case Op::StickRead:
        return "stick read";
    case Op::StickWrite:
        return "stick write";
    case Op::StickFirmware:
        return "stick FW update";
    }
    return "";
}

const char* faultName(Fault fault) {
    switch (fault) {
    case Fault::NoAnswer:
        return "no answer";
    case Fault::LostAnswers:
        return "answers lost after N";
    case Fault::NegativeConfirmation:
        return "negative confirmation";
    case Fault::WrongAddress:
        return "wrong-address confirmation";
    case Fault::RefusedSixTimes:
        return "frame refused 6 times";
    case Fault::BadReadCrc:
        return "read answer, wrong CRC";
    case Fault::Unplugged:
        return "unplugged half-way";
    }
    return "";
}

bool stickMode(Op op) {
    return op == Op::StickRead || op == Op::StickWrite || op == Op::StickFirmware;
}

// The faults of module mode's writes go into the state file after the start-up: Transfer and Erase ALL look
// for the stick afresh, which reads the file again and starts the simulator's counts from zero. The others
// are in the file from the start, and their counts include the start-up's reports.
bool faultAfterStartUp(Op op) {
    return op == Op::SlotWrite || op == Op::FirmwareWrite || op == Op::Erase || op == Op::StickWrite;
}

constexpr std::uint16_t kControlBlockAt = 0xFF80;
constexpr std::uint16_t kFirstFirmwareBlockAt = 0x0200;
constexpr int kBlockReports = 17; // a block: its request (or header) and sixteen data reports
// Stick mode's start-up: the read that finds the stick alone (one report out, B2 50 and B2 5F back), then
// ten read frames of the device memory, each answered.
constexpr int kStickProbeReports = 1;
constexpr int kStickProbeAnswers = 2;
constexpr int kStickReadFrames = 10;

struct Cell {
    Op op;
    Fault fault;
    const char* notApplicable; // why the combination cannot occur; null when it is run
    std::function<void(SimFaults&)> inject;
};

Cell na(Op op, Fault fault, const char* why) {
    return {op, fault, why, {}};
}
Cell run(Op op, Fault fault, std::function<void(SimFaults&)> inject) {
    return {op, fault, nullptr, std::move(inject)};
}

std::vector<Cell> matrix() {
    constexpr auto noConfirmation = "a read has no confirmation";
    constexpr auto noRepeat = "module mode sends no frame again";
    constexpr auto noCrc = "module answers carry no CRC";
    constexpr auto noRead = "nothing is read";
    constexpr auto noAddress = "stick answers name no address";
    const int firmwareBlock3 = kFirstFirmwareBlockAt + 2 * 128;
    return {
        // Module mode: the read of the control block at start-up.
        run(Op::StartUpRead, Fault::NoAnswer, [](SimFaults& f) { f.noAnswer = true; }),
        run(Op::StartUpRead, Fault::LostAnswers, [](SimFaults& f) { f.loseAnswersAfter = 5; }),
        na(Op::StartUpRead, Fault::NegativeConfirmation, noConfirmation),
        na(Op::StartUpRead, Fault::WrongAddress, noConfirmation),
        na(Op::StartUpRead, Fault::RefusedSixTimes, noRepeat),
        na(Op::StartUpRead, Fault::BadReadCrc, noCrc),
        run(Op::StartUpRead, Fault::Unplugged, [](SimFaults& f) { f.unplugAfter = 1; }),
        // The slot's block after the control block; then the slot is chosen.
        run(Op::SlotRead, Fault::NoAnswer, [](SimFaults& f) { f.noAnswerAfter = 1; }),
        run(Op::SlotRead, Fault::LostAnswers, [](SimFaults& f) { f.loseAnswersAfter = kBlockReports + 5; }),
        na(Op::SlotRead, Fault::NegativeConfirmation, noConfirmation),
        na(Op::SlotRead, Fault::WrongAddress, noConfirmation),
        na(Op::SlotRead, Fault::RefusedSixTimes, noRepeat),
        na(Op::SlotRead, Fault::BadReadCrc, noCrc),
        run(Op::SlotRead, Fault::Unplugged, [](SimFaults& f) { f.unplugAfter = 2; }),
        // Transfer of a slot, no firmware due: the slot's block, then the control block.
        run(Op::SlotWrite, Fault::NoAnswer, [](SimFaults& f) { f.noAnswer = true; }),
        run(Op::SlotWrite, Fault::LostAnswers, [](SimFaults& f) { f.loseAnswersAfter = 1; }),
        run(Op::SlotWrite, Fault::NegativeConfirmation, [](SimFaults& f) { f.confirmStatus = 0; }),
        run(Op::SlotWrite, Fault::WrongAddress, [](SimFaults& f) { f.confirmAddressOffset = 128; }),
        na(Op::SlotWrite, Fault::RefusedSixTimes, noRepeat),
        na(Op::SlotWrite, Fault::BadReadCrc, noRead),
        run(Op::SlotWrite, Fault::Unplugged, [](SimFaults& f) { f.unplugAfter = 9; }),
        // Transfer with firmware due: the slot's block, the firmware blocks, the control block. The faults hit
        // the third firmware block.
        run(Op::FirmwareWrite, Fault::NoAnswer, [](SimFaults& f) { f.noAnswerAfter = 3 * kBlockReports; }),
        run(Op::FirmwareWrite, Fault::LostAnswers, [](SimFaults& f) { f.loseAnswersAfter = 3; }),
        run(Op::FirmwareWrite, Fault::NegativeConfirmation,
            [=](SimFaults& f) {
                f.confirmStatus = 0;
                f.confirmFaultAddress = firmwareBlock3;
            }),
        run(Op::FirmwareWrite, Fault::WrongAddress,
            [=](SimFaults& f) {
                f.confirmAddressOffset = 128;
                f.confirmFaultAddress = firmwareBlock3;
            }),
        na(Op::FirmwareWrite, Fault::RefusedSixTimes, noRepeat),
        na(Op::FirmwareWrite, Fault::BadReadCrc, noRead),
        run(Op::FirmwareWrite, Fault::Unplugged, [](SimFaults& f) { f.unplugAfter = 3 * kBlockReports + 8; }),
        // Erase ALL: one frame, not answered.
        run(Op::Erase, Fault::NoAnswer, [](SimFaults& f) { f.noAnswer = true; }),
        na(Op::Erase, Fault::LostAnswers, "erase is not answered"),
        na(Op::Erase, Fault::NegativeConfirmation, "erase is not confirmed"),
        na(Op::Erase, Fault::WrongAddress, "erase is not confirmed"),
        na(Op::Erase, Fault::RefusedSixTimes, noRepeat),
        na(Op::Erase, Fault::BadReadCrc, noRead),
        run(Op::Erase, Fault::Unplugged, [](SimFaults& f) { f.unplugAfter = 1; }),
        // Stick mode: the read of the device memory after the identification, ten frames.
        run(Op::StickRead, Fault::NoAnswer, [](SimFaults& f) { f.noAnswerAfter = kStickProbeReports + 4; }),
        run(Op::StickRead, Fault::LostAnswers, [](SimFaults& f) { f.loseAnswersAfter = kStickProbeAnswers + 4; }),
        na(Op::StickRead, Fault::NegativeConfirmation, noConfirmation),
        na(Op::StickRead, Fault::WrongAddress, noConfirmation),
        na(Op::StickRead, Fault::RefusedSixTimes, "read frames are not refused (see wrong CRC)"),
        run(Op::StickRead, Fault::BadReadCrc, [](SimFaults& f) { f.badReadCrc = 6; }),
        run(Op::StickRead, Fault::Unplugged, [](SimFaults& f) { f.unplugAfter = kStickProbeReports + 5; }),
        // Transfer: ten write memory frames, ten write EE frames.
        run(Op::StickWrite, Fault::NoAnswer, [](SimFaults& f) { f.noAnswer = true; }),
        run(Op::StickWrite, Fault::LostAnswers, [](SimFaults& f) { f.loseAnswersAfter = 7; }),
        run(Op::StickWrite, Fault::NegativeConfirmation, [](SimFaults& f) { f.refuseWrites = 1; }),
        na(Op::StickWrite, Fault::WrongAddress, noAddress),
        run(Op::StickWrite, Fault::RefusedSixTimes, [](SimFaults& f) { f.refuseWrites = 6; }),
        na(Op::StickWrite, Fault::BadReadCrc, noRead),
        run(Op::StickWrite, Fault::Unplugged, [](SimFaults& f) { f.unplugAfter = 11; }),
        // Update FW: three frames a record of 72 bytes.
        run(Op::StickFirmware, Fault::NoAnswer,
            [](SimFaults& f) { f.noAnswerAfter = kStickProbeReports + kStickReadFrames + 3 * 4; }),
        run(Op::StickFirmware, Fault::LostAnswers,
            [](SimFaults& f) { f.loseAnswersAfter = kStickProbeAnswers + kStickReadFrames + 3 * 4; }),
        run(Op::StickFirmware, Fault::NegativeConfirmation, [](SimFaults& f) { f.refuseFirmwareFrame = 8; }),
        na(Op::StickFirmware, Fault::WrongAddress, noAddress),
        na(Op::StickFirmware, Fault::RefusedSixTimes, "the update stops at the first refused frame"),
        na(Op::StickFirmware, Fault::BadReadCrc, noRead),
        run(Op::StickFirmware, Fault::Unplugged,
            [](SimFaults& f) { f.unplugAfter = kStickProbeReports + kStickReadFrames + 3 * 10; }),
    };
}

// The firmware this build carries (the test build: a generated test container).
std::optional<lumeq::FirmwareContainer> builtInFirmware() {
    const auto builtIn = lumeq::builtInFirmware(false);
    if (!builtIn)
        return std::nullopt;
    return lumeq::parseFirmwareContainer(builtIn->text);
}

Image slotImage() {
    Image image = lumeq::defaultImage();
    image[3] = 0x21;
    image[40] = 0x42;
    return image;
}

// A module with "Lamp A" in M1 and the given firmware version recorded (the built-in one: no update due).
SimState moduleState(std::uint8_t firmwareVersion) {
    SimState state = SimState::withModule();
    lumeq::TransferRequest request;
    std::copy_n(state.module.memory.begin() + kControlBlockAt, request.controlBlock.size(),
                request.controlBlock.begin());
    request.controlBlockRead = true;
    request.slot = 1;
    request.image = slotImage();
    request.info = "Lamp A";
    const auto planned = lumeq::planTransfer(request);
    if (planned.plan)
        lumeq::applyTransferPlan(*planned.plan, state.module.memory);
    const std::uint8_t firmware[] = {0x8A, 0x65, 0xC1, firmwareVersion, 0x00, 0x40, 0x04, 0x00};
    state.setModuleBytes(kControlBlockAt + 4 * 16, firmware);
    // Something to lose outside every area a write touches.
    for (std::size_t i = 0; i < 128; ++i)
        state.module.memory[0xC000 + i] = static_cast<std::uint8_t>(i * 5 + 3);
    return state;
}

SimState stickState(std::uint8_t firmwareVersion) {
    SimState state = SimState::stickAlone();
    state.stick.firmwareVersion = firmwareVersion;
    Image image = slotImage();
    std::copy(image.begin(), image.end(), state.stick.memory.begin());
    for (std::size_t i = 128; i < state.stick.memory.size(); ++i)
        state.stick.memory[i] = static_cast<std::uint8_t>(i * 3);
    return state;
}

struct Range {
    std::size_t from;
    std::size_t to; // past the end
};

// Addresses of `after` outside `written` that differ from `before`, as a short text ("" when none).
template <std::size_t N>
QString changedOutside(const std::array<std::uint8_t, N>& before, const std::array<std::uint8_t, N>& after,
                       const std::vector<Range>& written) {
    QStringList changed;
    for (std::size_t i = 0; i < N; ++i) {
        const bool inside = std::any_of(written.begin(), written.end(), [i](Range r) { return i >= r.from && i < r.to; });
        if (!inside && before[i] != after[i]) {
            if (changed.size() == 4) {
                changed << "...";
                break;
            }
            changed << QString::number(i, 16).toUpper();
        }
    }
    return changed.join(' ');
}

QString shortened(QString text, int length = 34) {
    text = text.simplified();
    return text.size() <= length ? text : text.left(length - 3) + "...";
}

class CountingDialogs : public ScriptedDialogs {
public:
    CountingDialogs(Script* script, int* beeps) : ScriptedDialogs(script), beeps_(beeps) {}
    void beep() override { ++*beeps_; }

private:
    int* beeps_;
};

// One combination through a window of its own.
struct MatrixRun : WindowRun {
    int beeps = 0;
    QStringList captions;

    void startWindow(const QStringList& parameters) {
        qputenv("LUMEQ_SIMULATOR", statePath().toLocal8Bit());
        window = std::make_unique<MainWindow>(lumeq::createStickAccess(), dir.path() + "/", parameters);
        MainWindow::Timing timing = fastTiming();
        timing.maxPass = 20; // a block that does not come is given up after 200 ms
        timing.stickPauseMs = 5;
        timing.stickAnswerMs = 200; // an answer that does not come is given up after 200 ms
        window->setTiming(timing);
        window->setRestartHandler([this](const QStringList& args) { restarts.append(args); });
        window->setDialogs(std::make_unique<CountingDialogs>(&dialogs, &beeps));
        QObject::connect(window.get(), &QWidget::windowTitleChanged, window.get(),
                         [this](const QString& caption) { captions << caption; });
        window->show();
        QTRY_VERIFY_WITH_TIMEOUT(window->startupFinished(), 15000);
    }
    bool sawCaptionEnding(const QString& end) const {
        return std::any_of(captions.begin(), captions.end(), [&](const QString& c) { return c.endsWith(end); });
    }
    void injectNow(const std::function<void(SimFaults&)>& inject) {
        SimState state = load();
        inject(state.faults);
        save(state);
    }
};

struct Result {
    QString shown;         // what the user saw at the end
    QStringList problems;  // what the combination did wrong
};

} // namespace

class FaultMatrixTest : public QObject {
    Q_OBJECT

    // Everything the user saw after the operation began, in a few words.
    static QString seen(const MatrixRun& r, int messagesBefore, int captionsBefore, bool stick) {
        QStringList parts;
        for (int i = messagesBefore; i < r.dialogs.messages.size(); ++i)
            parts << "\"" + shortened(r.dialogs.messages[i]) + "\"";
        const QString caption = r.window->windowTitle();
        if (stick) {
            // The caption that said how the operation ended (a stick that starts afresh after a write is read
            // again, and the caption then says "Ready..." once more), else the caption now.
            QString tail = caption.endsWith(QLatin1String(lumeq::kReadyText)) ? QStringLiteral("Ready...") : caption;
            for (int i = captionsBefore; i < r.captions.size(); ++i) {
                const QString& c = r.captions[i];
                for (const char* end : {lumeq::kTransferFinishedText, lumeq::kFirmwareUpdateFinishedText,
                                        lumeq::kTransferErrorText, lumeq::kReadErrorText})
                    if (c.endsWith(QLatin1String(end)))
                        tail = QLatin1String(end);
            }
            parts.prepend("[" + tail + "]");
        } else if (caption != QLatin1String("Lumeq")) {
            parts.prepend("[" + caption + "]");
        }
        if (r.beeps > 0)
            parts << "beep";
        if (!r.restarts.isEmpty())
            parts << "restart";
        return parts.join(' ');
    }

    // No part of the window is left disabled: no busy cursor, every button and panel on show enabled (the
    // chosen slot's button excepted), and the interlock clear -- in module mode without a chosen slot the
    // interlock is the design's, and the slot bar must then be offered.
    static void checkWindow(const MatrixRun& r, bool stick, QStringList& problems) {
        if (QApplication::overrideCursor())
            problems << "busy cursor left";
        if (!r.window->isEnabled())
            problems << "window disabled";
        const int chosen = stick ? 0 : r.window->moduleSession()->selectedSlot();
        for (QWidget* widget : r.window->findChildren<QWidget*>()) {
            if (!widget->isVisible() || widget->isEnabled() || widget->objectName().isEmpty())
                continue;
            if (chosen != 0 && widget->objectName() == QStringLiteral("bM%1").arg(chosen))
                continue;
            problems << widget->objectName() + " disabled";
        }
        if (r.window->isFormDisabled()) {
            bool slotBarOffered = !stick && r.visibleActionButtons().isEmpty();
            for (const char* name : {"bM1", "bM2", "bM3", "bM4"})
                slotBarOffered = slotBarOffered && r.find(name)->isVisible() && r.find(name)->isEnabled();
            if (!slotBarOffered)
                problems << "formDisabled left set";
        }
        if (stick) {
            const lumeq::StickEngine& engine = r.window->stickSession()->engine();
            if (engine.awaitingAnswer())
                problems << QStringLiteral("still waiting (state %1)").arg(lumeq::stickStateNumber(engine.state()));
        }
    }

    static Result runCell(const Cell& cell, const std::optional<lumeq::FirmwareContainer>& firmware) {
        Result result;
        MatrixRun r;
        const bool stick = stickMode(cell.op);
        const bool firmwareDue = cell.op == Op::FirmwareWrite;
        SimState initial = stick ? stickState(40) : moduleState(firmwareDue ? 7 : firmware->version);
        if (!faultAfterStartUp(cell.op))
            cell.inject(initial.faults);
        r.save(initial);
        // -skipFW keeps the firmware out of the way; a firmware write or update needs it.
        QStringList parameters{"-skipFW"};
        if (firmwareDue || cell.op == Op::StickFirmware)
            parameters.clear();
        r.dialogs.confirmAnswer = false; // stick mode's firmware question: No, Update FW comes by hand
        if (cell.op == Op::Erase)
            parameters << "-eraseAll";
        r.startWindow(parameters);
        if (QTest::currentTestFailed())
            return {"(did not start)", {"window did not start"}};

        int messagesBefore = 0;
        int captionsBefore = 0;
        std::vector<Range> written; // what the operation writes
        const auto settled = [&] {
            if (!stick)
                return !r.window->moduleSession()->writing();
            if (r.dialogs.messages.size() > messagesBefore || r.beeps > 0)
                return true;
            const QString caption = r.window->windowTitle();
            switch (cell.op) {
            case Op::StickRead:
                return caption.endsWith(lumeq::kReadyText) || caption == lumeq::kReadErrorText;
            case Op::StickWrite:
                return r.sawCaptionEnding(lumeq::kTransferFinishedText) || caption == lumeq::kTransferErrorText;
            default:
                return caption.endsWith(lumeq::kFirmwareUpdateFinishedText);
            }
        };

        switch (cell.op) {
        case Op::StartUpRead:
            break;
        case Op::SlotRead:
            r.click("bM1");
            break;
        case Op::SlotWrite:
        case Op::FirmwareWrite: {
            r.click("bM1");
            r.info()->setText("Neu");
            r.window->image()[2] = 33;
            r.injectNow(cell.inject);
            messagesBefore = int(r.dialogs.messages.size());
            const std::size_t slotAt = r.session().memorySlot(1).mAddress;
            written = {{slotAt, slotAt + 128}, {kControlBlockAt, lumeq::kSimModuleMemorySize}};
            if (firmwareDue)
                written.push_back(
                    {kFirstFirmwareBlockAt, kFirstFirmwareBlockAt + (std::size_t(firmware->length) + 127) / 128 * 128});
            r.click("bMemStore");
            break;
        }
        case Op::Erase:
            r.click("bM1");
            r.injectNow(cell.inject);
            messagesBefore = int(r.dialogs.messages.size());
            r.dialogs.confirmAnswer = true;
            r.click("bErase");
            break;
        case Op::StickRead:
            break;
        case Op::StickWrite:
            if (!waitForStickReady(r))
                return {"(stick not read)", {"the stick was not read before the Transfer"}};
            r.window->image()[5] = 0x55;
            r.injectNow(cell.inject);
            messagesBefore = int(r.dialogs.messages.size());
            captionsBefore = int(r.captions.size());
            written = {{0, lumeq::kStickWriteEnd}};
            r.click("bMemStore");
            break;
        case Op::StickFirmware:
            if (!waitForStickReady(r))
                return {"(stick not read)", {"the stick was not read before Update FW"}};
            messagesBefore = int(r.dialogs.messages.size()); // the firmware question, answered No
            captionsBefore = int(r.captions.size());
            r.click("bUpdateFw");
            break;
        }
        bool ended = QTest::qWaitFor(settled, 3000);
        // What follows the end (a stick that starts afresh after a write is read again) ends too: every
        // exchange either finishes or times out.
        if (stick)
            ended = ended && QTest::qWaitFor([&] { return !r.window->stickSession()->engine().awaitingAnswer(); }, 3000);

        result.shown = seen(r, messagesBefore, captionsBefore, stick);
        if (!ended)
            result.problems << "no end within 3 s";
        if (result.shown.isEmpty() || (stick && result.shown.startsWith("[USB Stick")))
            result.problems << "nothing shown";
        checkWindow(r, stick, result.problems);

        // The memory outside what the operation writes is as it was.
        const SimState after = r.load();
        QString changed;
        if (stick) {
            changed = changedOutside(initial.stick.memory, after.stick.memory, written);
        } else if (cell.op == Op::Erase) {
            // All or nothing: the module is erased as a whole or not touched.
            const bool erased = std::all_of(after.module.memory.begin(), after.module.memory.end(),
                                            [](std::uint8_t b) { return b == 0xFF; });
            if (!erased)
                changed = changedOutside(initial.module.memory, after.module.memory, {});
        } else {
            changed = changedOutside(initial.module.memory, after.module.memory, written);
        }
        if (!changed.isEmpty())
            result.problems << "memory changed at " + changed;
        return result;
    }

    // Waits until the stick's memory has been read and the caption says so.
    static bool waitForStickReady(MatrixRun& r) {
        return QTest::qWaitFor([&] { return r.window->windowTitle().endsWith(lumeq::kReadyText); }, 5000);
    }

private slots:
    void everyOperationAgainstEveryFault() {
        const auto firmware = builtInFirmware();
        if (!firmware)
            QSKIP("this build carries no firmware: the firmware rows need the test containers");
        const std::vector<Cell> cells = matrix();
        // The table covers every combination once.
        QCOMPARE(cells.size(), std::size(kOps) * std::size(kFaults));
        for (const Op op : kOps)
            for (const Fault fault : kFaults)
                QVERIFY2(std::count_if(cells.begin(), cells.end(),
                                       [&](const Cell& c) { return c.op == op && c.fault == fault; }) == 1,
                         faultName(fault));

        std::map<std::pair<Op, Fault>, QString> table;
        QStringList problems;
        for (const Cell& cell : cells) {
            QString text;
            if (cell.notApplicable) {
                text = QStringLiteral("n/a (%1)").arg(QLatin1String(cell.notApplicable));
            } else {
                const Result result = runCell(cell, firmware);
                text = result.shown;
                if (!result.problems.isEmpty()) {
                    text += " !! " + result.problems.join(", ");
                    problems << QStringLiteral("%1 / %2: %3")
                                    .arg(opName(cell.op), faultName(cell.fault), result.problems.join(", "));
                }
            }
            table[{cell.op, cell.fault}] = text;
        }

        // The matrix, one line a cell grouped by operation, then as a table.
        QStringList lines{"", "Fault matrix (operation x fault: what the program showed)"};
        QString head = "| operation |";
        QString rule = "|---|";
        for (const Fault fault : kFaults) {
            head += QStringLiteral(" %1 |").arg(faultName(fault));
            rule += "---|";
        }
        lines << head << rule;
        for (const Op op : kOps) {
            QString row = QStringLiteral("| %1 |").arg(opName(op));
            for (const Fault fault : kFaults)
                row += " " + table[{op, fault}] + " |";
            lines << row;
        }
        for (const QString& line : lines)
            qInfo().noquote() << line;
        QVERIFY2(problems.isEmpty(), qPrintable("\n" + problems.join('\n')));
    }
};

LUMEQ_GUI_TEST(FaultMatrixTest)
#include "faultmatrix_test.moc"
