// The stick-mode engine fed answer by answer, with the user's actions in between, as the window and the
// command line drive it. The first byte gives the firmware question's settings (bit 0 skipFW, bits 2..7 the
// built-in firmware version 60 + N, none for 0); the rest is cut into chunks (fuzztarget.h):
//   kind 0  an answer of exactly the chunk's bytes
//   kind 1  an answer in a 64-byte buffer, as the program reads it (zeros after the bytes)
//   kind 2  an action, by the chunk's number N: N % 5 = 0 ReRead, 1 Transfer, 2 Update FW (of
//           1 + 1000 * (N / 5) bytes, at most 12288; N = 62: all 12288), 3 stick unplugged, 4 no answer in
//           time
//   kind 3  a read-data answer B2 52 for the address the engine reads next, with a CRC that holds and
//           the chunk's bytes as data (0xFF after them): the way past the checksum to a complete read
//
// Besides staying in range, every step is checked against what the engine promises: no write memory frame
// carries a byte past 249 and no write EE frame one past 119; no firmware frame takes bytes past the records
// that the update's length needs, nor image bytes past 12288 (beyond them it sends 0xFF); an answer that
// does not fit the frame in flight changes no state, address, retry count or record, and sends nothing.

#include "fuzztarget.h"

#include "link/stickengine.h"
#include "model/crc16.h"

#include <algorithm>

using namespace lumeq;

