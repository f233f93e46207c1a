#include "link/slotrecords.h"

#include "model/crc16.h"
#include "model/settings.h"

#include <QString>

#include <algorithm>

namespace lumeq {

namespace {

constexpr std::uint8_t kFullRecordLength = kSlotRecordSize - 1; // 15
constexpr std::size_t kRecordOverhead = 3;                      // length-byte arithmetic: L - 3 data bytes
constexpr std::uint8_t kNameFill = 0x20;

std::size_t descriptorOffset(int slot) {
    return static_cast<std::size_t>(slot - 1) * kDirectoryEntrySize;
}

} // namespace

Block encodeSlotRecords(std::span<const std::uint8_t> image) {
    Block stream{};
    for (std::size_t k = 0; k < kSlotRecordCount; ++k) {
        const std::size_t address = kSlotRecordData * k;
        const std::size_t remaining = kConfigSize - address;
        std::uint8_t* record = stream.data() + kSlotRecordSize * k;
        record[0] =
            remaining <= kSlotRecordData ? static_cast<std::uint8_t>(remaining + kRecordOverhead) : kFullRecordLength;
        record[1] = static_cast<std::uint8_t>(address);
        for (std::size_t i = 0; i < kSlotRecordData; ++i) {
            const std::size_t at = address + i;
            record[2 + i] = at < kConfigSize && at < image.size() ? image[at] : 0xFF;
        }
        const std::uint16_t crc = crc16(std::span<const std::uint8_t>(record + 1, 1 + kSlotRecordData));
        record[14] = static_cast<std::uint8_t>(crc & 0xFF);
        record[15] = static_cast<std::uint8_t>(crc >> 8);
    }
    return stream;
}

SlotDecodeReport decodeSlotRecords(std::span<const std::uint8_t> stream, std::uint16_t length,
                                   std::span<std::uint8_t> image) {
    SlotDecodeReport report;
    const std::size_t imageEnd = std::min(image.size(), kImageSize);
    std::size_t p = 0;
    do {
        if (p + 1 >= stream.size()) {
            report.cutAtBlockEnd = true;
            break;
        }
        const std::size_t recordLength = stream[p];
        const std::size_t address = stream[p + 1];
        ++report.records;
        if (recordLength != kFullRecordLength)
            ++report.oddLengths;
        const std::size_t dataCount = recordLength > kRecordOverhead ? recordLength - kRecordOverhead : 0;
        const std::size_t dataStart = p + 2;
        const std::size_t available = dataStart < stream.size() ? stream.size() - dataStart : 0;
        if (dataCount > available)
            report.cutAtBlockEnd = true;
        const std::size_t copied = std::min(dataCount, available);
        for (std::size_t i = 0; i < copied; ++i) {
            if (address + i < imageEnd)
                image[address + i] = stream[dataStart + i];
            else
                ++report.bytesOutsideImage;
        }
        // The CRC follows the data; it covers the address byte and the data.
        const std::size_t crcAt = dataStart + dataCount;
        if (dataCount <= available && crcAt + 1 < stream.size()) {
            const std::uint16_t crc = crc16(stream.subspan(p + 1, 1 + dataCount));
            if (crc != static_cast<std::uint16_t>(stream[crcAt] | stream[crcAt + 1] << 8))
                ++report.crcMismatches;
        } else {
            ++report.crcMismatches;
        }
        p += recordLength + 1;
    } while (p < length);
    if (length > stream.size())
        report.cutAtBlockEnd = true;
    return report;
}

std::optional<std::array<std::uint8_t, kSlotNameLength>> slotNameBytes(std::string_view info) {
    const QString text = QString::fromUtf8(info.data(), static_cast<qsizetype>(info.size()));
    if (text.isEmpty())
        return std::nullopt;
    std::array<std::uint8_t, kSlotNameLength> bytes;
    bytes.fill(kNameFill);
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(text.size()), kSlotNameLength);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(text.at(static_cast<qsizetype>(i)).unicode() & 0xFF);
    return bytes;
}

void fillSlotDescriptor(Block& controlBlock, int slot, std::string_view info, std::uint16_t streamLength) {
    if (slot < 1 || slot > kSlotCount)
        return;
    std::uint8_t* entry = controlBlock.data() + descriptorOffset(slot);
    const std::uint16_t blockNumber = static_cast<std::uint16_t>(slotAddress(slot) / kBlockSize);
    entry[0] = kEntryMark0;
    entry[1] = kEntryMark1;
    entry[2] = kSlotEntryKind;
    entry[3] = 0x00;
    entry[4] = static_cast<std::uint8_t>(streamLength & 0xFF);
    entry[5] = static_cast<std::uint8_t>(streamLength >> 8);
    entry[6] = static_cast<std::uint8_t>(blockNumber & 0xFF);
    entry[7] = static_cast<std::uint8_t>(blockNumber >> 8);
    if (const auto name = slotNameBytes(info))
        std::copy(name->begin(), name->end(), entry + kSlotNameOffset);
}

void clearSlotName(Block& controlBlock, int slot) {
    if (slot < 1 || slot > kSlotCount)
        return;
    std::fill_n(controlBlock.begin() + static_cast<std::ptrdiff_t>(descriptorOffset(slot) + kSlotNameOffset),
                kSlotNameLength, kNameEnd);
}

SlotChoice takeSlotIntoImage(const TMemory& slot, Image& image, bool copyAstro, const ImageHook& invCorrect) {
    SlotChoice choice;
    if (image.size() < kImageSize)
        image.resize(kImageSize, 0x00);
    if (slot.mEmpty || slot.unreadable) {
        choice.usedDefault = true;
        choice.unreadable = !slot.mEmpty && slot.unreadable;
        std::copy(kDefaultImage.begin(), kDefaultImage.end(), image.begin());
        return choice;
    }
    choice.decode = decodeSlotRecords(slot.mData, slot.mLength, image);
    if (invCorrect)
        invCorrect(image);
    if (!copyAstro)
        astro::clearAstroData(image);
    return choice;
}

} // namespace lumeq
