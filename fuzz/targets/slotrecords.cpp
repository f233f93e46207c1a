// Slot record streams as a module hands them over: the stream length from the slot descriptor (the first
// two bytes of the input, low byte first) and the record stream that follows. Decoded as a raw stream
// of any size and as the 128-byte block the program reads, then taken into a working image.

#include "fuzztarget.h"

#include "link/slotrecords.h"
#include "model/settings.h"

#include <algorithm>

using namespace lumeq;

namespace {

constexpr std::uint8_t kCanary = 0xA5;

// Decodes into a stick-sized image filled with a canary: nothing may be written past image address 127.
SlotDecodeReport decodeChecked(std::span<const std::uint8_t> stream, std::uint16_t length, Image& image) {
    image.assign(kStickMemorySize, kCanary);
    const SlotDecodeReport report = decodeSlotRecords(stream, length, image);
    FUZZ_CHECK(std::all_of(image.begin() + kImageSize, image.end(), [](std::uint8_t b) { return b == kCanary; }));
    FUZZ_CHECK(report.records >= 0 && static_cast<std::size_t>(report.records) <= std::max<std::size_t>(stream.size(), 1));
    FUZZ_CHECK(report.records >= 1 || (stream.size() < 2 && report.cutAtBlockEnd));
    FUZZ_CHECK(report.crcMismatches <= report.records && report.oddLengths <= report.records);
    if (length > stream.size())
        FUZZ_CHECK(report.cutAtBlockEnd);
    return report;
}

// The image's records, written and decoded again, give back bytes 0..95 exactly, cleanly.
void checkRoundTrip(const Image& image) {
    const Block stream = encodeSlotRecords(image);
    Image decoded(kImageSize, kCanary);
    const SlotDecodeReport report = decodeSlotRecords(stream, kSlotStreamLength, decoded);
    FUZZ_CHECK(report.clean() && report.records == static_cast<int>(kSlotRecordCount));
    FUZZ_CHECK(std::equal(image.begin(), image.begin() + kConfigSize, decoded.begin()));
    FUZZ_CHECK(std::all_of(decoded.begin() + kConfigSize, decoded.end(), [](std::uint8_t b) { return b == kCanary; }));
}

} // namespace

LUMEQ_FUZZ_TARGET(slotrecords) {
    if (input.size() < 2)
        return;
    const auto length = static_cast<std::uint16_t>(input[0] | input[1] << 8);
    const std::span<const std::uint8_t> stream = input.subspan(2);

    Image image;
    decodeChecked(stream, length, image);
    checkRoundTrip(image);

    // As the program reads it: the 128 bytes of the slot's block (zeros where nothing arrived).
    TMemory slot;
    slot.mEmpty = false;
    slot.mLength = length;
    std::copy_n(stream.begin(), std::min(stream.size(), kBlockSize), slot.mData.begin());
    Image fromBlock;
    const SlotDecodeReport blockReport = decodeChecked(slot.mData, length, fromBlock);

    // Taken into a working image: the same bytes, astro data cleared unless copied, the hook called once
    // on an image of at least 128 bytes.
    for (const bool copyAstro : {false, true}) {
        Image working(kImageSize, kCanary);
        int hooked = 0;
        const SlotChoice choice = takeSlotIntoImage(slot, working, copyAstro, [&](Image& taken) {
            ++hooked;
            FUZZ_CHECK(taken.size() >= kImageSize);
        });
        FUZZ_CHECK(!choice.usedDefault && !choice.unreadable && hooked == 1);
        FUZZ_CHECK(choice.decode.records == blockReport.records && choice.decode.clean() == blockReport.clean());
        Image expected(fromBlock.begin(), fromBlock.begin() + kImageSize);
        if (!copyAstro)
            astro::clearAstroData(expected);
        FUZZ_CHECK(working == expected);
    }

    // A slot whose data could not be read gives the default image, whatever its bytes.
    slot.unreadable = true;
    Image working(kImageSize, kCanary);
    const SlotChoice unreadable = takeSlotIntoImage(slot, working, true);
    FUZZ_CHECK(unreadable.usedDefault && unreadable.unreadable);
    FUZZ_CHECK(std::equal(kDefaultImage.begin(), kDefaultImage.end(), working.begin()));
}
