// lumeq-cli module info|read|write|erase: a module behind the programming stick (or the simulator named by
// LUMEQ_SIMULATOR), through the same reading and writing code the window uses.

#include "cli/command.h"
#include "cli/commandline.h"
#include "files/configfile.h"
#include "files/firmwarecontainer.h"
#include "files/programmedlog.h"
#include "link/blockreader.h"
#include "link/blockwriter.h"
#include "link/slotrecords.h"
#include "link/stickaccess.h"
#include "model/dimmingcurve.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumeq::cli {

namespace {

constexpr const char* kUsage = "usage: lumeq-cli module info\n"
                               "       lumeq-cli module read --slot N -o FILE.qcf [--curve FILE.dc] [--copy-astro]\n"
                               "       lumeq-cli module write --slot N FILE.qcf [--name TEXT] [--curve FILE.dc]\n"
                               "                              [--no-load-check] [--firmware FILE.qfw]\n"
                               "       lumeq-cli module erase --yes";

constexpr const char* kHelp =
    "info lists the module's memory slots (name, length, address) and its firmware version.\n"
    "read saves the configuration of slot N (1..4) to a configuration file; its info text is the slot's\n"
    "name. --copy-astro keeps the astro data (image bytes 76..84) instead of clearing them.\n"
    "write stores a configuration file in slot N as Transfer does, named by --name or else by the file's\n"
    "info text, then reads the module back and compares the slot's data and every descriptor of the\n"
    "control block with what was written; any difference fails.\n"
    "--curve passes the levels through a dimming curve before writing, and back through its inverse after\n"
    "reading (not for a DALI output), as the program does with the curve chosen in the window.\n"
    "--firmware writes a firmware container into the module with the slot, as Transfer does when an update\n"
    "is due, with the firmware descriptor, and reads the firmware blocks back too.\n"
    "erase wipes the whole module; it needs --yes.\n"
    "The stick is the simulator when LUMEQ_SIMULATOR names a state file (see lumeq-cli sim).";

// The stick, found and ready, with its input report length.
struct Link {
    std::unique_ptr<StickAccess> stick;
    std::size_t reportLength = 0;
};

std::optional<Link> openStick() {
    Link link{createStickAccess(), 0};
    if (!link.stick->libraryLoaded()) {
        error("cannot use the stick: " + link.stick->description());
        return std::nullopt;
    }
    if (!link.stick->findHidDevice(kStickVendorId, kStickProductId)) {
        error("no programming stick found (" + link.stick->description() + ")");
        return std::nullopt;
    }
    link.reportLength = static_cast<std::size_t>(link.stick->getInputReportLength() & 0xFF);
    return link;
}

// Reads the control block and every filled slot, as start-up does. Only a module that answered gives a
// result; a stick alone or no answer is an error.
std::optional<ModuleContents> readModule(Link& link) {
    ModuleReadSequence sequence;
    // Each report is taken the moment it arrives; the time-out is the program's 101 passes of 50 ms.
    const ModuleContents contents = runModuleRead(*link.stick, sequence, link.reportLength, kWaitOnDevice);
    switch (contents.outcome) {
    case ModuleReadOutcome::Module:
        return contents;
    case ModuleReadOutcome::StickAlone:
        error("the stick answered by itself: there is no module behind it (stick mode)");
        break;
    case ModuleReadOutcome::NoAnswer:
    case ModuleReadOutcome::Reading:
        if (contents.controlBlockShort)
            error("the module sent its control block incomplete (a header for fewer than 128 bytes)");
        else
            error("the module did not answer the read of its control block");
        break;
    }
    return std::nullopt;
}

// Reads one block of module memory as start-up reads a slot's data: the request, then its reports, each
// taken as it arrives, for at most 101 passes of 50 ms. No value when it did not arrive complete.
std::optional<Block> readBlock(Link& link, std::uint16_t address) {
    BlockReader reader;
    link.stick->writeData(reader.readDataBlock(address));
    Bytes buffer(std::max<std::size_t>(link.reportLength, kDataReportSize), 0x00);
    constexpr int kWaitMs = 101 * kReadPassMs;
    while (reader.running()) {
        std::fill(buffer.begin(), buffer.end(), 0x00);
        if (link.stick->waitForReport(buffer, kWaitMs) != StickAccess::Wait::Report)
            return std::nullopt;
        reader.receive(buffer);
    }
    if (!reader.blockComplete())
        return std::nullopt;
    return reader.sendBlock();
}

// The firmware of "--firmware FILE.qfw", or an error message.
std::optional<FirmwareContainer> loadFirmware(const std::string& path) {
    const FileBytes bytes = readLoadFileNative(path);
    if (!bytes.ok) {
        error(bytes.error);
        return std::nullopt;
    }
    FirmwareContainer container = checkFirmwareFile(bytes.bytes);
    if (!container.usable()) {
        error(path + ": " + std::string(kFileCorruptedMessage) + " (" + firmwareContainerProblem(container) + ")");
        return std::nullopt;
    }
    return container;
}

// The points of a curve file, or an error message.
std::optional<std::vector<int>> loadCurve(const std::string& path) {
    const CurveParse curve = readCurveFile(path);
    if (!curve.ok()) {
        std::string reason(curveErrorText(curve.error));
        if (reason.empty())
            reason = "not a dimming curve";
        error(path + ": " + reason);
        return std::nullopt;
    }
    return curve.points;
}

// "--slot N" as a number from 1 to 4; 0 when it is not one.
int slotNumber(const std::string& text) {
    return text.size() == 1 && text[0] >= '1' && text[0] <= '4' ? text[0] - '0' : 0;
}

// The value of "--slot" into `slot`; false, with a message, when it is not a slot number.
bool takeSlot(const std::string& value, int& slot) {
    slot = slotNumber(value);
    if (slot == 0)
        error("--slot takes a slot number from 1 to 4, not '" + value + "'");
    return slot != 0;
}

// The curve of "--curve FILE.dc", when one was given; false when its file cannot be used.
bool loadCurveOption(const std::optional<std::string>& file, std::optional<std::vector<int>>& curve) {
    if (file)
        curve = loadCurve(*file);
    return !file || curve.has_value();
}

// The command line of a module command: its --help shows every module command.
CommandLine moduleLine() {
    return CommandLine(kUsage, kHelp);
}

// "--slot N" when given: false, with a message, when it is not a slot number.
bool takeSlotOption(const CommandLine& line, int& slot) {
    const std::optional<std::string> value = line.value(QStringLiteral("slot"));
    return !value || takeSlot(*value, slot);
}

int info(const std::vector<std::string>& args) {
    CommandLine line = moduleLine();
    if (const auto done = line.parse(args, 0, 0))
        return *done;
    std::optional<Link> link = openStick();
    if (!link)
        return BadInput;
    const std::optional<ModuleContents> contents = readModule(*link);
    if (!contents)
        return BadInput;
    for (int n = 1; n <= kSlotCount; ++n) {
        const TMemory& slot = contents->directory.memorySlots[static_cast<std::size_t>(n - 1)];
        if (slot.mEmpty) {
            std::printf("M%d  empty\n", n);
            continue;
        }
        std::printf("M%d  filled  name %s  length %u  address 0x%s%s\n", n, quoted(slot.mString).c_str(), slot.mLength,
                    hex4(slot.mAddress).c_str(), slot.unreadable ? "  (its data could not be read)" : "");
    }
    const FirmwareDescriptor& firmware = contents->directory.firmware;
    if (firmware.valid)
        std::printf("Firmware  version 1.%u, %u bytes\n", firmware.version, firmware.length);
    else
        std::printf("Firmware  none recorded\n");
    return Success;
}

int read(const std::vector<std::string>& args) {
    CommandLine line = moduleLine();
    line.value({QStringLiteral("slot")}, QStringLiteral("N"), QStringLiteral("slot 1..4"))
        .value({QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("FILE.qcf"), QStringLiteral("file"))
        .value({QStringLiteral("curve")}, QStringLiteral("FILE.dc"), QStringLiteral("dimming curve"))
        .flag({QStringLiteral("copy-astro")}, QStringLiteral("keep the astro data"));
    if (const auto done = line.parse(args, 0, 0))
        return *done;
    int slot = 0;
    if (!takeSlotOption(line, slot))
        return UsageError;
    const std::string output = line.value(QStringLiteral("output")).value_or(std::string());
    if (slot == 0 || output.empty())
        return line.usageError();
    const std::optional<QString> outputPath = outputName(output);
    if (!outputPath)
        return UsageError;
    const std::optional<std::string> curveFile = line.value(QStringLiteral("curve"));
    const bool copyAstro = line.isSet(QStringLiteral("copy-astro"));
    std::optional<std::vector<int>> curve;
    if (!loadCurveOption(curveFile, curve))
        return BadInput;
    std::optional<Link> link = openStick();
    if (!link)
        return BadInput;
    const std::optional<ModuleContents> contents = readModule(*link);
    if (!contents)
        return BadInput;
    const TMemory& memory = contents->directory.memorySlots[static_cast<std::size_t>(slot - 1)];
    if (memory.mEmpty) {
        error("slot M" + std::to_string(slot) + " is empty");
        return BadInput;
    }
    if (memory.unreadable) {
        error("the data of slot M" + std::to_string(slot) + " could not be read");
        return BadInput;
    }
    Image image(kImageSize, 0x00); // as right after start-up
    ImageHook invCorrect;
    if (curve)
        invCorrect = [&curve](Image& levels) { invCorrectDC(levels, *curve); };
    const SlotChoice choice = takeSlotIntoImage(memory, image, copyAstro, invCorrect);
    const SlotDecodeReport& report = choice.decode;
    if (report.crcMismatches > 0)
        std::fprintf(stderr, "lumeq-cli: warning: %d records of slot M%d fail their CRC; taken as they are\n",
                     report.crcMismatches, slot);
    if (report.oddLengths > 0 || report.bytesOutsideImage > 0 || report.cutAtBlockEnd)
        std::fprintf(stderr, "lumeq-cli: warning: the record stream of slot M%d is not as this program writes it\n",
                     slot);
    const SaveResult saved = saveConfigFile(*outputPath, image, memory.mString);
    if (!saved.ok) {
        error(saved.error);
        return BadInput;
    }
    std::printf("slot M%d %s saved to %s\n", slot, quoted(memory.mString).c_str(), output.c_str());
    return Success;
}

// The first difference between what was written and what was read back, or nothing.
std::optional<std::string> firstDifference(const Block& written, const Block& read, const std::string& what) {
    for (std::size_t i = 0; i < kBlockSize; ++i) {
        if (written[i] != read[i]) {
            char text[96];
            std::snprintf(text, sizeof text, " differs at byte %zu: written %02X, read back %02X", i, written[i],
                          read[i]);
            return what + text;
        }
    }
    return std::nullopt;
}

int write(const std::vector<std::string>& args) {
    CommandLine line = moduleLine();
    line.value({QStringLiteral("slot")}, QStringLiteral("N"), QStringLiteral("slot 1..4"))
        .value({QStringLiteral("name")}, QStringLiteral("TEXT"), QStringLiteral("the slot's name"))
        .value({QStringLiteral("curve")}, QStringLiteral("FILE.dc"), QStringLiteral("dimming curve"))
        .value({QStringLiteral("firmware")}, QStringLiteral("FILE.qfw"), QStringLiteral("firmware to write"))
        .flag({QStringLiteral("no-load-check")}, QStringLiteral("write a file whose CRC does not hold"));
    if (const auto done = line.parse(args, 1, 1))
        return *done;
    int slot = 0;
    if (!takeSlotOption(line, slot))
        return UsageError;
    if (slot == 0)
        return line.usageError();
    const std::string& input = line.positional()[0];
    const std::optional<std::string> name = line.value(QStringLiteral("name"));
    const std::optional<std::string> curveFile = line.value(QStringLiteral("curve"));
    const std::optional<std::string> firmwareFile = line.value(QStringLiteral("firmware"));
    const bool noLoadCheck = line.isSet(QStringLiteral("no-load-check"));
    std::optional<std::vector<int>> curve;
    if (!loadCurveOption(curveFile, curve))
        return BadInput;
    std::optional<FirmwareContainer> firmware;
    if (firmwareFile && !(firmware = loadFirmware(*firmwareFile)))
        return BadInput;

    const std::optional<ConfigFile> read = readConfiguration(input, noLoadCheck);
    if (!read)
        return BadInput;
    const ConfigFile& file = *read;
    std::optional<Image> image = applyConfigFile(defaultImage(), file, {noLoadCheck, false});
    if (!image) {
        error(input + ": " + configFileProblem(file.error));
        return BadInput;
    }
    // The levels go to the module through the curve, as Transfer passes them just before framing.
    if (curve && !correctDC(*image, *curve))
        std::fprintf(stderr, "lumeq-cli: note: the configuration drives a DALI output: the curve is not applied\n");

    std::optional<Link> link = openStick();
    if (!link)
        return BadInput;
    const std::optional<ModuleContents> contents = readModule(*link);
    if (!contents)
        return BadInput;

    TransferRequest request;
    request.controlBlock = contents->controlBlock;
    request.controlBlockRead = contents->controlBlockRead;
    request.slot = slot;
    request.image = *image;
    request.info = name.value_or(file.info);
    if (firmware)
        request.firmware = FirmwareToWrite{firmware->image, firmware->length, firmware->version};
    TransferPlanResult planned = planTransfer(request);
    if (!planned.plan) {
        error(planned.error);
        return BadInput;
    }
    const TransferPlan plan = *planned.plan;
    // Every write goes into the log of programmed modules, whatever its outcome.
    ProgrammedRecord record;
    record.time = programmedNow();
    record.mode = ProgrammedMode::Module;
    record.slot = slot;
    record.name = request.info;
    record.crc = configurationCrc(request.image);
    if (curveFile)
        record.curve = QFileInfo(QString::fromStdString(*curveFile)).fileName().toStdString();
    if (firmware)
        record.firmware = "1." + std::to_string(firmware->version);
    const auto logged = [&record](ProgrammedOutcome outcome, const std::string& reason) {
        record.outcome = outcome;
        record.reason = reason;
        recordProgramming(record);
    };
    TransferRun run(plan);
    const TransferResult result = runTransfer(*link->stick, run, link->reportLength, kWaitOnDevice);
    const std::string firmwareProblem =
        transferErrorMessage(kFirmwareError) + " (the firmware descriptor keeps its old record)";
    if (result.firmwareFailed)
        error(firmwareProblem);
    if (!result.ok) {
        const std::string problem = transferErrorMessage(result.errorCode) + " (" +
                                    blockWriteOutcomeText(result.failure) + " at address " +
                                    hex4(result.failedAddress) + ")";
        error(problem);
        logged(ProgrammedOutcome::Failed, problem);
        return BadInput;
    }

    // Read the module afresh, as the program does after its restart, and compare the slot's data and the
    // whole directory (all four slot descriptors and the firmware descriptor) with what was sent.
    const std::string written = "slot M" + std::to_string(slot) + " was written, but ";
    const auto notReadBack = [&](const std::string& reason) {
        error(written + reason);
        record.readBack = "not read back: " + reason;
        logged(ProgrammedOutcome::Failed, result.firmwareFailed ? firmwareProblem : "the read-back failed");
        return BadInput;
    };
    if (!link->stick->findHidDevice(kStickVendorId, kStickProductId))
        return notReadBack("the stick is gone: the module cannot be read back");
    const std::optional<ModuleContents> after = readModule(*link);
    if (!after)
        return notReadBack("the module could not be read back");
    const TMemory& stored = after->directory.memorySlots[static_cast<std::size_t>(slot - 1)];
    std::vector<std::string> differences;
    if (stored.mEmpty) {
        differences.push_back("the slot reads back as empty");
    } else if (stored.unreadable) {
        differences.push_back("the slot's data could not be read back");
    } else if (const auto difference = firstDifference(plan.blocks.front().bytes, stored.mData, "the slot's data")) {
        differences.push_back(*difference);
    }
    for (const std::string& difference : controlBlockDifferences(result.controlBlockWritten, after->controlBlock))
        differences.push_back(difference);
    std::size_t firmwareBlocks = 0;
    if (result.firmwareWritten) {
        for (const PlannedBlock& block : plan.blocks) {
            if (block.kind != PlannedBlockKind::Firmware)
                continue;
            ++firmwareBlocks;
            const std::optional<Block> back = readBlock(*link, block.address);
            if (!back)
                differences.push_back("the firmware block at 0x" + hex4(block.address) + " could not be read back");
            else if (const auto difference =
                         firstDifference(block.bytes, *back, "the firmware block at 0x" + hex4(block.address)))
                differences.push_back(*difference);
            if (differences.size() > 8)
                break;
        }
    }
    for (const std::string& difference : differences)
        error(written + difference);
    record.readBack = differences.empty() ? "identical" : "differs: " + differences.front();
    if (!differences.empty() || result.firmwareFailed) {
        logged(ProgrammedOutcome::Failed, result.firmwareFailed ? firmwareProblem : "the read-back differs");
        return BadInput;
    }
    logged(ProgrammedOutcome::Ok, {});
    std::printf("wrote slot M%d %s at address 0x%s", slot, quoted(stored.mString).c_str(),
                hex4(slotAddress(slot)).c_str());
    if (firmwareBlocks > 0)
        std::printf(", firmware 1.%u in %zu blocks", static_cast<unsigned>(firmware->version), firmwareBlocks);
    std::printf(" and the control block; read back: identical\n");
    return Success;
}

int erase(const std::vector<std::string>& args) {
    CommandLine line = moduleLine();
    line.flag({QStringLiteral("yes")}, QStringLiteral("go ahead"));
    if (const auto done = line.parse(args, 0, 0))
        return *done;
    if (!line.isSet(QStringLiteral("yes"))) {
        error("erase wipes every slot of the module; add --yes to go ahead");
        return UsageError;
    }
    std::optional<Link> link = openStick();
    if (!link)
        return BadInput;
    if (!readModule(*link))
        return BadInput;
    eraseModule(*link->stick);
    std::printf("erase sent; the module does not confirm it\n");
    return Success;
}

int runModule(const std::vector<std::string>& args) {
    return runSubcommand(args, {{"info", &info}, {"read", &read}, {"write", &write}, {"erase", &erase}}, "module",
                         kUsage, kHelp);
}

} // namespace

LUMEQ_CLI_COMMAND("module", "module info|read|write|erase ...",
                  "read, write or erase a module through the stick or the simulator", &runModule)

} // namespace lumeq::cli
