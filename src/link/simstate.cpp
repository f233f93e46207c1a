#include "link/simstate.h"

#include "files/nativename.h"
#include "model/hex.h"

#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace lumeq {

namespace {

// A full state file is about 270 KiB; anything far larger is not one.
constexpr qint64 kMaxStateFileSize = 4 * 1024 * 1024;
// Beyond this many warnings a file is junk; the rest are only counted.
constexpr std::size_t kMaxWarnings = 50;
constexpr std::size_t kRowLength = 16;

enum class Section { None, Stick, Module, Faults, StickMemory, ModuleMemory, Unknown };

std::string_view trim(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string lower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// A value as it is quoted in a warning: long junk is cut.
std::string quoted(std::string_view value) {
    constexpr std::size_t kShown = 40;
    return value.size() <= kShown ? std::string(value) : std::string(value.substr(0, kShown)) + "...";
}

bool parseBool(std::string_view text, bool& out) {
    const std::string value = lower(text);
    if (value == "true" || value == "yes" || value == "on" || value == "1") {
        out = true;
        return true;
    }
    if (value == "false" || value == "no" || value == "off" || value == "0") {
        out = false;
        return true;
    }
    return false;
}

bool parseInteger(std::string_view text, long long min, long long max, long long& out) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return false;
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    if (negative)
        value = -value; // from_chars gave a non-negative value, so this cannot overflow
    if (value < min || value > max)
        return false;
    out = value;
    return true;
}

// Exactly out.size() bytes of hexadecimal text; blanks between the digits are allowed.
bool parseHexBytes(std::string_view text, std::span<std::uint8_t> out) {
    std::size_t digits = 0;
    std::vector<std::uint8_t> bytes(out.size(), 0);
    for (char c : text) {
        if (c == ' ' || c == '\t')
            continue;
        const int digit = hexDigit(c);
        if (digit < 0 || digits >= 2 * out.size())
            return false;
        bytes[digits / 2] = static_cast<std::uint8_t>(bytes[digits / 2] << 4 | digit);
        ++digits;
    }
    if (digits != 2 * out.size())
        return false;
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return true;
}

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string hexBytes(std::span<const std::uint8_t> bytes, const char* separator) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            text += separator;
        text += hex(bytes[i], 2);
    }
    return text;
}

// Reads one file's lines into a state, keeping defaults where a value cannot be read.
class StateReader {
public:
    SimStateLoad read(std::string_view text) {
        SimStateLoad result;
        if (text.find('\0') != std::string_view::npos) {
            result.error = "not a simulator state file: binary content";
            return result;
        }
        state_ = SimState();
        std::size_t lineNumber = 0;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            readLine(++lineNumber, trim(text.substr(0, end)));
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        }
        if (!sawStick_) {
            result.error = "not a simulator state file: no [Stick] section";
            return result;
        }
        if (droppedWarnings_ > 0)
            warnings_.push_back(std::to_string(droppedWarnings_) + " more values could not be read");
        result.state = state_;
        result.warnings = std::move(warnings_);
        return result;
    }

