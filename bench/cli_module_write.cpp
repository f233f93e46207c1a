// `lumeq-cli module write` of one slot with its read-back, and `lumeq-cli module info`, against a
// simulated module that answers at once: the real command, end to end (process start included), and the
// same steps in process the way the command ran them before (50 ms wait passes for each block read, 5 ms
// sleeps before each confirmation poll) and now (waiting on the device).
//
// Usage: bench_cli_module_write [runs]   (LUMEQ_CLI may name another lumeq-cli)

#include "files/configfile.h"
#include "link/blockreader.h"
#include "link/blockwriter.h"
#include "link/simstate.h"
#include "link/simulatedstick.h"
#include "model/image.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

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

lumeq::SimState moduleWithOneSlot() {
    lumeq::SimState state = lumeq::SimState::withModule();
    lumeq::TransferRequest request;
    std::copy_n(state.module.memory.begin() + lumeq::kControlBlockAddress, lumeq::kBlockSize,
                request.controlBlock.begin());
    request.controlBlockRead = true;
    request.slot = 1;
    request.image = lumeq::defaultImage();
    request.info = "Bench";
    lumeq::applyTransferPlan(*lumeq::planTransfer(request).plan, state.module.memory);
    return state;
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double runCommand(const QString& cli, const QStringList& arguments, const QString& state) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUMEQ_SIMULATOR"), state);
    process.setProcessEnvironment(environment);
    const Clock::time_point start = Clock::now();
    process.start(cli, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        std::fprintf(stderr, "bench_cli_module_write: %s failed: %s\n", qPrintable(arguments.join(' ')),
                     process.readAllStandardError().constData());
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The steps of `module write` in process: read, write slot and control block, find again, read back.
double writeInProcess(const std::string& state, bool before) {
    const Clock::time_point start = Clock::now();
    lumeq::SimulatedStick stick(state);
    stick.findHidDevice(lumeq::kStickVendorId, lumeq::kStickProductId);
    const auto read = [&] {
        lumeq::ModuleReadSequence sequence;
        if (before)
            return lumeq::runModuleRead(stick, sequence, 64,
                                        [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); });
        return lumeq::runModuleRead(stick, sequence, 64, lumeq::kWaitOnDevice);
    };
    const lumeq::ModuleContents contents = read();
    lumeq::TransferRequest request;
    request.controlBlock = contents.controlBlock;
    request.controlBlockRead = contents.controlBlockRead;
    request.slot = 1;
    request.image = lumeq::defaultImage();
    request.info = "Bench";
    lumeq::TransferRun run(*lumeq::planTransfer(request).plan);
    const lumeq::TransferResult result =
        before ? lumeq::runTransfer(stick, run, 64,
                                    [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); })
               : lumeq::runTransfer(stick, run, 64, lumeq::kWaitOnDevice);
    stick.findHidDevice(lumeq::kStickVendorId, lumeq::kStickProductId);
    const lumeq::ModuleContents after = read();
    if (!result.ok || after.outcome != lumeq::ModuleReadOutcome::Module) {
        std::fprintf(stderr, "bench_cli_module_write: the write in process failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const QString cli =
        qEnvironmentVariableIsSet("LUMEQ_CLI") ? qEnvironmentVariable("LUMEQ_CLI") : QStringLiteral(LUMEQ_CLI_PATH);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("lumeq-bench-cli-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string state = (dir / "module.ini").string();
    const std::string file = (dir / "default.qcf").string();
    std::string error;
    if (!moduleWithOneSlot().save(state, &error) ||
        !lumeq::saveConfigFile(QString::fromStdString(file), lumeq::defaultImage(), "Bench").ok) {
        std::fprintf(stderr, "bench_cli_module_write: cannot write the fixtures in %s\n", dir.c_str());
        return 1;
    }

    std::vector<double> write, info, nowInProcess, beforeInProcess;
    for (int i = 0; i < runs; ++i) {
        write.push_back(runCommand(cli, {"module", "write", "--slot", "1", QString::fromStdString(file)},
                                   QString::fromStdString(state)));
        info.push_back(runCommand(cli, {"module", "info"}, QString::fromStdString(state)));
        nowInProcess.push_back(writeInProcess(state, false));
        beforeInProcess.push_back(writeInProcess(state, true));
    }
    std::printf("simulated module answering at once, %d runs, medians\n", runs);
    std::printf("lumeq-cli module write --slot 1 (read, write, read back), end to end: %.3f s\n", median(write));
    std::printf("lumeq-cli module info, end to end:                                    %.3f s\n", median(info));
    std::printf("the steps of module write in process: now %.3f s, before %.3f s (50 ms passes, 5 ms polls)\n",
                median(nowInProcess), median(beforeInProcess));
    std::filesystem::remove_all(dir);
    return 0;
}
