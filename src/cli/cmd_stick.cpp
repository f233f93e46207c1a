// lumeq-cli stick info|read|write|update-fw: a programming stick without a module behind it (stick mode),
// or the simulator named by LUMEQ_SIMULATOR, through the stick-mode engine the window runs.

#include "cli/command.h"
#include "cli/commandline.h"
#include "files/configfile.h"
#include "files/firmwarecontainer.h"
#include "link/blockreader.h"
#include "link/stickaccess.h"
#include "link/stickengine.h"
#include "link/stickjobs.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace lumeq::cli {

namespace {

constexpr const char* kUsage = "usage: lumeq-cli stick info\n"
                               "       lumeq-cli stick read -o FILE.qcf [--name TEXT]\n"
                               "       lumeq-cli stick write FILE.qcf [--no-load-check]\n"
                               "       lumeq-cli stick update-fw [FILE.qfw] [--60hz] [--allow-downgrade]";

constexpr const char* kHelp =
    "The stick must answer by itself (no module behind it). Each command waits for the stick's\n"
    "identification and reads its 256-byte memory as the program does in stick mode (with the pause of\n"
    "one second after the identification).\n"
    "info shows the device number, the firmware version and the operating log (firmware 1.72 and later).\n"
    "read saves the stick's configuration (memory bytes 0..95, as every configuration file) to FILE.qcf.\n"
    "write puts a configuration file into memory bytes 0..127 (the rest of the memory as read), writes the\n"
    "memory as Transfer does, then reads it back when the stick has started afresh and compares bytes\n"
    "0..246 (everything but the operating log).\n"
    "update-fw sends a firmware file, or the firmware this build carries (--60hz: its 60 Hz variant), in\n"
    "records of 72 bytes, with a progress bar on a terminal. An image older than the firmware the stick\n"
    "reports is not sent (both versions are printed) unless --allow-downgrade is given.\n"
    "Each answer of the stick may take a second; the stick has five seconds to identify itself.\n"
    "Nothing is written after a read that failed.\n"
    "The stick is the simulator when LUMEQ_SIMULATOR names a state file (see lumeq-cli sim).";

// How long the stick may take: a second for each answer, as in the window; longer to identify itself.
constexpr StickDriveLimits kLimits{kStickIdentificationTimeoutMs, kStickAnswerTimeoutMs};

// A drive's step ends a read of the memory.
bool readEnded(const StickEffects& effects) {
    return effects.has(StickEvent::Kind::MemoryRead) || effects.has(StickEvent::Kind::ReadFailed);
}

// The pause after the identification: the program's second, unless LUMEQ_STICK_PAUSE_MS says otherwise
// (the tests shorten it, as they shorten the window's waits).
int identificationPauseMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("LUMEQ_STICK_PAUSE_MS", &ok);
    return ok && ms >= 0 ? ms : kIdentificationPauseMs;
}

struct StickLink {
    std::unique_ptr<StickAccess> stick;
    std::size_t inLength = 0;
    std::size_t outLength = 0;
    Image memory;
    std::unique_ptr<StickEngine> engine;
};

// Finds the stick, tells stick mode from a module (the start-up read), and reads the memory after the
// stick's identification. Prints the reason and gives nothing when that fails. (On the heap: the engine
// keeps a reference to the memory.)
std::unique_ptr<StickLink> openAndRead() {
    auto owned = std::make_unique<StickLink>();
    StickLink& link = *owned;
    link.stick = createStickAccess();
    if (!link.stick->libraryLoaded()) {
        error("cannot use the stick: " + link.stick->description());
        return nullptr;
    }
    if (!link.stick->findHidDevice(kStickVendorId, kStickProductId)) {
        error("no programming stick found (" + link.stick->description() + ")");
        return nullptr;
    }
    link.inLength = static_cast<std::size_t>(link.stick->getInputReportLength() & 0xFF);
    link.outLength = static_cast<std::size_t>(link.stick->getOutputReportLength() & 0xFF);
    ModuleReadSequence sequence;
    const ModuleContents contents = runModuleRead(*link.stick, sequence, link.inLength, kWaitOnDevice);
    if (contents.outcome == ModuleReadOutcome::Module) {
        error("a module answers behind the stick: this is module mode (see lumeq-cli module)");
        return nullptr;
    }
    if (contents.outcome != ModuleReadOutcome::StickAlone) {
        error("the stick did not answer");
        return nullptr;
    }
    link.memory.assign(kImageSize, 0x00);
    StickEngine::Options options;
    options.identificationPauseMs = identificationPauseMs();
    link.engine = std::make_unique<StickEngine>(link.memory, options);
    const StickDriveEnd end =
        driveStick(*link.stick, *link.engine, {}, link.inLength, link.outLength, kLimits, &readEnded);
    if (end == StickDriveEnd::Lost) {
        error("the stick was unplugged");
        return nullptr;
    }
    if (end == StickDriveEnd::NoAnswer) {
        error(link.engine->identified() ? "the stick stopped answering while its memory was read"
                                        : "the stick did not identify itself");
        return nullptr;
    }
    if (!link.engine->memoryRead()) {
        error("the stick's memory could not be read: its answers kept failing their CRC");
        return nullptr;
    }
    return owned;
}

