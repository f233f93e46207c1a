// lumeq-cli sim init|show: simulator state files (LUMEQ_SIMULATOR) with a module whose slots hold
// configurations, written exactly as the program's Transfer writes them.

#include "cli/command.h"
#include "cli/commandline.h"
#include "files/configfile.h"
#include "link/blockreader.h"
#include "link/blockwriter.h"
#include "link/simstate.h"
#include "link/slotrecords.h"
#include "link/stickengine.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumeq::cli {

namespace {

// A name exactly as the file system has it (it need not be valid UTF-8); false for any error.
bool isFile(const std::string& name) {
    std::error_code error;
    return std::filesystem::is_regular_file(name, error);
}

constexpr const char* kUsage =
    "usage: lumeq-cli sim init STATE [--slots N=FILE.qcf[:NAME],...] [--fw-version N] [--fault NAME=VALUE]...\n"
    "       lumeq-cli sim init STATE --stick-alone [--stick-fw N] [--log MIN,SWITCHES,OVERT,MAXT]\n"
    "                              [--device-number HEX8] [--fault NAME=VALUE]...\n"
    "       lumeq-cli sim show STATE";

constexpr const char* kHelp =
    "sim init writes a new state file: a stick with a blank module behind it (or, with --stick-alone, a\n"
    "stick that answers by itself). --slots fills memory slots 1..4 from configuration files, as Transfer\n"
    "writes them; the slot's name is NAME, or else the file's info text. --fw-version records firmware\n"
    "version 1.N in the control block.\n"
    "A stick alone holds the default configuration in memory bytes 0..127. --stick-fw gives its firmware\n"
    "version 1.N (none reported without it); --log fills its operating log: operation in minutes, switch\n"
    "count, over-temperature time in quarters of an hour, maximum temperature in degrees Celsius;\n"
    "--device-number its device number (8 hexadecimal digits).\n"
    "--fault sets a fault of the [Faults] section (NoAnswer, LoseAnswersAfter, ConfirmStatus,\n"
    "ConfirmAddressOffset, ConfirmFaultAddress, DelayPerReportMs, NoAnswerAfter, RefuseBlockAddress,\n"
    "StoreDiffersAddress, RefuseWrites, BadReadCrc, RefuseFirmwareFrame, UnplugAfter, StrayAnswerFrame,\n"
    "StrayAnswerCode, StrayAnswerFirst, LateAnswerFrame, LateAnswerMs, ReidentifyMs, StickStoreDiffersByte);\n"
    "it may be repeated.\n"
    "sim show prints the stick, the control block and the slots of a state file.\n"
    "Point LUMEQ_SIMULATOR at the file to use it in place of the stick.";

// "MIN,SWITCHES,OVERT,MAXT" into the log bytes 247..254 of a stick's memory.
bool parseLog(const std::string& text, SimStick& stick) {
    const unsigned long limits[] = {0xFFFFFF, 0xFFFF, 0xFFFF, 0xFF};
    unsigned long values[4] = {};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((i < 3) != (comma != std::string::npos))
            return false;
        const std::string field = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        values[i] = std::strtoul(field.c_str(), &end, 10);
        if (field.empty() || field[0] == '-' || *end != '\0' || values[i] > limits[i])
            return false;
        start = comma + 1;
    }
    std::uint8_t* log = stick.memory.data() + kStickLogFirst;
    log[0] = static_cast<std::uint8_t>(values[0]);
    log[1] = static_cast<std::uint8_t>(values[0] >> 8);
    log[2] = static_cast<std::uint8_t>(values[0] >> 16);
    log[3] = static_cast<std::uint8_t>(values[1]);
    log[4] = static_cast<std::uint8_t>(values[1] >> 8);
    log[5] = static_cast<std::uint8_t>(values[2]);
    log[6] = static_cast<std::uint8_t>(values[2] >> 8);
    log[7] = static_cast<std::uint8_t>(values[3]);
    return true;
}

