#pragma once
// Stick mode: the stick answers by itself and the program talks to its 256-byte device memory (bytes
// 0..127 a configuration image, 247..254 an operating log) and its firmware, with stick frames.
//
// StickEngine is the whole exchange as a state machine without clocks or widgets: it takes one answer at a
// time (feed) or one of the user's actions (reread, store, startFirmwareUpdate) and says what follows: the
// frames to send, the pause before them, the debug lines, and what happened (StickEvent). The window turns
// the events into its caption, buttons, cursor and progress bar; the command line into its own words. The
// window, the command line and the benchmarks run the same engine; none of them waits on a timer tick.
//
// States (StickState): waiting for the identification, identified (reading or idle), writing the device
// memory, firmware update in phase 1..3 of a record.
//
// - Identification B2 5F: stickId is taken; while waiting the engine becomes identified and, after a pause
//   of kIdentificationPauseMs, reads the memory from address 0: 26 bytes a frame, 22 for the last one.
// - B2 52 read data: checked (CRC), stored, the next read sent; the answer that reaches address 255 ends
//   the read (MemoryRead).
// - store(): ten write memory frames (bytes 0..249, 25 each), then ten write EE frames (bytes 0..119, 12
//   each); each goes out when the one before was accepted; a refused frame is sent again up to five times.
// - startFirmwareUpdate(): the image in records of 72 bytes, each in three frames (26, 26, 20 bytes);
//   B2 58 asks for the next phase, B2 5A for the next record; B2 59 / B2 5B end the update.
//
// The engine acts only on the answer that fits the frame in flight: B2 52 for the address being read,
// B2 54 / 55 to a write memory frame, B2 56 / 57 to a write EE frame, B2 58 / 59 to firmware phases 1
// and 2, B2 5A / 5B to phase 3. Any other answer is ignored with the debug line "Ignored: B2 NN" and moves
// no address, record or retry count. B2 5F and B2 51 come unasked and are always taken.
//
// Where the program used to stall, the engine ends: a read answer whose CRC fails is asked for again, up
// to five times, then the read fails; a lost stick or a missing answer ends what was going on. The memory
// is written only while it holds a complete read: after a read that failed or stopped half-way, store()
// refuses.

#include "link/frames.h"
#include "model/image.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumeq {

// ---- Device memory and its texts ----

constexpr std::size_t kStickLogFirst = 247;      // operating log: bytes 247..254
constexpr std::uint8_t kLogFirmwareVersion = 72; // the log exists from firmware 1.72 on
constexpr int kIdentificationPauseMs = 1000;     // after the identification, before the first read
constexpr int kStickAnswerTimeoutMs = 1000;      // a read, write or update waits this long for each answer
// How long the stick may take to identify itself: before the first read, and after a write, when it starts
// afresh.
constexpr int kStickIdentificationTimeoutMs = 5000;
constexpr int kStickFrameRepeats = 5;            // a refused frame is sent again up to five times
constexpr std::size_t kStickWriteEnd = 250;      // write memory frames cover bytes 0..249
constexpr std::size_t kStickEeWriteEnd = 120;    // write EE frames cover bytes 0..119
inline constexpr const char* kReadyText = "            Ready...";
inline constexpr const char* kTransferFinishedText = "->Transfer finished.";
inline constexpr const char* kTransferErrorText = "Transfer Error!";
inline constexpr const char* kReadErrorText = "Read Error";
inline constexpr const char* kFirmwareUpdateFinishedText = "->FW Update finished.";
inline constexpr const char* kStickCaption = "USB Stick";
inline constexpr const char* kStickNoAnswerMessage =
    "The stick did not answer. Check that it is plugged in and try again.";
inline constexpr const char* kStickReadErrorMessage =
    "The stick's memory could not be read: its answers kept failing their checksum. Try ReRead.";

// The texts of the four log labels: lOp, lSwCnt, lOverT, lMaxT.
struct StickLogTexts {
    std::string operation;       // bytes 247..249, minutes: "N min"
    std::string switchCount;     // bytes 250, 251: "N"
    std::string overTemperature; // bytes 252, 253, quarters of an hour: "15 * N min"
    std::string maxTemperature;  // byte 254: "N °C" (UTF-8)

    bool operator==(const StickLogTexts&) const = default;
};
// From the operating log of a device memory (bytes past its end count as 0xFF).
StickLogTexts stickLogTexts(std::span<const std::uint8_t> memory);

// What the window's log shows after a complete read: the texts when showLog is set and the stick's
// firmware keeps the log (1.72 and later), nothing (the log hidden) otherwise.
std::optional<StickLogTexts> stickLogToShow(std::span<const std::uint8_t> memory, int stickFwVersion, bool showLog);

// The numbers of the log.
struct StickLog {
    std::uint32_t operationMinutes = 0;
    std::uint16_t switchCount = 0;
    std::uint32_t overTemperatureMinutes = 0;
    std::uint8_t maxTemperature = 0;
};
StickLog stickLog(std::span<const std::uint8_t> memory);

