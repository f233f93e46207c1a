// lumeq-cli fw check FILE.qfw: is the file a firmware container the program takes, and what does it hold?

#include "cli/command.h"
#include "cli/commandline.h"
#include "files/configfile.h"
#include "files/firmwarecontainer.h"
#include "link/stickengine.h"

#include <QFile>

#include <cstdio>
#include <string>
#include <vector>

namespace lumeq::cli {

namespace {

constexpr const char* kUsage = "usage: lumeq-cli fw check FILE.qfw";
constexpr const char* kHelp = "Checks a firmware container: version, length, data lines and CRC.";

int check(const std::vector<std::string>& args) {
    CommandLine line(kUsage, kHelp);
    if (const auto done = line.parse(args, 1, 1))
        return *done;
    const std::string& name = line.positional()[0];
    const FileBytes content = readLoadFileNative(name);
    if (!content.ok) {
        error(content.error);
        return BadInput;
    }
    const FirmwareContainer container = checkFirmwareFile(content.bytes);
    if (container.error == FirmwareContainerError::NotFirmware ||
        container.error == FirmwareContainerError::NoDataLines) {
        error(name + ": " + firmwareContainerProblem(container));
        return BadInput;
    }
    std::fprintf(out(), "File:       %s\n", name.c_str());
    std::fprintf(out(), "Version:    1.%u\n", static_cast<unsigned>(container.version));
    std::fprintf(out(), "Length:     %u bytes (%zu records of 72 for a stick, %zu blocks of 128 for a module)\n",
                static_cast<unsigned>(container.length), firmwareRecordCount(container.length),
                static_cast<std::size_t>((container.length + kBlockSize - 1) / kBlockSize));
    std::fprintf(out(), "Data lines: %zu (%zu bytes carried)\n", container.dataLines, container.dataLines * kFirmwareLineBytes);
    if (container.crcHolds())
        std::fprintf(out(), "CRC:        %s, holds\n", hex4(container.storedCrc).c_str());
    else
        std::fprintf(out(), "CRC:        %s stored, %s computed: does not hold\n", hex4(container.storedCrc).c_str(),
                    hex4(container.computedCrc).c_str());
    if (container.dataLines * kFirmwareLineBytes < container.length)
        std::fprintf(out(), "Note:       the lines carry fewer bytes than the length; the rest is sent as FF\n");
    if (!container.usable()) {
        error(name + ": " + std::string(kFileCorruptedMessage) + " (" + firmwareContainerProblem(container) + ")");
        return BadInput;
    }
    std::fprintf(out(), "Verdict:    the program takes this firmware\n");
    return Success;
}

int runFw(const std::vector<std::string>& args) {
    return runSubcommand(args, {{"check", &check}}, "fw", kUsage, kHelp);
}

} // namespace

LUMEQ_CLI_COMMAND("fw", "fw check FILE.qfw", "check a firmware container (*.qfw) and its CRC", &runFw)

} // namespace lumeq::cli
