// Stick mode through the simulator, whose answers come one per millisecond: the memory read (without the
// pause after the identification), the memory write, and a firmware update of 8000 bytes (112 records,
// 336 frames). Each is run the way the window runs it now (the report pump hands every answer to the
// engine the moment it arrives, on an event loop) and, for comparison, the way the program used to: one
// answer per 100 ms tick. The tick-bound figure is counted on the simulator's own clock (ticks x 100 ms),
// so it takes no real time; --measure-old runs it in real time instead.
//
// Usage: bench_stick_mode [runs] [--measure-old]

#include "link/reportpump.h"
#include "link/simstate.h"
#include "link/simulatedstick.h"
#include "link/stickengine.h"
#include "model/image.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using lumeq::StickEffects;
constexpr auto kTick = std::chrono::milliseconds(100);
constexpr std::size_t kFirmwareLength = 8000;

enum class Task { Read, Write, Firmware };

const char* taskName(Task task) {
    switch (task) {
    case Task::Read:
        return "memory read (10 frames)";
    case Task::Write:
        return "memory write (20 frames)";
    case Task::Firmware:
        return "firmware update, 8000 bytes (336 frames)";
    }
    return "";
}

std::vector<std::uint8_t> firmwareImage() {
    std::vector<std::uint8_t> image(lumeq::kFirmwareImageSize, 0xFF);
    for (std::size_t i = 0; i < kFirmwareLength; ++i)
        image[i] = static_cast<std::uint8_t>(i * 13 + 5);
    return image;
}

using Kind = lumeq::StickEvent::Kind;

bool finished(Task task, const StickEffects& effects) {
    switch (task) {
    case Task::Read:
        return effects.has(Kind::MemoryRead) || effects.has(Kind::ReadFailed);
    case Task::Write:
        return effects.has(Kind::WriteDone) || effects.has(Kind::WriteFailed);
    case Task::Firmware:
        return effects.has(Kind::FirmwareDone) || effects.has(Kind::FirmwareStopped);
    }
    return true;
}

// The task went through.
bool complete(const StickEffects& effects) {
    return effects.has(Kind::MemoryRead) || effects.has(Kind::WriteDone) || effects.has(Kind::FirmwareDone);
}

StickEffects begin(Task task, lumeq::StickEngine& engine, const std::vector<std::uint8_t>& firmware) {
    switch (task) {
    case Task::Read:
        return engine.reread();
    case Task::Write:
        return engine.store();
    case Task::Firmware:
        return engine.startFirmwareUpdate(firmware, kFirmwareLength);
    }
    return {};
}

void send(lumeq::StickAccess& stick, const StickEffects& effects, lumeq::Bytes& buffer, std::size_t outLength) {
    for (const lumeq::StickFrame& frame : effects.frames) {
        lumeq::placeFrame(buffer, frame.bytes, outLength);
        stick.writeData(buffer);
    }
}

struct Figure {
    double seconds = 0;
    bool complete = false;
};

// A stick found and identified (state 1), its memory read once: ready for the task.
struct Identified {
    std::unique_ptr<lumeq::SimulatedStick> stick;
    lumeq::Image memory = lumeq::Image(lumeq::kImageSize, 0);
    std::unique_ptr<lumeq::StickEngine> engine;
    std::size_t in = 64, out = 64;
};

Identified identify(const std::string& path, lumeq::SimulatedStick::Clock clock = {}) {
    Identified rig;
    rig.stick = std::make_unique<lumeq::SimulatedStick>(path, std::move(clock));
    if (!rig.stick->findHidDevice(lumeq::kStickVendorId, lumeq::kStickProductId)) {
        std::fprintf(stderr, "bench_stick_mode: %s\n", rig.stick->lastError().c_str());
        std::exit(1);
    }
    rig.in = static_cast<std::size_t>(rig.stick->getInputReportLength());
    rig.out = static_cast<std::size_t>(rig.stick->getOutputReportLength());
    rig.engine = std::make_unique<lumeq::StickEngine>(rig.memory, lumeq::StickEngine::Options{});
    return rig;
}