namespace {

constexpr std::size_t kReportBuffer = 64;
constexpr std::size_t kLongestStickFrame = 33;
constexpr std::uint8_t kImageByte = 0x5A;

// What an answer may change.
struct Snapshot {
    StickState state;
    int address, retries, readRetries, progress;
    bool reading, writingEe, memoryRead;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const StickEngine& engine) {
    return {engine.state(),         engine.stickAddr(), engine.retryCount(), engine.readRetries(),
            engine.progressPosition(), engine.reading(),  engine.writingEe(),  engine.memoryRead()};
}

// The answer code fits the frame in flight (B2 52 is judged by the engine's own address check).
bool fits(std::uint8_t code, const Snapshot& before) {
    switch (code) {
    case kStickMemoryWritten:
    case kStickMemoryRefused:
        return before.state == StickState::Writing && !before.writingEe;
    case kStickEeWritten:
    case kStickEeRefused:
        return before.state == StickState::Writing && before.writingEe;
    case kStickFirmwarePartAccepted:
    case kStickFirmwareRefused:
        return before.state == StickState::FirmwarePhase1 || before.state == StickState::FirmwarePhase2;
    case kStickFirmwareRecordDone:
    case kStickFirmwareRecordRefused:
        return before.state == StickState::FirmwarePhase3;
    case kStickReadData:
        return before.reading;
    default:
        return true; // the identification and B2 51 come unasked; other codes are only logged
    }
}

struct Update {
    std::size_t length = 0; // of the update going on (or last begun)
};

void checkFrames(const StickEngine& engine, const StickEffects& effects, const Update& update) {
    Bytes buffer;
    for (const StickFrame& frame : effects.frames) {
        const Bytes& bytes = frame.bytes;
        FUZZ_CHECK(bytes.size() >= 3 && bytes.size() <= kLongestStickFrame);
        FUZZ_CHECK(bytes[0] == 0xCA && bytes[1] == 0xC5);
        switch (bytes[2]) {
        case kStickReadMemory:
            FUZZ_CHECK(bytes.size() == 5 && bytes[4] > 0 && bytes[3] + bytes[4] <= static_cast<int>(kStickMemorySize));
            break;
        case kStickWriteMemory:
            FUZZ_CHECK(bytes.size() == 33 && bytes[6] == kStickMemoryWriteCount);
            FUZZ_CHECK(bytes[5] + kStickMemoryWriteCount <= kStickWriteEnd);
            break;
        case kStickWriteEe:
            FUZZ_CHECK(bytes.size() == 19 && bytes[6] == kStickEeWriteCount);
            FUZZ_CHECK(bytes[5] + kStickEeWriteCount <= kStickEeWriteEnd);
            break;
        case kStickFirmwarePart: {
            FUZZ_CHECK(bytes.size() == 32 && bytes[5] >= 1 && bytes[5] <= 3);
            const std::size_t count = bytes[5] == 3 ? kFirmwareLastPartSize : kFirmwarePartSize;
            // One firmware frame a step: the engine's address is just past its bytes.
            const std::size_t end = static_cast<std::size_t>(engine.stickAddr());
            FUZZ_CHECK(end >= count);
            FUZZ_CHECK(end <= firmwareRecordCount(update.length) * kFirmwareRecordSize);
            const std::size_t offset = end - count;
            for (std::size_t i = 0; i < count; ++i)
                FUZZ_CHECK(bytes[6 + i] == (offset + i < kFirmwareImageSize ? kImageByte : 0xFF));
            break;
        }
        default:
            FUZZ_CHECK(bytes.size() == 3 && bytes[2] == kStickReset);
            break;
        }
        placeFrame(buffer, bytes, kReportBuffer);
        FUZZ_CHECK(buffer.size() == kReportBuffer && std::equal(bytes.begin(), bytes.end(), buffer.begin()));
    }
}

void checkStep(const StickEngine& engine, const StickEffects& effects, const Image& memory, const Update& update,
               std::uint8_t settings) {
    FUZZ_CHECK(stickStateNumber(engine.state()) >= 0 && stickStateNumber(engine.state()) <= 5);
    FUZZ_CHECK(engine.readRetries() >= 0 && engine.readRetries() <= kStickFrameRepeats);
    FUZZ_CHECK(engine.retryCount() >= 0 && engine.retryCount() <= kStickFrameRepeats + 1);
    FUZZ_CHECK(engine.progressPosition() >= 0 && engine.progressPosition() <= engine.progressMaximum());
    if (engine.reading() || engine.state() == StickState::Writing) // the address of the next read or write
        FUZZ_CHECK(engine.stickAddr() >= 0 && engine.stickAddr() < static_cast<int>(kStickMemorySize));
    if (engine.reading())
        FUZZ_CHECK(memory.size() >= kStickMemorySize && !engine.memoryRead());
    FUZZ_CHECK(effects.pauseMs >= 0);
    checkFrames(engine, effects, update);
    for (const std::string& line : effects.debugLines)
        FUZZ_CHECK(!line.empty());
    if (effects.has(StickEvent::Kind::MemoryRead)) {
        FUZZ_CHECK(!engine.reading() && engine.memoryRead() && !effects.has(StickEvent::Kind::ReadFailed));
        FUZZ_CHECK(effects.debugLines.size() >= 18);
        std::optional<std::uint8_t> embedded;
        if (settings >> 2)
            embedded = static_cast<std::uint8_t>(60 + (settings >> 2));
        if (const auto offer = firmwareOffer(engine.stickId(), embedded, (settings & 1) != 0)) {
            FUZZ_CHECK(!offer->question.empty());
            FUZZ_CHECK(offer->older == (offer->detail.find("older") != std::string::npos));
        }
    }
    FUZZ_CHECK(!(effects.has(StickEvent::Kind::WriteDone) && effects.has(StickEvent::Kind::WriteFailed)));
    FUZZ_CHECK(!(effects.has(StickEvent::Kind::FirmwareDone) && effects.has(StickEvent::Kind::FirmwareStopped)));
    for (const StickEvent& event : effects.events)
        if (event.kind == StickEvent::Kind::FirmwareProgress || event.kind == StickEvent::Kind::FirmwareStarted)
            FUZZ_CHECK(event.done >= 0 && event.done <= event.total);
}

StickEffects feedChecked(StickEngine& engine, std::span<const std::uint8_t> report) {
    const Snapshot before = snapshot(engine);
    StickEffects effects = engine.feed(report);
    if (report.size() >= 2 && report[0] == kStickAnswerMark && !fits(report[1], before)) {
        // Not the answer awaited: ignored, with a line for the debug memo.
        FUZZ_CHECK(snapshot(engine) == before);
        FUZZ_CHECK(effects.frames.empty() && effects.events.empty() && effects.debugLines.size() == 1);
    }
    return effects;
}

} // namespace