private:
    void warn(std::string text) {
        if (warnings_.size() < kMaxWarnings)
            warnings_.push_back("line " + std::to_string(line_) + ": " + std::move(text));
        else
            ++droppedWarnings_;
    }

    void readLine(std::size_t lineNumber, std::string_view line) {
        line_ = lineNumber;
        if (line.empty() || line.front() == '#' || line.front() == ';')
            return;
        if (line.front() == '[') {
            if (line.back() != ']') {
                warn("cannot read the section name " + quoted(line));
                section_ = Section::Unknown;
                return;
            }
            readSection(lower(trim(line.substr(1, line.size() - 2))), line);
            return;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            warn("not a key=value line: " + quoted(line));
            return;
        }
        const std::string_view key = trim(line.substr(0, equals));
        const std::string_view value = trim(line.substr(equals + 1));
        switch (section_) {
        case Section::Stick:
            readStickValue(key, value);
            break;
        case Section::Module:
            readModuleValue(key, value);
            break;
        case Section::Faults:
            readFaultValue(key, value);
            break;
        case Section::StickMemory:
            readRow(key, value, state_.stick.memory);
            break;
        case Section::ModuleMemory:
            readRow(key, value, state_.module.memory);
            break;
        case Section::None:
            warn("value outside any section: " + quoted(line));
            break;
        case Section::Unknown:
            break; // reported once with its section
        }
    }

    void readSection(const std::string& name, std::string_view line) {
        if (name == "stick") {
            section_ = Section::Stick;
            sawStick_ = true;
        } else if (name == "module") {
            section_ = Section::Module;
        } else if (name == "faults") {
            section_ = Section::Faults;
        } else if (name == "stickmemory") {
            section_ = Section::StickMemory;
        } else if (name == "modulememory") {
            section_ = Section::ModuleMemory;
        } else {
            section_ = Section::Unknown;
            warn("unknown section " + quoted(line) + " ignored");
        }
    }

    void readBool(std::string_view key, std::string_view value, bool& target) {
        if (!parseBool(value, target))
            warn(std::string(key) + "=" + quoted(value) + " is not true or false; using " +
                 (target ? "true" : "false"));
    }

    template <typename T>
    void readNumber(std::string_view key, std::string_view value, long long min, long long max, T& target) {
        long long number = 0;
        if (parseInteger(value, min, max, number))
            target = static_cast<T>(number);
        else
            warn(std::string(key) + "=" + quoted(value) + " is not a number from " + std::to_string(min) + " to " +
                 std::to_string(max) + "; using " + std::to_string(target));
    }

    void unknownKey(std::string_view key) { warn("unknown key " + quoted(key) + " ignored"); }

    void readStickValue(std::string_view key, std::string_view value) {
        const std::string name = lower(key);
        SimStick& stick = state_.stick;
        if (name == "present")
            readBool(key, value, stick.present);
        else if (name == "inputreportlength")
            readNumber(key, value, 1, 255, stick.inputReportLength);
        else if (name == "outputreportlength")
            readNumber(key, value, 1, 255, stick.outputReportLength);
        else if (name == "featurereportlength")
            readNumber(key, value, 0, 255, stick.featureReportLength);
        else if (name == "firmwareversion")
            readNumber(key, value, 0, 255, stick.firmwareVersion);
        else if (name == "receivedfirmwarebytes")
            readNumber(key, value, 0, 1'000'000, stick.receivedFirmwareBytes);
        else if (name == "receivedfirmwarecrc")
            readNumber(key, value, 0, 0xFFFF, stick.receivedFirmwareCrc);
        else if (name == "devicenumber") {
            if (!parseHexBytes(value, stick.deviceNumber))
                warn(std::string(key) + "=" + quoted(value) + " is not 4 bytes in hexadecimal; using " +
                     hexBytes(stick.deviceNumber, ""));
        } else
            unknownKey(key);
    }

    void readModuleValue(std::string_view key, std::string_view value) {
        if (lower(key) == "present")
            readBool(key, value, state_.module.present);
        else
            unknownKey(key);
    }

    void readFaultValue(std::string_view key, std::string_view value) {
        const std::string name = lower(key);
        SimFaults& faults = state_.faults;
        if (name == "noanswer")
            readBool(key, value, faults.noAnswer);
        else if (name == "noanswerafter")
            readNumber(key, value, -1, 1'000'000'000, faults.noAnswerAfter);
        else if (name == "loseanswersafter")
            readNumber(key, value, -1, 1'000'000'000, faults.loseAnswersAfter);
        else if (name == "confirmstatus")
            readNumber(key, value, 0, 255, faults.confirmStatus);
        else if (name == "confirmaddressoffset")
            readNumber(key, value, -65535, 65535, faults.confirmAddressOffset);
        else if (name == "confirmfaultaddress")
            readNumber(key, value, -1, 0xFFFF, faults.confirmFaultAddress);
        else if (name == "delayperreportms")
            readNumber(key, value, 0, 60'000, faults.delayPerReportMs);
        else if (name == "refuseblockaddress")
            readNumber(key, value, -1, 0xFFFF, faults.refuseBlockAddress);
        else if (name == "storediffersaddress")
            readNumber(key, value, -1, 0xFFFF, faults.storeDiffersAddress);
        else if (name == "refusewrites")
            readNumber(key, value, 0, 1'000'000, faults.refuseWrites);
        else if (name == "badreadcrc")
            readNumber(key, value, 0, 1'000'000, faults.badReadCrc);
        else if (name == "refusefirmwareframe")
            readNumber(key, value, 0, 1'000'000, faults.refuseFirmwareFrame);
        else if (name == "unplugafter")
            readNumber(key, value, -1, 1'000'000'000, faults.unplugAfter);
        else if (name == "strayanswerframe")
            readNumber(key, value, 0, 1'000'000'000, faults.strayAnswerFrame);
        else if (name == "strayanswercode")
            readNumber(key, value, 0, 255, faults.strayAnswerCode);
        else if (name == "strayanswerfirst")
            readBool(key, value, faults.strayAnswerFirst);
        else if (name == "lateanswerframe")
            readNumber(key, value, 0, 1'000'000'000, faults.lateAnswerFrame);
        else if (name == "lateanswerms")
            readNumber(key, value, 0, 60'000, faults.lateAnswerMs);
        else if (name == "reidentifyms")
            readNumber(key, value, 0, 60'000, faults.reidentifyMs);
        else if (name == "stickstorediffersbyte")
            readNumber(key, value, -1, 255, faults.stickStoreDiffersByte);
        else
            unknownKey(key);
    }

    template <std::size_t N>
    void readRow(std::string_view key, std::string_view value, std::array<std::uint8_t, N>& memory) {
        long long address = 0;
        std::string_view digits = key;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
            digits.remove_prefix(2);
        const bool hexOnly =
            !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return hexDigit(c) >= 0; });
        if (!hexOnly || !parseInteger("0x" + std::string(digits), 0, N - kRowLength, address) ||
            address % kRowLength != 0) {
            warn("row address " + quoted(key) + " is not a multiple of 16 from 0 to " + hex(N - kRowLength, 2) +
                 "; row ignored");
            return;
        }
        std::span<std::uint8_t> row(memory.data() + address, kRowLength);
        if (!parseHexBytes(value, row))
            warn("row " + quoted(key) + " does not hold 16 bytes in hexadecimal; row ignored");
    }

    SimState state_;
    Section section_ = Section::None;
    bool sawStick_ = false;
    std::size_t line_ = 0;
    std::vector<std::string> warnings_;
    std::size_t droppedWarnings_ = 0;
};

} // namespace

SimState SimState::withModule() {
    return SimState();
}

SimState SimState::stickAlone() {
    SimState state;
    state.module.present = false;
    return state;
}

SimState SimState::noStick() {
    SimState state;
    state.stick.present = false;
    return state;
}

void SimState::setModuleBytes(std::uint16_t address, std::span<const std::uint8_t> bytes) {
    const std::size_t count = std::min(bytes.size(), kSimModuleMemorySize - address);
    std::copy_n(bytes.begin(), count, module.memory.begin() + address);
}

std::string SimState::toText() const {
    const auto yesNo = [](bool value) { return value ? "true" : "false"; };
    std::string text;
    text.reserve(4096);
    text += "# Lumeq Config simulated stick and module (LUMEQ_SIMULATOR). Edit freely: a value that\n"
            "# cannot be read keeps its default. Memory rows: address=16 bytes in hexadecimal.\n\n";
    text += "[Stick]\n";
    text += "Present=" + std::string(yesNo(stick.present)) + "\n";
    text += "InputReportLength=" + std::to_string(stick.inputReportLength) + "\n";
    text += "OutputReportLength=" + std::to_string(stick.outputReportLength) + "\n";
    text += "FeatureReportLength=" + std::to_string(stick.featureReportLength) + "\n";
    text += "DeviceNumber=" + hexBytes(stick.deviceNumber, "") + "\n";
    text += "# 255: the stick reports no firmware version\n";
    text += "FirmwareVersion=" + std::to_string(stick.firmwareVersion) + "\n";
    text += "# What the last firmware update delivered: bytes received and their CRC-16\n";
    text += "ReceivedFirmwareBytes=" + std::to_string(stick.receivedFirmwareBytes) + "\n";
    text += "ReceivedFirmwareCrc=0x" + hex(stick.receivedFirmwareCrc, 4) + "\n\n";

    text += "[Module]\n";
    text += "Present=" + std::string(yesNo(module.present)) + "\n\n";

    text += "[Faults]\n";
    text += "NoAnswer=" + std::string(yesNo(faults.noAnswer)) + "\n";
    text += "# Output reports before the devices fall silent (-1: never)\n";
    text += "NoAnswerAfter=" + std::to_string(faults.noAnswerAfter) + "\n";
    text += "# -1: no answer is lost\n";
    text += "LoseAnswersAfter=" + std::to_string(faults.loseAnswersAfter) + "\n";
    text += "ConfirmStatus=" + std::to_string(faults.confirmStatus) + "\n";
    text += "ConfirmAddressOffset=" + std::to_string(faults.confirmAddressOffset) + "\n";
    text += "# The block whose confirmation the two faults above change (-1: every block)\n";
    text += "ConfirmFaultAddress=" + std::to_string(faults.confirmFaultAddress) + "\n";
    text += "DelayPerReportMs=" + std::to_string(faults.delayPerReportMs) + "\n";
    text += "# Module: the block written at this address is refused (-1: none)\n";
    text += "RefuseBlockAddress=" + std::to_string(faults.refuseBlockAddress) + "\n";
    text += "# Module: the block written at this address is confirmed but kept with byte 2 inverted (-1: none)\n";
    text += "StoreDiffersAddress=" + std::to_string(faults.storeDiffersAddress) + "\n";
    text += "# Stick alone: refused write frames, read answers with a wrong CRC, the refused firmware frame\n";
    text += "# (0: none), output reports before the stick is unplugged (-1: never)\n";
    text += "RefuseWrites=" + std::to_string(faults.refuseWrites) + "\n";
    text += "BadReadCrc=" + std::to_string(faults.badReadCrc) + "\n";
    text += "RefuseFirmwareFrame=" + std::to_string(faults.refuseFirmwareFrame) + "\n";
    text += "UnplugAfter=" + std::to_string(faults.unplugAfter) + "\n";
    text += "# Stick alone: the stick frame (0: none) that also gets the answer B2 StrayAnswerCode, before the\n";
    text += "# real one (StrayAnswerFirst) or after it\n";
    text += "StrayAnswerFrame=" + std::to_string(faults.strayAnswerFrame) + "\n";
    text += "StrayAnswerCode=0x" + hex(static_cast<unsigned>(faults.strayAnswerCode), 2) + "\n";
    text += "StrayAnswerFirst=" + std::string(yesNo(faults.strayAnswerFirst)) + "\n";
    text += "# Stick alone: the stick frame (0: none) whose answer comes LateAnswerMs late\n";
    text += "LateAnswerFrame=" + std::to_string(faults.lateAnswerFrame) + "\n";
    text += "LateAnswerMs=" + std::to_string(faults.lateAnswerMs) + "\n";
    text += "# Stick alone: after a lost answer or while one is late, B2 5F every this many ms (0: never)\n";
    text += "ReidentifyMs=" + std::to_string(faults.reidentifyMs) + "\n";
    text += "# Stick alone: the memory byte kept inverted by every write frame that carries it (-1: none)\n";
    text += "StickStoreDiffersByte=" + std::to_string(faults.stickStoreDiffersByte) + "\n\n";

    text += "[StickMemory]\n";
    for (std::size_t address = 0; address < kSimStickMemorySize; address += kRowLength)
        text += hex(static_cast<unsigned>(address), 2) + "=" +
                hexBytes(std::span(stick.memory).subspan(address, kRowLength), " ") + "\n";

    text += "\n[ModuleMemory]\n# Rows not listed hold FF.\n";
    for (std::size_t address = 0; address < kSimModuleMemorySize; address += kRowLength) {
        const auto row = std::span(module.memory).subspan(address, kRowLength);
        if (std::any_of(row.begin(), row.end(), [](std::uint8_t byte) { return byte != 0xFF; }))
            text += hex(static_cast<unsigned>(address), 4) + "=" + hexBytes(row, " ") + "\n";
    }
    return text;
}

SimStateLoad SimState::fromText(std::string_view text) {
    return StateReader().read(text);
}

SimStateLoad SimState::load(const std::string& path) {
    SimStateLoad result;
    const FileBytes file = readNativeFile(path, static_cast<std::size_t>(kMaxStateFileSize) + 1);
    if (file.missing) {
        result.error = "no simulator state file " + path;
        return result;
    }
    if (!file.ok) {
        result.error = "cannot read " + file.error;
        return result;
    }
    if (file.bytes.size() > static_cast<std::size_t>(kMaxStateFileSize)) {
        result.error = path + " is too large for a simulator state file";
        return result;
    }
    result = fromText(file.bytes);
    if (!result.error.empty())
        result.error = path + ": " + result.error;
    return result;
}

bool SimState::save(const std::string& path, std::string* error) const {
    // The file is replaced through QSaveFile, which names files in UTF-8 only: a name in other bytes
    // would be written as another file.
    const QString fileName = decodeNative(path);
    if (!isPlainText(fileName)) {
        if (error != nullptr)
            *error = "cannot write " + path + ": a file to be written needs a name in UTF-8";
        return false;
    }
    QSaveFile file(fileName);
    const std::string text = toText();
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
        if (error != nullptr)
            *error = "cannot write " + path + ": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace lumeq
