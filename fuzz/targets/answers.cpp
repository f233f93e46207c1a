// Module and stick answers: one input report as the program reads it, classified as a module answer,
// checked as a write confirmation, parsed as a stick read-data answer and identification, and logged.

#include "fuzztarget.h"

#include "link/blockwriter.h"
#include "link/frames.h"
#include "model/crc16.h"

#include <algorithm>

using namespace lumeq;

namespace {

void checkModuleAnswer(std::span<const std::uint8_t> report) {
    const ModuleAnswer answer = classifyModuleAnswer(report);
    const bool long5 = report.size() >= 5;
    switch (answer.kind) {
    case ModuleAnswerKind::BlockHeader:
        FUZZ_CHECK(long5 && report[0] == 0xC0 && report[1] == 0x44 && answer.dataLength == report[4]);
        break;
    case ModuleAnswerKind::WriteConfirmation:
        FUZZ_CHECK(long5 && report[0] == 0xC0 && report[1] == 0x33 && answer.status == report[4] &&
                   answer.address == (report[2] | report[3] << 8));
        break;
    case ModuleAnswerKind::StickAnswer:
        FUZZ_CHECK(report.size() >= 2 && report[0] == 0xB2 && (report[1] == 0x50 || report[1] == 0x51));
        break;
    case ModuleAnswerKind::Other:
        FUZZ_CHECK(!(long5 && report[0] == 0xC0 && (report[1] == 0x44 || report[1] == 0x33)));
        FUZZ_CHECK(!(report.size() >= 2 && report[0] == 0xB2 && (report[1] == 0x50 || report[1] == 0x51)));
        break;
    }

    // The confirmation check of a block write, for the block it names and for another one.
    const std::uint16_t named = answer.address;
    const Confirmation same = checkConfirmation(report, named);
    const Confirmation other = checkConfirmation(report, static_cast<std::uint16_t>(named + kBlockSize));
    if (answer.kind != ModuleAnswerKind::WriteConfirmation) {
        FUZZ_CHECK(same == Confirmation::NotAConfirmation && other == Confirmation::NotAConfirmation);
        return;
    }
    FUZZ_CHECK(same == (answer.status == 1 ? Confirmation::Confirmed : Confirmation::Refused));
    FUZZ_CHECK(other == Confirmation::WrongAddress);

    // A block writer polling gets this report as its first answer: it is done, as the check says.
    BlockWriter writer(named, Block{}, 3);
    while (writer.next() == LinkAction::Write || writer.next() == LinkAction::ReadAndIgnore)
        writer.advance();
    FUZZ_CHECK(writer.next() == LinkAction::Poll);
    writer.polled(report);
    FUZZ_CHECK(writer.next() == LinkAction::Done);
    FUZZ_CHECK(writer.outcome() ==
               (same == Confirmation::Confirmed ? BlockWriteOutcome::Confirmed : BlockWriteOutcome::Refused));
}

void checkStickAnswer(std::span<const std::uint8_t> report) {
    const bool stick = report.size() >= 2 && report[0] == kStickAnswerMark;

    const std::optional<StickMemoryData> data = parseStickMemoryData(report);
    const bool readData = stick && report[1] == kStickReadData && report.size() >= 6 &&
                          report.size() >= 6 + static_cast<std::size_t>(report[5]);
    FUZZ_CHECK(data.has_value() == readData);
    if (data) {
        FUZZ_CHECK(data->address == report[4] && data->count == report[5] && data->data.size() == data->count);
        FUZZ_CHECK(std::equal(data->data.begin(), data->data.end(), report.begin() + 6));
        const std::uint16_t crc = crc16(report.subspan(4, 2 + data->count));
        FUZZ_CHECK(data->crcHolds == (crc == (report[2] | report[3] << 8)));

        // The same data with its CRC put right parses as holding.
        Bytes fixed(report.begin(), report.end());
        fixed[2] = static_cast<std::uint8_t>(crc & 0xFF);
        fixed[3] = static_cast<std::uint8_t>(crc >> 8);
        const std::optional<StickMemoryData> again = parseStickMemoryData(fixed);
        FUZZ_CHECK(again && again->crcHolds && again->data == data->data);
    }

    const std::optional<StickIdentification> id = parseStickIdentification(report);
    FUZZ_CHECK(id.has_value() == (stick && report[1] == kStickIdentification && report.size() >= 8));
    if (id)
        FUZZ_CHECK(std::equal(id->deviceNumber.begin(), id->deviceNumber.end(), report.begin() + 2) &&
                   id->unused == report[6] && id->firmwareVersion == report[7]);

    const std::optional<std::string> line = stickAnswerLogLine(report);
    if (report.empty())
        FUZZ_CHECK(!line);
    else if (report[0] != kStickAnswerMark)
        FUZZ_CHECK(line == foreignReportLogLine(report[0]));
    else
        FUZZ_CHECK(line.has_value() == !isKnownStickAnswer(report.size() > 1 ? report[1] : 0x00));
}

} // namespace

LUMEQ_FUZZ_TARGET(answers) {
    // The report as it was read, and in the 64-byte buffer of the program's reads (zeros after it).
    checkModuleAnswer(input);
    checkStickAnswer(input);
    if (input.size() < 64) {
        Bytes buffer(64, 0x00);
        std::copy(input.begin(), input.end(), buffer.begin());
        checkModuleAnswer(buffer);
        checkStickAnswer(buffer);
    }
}
