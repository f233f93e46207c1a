// Reads a module with four filled slots through the simulator, whose answers arrive one per millisecond,
// the way the window does at start-up: wait passes of 50 ms, and on each 50 ms tick every report already
// waiting is collected. Prints the time of each full read (control block and four slots).
//
// Usage: bench_read_module [runs] [--one-per-tick]
//   --one-per-tick  also time the read taking a single report per tick, for comparison (about 4 s)

#include "link/blockreader.h"
#include "link/blockwriter.h"
#include "link/simstate.h"
#include "link/simulatedstick.h"
#include "model/image.h"

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

// One full read. `drain`: every waiting report per tick; otherwise one report per tick.
Run readOnce(const std::string& path, bool drain) {
    lumeq::SimulatedStick stick(path);
    if (!stick.findHidDevice(lumeq::kStickVendorId, lumeq::kStickProductId)) {
        std::fprintf(stderr, "bench_read_module: %s\n", stick.lastError().c_str());
        std::exit(1);
    }
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
    const lumeq::ModuleContents& contents = sequence.contents();
    run.complete = contents.outcome == lumeq::ModuleReadOutcome::Module &&
                   std::none_of(contents.directory.memorySlots.begin(), contents.directory.memorySlots.end(),
                                [](const lumeq::TMemory& slot) { return slot.mEmpty || slot.unreadable; });
    return run;
}

} // namespace

int main(int argc, char* argv[]) {
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

    std::printf("module with 4 filled slots, 1 ms per report, 50 ms ticks, every waiting report per tick\n");
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const Run run = readOnce(path.string(), true);
        times.push_back(run.seconds);
        std::printf("run %d: full read (control block + 4 slots) in %.3f s%s\n", i + 1, run.seconds,
                    run.complete ? "" : "  (INCOMPLETE)");
    }
    std::sort(times.begin(), times.end());
    std::printf("median: %.3f s (target: under 0.5 s)\n", times[times.size() / 2]);

    if (compare) {
        const Run run = readOnce(path.string(), false);
        std::printf("one report per tick, for comparison: %.3f s%s\n", run.seconds,
                    run.complete ? "" : "  (INCOMPLETE)");
    }
    std::filesystem::remove(path);
    return 0;
}