std::string versionText(const StickEngine& engine) {
    return engine.stickId()[5] == 0xFF ? "not reported" : "1." + std::to_string(engine.stickId()[5]);
}

// The command line of a stick command: its --help shows every stick command.
CommandLine stickLine() {
    return CommandLine(kUsage, kHelp);
}

int info(const std::vector<std::string>& args) {
    CommandLine line = stickLine();
    if (const auto done = line.parse(args, 0, 0))
        return *done;
    std::unique_ptr<StickLink> link = openAndRead();
    if (!link)
        return BadInput;
    const StickId& id = link->engine->stickId();
    std::fprintf(out(), "Stick     device number %s%s%s%s, firmware %s\n", hexByte(id[0]).c_str(), hexByte(id[1]).c_str(),
                hexByte(id[2]).c_str(), hexByte(id[3]).c_str(), versionText(*link->engine).c_str());
    if (link->engine->stickFwVersion() >= kLogFirmwareVersion) {
        const StickLog log = stickLog(link->memory);
        std::fprintf(out(), "Log       operation %u min, switch count %u, over temperature %u min, max. temperature %u "
                    "\u00B0C\n",
                    static_cast<unsigned>(log.operationMinutes), static_cast<unsigned>(log.switchCount),
                    static_cast<unsigned>(log.overTemperatureMinutes), static_cast<unsigned>(log.maxTemperature));
    } else {
        std::fprintf(out(), "Log       none (the stick's firmware keeps it from version 1.72 on)\n");
    }
    return Success;
}