LUMEQ_FUZZ_TARGET(stickengine) {
    if (input.empty())
        return;
    const std::uint8_t settings = input[0];
    StickEngine::Options options;
    options.identificationPauseMs = 0;

    Image memory(kDefaultImage.begin(), kDefaultImage.end()); // the working image before stick mode
    StickEngine engine(memory, options);
    static const std::vector<std::uint8_t> firmware(kFirmwareImageSize, kImageByte);
    Update update;

    fuzz::Chunks chunks(input.subspan(1), 0b1011);
    fuzz::Chunks::Chunk chunk;
    while (chunks.next(chunk)) {
        StickEffects effects;
        switch (chunk.kind) {
        case 0:
            effects = feedChecked(engine, chunk.bytes);
            break;
        case 1: {
            Bytes buffer(kReportBuffer, 0x00);
            std::copy(chunk.bytes.begin(), chunk.bytes.end(), buffer.begin());
            effects = feedChecked(engine, buffer);
            break;
        }
        case 2:
            switch (chunk.number % 5) {
            case 0:
                effects = engine.reread();
                break;
            case 1: {
                const bool held = engine.memoryRead();
                effects = engine.store();
                // Written only what was read completely.
                FUZZ_CHECK(held == !effects.frames.empty());
                FUZZ_CHECK(held == (engine.state() == StickState::Writing));
                break;
            }
            case 2: {
                const std::size_t length = chunk.number == 62
                                               ? kFirmwareImageSize
                                               : std::min<std::size_t>(1 + 1000 * (chunk.number / 5), kFirmwareImageSize);
                update.length = length;
                effects = engine.startFirmwareUpdate(firmware, length);
                FUZZ_CHECK(engine.progressMaximum() == static_cast<int>(firmwareRecordCount(length)));
                FUZZ_CHECK(engine.awaitingAnswer());
                break;
            }
            default: {
                // Unplugged, or silent for too long: whatever was going on ends.
                const bool awaiting = engine.awaitingAnswer();
                effects = chunk.number % 5 == 3 ? engine.stickLost() : engine.answerMissing();
                FUZZ_CHECK(awaiting == !effects.events.empty());
                FUZZ_CHECK(!engine.awaitingAnswer() && !engine.reading());
                FUZZ_CHECK(effects.frames.empty());
                break;
            }
            }
            break;
        default: {
            const auto address = static_cast<std::uint8_t>(engine.stickAddr());
            const std::uint8_t count = stickReadCount(address);
            Bytes answer = {kStickAnswerMark, kStickReadData, 0, 0, address, count};
            for (std::size_t i = 0; i < count; ++i)
                answer.push_back(i < chunk.bytes.size() ? chunk.bytes[i] : 0xFF);
            const std::uint16_t crc = crc16(std::span<const std::uint8_t>(answer).subspan(4));
            answer[2] = static_cast<std::uint8_t>(crc & 0xFF);
            answer[3] = static_cast<std::uint8_t>(crc >> 8);
            const bool wasReading = engine.reading();
            effects = feedChecked(engine, answer);
            if (wasReading) {
                // Taken as it came: the bytes are in the memory, and the read goes on or is complete.
                FUZZ_CHECK(std::equal(answer.begin() + 6, answer.end(), memory.begin() + address));
                FUZZ_CHECK(effects.has(StickEvent::Kind::MemoryRead) || (effects.frames.size() == 1 && engine.reading()));
                FUZZ_CHECK(engine.readRetries() == 0);
            }
            break;
        }
        }
        checkStep(engine, effects, memory, update, settings);
    }
}
