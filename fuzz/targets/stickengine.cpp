// The stick-mode engine fed answer by answer, with the user's actions in between, as the window and the
// command line drive it. The first byte sets the options (bit 0 skipFW, bit 1 showLog, bits 2..7 the
// built-in firmware version 60 + N, none for 0); the rest is cut into chunks (fuzztarget.h):
//   kind 0  an answer of exactly the chunk's bytes
//   kind 1  an answer in a 64-byte buffer, as the program reads it (zeros after the bytes)
//   kind 2  an action, by the chunk's number N: N % 5 = 0 ReRead, 1 Transfer, 2 Update FW (of
//           1 + 1000 * (N / 5) bytes, at most 12288), 3 stick unplugged, 4 no answer in time
//   kind 3  a read-data answer B2 52 for the address the engine reads next, with a CRC that holds and
//           the chunk's bytes as data (0xFF after them): the way past the checksum to a complete read

#include "fuzztarget.h"

#include "link/stickengine.h"
#include "model/crc16.h"

#include <algorithm>

using namespace lumeq;

namespace {

constexpr std::size_t kReportBuffer = 64;
constexpr std::size_t kLongestStickFrame = 33;

void checkStep(const StickEngine& engine, const StickEffects& effects, const Image& memory) {
    FUZZ_CHECK(engine.stickState() >= 0 && engine.stickState() <= 5);
    FUZZ_CHECK(engine.readRetries() >= 0 && engine.readRetries() <= kStickFrameRepeats);
    FUZZ_CHECK(engine.retryCount() >= 0 && engine.retryCount() <= kStickFrameRepeats + 1);
    FUZZ_CHECK(engine.progressPosition() >= 0 && engine.progressPosition() <= engine.progressMaximum());
    if (engine.reading() || engine.stickState() == 2) // the address of the next read or write
        FUZZ_CHECK(engine.stickAddr() >= 0 && engine.stickAddr() < static_cast<int>(kStickMemorySize));
    if (engine.reading())
        FUZZ_CHECK(memory.size() >= kStickMemorySize);
    FUZZ_CHECK(effects.pauseMs >= 0);

    Bytes buffer;
    for (const StickFrame& frame : effects.frames) {
        const Bytes& bytes = frame.bytes;
        FUZZ_CHECK(bytes.size() >= 3 && bytes.size() <= kLongestStickFrame);
        FUZZ_CHECK(bytes[0] == 0xCA && bytes[1] == 0xC5);
        if (bytes[2] == kStickReadMemory)
            FUZZ_CHECK(bytes.size() == 5 && bytes[4] > 0 && bytes[3] + bytes[4] <= static_cast<int>(kStickMemorySize));
        placeFrame(buffer, bytes, kReportBuffer);
        FUZZ_CHECK(buffer.size() == kReportBuffer && std::equal(bytes.begin(), bytes.end(), buffer.begin()));
    }
    for (const std::string& line : effects.debugLines)
        FUZZ_CHECK(!line.empty());
    if (effects.captionChange != StickEffects::Caption::Keep)
        FUZZ_CHECK(!effects.caption.empty());
    if (effects.readComplete) {
        FUZZ_CHECK(!engine.reading() && !effects.readFailed && effects.redraw);
        FUZZ_CHECK(effects.debugLines.size() >= 18);
    }
    FUZZ_CHECK(!(effects.writeComplete && effects.writeFailed));
    FUZZ_CHECK(!(effects.firmwareComplete && effects.firmwareFailed));
    if (effects.progressPosition && effects.progressMaximum)
        FUZZ_CHECK(*effects.progressPosition <= *effects.progressMaximum);
}

} // namespace

LUMEQ_FUZZ_TARGET(stickengine) {
    if (input.empty())
        return;
    StickEngine::Options options;
    options.skipFW = (input[0] & 1) != 0;
    options.showLog = (input[0] & 2) != 0;
    if (input[0] >> 2)
        options.embeddedFwVersion = static_cast<std::uint8_t>(60 + (input[0] >> 2));
    options.identificationPauseMs = 0;

    Image memory(kDefaultImage.begin(), kDefaultImage.end()); // the working image before stick mode
    StickEngine engine(memory, options);
    static const std::vector<std::uint8_t> firmware(kFirmwareImageSize, 0x5A);

    fuzz::Chunks chunks(input.subspan(1), 0b1011);
    fuzz::Chunks::Chunk chunk;
    while (chunks.next(chunk)) {
        StickEffects effects;
        switch (chunk.kind) {
        case 0:
            effects = engine.feed(chunk.bytes);
            break;
        case 1: {
            Bytes buffer(kReportBuffer, 0x00);
            std::copy(chunk.bytes.begin(), chunk.bytes.end(), buffer.begin());
            effects = engine.feed(buffer);
            break;
        }
        case 2:
            switch (chunk.number % 5) {
            case 0:
                effects = engine.reread();
                break;
            case 1:
                effects = engine.store();
                break;
            case 2: {
                const std::size_t length = std::min<std::size_t>(1 + 1000 * (chunk.number / 5), kFirmwareImageSize);
                effects = engine.startFirmwareUpdate(firmware, length);
                FUZZ_CHECK(engine.progressMaximum() == static_cast<int>(firmwareRecordCount(length)));
                FUZZ_CHECK(engine.awaitingAnswer());
                break;
            }
            default:
                // Unplugged, or silent for too long: whatever was going on ends, with a message.
                effects = chunk.number % 5 == 3 ? engine.stickLost() : engine.answerMissing();
                FUZZ_CHECK(effects.message.has_value());
                FUZZ_CHECK(!engine.awaitingAnswer() && !engine.reading() && engine.stickState() < 2);
                break;
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
            effects = engine.feed(answer);
            if (wasReading) {
                // Taken as it came: the bytes are in the memory, and the read goes on or is complete.
                FUZZ_CHECK(std::equal(answer.begin() + 6, answer.end(), memory.begin() + address));
                FUZZ_CHECK(effects.readComplete || (effects.frames.size() == 1 && engine.reading()));
                FUZZ_CHECK(engine.readRetries() == 0);
            }
            break;
        }
        }
        checkStep(engine, effects, memory);
    }
}