int read(const std::vector<std::string>& args) {
    CommandLine line = stickLine();
    line.value({QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("FILE.qcf"), QStringLiteral("file"))
        .value({QStringLiteral("name")}, QStringLiteral("TEXT"), QStringLiteral("the file's info text"));
    if (const auto done = line.parse(args, 0, 0))
        return *done;
    const std::string output = line.value(QStringLiteral("output")).value_or(std::string());
    const std::string name = line.value(QStringLiteral("name")).value_or(std::string());
    if (output.empty())
        return line.usageError();
    const std::optional<QString> outputPath = outputName(output);
    if (!outputPath)
        return UsageError;
    std::unique_ptr<StickLink> link = openAndRead();
    if (!link)
        return BadInput;
    const Image configuration(link->memory.begin(), link->memory.begin() + kImageSize);
    const SaveResult saved = saveConfigFile(*outputPath, configuration, name);
    if (!saved.ok) {
        error(saved.error);
        return BadInput;
    }
    std::fprintf(out(), "the stick's configuration saved to %s\n", output.c_str());
    return Success;
}

int write(const std::vector<std::string>& args) {
    CommandLine line = stickLine();
    line.flag({QStringLiteral("no-load-check")}, QStringLiteral("write a file whose CRC does not hold"));
    if (const auto done = line.parse(args, 1, 1))
        return *done;
    const std::string& input = line.positional()[0];
    const bool noLoadCheck = line.isSet(QStringLiteral("no-load-check"));
    const std::optional<ConfigFile> read = readConfiguration(input, noLoadCheck);
    if (!read)
        return BadInput;
    const ConfigFile& file = *read;
    std::unique_ptr<StickLink> link = openAndRead();
    if (!link)
        return BadInput;
    // The file over the configuration bytes as Load takes it (astro data cleared, as module write does), the
    // rest of the memory as the stick holds it.
    const std::optional<Image> loaded = applyConfigFile(link->memory, file, {noLoadCheck, false});
    if (!loaded) {
        error(input + ": " + configFileProblem(file.error));
        return BadInput;
    }
    link->memory = *loaded;

    // Every write goes into the log of programmed modules, whatever its outcome.
    StickMemoryWrite job(*link->engine, link->memory, file.info,
                         [](const auto& record) { recordProgramming(record); });
    const auto observe = [&job](const StickEffects& effects) { job.observe(effects); };
    driveStick(*link->stick, *link->engine, job.start(), link->inLength, link->outLength, kLimits,
               [&job](const StickEffects&) { return job.stage() != StickMemoryWrite::Stage::Sending; }, observe);
    // Written: the stick starts afresh and says who it is; the engine then reads it again and the job
    // compares.
    if (!job.finished())
        driveStick(*link->stick, *link->engine, {}, link->inLength, link->outLength, kLimits,
                   [&job](const StickEffects&) { return job.finished(); }, observe);
    if (!job.finished())
        job.restartMissing();
    if (!job.succeeded()) {
        error(job.message());
        return BadInput;
    }
    std::fprintf(out(), "wrote the stick's memory (configuration from %s); read back: %s\n", input.c_str(),
                job.record().readBack.c_str());
    return Success;
}

// The progress of the update: a bar on a terminal, a line every tenth otherwise.
class Progress {
public:
    explicit Progress(int records) : records_(records), terminal_(::isatty(::fileno(err())) != 0) {}

    void show(int sent) {
        if (records_ <= 0)
            return;
        if (terminal_) {
            constexpr int kWidth = 40;
            const int filled = sent * kWidth / records_;
            std::fprintf(err(), "\r[%s%s] %d/%d records", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                         std::string(static_cast<std::size_t>(kWidth - filled), '.').c_str(), sent, records_);
            if (sent == records_)
                std::fputc('\n', err());
            std::fflush(err());
            return;
        }
        const int tenth = sent * 10 / records_;
        if (tenth > shownTenth_) {
            shownTenth_ = tenth;
            std::fprintf(err(), "firmware: %d of %d records sent\n", sent, records_);
        }
    }
    void stop() {
        if (terminal_)
            std::fputc('\n', err());
    }

private:
    int records_;
    bool terminal_;
    int shownTenth_ = 0;
};

int updateFirmware(const std::vector<std::string>& args) {
    CommandLine line = stickLine();
    line.flag({QStringLiteral("60hz")}, QStringLiteral("the 60 Hz firmware"))
        .flag({QStringLiteral("allow-downgrade")},
              QStringLiteral("send the image even when it is older than the stick's firmware"));
    if (const auto done = line.parse(args, 0, 1))
        return *done;
    const std::string input = line.positional().empty() ? std::string() : line.positional()[0];
    const bool sixtyHz = line.isSet(QStringLiteral("60hz"));
    const bool allowDowngrade = line.isSet(QStringLiteral("allow-downgrade"));
    FirmwareContainer container;
    std::string source;
    bool testContainer = false;
    if (!input.empty()) {
        const FileBytes bytes = readLoadFileNative(input);
        if (!bytes.ok) {
            error(bytes.error);
            return BadInput;
        }
        container = checkFirmwareFile(bytes.bytes);
        source = input;
    } else {
        const std::optional<BuiltInFirmware> builtIn = builtInFirmware(sixtyHz);
        if (!builtIn) {
            error("this build carries no firmware image: name a firmware file (FILE.qfw)");
            return BadInput;
        }
        container = parseFirmwareContainer(builtIn->text);
        testContainer = builtIn->testContainer;
        source = sixtyHz ? "the built-in 60 Hz firmware" : "the built-in firmware";
    }
    if (!container.usable()) {
        error(source + ": " + firmwareContainerProblem(container));
        return BadInput;
    }
    std::unique_ptr<StickLink> link = openAndRead();
    if (!link)
        return BadInput;
    if (testContainer && !link->stick->simulated()) {
        error("this build carries test firmware only, which is never sent to a real stick");
        return BadInput;
    }
    const StickId& id = link->engine->stickId();
    if (firmwareIsOlder(id, container.version) && !allowDowngrade) {
        error(firmwareDowngradeText(*reportedFirmwareVersion(id), container.version) +
              " Nothing was sent (--allow-downgrade sends it all the same).");
        return BadInput;
    }
    StickFirmwareUpdate job(*link->engine, container.image, container.length, container.version,
                            [](const auto& record) { recordProgramming(record); });
    Progress progress(job.records());
    driveStick(
        *link->stick, *link->engine, job.start(), link->inLength, link->outLength, kLimits,
        [&job](const StickEffects&) { return job.finished(); },
        [&job, &progress](const StickEffects& effects) {
            job.observe(effects);
            for (const StickEvent& event : effects.events)
                if (event.kind == StickEvent::Kind::FirmwareProgress)
                    progress.show(event.done);
        });
    if (!job.finished())
        job.interrupt(StickInterruption::Unplugged);
    if (!job.succeeded()) {
        progress.stop();
        error(job.message());
        return BadInput;
    }
    std::fprintf(out(), "firmware 1.%u (%u bytes, %zu records) sent from %s; the stick was reset\n",
                static_cast<unsigned>(container.version), static_cast<unsigned>(container.length),
                firmwareRecordCount(container.length), source.c_str());
    return Success;
}

int runStick(const std::vector<std::string>& args) {
    return runSubcommand(args, {{"info", &info}, {"read", &read}, {"write", &write}, {"update-fw", &updateFirmware}},
                         "stick", kUsage, kHelp);
}

} // namespace

LUMEQ_CLI_COMMAND("stick", "stick info|read|write|update-fw ...",
                  "read, write or update a stick without a module (stick mode)", &runStick)

} // namespace lumeq::cli
