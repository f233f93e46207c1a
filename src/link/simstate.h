#pragma once
// The state of a simulated stick and the module behind it, kept in a plain text file so that it
// survives the program's self-restart and a person can read and edit it. LUMEQ_SIMULATOR names the
// file; SimulatedStick reads it whenever the program looks for the stick.
//
// The file is INI-like text:
//
//   [Stick]          Present, InputReportLength, OutputReportLength, FeatureReportLength,
//                    DeviceNumber (8 hex digits), FirmwareVersion (0..255; 255: the stick reports none),
//                    ReceivedFirmwareBytes, ReceivedFirmwareCrc (what the last firmware update delivered)
//   [Module]         Present
//   [Faults]         NoAnswer, NoAnswerAfter, LoseAnswersAfter, ConfirmStatus, ConfirmAddressOffset,
//                    ConfirmFaultAddress, DelayPerReportMs, RefuseBlockAddress, StoreDiffersAddress, RefuseWrites, BadReadCrc,
//                    RefuseFirmwareFrame, UnplugAfter, StrayAnswerFrame, StrayAnswerCode, StrayAnswerFirst,
//                    LateAnswerFrame, LateAnswerMs, ReidentifyMs, StickStoreDiffersByte
//   [StickMemory]    rows "00=FF FF ..." of 16 bytes, addresses 00 to F0
//   [ModuleMemory]   rows "FF80=8A 65 ..." of 16 bytes; rows not listed hold FF
//
// Names of sections and keys ignore letter case; '#' and ';' start comment lines; numbers are decimal
// or 0x-hexadecimal; Booleans are true/false, yes/no, on/off or 1/0. A value that cannot be read keeps
// its default and yields a warning. A file without a [Stick] section is not a state file.
//
// Report lengths default to 64 bytes in and out and no feature report: the module's frames and answers
// take 8 bytes, the stick's frames up to 33 and its answers up to 32, and 64 is the report size of a
// full-speed HID device. Lengths are limited to 1..255 (feature 0..255) because the program keeps
// only their low byte.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumeq {

constexpr std::size_t kSimModuleMemorySize = 65536;
constexpr std::size_t kSimStickMemorySize = 256;

namespace detail {
template <std::size_t N> constexpr std::array<std::uint8_t, N> filledWithFF() {
    std::array<std::uint8_t, N> bytes{};
    bytes.fill(0xFF);
    return bytes;
}
} // namespace detail

struct SimStick {
    bool present = true;
    int inputReportLength = 64;
    int outputReportLength = 64;
    int featureReportLength = 0;
    // Bytes 2 to 5 of the stick's identification answer.
    std::array<std::uint8_t, 4> deviceNumber{0x00, 0x00, 0x00, 0x01};
    // Byte 7 of the identification answer: the version reads 1.N; 0xFF when the stick reports none.
    std::uint8_t firmwareVersion = 0xFF;
    // The stick's device memory: configuration image in bytes 0 to 127, operating log in 247 to 254.
    std::array<std::uint8_t, kSimStickMemorySize> memory = detail::filledWithFF<kSimStickMemorySize>();
    // The firmware the last update sent (records of 72 bytes, as received) up to the reset frame: its
    // length and CRC-16. 0 and 0 before any update.
    int receivedFirmwareBytes = 0;
    std::uint16_t receivedFirmwareCrc = 0;

    bool operator==(const SimStick&) const = default;
};

struct SimModule {
    bool present = true;
    // The module's 64 KiB memory; a blank module holds 0xFF everywhere.
    std::array<std::uint8_t, kSimModuleMemorySize> memory = detail::filledWithFF<kSimModuleMemorySize>();

    bool operator==(const SimModule&) const = default;
};

