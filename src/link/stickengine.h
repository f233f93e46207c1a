#pragma once
// Stick mode: the stick answers by itself and the program talks to its 256-byte device memory (bytes
// 0..127 a configuration image, 247..254 an operating log) and its firmware, with stick frames.
//
// StickEngine is the whole exchange as a state machine without clocks or widgets: it takes one answer at a
// time (feed) or one of the user's actions (reread, store, startFirmwareUpdate) and says what follows:
// the frames to send, the debug lines, and what the window shows (StickEffects). The window, the command
// line and the benchmarks run the same engine; none of them waits on a timer tick for an answer.
//
// States (stickState): 0 waiting for the identification, 1 identified (reading or idle), 2 writing the
// device memory, 3..5 firmware update in phase 1..3 of a record.
//
// - Identification B2 5F: stickId is taken; in state 0 the engine goes to state 1 and, after a pause of
//   kIdentificationPauseMs, reads the memory from address 0: 26 bytes a frame, 22 for the last one.
// - B2 52 read data: checked (CRC), stored, the next read sent; the answer that reaches address 255 ends
//   the read: the identity caption ("USB Stick, Device Nr. XXXXXXXX, FW 1.N" and "            Ready..."),
//   the firmware question, the log, the memory dump, a redraw, the buttons.
// - store(): ten write memory frames (bytes 0..249, 25 each), then ten write EE frames (bytes 0..119, 12
//   each); each goes out when the one before was accepted; a refused frame is sent again up to five times.
// - startFirmwareUpdate(): the image in records of 72 bytes, each in three frames (26, 26, 20 bytes);
//   B2 58 asks for the next phase, B2 5A for the next record; B2 59 / B2 5B stop the update with a beep.
//
// Where the program used to stall, the engine ends: a read answer whose CRC fails is asked for again, up
// to five times, then the read ends with "Read Error"; firmware answers that come outside an update change
// nothing; a lost stick ends what was going on.

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

// ---- What one step asks for ----

struct StickEffects {
    // Wait this long before sending `frames` (the pause after the identification); the engine takes no
    // answer meanwhile.
    int pauseMs = 0;
    std::vector<StickFrame> frames;      // to send, in this order
    std::vector<std::string> debugLines; // for the debug memo, in order ("Send: ..." with each frame)

    enum class Caption { Keep, Set, Append };
    Caption captionChange = Caption::Keep;
    std::string caption;

    // Ask this question (Yes/No); a Yes starts the firmware update once everything else is shown.
    std::optional<std::string> firmwareQuestion;
    // The log: shown with these texts, or hidden (an empty optional inside).
    std::optional<std::optional<StickLogTexts>> log;
    bool redraw = false; // the configuration (bytes 0..127) changed as a whole

    enum class Buttons { Keep, Show, Hide };
    Buttons buttons = Buttons::Keep;
    std::optional<bool> formDisabled;
    bool normalCursor = false;

    // The progress bar of the firmware update.
    std::optional<bool> progressShown;
    std::optional<int> progressMaximum;
    std::optional<int> progressPosition;

    bool beep = false;
    std::optional<std::string> message; // a message box

    // What the step ended, for callers that wait for it (the command line).
    bool readComplete = false;
    bool readFailed = false;
    bool writeComplete = false;
    bool writeFailed = false;
    bool firmwareComplete = false;
    bool firmwareFailed = false;
    bool identified = false;
};

// ---- The engine ----

class StickEngine {
public:
    struct Options {
        bool skipFW = false;  // never ask the firmware question
        bool showLog = false; // show the operating log (firmware 1.72 and later)
        // The version of the built-in firmware image; no value when the program carries none (then the
        // question is never asked).
        std::optional<std::uint8_t> embeddedFwVersion;
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
    // ReRead: in state 1 only; reads the memory afresh from address 0.
    StickEffects reread();
    // Transfer (storeUSBStick): writes the device memory, whatever the state.
    StickEffects store();
    // Update FW: sends `length` bytes of `image` (the 12288-byte buffer, 0xFF where the container did not
    // fill it) in records of 72 bytes.
    StickEffects startFirmwareUpdate(std::span<const std::uint8_t> image, std::size_t length);
    // The stick was unplugged: whatever was going on ends.
    StickEffects stickLost();
    // The stick did not answer in time: whatever was going on ends as when it is lost, with its own message.
    StickEffects answerMissing();
    // A read, a write or a firmware update waits for the stick's next answer.
    bool awaitingAnswer() const { return reading_ || stickState_ == 2 || (stickState_ >= 3 && !updateStopped_); }

    int stickState() const { return stickState_; }
    int stickAddr() const { return stickAddr_; }
    int retryCount() const { return retryCount_; }
    int readRetries() const { return readRetries_; }
    const StickId& stickId() const { return stickId_; }
    bool identified() const { return identified_; }
    int stickFwVersion() const { return stickFwVersion_; }
    bool reading() const { return reading_; }
    int progressPosition() const { return progressPosition_; }
    int progressMaximum() const { return progressMaximum_; }

private:
    void send(StickEffects& effects, const StickFrame& frame);
    void sendRead(StickEffects& effects);
    void sendWriteMemory(StickEffects& effects);
    void sendWriteEe(StickEffects& effects);
    void sendFirmwarePart(StickEffects& effects);
    void onIdentification(std::span<const std::uint8_t> report, StickEffects& effects);
    void onReadData(std::span<const std::uint8_t> report, StickEffects& effects);
    void readComplete(StickEffects& effects);
    void readFailed(StickEffects& effects);
    void writeComplete(StickEffects& effects);
    void writeFailed(StickEffects& effects);
    void onRefusedWrite(bool ee, StickEffects& effects);
    void onFirmwareAnswer(std::uint8_t code, StickEffects& effects);
    void ensureMemorySize();
    StickEffects endExchange(std::string message);

    Image& memory_;
    Options options_;
    int stickState_ = 0;
    bool updateStopped_ = false; // a refused firmware frame stopped the update (the state stays where it was)
    int stickAddr_ = 0;
    int retryCount_ = 0;
    int readRetries_ = 0;
    bool reading_ = false; // a read of the memory waits for its answers
    bool identified_ = false;
    StickId stickId_{};
    int stickFwVersion_ = 0;
    std::vector<std::uint8_t> firmware_; // the image being sent
    int progressPosition_ = 0;
    int progressMaximum_ = 0;
};

// ---- Driving the engine without a window ----

class StickAccess;

// What ended a drive.
enum class StickDriveEnd {
    Done,     // `done` said so
    NoAnswer, // no answer came for the whole time-out
    Lost,     // the stick is gone
};

// For the command line and benchmarks: carries out `first` (its pause slept, its frames sent), then feeds
// every answer the moment it arrives (waiting on the device) and carries out what the engine asks, until
// `done` accepts the effects of a step. `seen` is told every step's effects (progress, debug lines).
// `answerTimeoutMs` is how long it waits for any one answer. Frames go out from a report buffer of
// `outReportLength` bytes; answers come in buffers of `inReportLength`.
StickDriveEnd driveStick(StickAccess& stick, StickEngine& engine, const StickEffects& first, std::size_t inReportLength,
                         std::size_t outReportLength, int answerTimeoutMs,
                         const std::function<bool(const StickEffects&)>& done,
                         const std::function<void(const StickEffects&)>& seen = {});

} // namespace lumeq