// Bytes 2..7 of the identification: device number (4 bytes), one unused byte, firmware version N.
using StickId = std::array<std::uint8_t, 6>;

// "USB Stick, Device Nr. " and the four device-number bytes in hexadecimal, then ", FW 1.N", or ", FW ???"
// when the version byte is 0xFF.
std::string stickIdentityText(const StickId& id);

// The memory dump of the debug memo: a head line, 16 lines "00: XX XX ... XX " (each byte followed by a
// blank) for bytes 0..255, a foot line. Bytes past the end of `memory` show as FF.
std::vector<std::string> memoryDumpLines(std::span<const std::uint8_t> memory);

// The firmware question: the stick's version and the built-in one differ.
std::string firmwareQuestionText(int stickVersion, int embeddedVersion);

// Records of 72 bytes that `length` firmware bytes take (a partial record counts whole).
std::size_t firmwareRecordCount(std::size_t length);

// Default in stick mode: all 256 bytes of the device memory 0xFF, then the default image over bytes 0..127.
void defaultStickMemory(Image& memory);

// ---- Firmware versions ----

// The version byte of an identification (1.N) as a number to compare; 0xFF (none reported) is nothing.
std::optional<int> reportedFirmwareVersion(const StickId& id);
// An image of version `imageVersion` is older than the firmware the stick reports. A stick that reports
// no version is never downgraded.
bool firmwareIsOlder(const StickId& id, int imageVersion);
// The line that goes with a question (or a refusal) to install an older firmware: "The stick has firmware
// 1.72; updating would install the older version 1.50."
std::string firmwareDowngradeText(int stickVersion, int imageVersion);

// The question after a complete read: whether to ask it, its text, and whether it offers an older version
// (then No is the default answer and `detail` names both versions). Nothing when the versions agree,
// skipFW is set, or the program carries no image (`embeddedVersion` without a value).
struct FirmwareOffer {
    std::string question; // firmwareQuestionText
    bool older = false;
    std::string detail; // firmwareDowngradeText when older
};
std::optional<FirmwareOffer> firmwareOffer(const StickId& id, std::optional<std::uint8_t> embeddedVersion,
                                           bool skipFW);

// ---- What one step asks for ----

enum class StickState {
    Waiting,        // for the identification
    Identified,     // reading the memory, or idle
    Writing,        // the device memory
    FirmwarePhase1, // a firmware record: its first 26 bytes are out
    FirmwarePhase2, // the next 26
    FirmwarePhase3, // the last 20
};

// The state's number as the stick-mode table counts it: 0 waiting .. 5 firmware phase 3.
int stickStateNumber(StickState state);

// Why a read, a write or a firmware update ended without success.
enum class StickEnd {
    None,
    BadCrc,        // read answers kept failing their checksum
    Refused,       // a frame was refused six times in a row (write), or a firmware frame refused
    NoAnswer,      // the stick did not answer in time
    Lost,          // the stick was unplugged
    BackToWaiting, // the stick said B2 51: it waits to identify itself again
    NotRead,       // no complete read of the memory is held: nothing is written
    NoFirmware,    // an update of no bytes
};

struct StickEvent {
    enum class Kind {
        Identified,       // an identification was taken (readStarted: it began a read)
        MemoryRead,       // the read of the memory is complete
        ReadFailed,       // the read ended without all the memory (reason)
        WriteDone,        // the last write EE frame was accepted
        WriteFailed,      // the write ended (reason)
        FirmwareStarted,  // the update began: `total` records
        FirmwareProgress, // `done` of `total` records sent
        FirmwareDone,     // every record taken; the reset frame goes out
        FirmwareStopped,  // the update ended (reason)
        BackToWaiting,    // B2 51
    };
    Kind kind;
    StickEnd end = StickEnd::None; // why it ended, for the events that end something
    int done = 0;
    int total = 0;
    bool readStarted = false;

    bool operator==(const StickEvent&) const = default;
};

struct StickEffects {
    // Wait this long before sending `frames` (the pause after the identification); the engine takes no
    // answer meanwhile.
    int pauseMs = 0;
    std::vector<StickFrame> frames;      // to send, in this order
    std::vector<std::string> debugLines; // for the debug memo, in order ("Send: ..." with each frame)
    std::vector<StickEvent> events;      // what happened, in order

    // The first event of this kind; nothing when there is none.
    const StickEvent* find(StickEvent::Kind kind) const;
    bool has(StickEvent::Kind kind) const { return find(kind) != nullptr; }
};

// ---- The engine ----

class StickEngine {
public:
    struct Options {
        // The pause after the identification (tests shorten it).
        int identificationPauseMs = kIdentificationPauseMs;
    };

    // `memory` is the working image: it grows to 256 bytes at the identification and holds the device
    // memory from then on.
    StickEngine(Image& memory, Options options);

    void setOptions(const Options& options) { options_ = options; }
    const Options& options() const { return options_; }

