#include "link/slotrecords.h"
#include "model/crc16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using lumeq::Block;
using lumeq::Bytes;
using lumeq::Image;

namespace {

Image patternedImage() {
    Image image(lumeq::kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(0x40 + i);
    return image;
}

TEST(SlotRecords, EightRecordsWithAddressDataAndCrc) {
    const Image image = patternedImage();
    const Block stream = lumeq::encodeSlotRecords(image);
    EXPECT_EQ(lumeq::kSlotStreamLength, 128);
    for (std::size_t k = 0; k < 8; ++k) {
        SCOPED_TRACE("record " + std::to_string(k));
        const std::uint8_t* record = stream.data() + 16 * k;
        EXPECT_EQ(record[0], 15);
        EXPECT_EQ(record[1], 12 * k);
        EXPECT_EQ(Bytes(record + 2, record + 14), Bytes(image.begin() + static_cast<std::ptrdiff_t>(12 * k),
                                                        image.begin() + static_cast<std::ptrdiff_t>(12 * k + 12)));
        // CRC over the address byte and the twelve data bytes, low byte first.
        Bytes covered = {static_cast<std::uint8_t>(12 * k)};
        covered.insert(covered.end(), record + 2, record + 14);
        const std::uint16_t crc = lumeq::crc16(covered);
        EXPECT_EQ(record[14], crc & 0xFF);
        EXPECT_EQ(record[15], crc >> 8);
        // The same CRC as a shift register seeded with the address byte.
        EXPECT_EQ(crc, lumeq::crc16Finish(lumeq::crc16ShiftIn(std::span(record + 2, 12), record[1])));
    }
}

TEST(SlotRecords, SpareBytesAreNotStored) {
    Image image = patternedImage();
    image[96] = 0x11;
    image[127] = 0x22;
    EXPECT_EQ(lumeq::encodeSlotRecords(image), lumeq::encodeSlotRecords(patternedImage()));
}

TEST(SlotRecords, RoundTripKeepsBytesNoRecordCovers) {
    const Image image = patternedImage();
    const Block stream = lumeq::encodeSlotRecords(image);
    Image target(lumeq::kImageSize, 0xAB);
    const lumeq::SlotDecodeReport report = lumeq::decodeSlotRecords(stream, 128, target);
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(report.records, 8);
    EXPECT_EQ(Image(target.begin(), target.begin() + 96), Image(image.begin(), image.begin() + 96));
    EXPECT_EQ(Image(target.begin() + 96, target.end()), Image(32, 0xAB));
}

// Streams the program never writes, decoded into an image of exactly 128 bytes on the heap, so that
// AddressSanitizer catches any access past the stream or the image.
TEST(SlotRecords, CraftedStreamsStayInBounds) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::size_t, Bytes>> patches; // stream offset, bytes
        std::uint16_t length;
        // Expectations on the image (filled with 0x00 before) and the report.
        std::vector<std::pair<std::size_t, std::uint8_t>> bytes;
        int records, crcMismatches, oddLengths, outside;
        bool cut;
    };
    const Block good = lumeq::encodeSlotRecords(patternedImage());
    const Case cases[] = {
        {"bad CRC: bytes taken all the same, mismatch counted",
         {{14, {0x00, 0x00}}},
         128,
         {{0, 0x40}, {11, 0x4B}},
         8,
         1,
         0,
         0,
         false},
        {"address 120: bytes past the image dropped", {{1, {120}}}, 128, {{120, 0x40}, {127, 0x47}}, 8, 1, 0, 4, false},
        {"address 200: every byte dropped", {{1, {200}}}, 16, {{0, 0x00}}, 1, 1, 0, 12, false},
        {"length 255 at the start: copies to the end of the block and stops",
         {{0, {255, 0}}},
         128,
         {{0, 0x40}, {125, good[127]}},
         1,
         1,
         1,
         0,
         true},
        {"stream length 1000 never reads past the block", {}, 1000, {{95, 0x9F}}, 8, 0, 0, 0, true},
        {"stream length 0 still decodes one record", {}, 0, {{0, 0x40}, {12, 0x00}}, 1, 0, 0, 0, false},
        // All zeros: records of length 0 at every byte; their CRC (of one zero byte) is 0 and matches, except
        // for the last two, whose CRC would lie past the block.
        {"length byte 0 advances one byte at a time", {{0, Bytes(128, 0x00)}}, 128, {{0, 0x00}}, 127, 2, 127, 0, true},
        {"length byte 2: no data", {{0, {2, 5}}}, 3, {{5, 0x00}}, 1, 1, 1, 0, false},
        {"last record claims more than the block holds",
         {{112, {30, 0}}},
         128,
         {{0, good[114]}, {13, good[127]}, {14, 0x4E}},
         8,
         1,
         1,
         0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Block stream = good;
        for (const auto& [offset, bytes] : c.patches)
            std::copy(bytes.begin(), bytes.end(), stream.begin() + static_cast<std::ptrdiff_t>(offset));
        auto image = std::make_unique<std::vector<std::uint8_t>>(lumeq::kImageSize, 0x00);
        const lumeq::SlotDecodeReport report = lumeq::decodeSlotRecords(stream, c.length, *image);
        for (const auto& [at, value] : c.bytes)
            EXPECT_EQ((*image)[at], value) << "image byte " << at;
        EXPECT_EQ(report.records, c.records);
        EXPECT_EQ(report.crcMismatches, c.crcMismatches);
        EXPECT_EQ(report.oddLengths, c.oddLengths);
        EXPECT_EQ(report.bytesOutsideImage, c.outside);
        EXPECT_EQ(report.cutAtBlockEnd, c.cut);
    }
}

TEST(SlotRecords, ShortStreamAndShortImage) {
    const Block good = lumeq::encodeSlotRecords(patternedImage());
    const Bytes five(good.begin(), good.begin() + 5); // exact size on the heap
    Image image(lumeq::kImageSize, 0x00);
    const lumeq::SlotDecodeReport fromShort = lumeq::decodeSlotRecords(five, 128, image);
    EXPECT_TRUE(fromShort.cutAtBlockEnd);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 4), (Bytes{0x40, 0x41, 0x42, 0x00}));

    Image small(10, 0x00);
    const lumeq::SlotDecodeReport intoSmall = lumeq::decodeSlotRecords(good, 128, small);
    EXPECT_EQ(small[9], 0x49);
    EXPECT_EQ(intoSmall.bytesOutsideImage, 96 - 10);

    const lumeq::SlotDecodeReport fromEmpty = lumeq::decodeSlotRecords(std::span<const std::uint8_t>(), 128, image);
    EXPECT_EQ(fromEmpty.records, 0);
    EXPECT_TRUE(fromEmpty.cutAtBlockEnd);
}