// Text between quotes, with control characters, quotes and backslashes as \xNN.

struct SlotSource {
    std::string file;
    std::optional<std::string> name;
};

// "N=FILE[:NAME]". The file is the longest part before a ':' that names an existing file, so that names
// may hold ':' and files without a name need no ':'.
bool parseSlotSource(const std::string& item, int& slot, SlotSource& source, std::string& problem) {
    const std::size_t equals = item.find('=');
    if (equals != 1 || item[0] < '1' || item[0] > '4' || item.size() < 3) {
        problem = "'" + item + "' is not N=FILE.qcf[:NAME] with a slot N from 1 to 4";
        return false;
    }
    slot = item[0] - '0';
    const std::string rest = item.substr(2);
    if (isFile(rest)) {
        source = {rest, std::nullopt};
        return true;
    }
    for (std::size_t colon = rest.rfind(':'); colon != std::string::npos && colon > 0;
         colon = rest.rfind(':', colon - 1)) {
        const std::string file = rest.substr(0, colon);
        if (isFile(file)) {
            source = {file, rest.substr(colon + 1)};
            return true;
        }
    }
    problem = "no configuration file in '" + rest + "'";
    return false;
}

// The configuration of a file, as the Load button takes it into a fresh image.
bool loadConfiguration(const std::string& path, Image& image, std::string& info, std::string& problem) {
    const FileBytes bytes = readLoadFileNative(path);
    if (!bytes.ok) {
        problem = bytes.error;
        return false;
    }
    const ConfigFile file = parseConfigFile(bytes.bytes);
    if (!file.crcHolds()) {
        problem = path + ": " + configFileProblem(file.error);
        return false;
    }
    const std::optional<Image> loaded = applyConfigFile(defaultImage(), file, {});
    if (!loaded) {
        problem = path + ": not loaded";
        return false;
    }
    image = *loaded;
    info = file.info;
    return true;
}

Block controlBlockOf(const SimState& state) {
    Block block{};
    std::copy_n(state.module.memory.begin() + kControlBlockAddress, kBlockSize, block.begin());
    return block;
}

// "--fw-version N" and "--stick-fw N" when given: false, with a message, when N is not 0..255.
bool takeVersion(const CommandLine& line, const char* option, std::optional<int>& version) {
    const std::optional<std::string> value = line.value(QLatin1String(option));
    if (!value)
        return true;
    char* end = nullptr;
    const long number = std::strtol(value->c_str(), &end, 10);
    if (value->empty() || *end != '\0' || number < 0 || number > 255) {
        error("--" + std::string(option) + " takes a number from 0 to 255, not '" + printable(*value) + "'");
        return false;
    }
    version = static_cast<int>(number);
    return true;
}