// Now: the pump's reader thread and an event loop, as in the window.
Figure runNow(const std::string& path, Task task) {
    Identified rig = identify(path);
    lumeq::Bytes buffer;
    // The start-up read and the identification, without the pause.
    rig.stick->writeData(lumeq::readBlockFrame(lumeq::kControlBlockAddress));
    QEventLoop loop;
    bool identified = false;
    bool running = false;
    bool done = false;
    Clock::time_point start;
    Figure figure;
    const std::vector<std::uint8_t> firmware = firmwareImage();
    lumeq::ReportPump* pumpPointer = nullptr;
    lumeq::ReportPump pump(*rig.stick, [&] {
        while (const auto report = pumpPointer->take()) {
            if (!identified) {
                if ((*report)[1] != 0x5F)
                    continue; // B2 50
                identified = true;
                StickEffects effects = rig.engine->feed(*report); // asks for the pause: skipped here
                send(*rig.stick, effects, buffer, rig.out);
                continue;
            }
            const StickEffects effects = rig.engine->feed(*report);
            send(*rig.stick, effects, buffer, rig.out);
            if (!running && effects.has(Kind::MemoryRead)) {
                // The first read is done: the timed task starts now.
                running = true;
                start = Clock::now();
                send(*rig.stick, begin(task, *rig.engine, firmware), buffer, rig.out);
            } else if (running && finished(task, effects)) {
                figure.seconds = std::chrono::duration<double>(Clock::now() - start).count();
                figure.complete = complete(effects);
                done = true;
                loop.quit();
                return;
            }
        }
    });
    pumpPointer = &pump;
    pump.start(rig.in);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (!done)
        loop.exec();
    pump.stop();
    return figure;
}

// Before: one answer per 100 ms tick. On the simulator's clock unless `realTime`.
Figure runTickBound(const std::string& path, Task task, bool realTime) {
    Clock::time_point virtualNow = Clock::now();
    Identified rig = realTime ? identify(path) : identify(path, [&virtualNow] { return virtualNow; });
    lumeq::Bytes buffer;
    lumeq::Bytes report(rig.in);
    const auto tick = [&] {
        if (realTime)
            std::this_thread::sleep_for(kTick);
        else
            virtualNow += kTick;
    };
    const std::vector<std::uint8_t> firmware = firmwareImage();
    rig.stick->writeData(lumeq::readBlockFrame(lumeq::kControlBlockAddress));
    bool running = false;
    int ticks = 0;
    const Clock::time_point realStart = Clock::now();
    for (int guard = 0; guard < 10000; ++guard) {
        tick();
        if (running)
            ++ticks;
        std::fill(report.begin(), report.end(), 0);
        if (!rig.stick->readData(report))
            continue;
        if (report[1] == 0x50)
            continue;
        const StickEffects effects = rig.engine->feed(report);
        send(*rig.stick, effects, buffer, rig.out);
        if (!running && effects.has(Kind::MemoryRead)) {
            running = true;
            send(*rig.stick, begin(task, *rig.engine, firmware), buffer, rig.out);
        } else if (running && finished(task, effects)) {
            Figure figure;
            figure.seconds = realTime ? std::chrono::duration<double>(Clock::now() - realStart).count()
                                      : ticks * std::chrono::duration<double>(kTick).count();
            figure.complete = complete(effects);
            return figure;
        }
    }
    return {};
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int runs = 5;
    bool measureOld = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--measure-old")
            measureOld = true;
        else
            runs = std::max(1, std::atoi(arg.c_str()));
    }
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("lumeq-bench-stick-" + std::to_string(::getpid()) + ".ini");
    lumeq::SimState state = lumeq::SimState::stickAlone();
    state.stick.firmwareVersion = 73;
    state.faults.delayPerReportMs = 1;
    std::string error;
    if (!state.save(path.string(), &error)) {
        std::fprintf(stderr, "bench_stick_mode: %s\n", error.c_str());
        return 1;
    }

    std::printf("stick alone, 1 ms per answer; now: each answer handled as it arrives (report pump, event loop);\n"
                "before: one answer per 100 ms tick (%s)\n\n",
                measureOld ? "measured" : "counted on the simulator's clock");
    std::printf("%-44s %12s %12s\n", "", "now (median)", "before");
    for (const Task task : {Task::Read, Task::Write, Task::Firmware}) {
        std::vector<double> times;
        bool complete = true;
        for (int i = 0; i < runs; ++i) {
            const Figure figure = runNow(path.string(), task);
            times.push_back(figure.seconds);
            complete = complete && figure.complete;
        }
        std::sort(times.begin(), times.end());
        const Figure old = runTickBound(path.string(), task, measureOld);
        std::printf("%-44s %10.3f s %10.3f s%s\n", taskName(task), times[times.size() / 2], old.seconds,
                    complete && old.complete ? "" : "  (INCOMPLETE)");
    }
    std::filesystem::remove(path);
    return 0;
}
