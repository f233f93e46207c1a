// The module's control block (the 128 bytes read from 0xFF80): slot and firmware descriptors parsed as
// start-up does, a slot descriptor filled in and a name cleared as Transfer and Default do, and the
// read-back comparison after a Transfer.

#include "fuzztarget.h"

#include "link/blockreader.h"
#include "link/blockwriter.h"
#include "link/slotrecords.h"

#include <algorithm>

using namespace lumeq;

namespace {

std::uint16_t word(const Block& block, std::size_t at) {
    return static_cast<std::uint16_t>(block[at] | block[at + 1] << 8);
}

// Characters of a UTF-8 text made only of U+0000..U+00FF (as slot names are); -1 when it is not that.
int latin1Characters(const std::string& text) {
    int count = 0;
    for (std::size_t i = 0; i < text.size(); ++i, ++count) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80)
            continue;
        if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= text.size() || (text[i + 1] & 0xC0) != 0x80)
            return -1;
        ++i;
    }
    return count;
}

void checkDirectory(const Block& block, const ModuleDirectory& directory) {
    for (int n = 0; n < kSlotCount; ++n) {
        const TMemory& slot = directory.memorySlots[static_cast<std::size_t>(n)];
        const std::size_t at = static_cast<std::size_t>(n) * kDirectoryEntrySize;
        const bool valid = block[at] == kEntryMark0 && block[at + 1] == kEntryMark1 && block[at + 2] == kSlotEntryKind;
        FUZZ_CHECK(slot.mEmpty == !valid);
        FUZZ_CHECK(!slot.unreadable);
        if (!valid) {
            FUZZ_CHECK(slot.mString.empty());
            continue;
        }
        FUZZ_CHECK(slot.mLength == word(block, at + 4));
        FUZZ_CHECK(slot.mAddress == static_cast<std::uint16_t>(kBlockSize * word(block, at + 6)));
        const auto name = std::span(block).subspan(at + kSlotNameOffset, kSlotNameLength);
        const auto end = std::find(name.begin(), name.end(), kNameEnd);
        FUZZ_CHECK(latin1Characters(slot.mString) == end - name.begin());
    }
    const std::size_t at = kFirmwareEntry * kDirectoryEntrySize;
    const bool firmware = block[at] == kEntryMark0 && block[at + 1] == kEntryMark1 && block[at + 2] == kFirmwareEntryKind;
    FUZZ_CHECK(directory.firmware.valid == firmware);
    if (firmware)
        FUZZ_CHECK(directory.firmware.version == block[at + 3] && directory.firmware.length == word(block, at + 4) &&
                   directory.firmware.firstBlock == word(block, at + 6));
}

} // namespace

LUMEQ_FUZZ_TARGET(controlblock) {
    Block block{}; // zeros where the input ends, as a block that arrived short
    std::copy_n(input.begin(), std::min(input.size(), kBlockSize), block.begin());
    const ModuleDirectory directory = parseControlBlock(block);
    checkDirectory(block, directory);
    FUZZ_CHECK(controlBlockDifferences(block, block).empty());

    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const TMemory& before = directory.memorySlots[static_cast<std::size_t>(slot - 1)];
        const std::size_t at = static_cast<std::size_t>(slot - 1) * kDirectoryEntrySize;

        // Transfer keeps the slot's name: the descriptor reads back filled in, with that name and blanks
        // after it, and nothing outside the descriptor changes.
        Block filled = block;
        fillSlotDescriptor(filled, slot, before.mString);
        const ModuleDirectory after = parseControlBlock(filled);
        checkDirectory(filled, after);
        const TMemory& written = after.memorySlots[static_cast<std::size_t>(slot - 1)];
        FUZZ_CHECK(!written.mEmpty && written.mLength == kSlotStreamLength && written.mAddress == slotAddress(slot));
        if (!before.mString.empty()) {
            std::string padded = before.mString;
            padded.append(static_cast<std::size_t>(8 - latin1Characters(before.mString)), ' ');
            FUZZ_CHECK(written.mString == padded);
        }
        for (std::size_t i = 0; i < kBlockSize; ++i)
            FUZZ_CHECK(filled[i] == block[i] || (i >= at && i < at + kDirectoryEntrySize));
        // The read-back check names what differs, and nothing when the block came back as written.
        FUZZ_CHECK(controlBlockDifferences(filled, block).empty() == (filled == block));
        FUZZ_CHECK(controlBlockDifferences(filled, filled).empty());

        // Default clears the name: it reads back empty.
        Block cleared = filled;
        clearSlotName(cleared, slot);
        FUZZ_CHECK(parseControlBlock(cleared).memorySlots[static_cast<std::size_t>(slot - 1)].mString.empty());
    }
    // Slots outside 1..4 change nothing.
    Block untouched = block;
    fillSlotDescriptor(untouched, 0, "x");
    fillSlotDescriptor(untouched, kSlotCount + 1, "x");
    clearSlotName(untouched, -1);
    FUZZ_CHECK(untouched == block);
}
