// Block reception fed report by report: the whole read of start-up (control block, then every filled
// slot) as ModuleReadSequence runs it, with the module's reports and the ends of the wait passes taken
// from the input. The first byte sets the time-out (0..3 passes per block, so that running out of time is
// reached too); the rest is cut into chunks (fuzztarget.h):
//   kind 0  a report of exactly the chunk's bytes (a short report counts as padded with zeros)
//   kind 1  a report in a 64-byte buffer, as the report pump hands it over (zeros after the bytes)
//   kind 2  the end of a wait pass
//   kind 3  the end of (number + 1) wait passes

#include "fuzztarget.h"

#include "link/blockreader.h"

#include <algorithm>

using namespace lumeq;

namespace {

constexpr std::size_t kReportBuffer = 64;

struct Run {
    ModuleReadSequence& sequence;
    int requests = 1; // the control-block request from start()
    int lastPass;

    void follow(const ModuleReadSequence::Step& step) {
        const BlockReader& reader = sequence.reader();
        FUZZ_CHECK(reader.countdown() >= 0 && reader.countdown() <= static_cast<int>(kBlockReports));
        FUZZ_CHECK(!reader.blockComplete() || !reader.running());
        FUZZ_CHECK(!(reader.controlFlag() && reader.dataFlag()));
        FUZZ_CHECK(step.pass >= 0 && step.pass <= lastPass + 1);
        FUZZ_CHECK(step.finished == sequence.finished());
        const int slot = sequence.slotBeingRead();
        FUZZ_CHECK(slot >= 0 && slot <= kSlotCount);
        if (step.request.empty())
            return;
        // Each request reads the block of the next filled slot, in slot order, once.
        ++requests;
        FUZZ_CHECK(requests <= 1 + kSlotCount);
        FUZZ_CHECK(!step.finished && slot >= 1);
        const TMemory& memory = sequence.contents().directory.memorySlots[static_cast<std::size_t>(slot - 1)];
        FUZZ_CHECK(!memory.mEmpty);
        FUZZ_CHECK(step.request == readBlockFrame(memory.mAddress));
        FUZZ_CHECK(reader.running() && reader.dataFlag() && !reader.blockComplete());
    }
};

} // namespace

LUMEQ_FUZZ_TARGET(blockreader) {
    if (input.empty())
        return;
    const int lastPass = input[0] & 3;
    ModuleReadSequence sequence(lastPass);
    FUZZ_CHECK(sequence.start() == readBlockFrame(kControlBlockAddress));
    FUZZ_CHECK(sequence.reader().running() && sequence.reader().controlFlag());
    Run run{sequence, 1, lastPass};

    fuzz::Chunks chunks(input.subspan(1), 0b0011);
    fuzz::Chunks::Chunk chunk;
    while (chunks.next(chunk)) {
        switch (chunk.kind) {
        case 0:
            sequence.reader().receive(chunk.bytes);
            run.follow(sequence.afterReport());
            break;
        case 1: {
            Bytes buffer(kReportBuffer, 0x00);
            std::copy(chunk.bytes.begin(), chunk.bytes.end(), buffer.begin());
            sequence.reader().receive(buffer);
            run.follow(sequence.afterReport());
            break;
        }
        case 2:
            run.follow(sequence.endOfPass());
            break;
        default:
            for (int i = 0; i <= chunk.number; ++i)
                run.follow(sequence.endOfPass());
            break;
        }
    }

    // Whatever came, the read ends in time: at most lastPass + 1 passes for each of the five blocks.
    for (int pass = 0; pass < (1 + kSlotCount) * (lastPass + 1) && !sequence.finished(); ++pass)
        run.follow(sequence.endOfPass());
    FUZZ_CHECK(sequence.finished());

    const ModuleContents& contents = sequence.contents();
    switch (contents.outcome) {
    case ModuleReadOutcome::Reading:
        FUZZ_CHECK(false);
        break;
    case ModuleReadOutcome::Module: {
        FUZZ_CHECK(contents.controlBlockRead && !contents.controlBlockShort);
        const ModuleDirectory parsed = parseControlBlock(contents.controlBlock);
        for (std::size_t n = 0; n < parsed.memorySlots.size(); ++n) {
            const TMemory& slot = contents.directory.memorySlots[n];
            FUZZ_CHECK(slot.mEmpty == parsed.memorySlots[n].mEmpty && slot.mAddress == parsed.memorySlots[n].mAddress &&
                       slot.mLength == parsed.memorySlots[n].mLength && slot.mString == parsed.memorySlots[n].mString);
            if (slot.mEmpty)
                FUZZ_CHECK(!slot.unreadable);
        }
        FUZZ_CHECK(run.requests == 1 + std::count_if(parsed.memorySlots.begin(), parsed.memorySlots.end(),
                                                     [](const TMemory& slot) { return !slot.mEmpty; }));
        break;
    }
    case ModuleReadOutcome::StickAlone:
        FUZZ_CHECK(!contents.controlBlockRead && run.requests == 1);
        break;
    case ModuleReadOutcome::NoAnswer:
        FUZZ_CHECK(!contents.controlBlockRead && run.requests == 1);
        for (const TMemory& slot : contents.directory.memorySlots)
            FUZZ_CHECK(slot.unreadable);
        break;
    }
    FUZZ_CHECK(!sequence.reader().running());
}
