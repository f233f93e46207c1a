// Reads a module with four filled slots through the simulator, whose answers arrive one per millisecond.
// Now: each report is taken the moment it arrives and a block is done with as soon as its last report is
// in, the way the window does at start-up (the report pump's reader thread, an event loop, Timer1 ending
// the passes) and the way the command line does (waiting on the device). Before: wait passes of 50 ms, and
// on each 50 ms tick every report already waiting was collected. Prints the time of each full read
// (control block and four slots).
//
// Usage: bench_read_module [runs] [--one-per-tick]
//   --one-per-tick  also time the read taking a single report per tick, for comparison (about 4 s)

#include "link/blockreader.h"
#include "link/blockwriter.h"
#include "link/reportpump.h"
#include "link/simstate.h"
#include "link/simulatedstick.h"
#include "model/image.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(50);

// A module whose four slots hold the default configuration under the names Slot 1..Slot 4.
lumeq::SimState fourSlotModule() {
    lumeq::SimState state = lumeq::SimState::withModule();
    state.faults.delayPerReportMs = 1;
    for (int slot = 1; slot <= lumeq::kSlotCount; ++slot) {
        lumeq::TransferRequest request;
        std::copy_n(state.module.memory.begin() + lumeq::kControlBlockAddress, lumeq::kBlockSize,
                    request.controlBlock.begin());
        request.controlBlockRead = true;
        request.slot = slot;
        request.image = lumeq::defaultImage();
        request.info = "Slot " + std::to_string(slot);
        const lumeq::TransferPlanResult planned = lumeq::planTransfer(request);
        lumeq::applyTransferPlan(*planned.plan, state.module.memory);
    }
    return state;
}

struct Run {
    double seconds = 0;
    bool complete = false;
};

bool allRead(const lumeq::ModuleContents& contents) {
    return contents.outcome == lumeq::ModuleReadOutcome::Module &&
           std::none_of(contents.directory.memorySlots.begin(), contents.directory.memorySlots.end(),
                        [](const lumeq::TMemory& slot) { return slot.mEmpty || slot.unreadable; });
}

void find(lumeq::SimulatedStick& stick) {
    if (!stick.findHidDevice(lumeq::kStickVendorId, lumeq::kStickProductId)) {
        std::fprintf(stderr, "bench_read_module: %s\n", stick.lastError().c_str());
        std::exit(1);
    }
}

// Now, as the window reads: the pump hands each report over on the event loop, Timer1 ends the passes.
Run readAsTheWindow(const std::string& path) {
    lumeq::SimulatedStick stick(path);
    find(stick);
    const auto reportLength = static_cast<std::size_t>(stick.getInputReportLength() & 0xFF);
    lumeq::ModuleReadSequence sequence;
    QEventLoop loop;
    QTimer passes;
    passes.setInterval(lumeq::kReadPassMs);
    lumeq::ReportPump* pumpPointer = nullptr;
    const auto follow = [&](const lumeq::ModuleReadSequence::Step& step) {
        if (step.discardWaiting)
            pumpPointer->discard();
        if (!step.request.empty()) {
            stick.writeData(step.request);
            passes.start();
        }
        if (step.finished)
            loop.quit();
    };
    lumeq::ReportPump pump(stick, [&] {
        while (sequence.reader().running()) {
            const auto report = pumpPointer->take();
            if (!report)
                break;
            sequence.reader().receive(*report);
            follow(sequence.afterReport());
        }
    });
    pumpPointer = &pump;
    QObject::connect(&passes, &QTimer::timeout, [&] { follow(sequence.endOfPass()); });
    const Clock::time_point start = Clock::now();
    stick.writeData(sequence.start());
    pump.start(reportLength);
    passes.start();
    loop.exec();
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    pump.stop();
    run.complete = allRead(sequence.contents());
    return run;
}

// Now, as the command line reads: waiting on the device.
Run readAsTheCommandLine(const std::string& path) {
    lumeq::SimulatedStick stick(path);
    find(stick);
    const auto reportLength = static_cast<std::size_t>(stick.getInputReportLength() & 0xFF);
    lumeq::ModuleReadSequence sequence;
    const Clock::time_point start = Clock::now();
    const lumeq::ModuleContents contents = lumeq::runModuleRead(stick, sequence, reportLength, lumeq::kWaitOnDevice);
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.complete = allRead(contents);
    return run;
}

// Before: one full read on 50 ms ticks. `drain`: every waiting report per tick; otherwise one report per
// tick.
Run readOnce(const std::string& path, bool drain) {
    lumeq::SimulatedStick stick(path);
    find(stick);
    const auto reportLength = static_cast<std::size_t>(stick.getInputReportLength() & 0xFF);
    lumeq::ModuleReadSequence sequence;
    const Clock::time_point start = Clock::now();
    Clock::time_point nextTick = start;
    std::vector<std::uint8_t> buffer(std::max<std::size_t>(reportLength, lumeq::kDataReportSize));
    stick.writeData(sequence.start());
    while (!sequence.finished()) {
        nextTick += kTick;
        std::this_thread::sleep_until(nextTick);
        if (drain) {
            lumeq::drainReports(stick, sequence.reader(), reportLength);
        } else if (sequence.reader().running() && stick.readData(buffer)) {
            sequence.reader().receive(buffer);
        }
        const lumeq::ModuleReadSequence::Step step = sequence.endOfPass();
        if (step.discardWaiting)
            lumeq::discardWaitingReports(stick, reportLength);
        if (!step.request.empty())
            stick.writeData(step.request);
    }
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.complete = allRead(sequence.contents());
    return run;
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int runs = 5;
    bool compare = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--one-per-tick")
            compare = true;
        else
            runs = std::max(1, std::atoi(arg.c_str()));
    }
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("lumeq-bench-read-module-" + std::to_string(::getpid()) + ".ini");
    std::string error;
    if (!fourSlotModule().save(path.string(), &error)) {
        std::fprintf(stderr, "bench_read_module: %s\n", error.c_str());
        return 1;
    }

    std::printf("module with 4 filled slots (85 reports), 1 ms per report: full read (control block + 4 slots)\n");
    std::printf("%-6s %14s %14s %14s\n", "run", "now: window", "now: cli", "before: ticks");
    std::vector<double> window, cli, ticks;
    bool complete = true;
    for (int i = 0; i < runs; ++i) {
        const Run a = readAsTheWindow(path.string());
        const Run b = readAsTheCommandLine(path.string());
        const Run c = readOnce(path.string(), true);
        window.push_back(a.seconds);
        cli.push_back(b.seconds);
        ticks.push_back(c.seconds);
        complete = complete && a.complete && b.complete && c.complete;
        std::printf("%-6d %12.3f s %12.3f s %12.3f s\n", i + 1, a.seconds, b.seconds, c.seconds);
    }
    std::printf("%-6s %12.3f s %12.3f s %12.3f s%s\n", "median", median(window), median(cli), median(ticks),
                complete ? "" : "  (INCOMPLETE)");
    std::printf("(now: each report taken as it arrives; before: every waiting report on each 50 ms tick; "
                "target now: 0.12 s)\n");

    if (compare) {
        const Run run = readOnce(path.string(), false);
        std::printf("one report per tick, for comparison: %.3f s%s\n", run.seconds,
                    run.complete ? "" : "  (INCOMPLETE)");
    }
    std::filesystem::remove(path);
    return 0;
}