int init(const std::vector<std::string>& args) {
    CommandLine line(kUsage, kHelp);
    line.flag({QStringLiteral("stick-alone")}, QStringLiteral("a stick without a module"))
        .value({QStringLiteral("slots")}, QStringLiteral("N=FILE.qcf[:NAME],..."), QStringLiteral("slots to fill"))
        .value({QStringLiteral("fw-version")}, QStringLiteral("N"), QStringLiteral("firmware version 1.N"))
        .value({QStringLiteral("stick-fw")}, QStringLiteral("N"), QStringLiteral("stick firmware version 1.N"))
        .value({QStringLiteral("log")}, QStringLiteral("MIN,SWITCHES,OVERT,MAXT"), QStringLiteral("operating log"))
        .value({QStringLiteral("device-number")}, QStringLiteral("HEX8"), QStringLiteral("device number"))
        .value({QStringLiteral("fault")}, QStringLiteral("NAME=VALUE"), QStringLiteral("a fault"));
    if (const auto done = line.parse(args, 1, 1))
        return *done;
    const std::string& path = line.positional()[0];
    if (!outputName(path))
        return UsageError;
    const bool stickAlone = line.isSet(QStringLiteral("stick-alone"));
    std::optional<int> firmwareVersion;
    std::optional<int> stickFirmware;
    if (!takeVersion(line, "fw-version", firmwareVersion) || !takeVersion(line, "stick-fw", stickFirmware))
        return UsageError;
    const std::optional<std::string> log = line.value(QStringLiteral("log"));
    const std::optional<std::string> deviceNumber = line.value(QStringLiteral("device-number"));
    const std::vector<std::string> faults = line.values(QStringLiteral("fault"));
    std::map<int, SlotSource> sources;
    for (const std::string& list : line.values(QStringLiteral("slots"))) {
        std::size_t start = 0;
        while (start <= list.size()) {
            const std::size_t comma = std::min(list.find(',', start), list.size());
            int slot = 0;
            SlotSource source;
            std::string problem;
            if (!parseSlotSource(list.substr(start, comma - start), slot, source, problem)) {
                error(problem);
                return UsageError;
            }
            if (sources.count(slot) != 0) {
                error("slot " + std::to_string(slot) + " is given twice");
                return UsageError;
            }
            sources[slot] = source;
            start = comma + 1;
        }
    }
    if (stickAlone && (!sources.empty() || firmwareVersion)) {
        error("a stick alone has no module: --slots and --fw-version need a module");
        return UsageError;
    }
    if (!stickAlone && (stickFirmware || log || deviceNumber)) {
        error("--stick-fw, --log and --device-number describe a stick alone: add --stick-alone");
        return UsageError;
    }

    SimState state = stickAlone ? SimState::stickAlone() : SimState::withModule();
    if (stickAlone) {
        const Image configuration = defaultImage();
        std::copy(configuration.begin(), configuration.end(), state.stick.memory.begin());
        if (stickFirmware)
            state.stick.firmwareVersion = static_cast<std::uint8_t>(*stickFirmware);
        if (log && !parseLog(*log, state.stick)) {
            error("--log takes MIN,SWITCHES,OVERT,MAXT (numbers up to 16777215, 65535, 65535, 255), not '" + *log +
                  "'");
            return UsageError;
        }
        if (deviceNumber) {
            const SimStateLoad withNumber = SimState::fromText("[Stick]\nDeviceNumber=" + *deviceNumber + "\n");
            if (!withNumber.state || !withNumber.warnings.empty()) {
                error("--device-number takes 8 hexadecimal digits, not '" + *deviceNumber + "'");
                return UsageError;
            }
            state.stick.deviceNumber = withNumber.state->stick.deviceNumber;
        }
    }
    if (!faults.empty()) {
        std::string text = state.toText() + "\n[Faults]\n";
        for (const std::string& fault : faults)
            text += fault + "\n";
        SimStateLoad withFaults = SimState::fromText(text);
        if (!withFaults.state || !withFaults.warnings.empty()) {
            error("--fault: " + (withFaults.warnings.empty() ? withFaults.error : withFaults.warnings.front()));
            return UsageError;
        }
        state = *withFaults.state;
    }
    if (firmwareVersion) {
        const std::uint8_t entry[] = {
            kEntryMark0, kEntryMark1, kFirmwareEntryKind,  static_cast<std::uint8_t>(*firmwareVersion),
            0x00,        0x00,        kFirstFirmwareBlock, 0x00};
        state.setModuleBytes(kControlBlockAddress + kFirmwareEntry * kDirectoryEntrySize, entry);
    }
    for (const auto& [slot, source] : sources) {
        TransferRequest request;
        std::string fileInfo;
        std::string problem;
        if (!loadConfiguration(source.file, request.image, fileInfo, problem)) {
            error(problem);
            return BadInput;
        }
        request.controlBlock = controlBlockOf(state);
        request.controlBlockRead = true;
        request.slot = slot;
        request.info = source.name.value_or(fileInfo);
        const TransferPlanResult planned = planTransfer(request);
        if (!planned.plan) {
            error(planned.error);
            return BadInput;
        }
        applyTransferPlan(*planned.plan, state.module.memory);
    }
    std::string saveError;
    if (!state.save(path, &saveError)) {
        error(saveError);
        return BadInput;
    }
    std::fprintf(out(), "created %s: %s\n", path.c_str(),
                stickAlone ? "a stick without a module" : "a stick with a module behind it");
    for (const auto& [slot, source] : sources)
        std::fprintf(out(), "  M%d from %s\n", slot, source.file.c_str());
    return Success;
}

