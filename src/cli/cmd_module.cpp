// lumeq-cli module info|read|write|erase: a module behind the programming stick (or the simulator named by
// LUMEQ_SIMULATOR), through the same reading and writing code the window uses.

#include "cli/command.h"
#include "cli/commandline.h"
#include "files/configfile.h"
#include "files/firmwarecontainer.h"
#include "files/programmedlog.h"
#include "link/blockreader.h"
#include "link/blockwriter.h"
#include "link/firmwarestate.h"
#include "link/modulejobs.h"
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
                               "                              [--no-load-check] [--firmware FILE.qfw [--allow-downgrade]]\n"
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
    "is due, with the firmware descriptor, and reads the firmware blocks back too. Firmware older than the\n"
    "module's is refused unless --allow-downgrade is given.\n"
    "erase wipes the whole module; it needs --yes. The module is read back afterwards: it must list no slot.\n"
    "Every write and erase goes into the log of programmed modules (lumeq-cli log).\n"
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
            std::fprintf(out(), "M%d  empty\n", n);
            continue;
        }
        std::fprintf(out(), "M%d  filled  name %s  length %u  address 0x%s%s\n", n, quoted(slot.mString).c_str(), slot.mLength,
                    hex4(slot.mAddress).c_str(), slot.unreadable ? "  (its data could not be read)" : "");
    }
    const FirmwareDescriptor& firmware = contents->directory.firmware;
    if (firmware.valid)
        std::fprintf(out(), "Firmware  version 1.%u, %u bytes\n", firmware.version, firmware.length);
    else
        std::fprintf(out(), "Firmware  none recorded\n");
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
        std::fprintf(err(), "lumeq-cli: warning: %d records of slot M%d fail their CRC; taken as they are\n",
                     report.crcMismatches, slot);
    if (report.oddLengths > 0 || report.bytesOutsideImage > 0 || report.cutAtBlockEnd)
        std::fprintf(err(), "lumeq-cli: warning: the record stream of slot M%d is not as this program writes it\n",
                     slot);
    const SaveResult saved = saveConfigFile(*outputPath, image, memory.mString);
    if (!saved.ok) {
        error(saved.error);
        return BadInput;
    }
    std::fprintf(out(), "slot M%d %s saved to %s\n", slot, quoted(memory.mString).c_str(), output.c_str());
    return Success;
}

// The firmware of "--firmware" would go to an older version than the module reports.
bool refuseDowngrade(const FirmwareDescriptor& current, std::uint8_t version, bool allowed) {
    if (!current.valid || version >= current.version)
        return false;
    const std::string versions = firmwareDowngradeText("module", current.version, version);
    if (allowed) {
        std::fprintf(err(), "lumeq-cli: note: %s Writing it all the same (--allow-downgrade).\n", versions.c_str());
        return false;
    }
    error(versions + " Nothing was written (--allow-downgrade writes it all the same).");
    return true;
}

// A job's failure on err(): the program's message with its reason, then every difference found.
void reportFailure(const ModuleJobResult& result) {
    if (result.differences.empty() || result.firmwareFailed)
        error(result.message + ": " + result.reason);
    for (const std::string& difference : result.differences)
        error(difference);
}

// Runs a job on the stick; a log that cannot be written is said, the job's result stands.
const ModuleJobResult& runJob(Link& link, ModuleJob& job) {
    const ModuleJobResult& result = runModuleJob(*link.stick, job, link.reportLength);
    if (!result.logError.empty())
        std::fprintf(err(), "lumeq-cli: warning: this write is not in the log of programmed modules: %s\n",
                     result.logError.c_str());
    return result;
}

int write(const std::vector<std::string>& args) {
    CommandLine line = moduleLine();
    line.value({QStringLiteral("slot")}, QStringLiteral("N"), QStringLiteral("slot 1..4"))
        .value({QStringLiteral("name")}, QStringLiteral("TEXT"), QStringLiteral("the slot's name"))
        .value({QStringLiteral("curve")}, QStringLiteral("FILE.dc"), QStringLiteral("dimming curve"))
        .value({QStringLiteral("firmware")}, QStringLiteral("FILE.qfw"), QStringLiteral("firmware to write"))
        .flag({QStringLiteral("allow-downgrade")}, QStringLiteral("write firmware older than the module's"))
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
        std::fprintf(err(), "lumeq-cli: note: the configuration drives a DALI output: the curve is not applied\n");

    std::optional<Link> link = openStick();
    if (!link)
        return BadInput;
    const std::optional<ModuleContents> contents = readModule(*link);
    if (!contents)
        return BadInput;
    if (firmware &&
        refuseDowngrade(contents->directory.firmware, firmware->version, line.isSet(QStringLiteral("allow-downgrade"))))
        return BadInput;

    SlotWriteRequest request;
    request.transfer.controlBlock = contents->controlBlock;
    request.transfer.controlBlockRead = contents->controlBlockRead;
    request.transfer.slot = slot;
    request.transfer.image = *image;
    request.transfer.info = name.value_or(file.info);
    if (firmware)
        request.transfer.firmware = FirmwareToWrite{firmware->image, firmware->length, firmware->version};
    if (curveFile)
        request.curveName = QFileInfo(QString::fromStdString(*curveFile)).fileName().toStdString();
    SlotWritePlan planned = planSlotWrite(request);
    if (!planned.job) {
        error(planned.error);
        return BadInput;
    }
    // The write, then the module read afresh and compared with what was sent: the slot's data, the whole
    // directory and the firmware blocks.
    const ModuleJobResult& result = runJob(*link, *planned.job);
    if (!result.ok) {
        reportFailure(result);
        return BadInput;
    }
    std::fprintf(out(), "wrote slot M%d %s at address 0x%s", slot, quoted(result.storedName).c_str(),
                hex4(slotAddress(slot)).c_str());
    if (result.firmwareBlocks > 0)
        std::fprintf(out(), ", firmware 1.%u in %zu blocks", static_cast<unsigned>(firmware->version), result.firmwareBlocks);
    std::fprintf(out(), " and the control block; read back: identical\n");
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
    const std::unique_ptr<ModuleJob> job = eraseJob();
    const ModuleJobResult& result = runJob(*link, *job);
    if (!result.ok) {
        reportFailure(result);
        return BadInput;
    }
    std::fprintf(out(), "erased: the module lists no slot and no firmware\n");
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
