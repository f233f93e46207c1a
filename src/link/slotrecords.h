#pragma once
// Memory slots: a configuration is stored in a slot as a stream of 16-byte records, and the slot's
// descriptor in the control block records the stream's length, place and name.
//
// A record: byte 0 the record length minus one (15), byte 1 the image address of its first data byte,
// bytes 2..13 twelve image bytes, bytes 14..15 the CRC-16 over bytes 1..13, low byte first. Eight records
// carry image bytes 0..95 and fill the 128-byte block.

#include "link/blockreader.h"
#include "link/frames.h"
#include "model/image.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

namespace lumeq {

constexpr std::size_t kSlotRecordSize = 16;
constexpr std::size_t kSlotRecordData = 12;
constexpr std::size_t kSlotRecordCount = (kConfigSize + kSlotRecordData - 1) / kSlotRecordData; // 8
// Length of the record stream (eeTotal): 4 * records + 96 = 128.
constexpr std::uint16_t kSlotStreamLength = static_cast<std::uint16_t>(4 * kSlotRecordCount + kConfigSize);

// A change the program makes to the whole image: the dimming-curve correction before a module write and
// its inverse after a slot is taken. An empty function changes nothing.
using ImageHook = std::function<void(Image&)>;

// ---- Record streams ----

// The record stream of image bytes 0..95 (an image shorter than 96 bytes counts as filled up with 0xFF).
// Record k: length byte (the bytes still to store plus 3 when at most 12 remain, else 15), address 12k,
// image bytes 12k..12k+11, CRC-16 over address and data.
Block encodeSlotRecords(std::span<const std::uint8_t> image);

struct SlotDecodeReport {
    int records = 0;            // records decoded
    int crcMismatches = 0;      // records whose CRC does not match (their bytes are taken all the same)
    int oddLengths = 0;         // records whose length byte is not 15
    int bytesOutsideImage = 0;  // data bytes whose image address lies past the image: dropped
    bool cutAtBlockEnd = false; // the stream claims more than the block holds: decoding stopped at its end

    bool clean() const { return crcMismatches == 0 && oddLengths == 0 && bytesOutsideImage == 0 && !cutAtBlockEnd; }
};

// Writes a record stream into the image. From p = 0: length byte L = stream[p], address A = stream[p+1];
// the L - 3 bytes from stream[p+2] on go to image[A] on; p advances by L + 1; repeat while p < length. At
// least one record is decoded. CRCs are not enforced, only counted. Never reads past `stream` (whatever
// `length` says) nor writes past the image or past image address 127; image bytes no record covers keep
// their values.
SlotDecodeReport decodeSlotRecords(std::span<const std::uint8_t> stream, std::uint16_t length,
                                   std::span<std::uint8_t> image);

// ---- Slot descriptors ----

// The name bytes Transfer writes for an info text (UTF-8): its first characters, at most 8, one byte each
// (the low byte of the character's UTF-16 code, so a character above 255 keeps only its low byte), the
// rest filled with blanks (0x20). No value for an empty text: the descriptor then keeps its name bytes.
std::optional<std::array<std::uint8_t, kSlotNameLength>> slotNameBytes(std::string_view info);

// Fills slot descriptor n - 1 as Transfer does: 8A 65 C2 00, the stream length, the slot's block number
// (address / 128), and the name bytes of `info` (kept when `info` is empty). Nothing for a slot outside
// 1..4.
void fillSlotDescriptor(Block& controlBlock, int slot, std::string_view info,
                        std::uint16_t streamLength = kSlotStreamLength);

// Default on a chosen slot: the name bytes of its descriptor become 0xFF.
void clearSlotName(Block& controlBlock, int slot);

// ---- Choosing a slot ----

struct SlotChoice {
    bool usedDefault = false; // the default image was taken (empty or unreadable slot)
    bool unreadable = false;  // the slot is marked filled but its data could not be read
    SlotDecodeReport decode;  // when its records were decoded
};

// Takes a slot into the working image (sized to at least 128 bytes). An empty slot gives the default
// image (bytes 0..127). A slot whose data could not be read gives the default image too, and says so.
// Otherwise its records are decoded over the image, `invCorrect` undoes the dimming-curve correction, and
// bytes 76..84 are cleared unless `copyAstro`.
SlotChoice takeSlotIntoImage(const TMemory& slot, Image& image, bool copyAstro, const ImageHook& invCorrect = {});

} // namespace lumeq