int show(const std::vector<std::string>& args) {
    CommandLine line(kUsage, kHelp);
    if (const auto done = line.parse(args, 1, 1))
        return *done;
    const std::string& path = line.positional()[0];
    const SimStateLoad loaded = SimState::load(path);
    if (!loaded.state) {
        error(loaded.error);
        return BadInput;
    }
    for (const std::string& warning : loaded.warnings)
        std::fprintf(err(), "lumeq-cli: warning: %s: %s\n", printable(path).c_str(), warning.c_str());
    const SimState& state = *loaded.state;

    const SimStick& stick = state.stick;
    const std::string stickFirmware =
        stick.firmwareVersion == 0xFF ? "not reported" : "1." + std::to_string(stick.firmwareVersion);
    std::fprintf(out(), "Stick:     %s, device number %02X%02X%02X%02X, firmware %s, reports %d in / %d out\n",
                stick.present ? "present" : "absent", stick.deviceNumber[0], stick.deviceNumber[1],
                stick.deviceNumber[2], stick.deviceNumber[3], stickFirmware.c_str(), stick.inputReportLength,
                stick.outputReportLength);
    std::fprintf(out(), "Module:    %s\n", state.module.present ? "present" : "absent (the stick answers by itself)");
    const SimFaults& f = state.faults;
    std::string faults;
    if (f.noAnswer)
        faults += " NoAnswer";
    if (f.loseAnswersAfter >= 0)
        faults += " LoseAnswersAfter=" + std::to_string(f.loseAnswersAfter);
    if (f.confirmStatus != 1)
        faults += " ConfirmStatus=" + std::to_string(f.confirmStatus);
    if (f.confirmAddressOffset != 0)
        faults += " ConfirmAddressOffset=" + std::to_string(f.confirmAddressOffset);
    if (f.delayPerReportMs != 0)
        faults += " DelayPerReportMs=" + std::to_string(f.delayPerReportMs);
    if (f.refuseBlockAddress >= 0)
        faults += " RefuseBlockAddress=0x" + hex4(static_cast<unsigned>(f.refuseBlockAddress));
    if (f.storeDiffersAddress >= 0)
        faults += " StoreDiffersAddress=0x" + hex4(static_cast<unsigned>(f.storeDiffersAddress));
    if (f.refuseWrites != 0)
        faults += " RefuseWrites=" + std::to_string(f.refuseWrites);
    if (f.badReadCrc != 0)
        faults += " BadReadCrc=" + std::to_string(f.badReadCrc);
    if (f.refuseFirmwareFrame != 0)
        faults += " RefuseFirmwareFrame=" + std::to_string(f.refuseFirmwareFrame);
    if (f.unplugAfter >= 0)
        faults += " UnplugAfter=" + std::to_string(f.unplugAfter);
    if (f.strayAnswerFrame > 0)
        faults += " StrayAnswerFrame=" + std::to_string(f.strayAnswerFrame) + " StrayAnswerCode=0x" +
                  hexByte(static_cast<std::uint8_t>(f.strayAnswerCode)) +
                  (f.strayAnswerFirst ? " StrayAnswerFirst" : " StrayAnswerFirst=no");
    if (f.lateAnswerFrame > 0)
        faults += " LateAnswerFrame=" + std::to_string(f.lateAnswerFrame) +
                  " LateAnswerMs=" + std::to_string(f.lateAnswerMs);
    if (f.reidentifyMs > 0)
        faults += " ReidentifyMs=" + std::to_string(f.reidentifyMs);
    if (f.stickStoreDiffersByte >= 0)
        faults += " StickStoreDiffersByte=" + std::to_string(f.stickStoreDiffersByte);
    std::fprintf(out(), "Faults:    %s\n", faults.empty() ? "none" : faults.c_str() + 1);

    if (!state.module.present) {
        const StickLog log = stickLog(stick.memory);
        std::fprintf(out(), "\nStick memory:\n");
        for (std::size_t row = 0; row < kSimStickMemorySize; row += 16) {
            std::fprintf(out(), "  %02zX:", row);
            for (std::size_t i = 0; i < 16; ++i)
                std::fprintf(out(), " %02X", stick.memory[row + i]);
            std::fprintf(out(), "\n");
        }
        std::fprintf(out(), "Log:       operation %u min, switch count %u, over temperature %u min, max. temperature %u\n",
                    static_cast<unsigned>(log.operationMinutes), static_cast<unsigned>(log.switchCount),
                    static_cast<unsigned>(log.overTemperatureMinutes), static_cast<unsigned>(log.maxTemperature));
        if (stick.receivedFirmwareBytes > 0)
            std::fprintf(out(), "Firmware received at the last update: %d bytes, CRC %s\n", stick.receivedFirmwareBytes,
                        hex4(stick.receivedFirmwareCrc).c_str());
        return Success;
    }

    const Block control = controlBlockOf(state);
    std::fprintf(out(), "\nControl block (module address FF80):\n");
    for (std::size_t row = 0; row < kBlockSize; row += 16) {
        std::fprintf(out(), "  %s:", hex4(static_cast<unsigned>(kControlBlockAddress + row)).c_str());
        for (std::size_t i = 0; i < 16; ++i)
            std::fprintf(out(), " %02X", control[row + i]);
        std::fprintf(out(), "\n");
    }

    const ModuleDirectory directory = parseControlBlock(control);
    std::fprintf(out(), "\nSlots:\n");
    for (int n = 1; n <= kSlotCount; ++n) {
        const TMemory& slot = directory.memorySlots[static_cast<std::size_t>(n - 1)];
        if (slot.mEmpty) {
            std::fprintf(out(), "  M%d  empty\n", n);
            continue;
        }
        // mAddress is a multiple of 128 below 64 KiB, so the whole block lies in module memory.
        Block data{};
        std::copy_n(state.module.memory.begin() + slot.mAddress, kBlockSize, data.begin());
        Image image(kImageSize, 0x00);
        const SlotDecodeReport report = decodeSlotRecords(data, slot.mLength, image);
        const std::string crc =
            report.crcMismatches == 0 ? "CRC holds" : std::to_string(report.crcMismatches) + " CRC mismatches";
        std::fprintf(out(), "  M%d  filled  name %s  length %u  address 0x%s  records %d, %s\n", n,
                    quoted(slot.mString).c_str(), slot.mLength, hex4(slot.mAddress).c_str(), report.records,
                    crc.c_str());
    }
    if (directory.firmware.valid)
        std::fprintf(out(), "\nFirmware:  version 1.%u, %u bytes from block %u\n", directory.firmware.version,
                    directory.firmware.length, directory.firmware.firstBlock);
    else
        std::fprintf(out(), "\nFirmware:  none recorded\n");
    return Success;
}

int runSim(const std::vector<std::string>& args) {
    return runSubcommand(args, {{"init", &init}, {"show", &show}}, "sim", kUsage, kHelp);
}

} // namespace

LUMEQ_CLI_COMMAND("sim", "sim init|show STATE ...", "create or show a simulator state file (LUMEQ_SIMULATOR)", &runSim)

} // namespace lumeq::cli