    // One input report.
    StickEffects feed(std::span<const std::uint8_t> report);
    // ReRead: when identified, or while waiting after a read that failed; reads the memory afresh from
    // address 0. Nothing while a write or an update is going on.
    StickEffects reread();
    bool rereadAccepted() const;
    // Transfer (storeUSBStick): writes the device memory, when it holds a complete read (otherwise a
    // WriteFailed event, NotRead, and nothing is sent).
    StickEffects store();
    // Update FW: sends `length` bytes of `image` (the 12288-byte buffer, 0xFF where the container did not
    // fill it) in records of 72 bytes. Nothing beyond the 12288 bytes is taken from `image`.
    StickEffects startFirmwareUpdate(std::span<const std::uint8_t> image, std::size_t length);
    // The stick was unplugged: whatever was going on ends.
    StickEffects stickLost();
    // The stick did not answer in time: whatever was going on ends as when it is lost, with its own reason.
    StickEffects answerMissing();
    // A read, a write or a firmware update waits for the stick's next answer.
    bool awaitingAnswer() const { return reading_ || state_ == StickState::Writing || inFirmware(); }

    StickState state() const { return state_; }
    int stickAddr() const { return stickAddr_; }
    int retryCount() const { return retryCount_; }
    int readRetries() const { return readRetries_; }
    const StickId& stickId() const { return stickId_; }
    bool identified() const { return identified_; }
    int stickFwVersion() const { return stickFwVersion_; }
    bool reading() const { return reading_; }
    // The memory holds a complete read (or what was written since): store() may write it.
    bool memoryRead() const { return memoryRead_; }
    // The write has sent its write EE frames (false: write memory frames).
    bool writingEe() const { return writingEe_; }
    int progressPosition() const { return progressPosition_; }
    int progressMaximum() const { return progressMaximum_; }

private:
    bool inFirmware() const;
    int firmwarePhase() const;
    void send(StickEffects& effects, const StickFrame& frame);
    void startRead(StickEffects& effects);
    void sendRead(StickEffects& effects);
    void sendWriteMemory(StickEffects& effects);
    void sendWriteEe(StickEffects& effects);
    void sendFirmwarePart(StickEffects& effects);
    void ignore(std::uint8_t code, StickEffects& effects);
    void onIdentification(std::span<const std::uint8_t> report, StickEffects& effects);
    void onBackToWaiting(StickEffects& effects);
    void onReadData(std::span<const std::uint8_t> report, StickEffects& effects);
    void readComplete(StickEffects& effects);
    void readFailed(StickEnd reason, StickEffects& effects);
    void onAcceptedWrite(bool ee, StickEffects& effects);
    void onRefusedWrite(bool ee, StickEffects& effects);
    void writeFailed(StickEnd reason, StickEffects& effects);
    void onFirmwareAnswer(std::uint8_t code, StickEffects& effects);
    void firmwareStopped(StickEnd reason, StickEffects& effects);
    void ensureMemorySize();
    StickEffects endExchange(StickEnd reason);

    Image& memory_;
    Options options_;
    StickState state_ = StickState::Waiting;
    int stickAddr_ = 0;
    int retryCount_ = 0;
    int readRetries_ = 0;
    bool reading_ = false;    // a read of the memory waits for its answers
    bool memoryRead_ = false; // the last read completed
    bool writingEe_ = false;  // the write is in its write EE frames
    bool identified_ = false;
    StickId stickId_{};
    int stickFwVersion_ = 0;
    std::vector<std::uint8_t> firmware_; // the image being sent (at most 12288 bytes)
    int progressPosition_ = 0;
    int progressMaximum_ = 0;
};

// ---- Driving the engine without a window ----

class StickAccess;

// What ended a drive.
enum class StickDriveEnd {
    Done,     // `done` said so
    NoAnswer, // no answer to the request in flight came in time
    Lost,     // the stick is gone
};

// How long a drive waits: `answerMs` from each request sent for the answers to it; `firstMs` when the drive
// begins without sending anything (it waits for the stick's identification). Reports that do not answer
// the request (an identification, a late or stray answer) do not extend either limit.
struct StickDriveLimits {
    int firstMs = kStickIdentificationTimeoutMs;
    int answerMs = kStickAnswerTimeoutMs;
};

// For the command line and benchmarks: carries out `first` (its pause slept, its frames sent), then feeds
// every answer the moment it arrives (waiting on the device) and carries out what the engine asks, until
// `done` accepts the effects of a step. `seen` is told every step's effects, the ending ones included (a
// missing answer or a lost stick ends the engine's exchange, and those effects are seen too). Frames go
// out from a report buffer of `outReportLength` bytes; answers come in buffers of `inReportLength`.
StickDriveEnd driveStick(StickAccess& stick, StickEngine& engine, const StickEffects& first, std::size_t inReportLength,
                         std::size_t outReportLength, StickDriveLimits limits,
                         const std::function<bool(const StickEffects&)>& done,
                         const std::function<void(const StickEffects&)>& seen = {});

} // namespace lumeq
