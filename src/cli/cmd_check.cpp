// lumeq-cli check FILE: is the file a configuration the program loads, and does its CRC hold?

#include "cli/command.h"
#include "cli/commandline.h"
#include "files/configfile.h"

#include <QFile>

#include <cstdio>
#include <string>
#include <vector>

namespace lumeq::cli {

namespace {

constexpr const char* kUsage = "usage: lumeq-cli check FILE";

int check(const std::vector<std::string>& args) {
    CommandLine line(kUsage, "Validates a configuration file (*.qcf) and tells what it holds.\n");
    if (const auto done = line.parse(args, 1, 1))
        return *done;
    const std::string& name = line.positional()[0];
    const FileBytes content = readLoadFileNative(name);
    if (!content.ok) {
        error(content.error);
        return BadInput;
    }
    const ConfigFile file = parseConfigFile(content.bytes);
    if (file.error == ConfigFileError::Firmware) {
        error(name + ": a firmware container (FWX); checking firmware files is not supported yet");
        return BadInput;
    }
    if (!file.isConfiguration()) {
        error(name + ": " + configFileProblem(file.error));
        return BadInput;
    }

    std::fprintf(out(), "File:       %s\n", name.c_str());
    std::fprintf(out(), "Type:       configuration file%s\n", file.oldFormat ? ", old MEM format" : " (MMN)");
    std::fprintf(out(), "Info text:  %s\n", quoted(file.info).c_str());
    std::fprintf(out(), "Data lines: %zu\n", file.dataLines);
    if (file.crcHolds()) {
        std::fprintf(out(), "CRC:        %s, holds\n", hex4(file.storedCrc).c_str());
    } else {
        std::fprintf(out(), "CRC:        %s stored, %s computed: does not hold\n", hex4(file.storedCrc).c_str(),
                    hex4(file.computedCrc).c_str());
    }
    if (file.oldFormat) {
        std::fprintf(out(), "Note:       %s\n", std::string(kOldFormatMessage).c_str());
    }
    const std::size_t bytesCarried = file.dataLines * kConfigLineBytes;
    if (bytesCarried < kConfigSize) {
        std::fprintf(out(), "Note:       image bytes %zu to %zu are missing and load as FF\n", bytesCarried, kConfigSize - 1);
    }
    if (file.ignoredDataLines > 0) {
        std::fprintf(out(), "Note:       %zu data line(s) beyond the eighth do not fit into the image and are not loaded\n",
                    file.ignoredDataLines);
    }
    if (!file.crcHolds()) {
        error(name + ": " + std::string(kFileCorruptedMessage));
        return BadInput;
    }
    return Success;
}

} // namespace

LUMEQ_CLI_COMMAND("check", "check FILE", "validate a configuration file (*.qcf) and its CRC", &check)

} // namespace lumeq::cli