// Misbehaviour the simulated devices can be told to show.
struct SimFaults {
    // Requests are taken but never answered.
    bool noAnswer = false;
    // The output reports after this many since the stick was found are taken but neither acted on nor
    // answered (the devices fall silent in the middle of an exchange); -1: never.
    int noAnswerAfter = -1;
    // After this many input reports since the stick was found, further answers are lost; -1: never.
    int loseAnswersAfter = -1;
    // Byte 4 of write confirmations: 1 means written.
    int confirmStatus = 1;
    // Added (modulo 65536) to the address a write confirmation names; 0 confirms the written address.
    int confirmAddressOffset = 0;
    // ConfirmStatus and ConfirmAddressOffset apply to the confirmation of the block at this address only
    // (for instance a firmware block, so that the slot's block before it goes through); -1: every block.
    int confirmFaultAddress = -1;
    // Each answer report becomes readable this many milliseconds after the one before.
    int delayPerReportMs = 0;
    // The module confirms the write of the block at this address with status 0 and does not store it
    // (for instance 0x0200, the first firmware block); -1: none.
    int refuseBlockAddress = -1;
    // The module confirms the write of the block at this address but keeps byte 2 of it inverted, so that
    // only reading the block back shows the fault; -1: none.
    int storeDiffersAddress = -1;
    // Stick alone: the first N write memory and write EE frames since the stick was found are refused
    // (B2 55, B2 57).
    int refuseWrites = 0;
    // Stick alone: the first N read memory answers since the stick was found carry a wrong CRC.
    int badReadCrc = 0;
    // Stick alone: the Nth firmware frame since the stick was found is refused (B2 59 in phases 1 and 2,
    // B2 5B in phase 3); 0: none.
    int refuseFirmwareFrame = 0;
    // After this many output reports since the stick was found the stick is unplugged: the state file
    // then says Present=false, nothing more is answered and the program reads that the stick is lost;
    // -1: never.
    int unplugAfter = -1;
    // Stick alone: the Nth stick frame since the stick was found (1: the first) also gets the answer B2 and
    // StrayAnswerCode, an answer that does not fit it, sent before the real one (StrayAnswerFirst) or after
    // it; 0: none.
    int strayAnswerFrame = 0;
    int strayAnswerCode = 0x56;
    bool strayAnswerFirst = true;
    // Stick alone: the answer to the Nth stick frame since the stick was found comes LateAnswerMs
    // milliseconds late (the answers after it wait behind it); 0: none.
    int lateAnswerFrame = 0;
    int lateAnswerMs = 0;
    // Stick alone: once an answer was lost (LoseAnswersAfter, NoAnswerAfter) or while one is late, the
    // stick identifies itself again (B2 5F) every this many milliseconds; 0: never.
    int reidentifyMs = 0;
    // Stick alone: this byte of the device memory is kept inverted whenever a write frame carries it (the
    // frame is accepted all the same), so that only reading the memory back shows it; -1: none.
    int stickStoreDiffersByte = -1;

    bool operator==(const SimFaults&) const = default;
};

struct SimStateLoad;

struct SimState {
    SimStick stick;
    SimModule module;
    SimFaults faults;

    // Ready-made states for tests and for "lumeq-cli sim": a stick with a blank module behind it, a
    // stick without a module (it answers by itself: stick mode), and no stick at all.
    static SimState withModule();
    static SimState stickAlone();
    static SimState noStick();

    // Copies bytes into module memory from the address on; bytes that would pass the end of the
    // 64 KiB are dropped.
    void setModuleBytes(std::uint16_t address, std::span<const std::uint8_t> bytes);

    std::string toText() const;
    static SimStateLoad fromText(std::string_view text);

    // Reads a state file. A missing, unreadable, oversized or binary file, or one that is not a state
    // file, gives no state and an error.
    static SimStateLoad load(const std::string& path);
    // Writes the state file atomically (a temporary file renamed over the old one). On failure the old
    // file stays as it was, the reason goes to `error` and the result is false.
    bool save(const std::string& path, std::string* error = nullptr) const;

    bool operator==(const SimState&) const = default;
};

struct SimStateLoad {
    std::optional<SimState> state;     // empty when there is no usable state file
    std::string error;                 // why there is no state
    std::vector<std::string> warnings; // values that could not be read and kept their defaults
};

} // namespace lumeq