// ---- Descriptors ----

TEST(SlotDescriptor, NameBytesFromTheInfoText) {
    const struct {
        const char* name;
        std::string info;
        Bytes expected; // empty: no name bytes (kept)
    } cases[] = {
        {"Default and one blank", "Default", {'D', 'e', 'f', 'a', 'u', 'l', 't', ' '}},
        {"ten characters cut to eight", "ABCDEFGHIJ", {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}},
        {"exactly eight", "Street 7", {'S', 't', 'r', 'e', 'e', 't', ' ', '7'}},
        {"short", "M1", {'M', '1', ' ', ' ', ' ', ' ', ' ', ' '}},
        {"characters up to 255 as they are",
         "Gr\xC3\xB6\xC3\x9F"
         "e",
         {'G', 'r', 0xF6, 0xDF, 'e', ' ', ' ', ' '}},
        {"euro sign: low byte of 0x20AC",
         "\xE2\x82\xAC"
         "5",
         {0xAC, '5', ' ', ' ', ' ', ' ', ' ', ' '}},
        {"empty keeps the old name", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = lumeq::slotNameBytes(c.info);
        if (c.expected.empty()) {
            EXPECT_FALSE(bytes);
        } else {
            ASSERT_TRUE(bytes);
            EXPECT_EQ(Bytes(bytes->begin(), bytes->end()), c.expected);
        }
    }
}

Block blankBlock() {
    Block block{};
    block.fill(0xFF);
    return block;
}

TEST(SlotDescriptor, FilledAsTransferWritesIt) {
    Block control = blankBlock();
    for (std::size_t i = 80; i < 128; ++i)
        control[i] = static_cast<std::uint8_t>(i); // entries 5..7 are not the program's: they stay
    lumeq::fillSlotDescriptor(control, 3, "Park");
    const Bytes entry(control.begin() + 32, control.begin() + 48);
    EXPECT_EQ(entry, (Bytes{0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x01, 'P', 'a', 'r', 'k', ' ', ' ', ' ', ' '}));
    EXPECT_EQ(Bytes(control.begin(), control.begin() + 32), Bytes(32, 0xFF));
    EXPECT_EQ(control[80], 80);
    EXPECT_EQ(control[127], 127);

    const auto parsed = lumeq::parseControlBlock(control).memorySlots[2];
    EXPECT_FALSE(parsed.mEmpty);
    EXPECT_EQ(parsed.mAddress, 0x8000);
    EXPECT_EQ(parsed.mLength, 128);
    EXPECT_EQ(parsed.mString, "Park    ");

    // An empty info text keeps the name bytes; after Default they are 0xFF.
    lumeq::fillSlotDescriptor(control, 3, "");
    EXPECT_EQ(control[40], 'P');
    lumeq::clearSlotName(control, 3);
    lumeq::fillSlotDescriptor(control, 3, "");
    EXPECT_EQ(Bytes(control.begin() + 40, control.begin() + 48), Bytes(8, 0xFF));
    EXPECT_EQ(lumeq::parseControlBlock(control).memorySlots[2].mString, "");

    // Slot numbers outside 1..4 change nothing.
    const Block before = control;
    lumeq::fillSlotDescriptor(control, 0, "x");
    lumeq::fillSlotDescriptor(control, 5, "x");
    lumeq::clearSlotName(control, 5);
    EXPECT_EQ(control, before);
}

TEST(SlotDescriptor, BlockNumbersOfTheFourSlots) {
    const Bytes expected[] = {{0x00, 0x00}, {0x80, 0x00}, {0x00, 0x01}, {0x80, 0x01}};
    for (int slot = 1; slot <= 4; ++slot) {
        Block control = blankBlock();
        lumeq::fillSlotDescriptor(control, slot, "x");
        const auto at = static_cast<std::ptrdiff_t>(16 * (slot - 1) + 6);
        EXPECT_EQ(Bytes(control.begin() + at, control.begin() + at + 2), expected[slot - 1]) << slot;
    }
}

// ---- Choosing a slot ----

lumeq::TMemory filledSlot(const Image& stored) {
    lumeq::TMemory slot;
    slot.mEmpty = false;
    slot.mLength = 128;
    slot.mData = lumeq::encodeSlotRecords(stored);
    return slot;
}

TEST(SlotChoice, EmptyAndUnreadableSlotsGiveTheDefaultImage) {
    lumeq::TMemory empty;
    lumeq::TMemory unreadable = filledSlot(patternedImage());
    unreadable.unreadable = true;
    const struct {
        const char* name;
        lumeq::TMemory slot;
        bool unreadable;
    } cases[] = {{"empty", empty, false}, {"unreadable", unreadable, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Image image(lumeq::kImageSize, 0x33);
        bool hookCalled = false;
        const lumeq::SlotChoice choice =
            lumeq::takeSlotIntoImage(c.slot, image, false, [&](Image&) { hookCalled = true; });
        EXPECT_TRUE(choice.usedDefault);
        EXPECT_EQ(choice.unreadable, c.unreadable);
        EXPECT_EQ(image, lumeq::defaultImage());
        EXPECT_FALSE(hookCalled);
    }
}

TEST(SlotChoice, FilledSlotDecodesUndoesTheCurveAndClearsAstroData) {
    Image stored = patternedImage();
    for (std::size_t i = 76; i <= 84; ++i)
        stored[i] = 0x5A;
    for (const bool copyAstro : {false, true}) {
        SCOPED_TRACE(copyAstro ? "copyAstro" : "astro data cleared");
        Image image(lumeq::kImageSize, 0x00);
        image[100] = 0x66;
        std::uint8_t seenByHook = 0;
        const lumeq::SlotChoice choice =
            lumeq::takeSlotIntoImage(filledSlot(stored), image, copyAstro, [&](Image& img) {
                seenByHook = img[2];
                img[2] = 0x07;
            });
        EXPECT_FALSE(choice.usedDefault);
        EXPECT_TRUE(choice.decode.clean());
        EXPECT_EQ(seenByHook, stored[2]); // the hook sees the decoded image
        EXPECT_EQ(image[2], 0x07);
        EXPECT_EQ(image[76], copyAstro ? 0x5A : 0x00);
        EXPECT_EQ(image[84], copyAstro ? 0x5A : 0x00);
        EXPECT_EQ(image[85], stored[85]);
        EXPECT_EQ(image[100], 0x66); // spare bytes keep what the image held
    }
}

TEST(SlotChoice, SmallImageIsGrownToTheFullImage) {
    Image image;
    lumeq::takeSlotIntoImage(filledSlot(patternedImage()), image, true);
    ASSERT_EQ(image.size(), lumeq::kImageSize);
    EXPECT_EQ(image[95], patternedImage()[95]);
}

} // namespace
