#include "link/blockwriter.h"

#include "link/slotrecords.h"
#include "link/stickaccess.h"

#include <algorithm>

namespace lumeq {

namespace {

constexpr std::uint8_t kConfirmedStatus = 1;
constexpr std::size_t kControlBlockEntries = kBlockSize / kDirectoryEntrySize;

// The firmware's last block must end below slot M2.
static_assert(kBlockSize * kFirstFirmwareBlock + kFirmwareImageSize <= 0x4000);

Bytes reportBuffer(std::size_t reportLength) {
    return Bytes(std::max(reportLength, kDataReportSize), 0x00);
}

// One attempt of the confirmation poll: true when a report was read into the buffer.
using PollOnce = std::function<bool(Bytes& buffer)>;

PollOnce sleepThenRead(StickAccess& stick, const SleepMs& sleepMs) {
    return [&stick, &sleepMs](Bytes& buffer) {
        if (sleepMs)
            sleepMs(kConfirmationPollMs);
        return stick.readData(buffer);
    };
}

// An attempt lasts the same 5 ms, but ends the moment a report arrives.
PollOnce waitOnDevice(StickAccess& stick) {
    return [&stick](Bytes& buffer) {
        return stick.waitForReport(buffer, kConfirmationPollMs) == StickAccess::Wait::Report;
    };
}

template <typename Machine>
void executeStep(StickAccess& stick, Machine& machine, Bytes& buffer, const PollOnce& poll) {
    switch (machine.next()) {
    case LinkAction::Write:
        stick.writeData(machine.reportToWrite());
        machine.advance();
        break;
    case LinkAction::ReadAndIgnore:
        stick.readData(buffer);
        machine.advance();
        break;
    case LinkAction::Poll: {
        std::fill(buffer.begin(), buffer.end(), 0x00);
        if (poll(buffer))
            machine.polled(std::span<const std::uint8_t>(buffer));
        else
            machine.polled(std::nullopt);
        break;
    }
    case LinkAction::Done:
        break;
    }
}

bool checkConfirmations(std::size_t reportLength, std::uint16_t address, int maxPolls, const PollOnce& poll) {
    Bytes buffer = reportBuffer(reportLength);
    for (int attempt = 0; attempt < maxPolls; ++attempt) {
        std::fill(buffer.begin(), buffer.end(), 0x00);
        if (!poll(buffer))
            continue;
        const Confirmation confirmation = checkConfirmation(buffer, address);
        if (confirmation != Confirmation::NotAConfirmation)
            return confirmation != Confirmation::Confirmed;
    }
    return true;
}

} // namespace

std::string transferErrorMessage(std::string_view code) {
    return "Firmware Write Error!" + std::string(code);
}

Confirmation checkConfirmation(std::span<const std::uint8_t> report, std::uint16_t address) {
    const ModuleAnswer answer = classifyModuleAnswer(report);
    if (answer.kind != ModuleAnswerKind::WriteConfirmation)
        return Confirmation::NotAConfirmation;
    if (answer.address != address)
        return Confirmation::WrongAddress;
    return answer.status == kConfirmedStatus ? Confirmation::Confirmed : Confirmation::Refused;
}

std::string blockWriteOutcomeText(BlockWriteOutcome outcome) {
    switch (outcome) {
    case BlockWriteOutcome::Pending:
        return "the write has not finished";
    case BlockWriteOutcome::Confirmed:
        return "the module confirmed the block";
    case BlockWriteOutcome::Refused:
        return "the module answered that the block was not written";
    case BlockWriteOutcome::WrongAddress:
        return "the module confirmed another block";
    case BlockWriteOutcome::NoConfirmation:
        return "the module did not confirm the block";
    }
    return {};
}

BlockWriter::BlockWriter(std::uint16_t address, const Block& block, int maxPolls)
    : address_(address), maxPolls_(std::max(maxPolls, 1)) {
    reports_.reserve(1 + kBlockReports);
    reports_.push_back(writeBlockFrame(address));
    for (Bytes& report : blockDataReports(block))
        reports_.push_back(std::move(report));
}

LinkAction BlockWriter::next() const {
    if (outcome_ != BlockWriteOutcome::Pending)
        return LinkAction::Done;
    if (written_ == 1 && !ignoredRead_)
        return LinkAction::ReadAndIgnore;
    if (written_ < reports_.size())
        return LinkAction::Write;
    return LinkAction::Poll;
}

const Bytes& BlockWriter::reportToWrite() const {
    return reports_[std::min(written_, reports_.size() - 1)];
}

void BlockWriter::advance() {
    switch (next()) {
    case LinkAction::Write:
        ++written_;
        break;
    case LinkAction::ReadAndIgnore:
        ignoredRead_ = true;
        break;
    default:
        break;
    }
}

void BlockWriter::polled(std::optional<std::span<const std::uint8_t>> report) {
    if (next() != LinkAction::Poll)
        return;
    ++polls_;
    if (report) {
        switch (checkConfirmation(*report, address_)) {
        case Confirmation::Confirmed:
            outcome_ = BlockWriteOutcome::Confirmed;
            return;
        case Confirmation::Refused:
            outcome_ = BlockWriteOutcome::Refused;
            return;
        case Confirmation::WrongAddress:
            outcome_ = BlockWriteOutcome::WrongAddress;
            return;
        case Confirmation::NotAConfirmation:
            break;
        }
    }
    if (polls_ >= maxPolls_)
        outcome_ = BlockWriteOutcome::NoConfirmation;
}

BlockWriteOutcome runBlockWrite(StickAccess& stick, BlockWriter& writer, std::size_t reportLength,
                                const SleepMs& sleepMs) {
    Bytes buffer = reportBuffer(reportLength);
    const PollOnce poll = sleepThenRead(stick, sleepMs);
    while (writer.next() != LinkAction::Done)
        executeStep(stick, writer, buffer, poll);
    return writer.outcome();
}

BlockWriteOutcome runBlockWrite(StickAccess& stick, BlockWriter& writer, std::size_t reportLength, WaitOnDevice) {
    Bytes buffer = reportBuffer(reportLength);
    const PollOnce poll = waitOnDevice(stick);
    while (writer.next() != LinkAction::Done)
        executeStep(stick, writer, buffer, poll);
    return writer.outcome();
}

bool transferCheck(StickAccess& stick, std::uint16_t address, std::size_t reportLength, const SleepMs& sleepMs,
                   int maxPolls) {
    return checkConfirmations(reportLength, address, maxPolls, sleepThenRead(stick, sleepMs));
}

bool transferCheck(StickAccess& stick, std::uint16_t address, std::size_t reportLength, WaitOnDevice, int maxPolls) {
    return checkConfirmations(reportLength, address, maxPolls, waitOnDevice(stick));
}

TransferPlanResult planTransfer(const TransferRequest& request) {
    TransferPlanResult result;
    if (!request.controlBlockRead) {
        result.error = "the module's control block was not read, so nothing may be written to the module";
        return result;
    }
    if (request.slot < 1 || request.slot > kSlotCount) {
        result.error = "there is no memory slot " + std::to_string(request.slot) + " (slots are 1 to 4)";
        return result;
    }
    if (request.image.size() < kConfigSize) {
        result.error = "the configuration image holds " + std::to_string(request.image.size()) +
                       " bytes, fewer than the " + std::to_string(kConfigSize) + " a slot stores";
        return result;
    }
    if (request.firmware && request.firmware->length > kFirmwareImageSize) {
        result.error = "the firmware of " + std::to_string(request.firmware->length) +
                       " bytes does not fit the module's firmware area of " + std::to_string(kFirmwareImageSize) +
                       " bytes";
        return result;
    }

    TransferPlan plan;
    plan.slot = request.slot;
    plan.blocks.push_back({PlannedBlockKind::SlotData, slotAddress(request.slot), encodeSlotRecords(request.image)});

    Block control = request.controlBlock;
    fillSlotDescriptor(control, request.slot, request.info);
    plan.controlBlockKeepingFirmware = control;

    if (request.firmware) {
        const FirmwareToWrite& firmware = *request.firmware;
        const std::size_t blocks = (firmware.length + kBlockSize - 1) / kBlockSize;
        for (std::size_t b = 0; b < blocks; ++b) {
            PlannedBlock block{PlannedBlockKind::Firmware, firmwareBlockAddress(b), {}};
            for (std::size_t i = 0; i < kBlockSize; ++i) {
                const std::size_t at = kBlockSize * b + i;
                block.bytes[i] = at < firmware.length && at < firmware.image.size() ? firmware.image[at] : 0xFF;
            }
            plan.blocks.push_back(block);
        }
        std::uint8_t* entry = control.data() + kFirmwareEntry * kDirectoryEntrySize;
        const auto length = static_cast<std::uint16_t>(firmware.length);
        const std::uint8_t descriptor[] = {kEntryMark0,
                                           kEntryMark1,
                                           kFirmwareEntryKind,
                                           firmware.version,
                                           static_cast<std::uint8_t>(length & 0xFF),
                                           static_cast<std::uint8_t>(length >> 8),
                                           static_cast<std::uint8_t>(kFirstFirmwareBlock & 0xFF),
                                           static_cast<std::uint8_t>(kFirstFirmwareBlock >> 8)};
        std::copy(std::begin(descriptor), std::end(descriptor), entry);
    }
    plan.blocks.push_back({PlannedBlockKind::ControlBlock, kControlBlockAddress, control});
    result.plan = std::move(plan);
    return result;
}

const Block& plannedControlBlock(const TransferPlan& plan) {
    return plan.blocks.back().bytes;
}

TransferRun::TransferRun(TransferPlan plan, int maxPolls) : plan_(std::move(plan)), maxPolls_(maxPolls) {
    if (plan_.blocks.empty()) {
        finished_ = true;
        return;
    }
    startBlock(0);
}

void TransferRun::startBlock(std::size_t index) {
    index_ = index;
    PlannedBlock& block = plan_.blocks[index];
    if (block.kind == PlannedBlockKind::ControlBlock) {
        if (result_.firmwareFailed)
            block.bytes = plan_.controlBlockKeepingFirmware;
        else
            result_.firmwareWritten = std::any_of(plan_.blocks.begin(), plan_.blocks.end(), [](const PlannedBlock& b) {
                return b.kind == PlannedBlockKind::Firmware;
            });
        result_.controlBlockWritten = block.bytes;
    }
    writer_.emplace(block.address, block.bytes, maxPolls_);
}

void TransferRun::blockDone() {
    const PlannedBlock& block = plan_.blocks[index_];
    const BlockWriteOutcome outcome = writer_->outcome();
    if (outcome == BlockWriteOutcome::Confirmed) {
        if (index_ + 1 < plan_.blocks.size()) {
            startBlock(index_ + 1);
            return;
        }
        result_.ok = block.kind == PlannedBlockKind::ControlBlock;
        finished_ = true;
        return;
    }
    switch (block.kind) {
    case PlannedBlockKind::Firmware:
        // Reported, and the Transfer goes on with the control block, which keeps the old firmware record.
        result_.firmwareFailed = true;
        startBlock(plan_.blocks.size() - 1);
        return;
    case PlannedBlockKind::SlotData:
        result_.errorCode = kSlotDataError;
        break;
    case PlannedBlockKind::ControlBlock:
        result_.errorCode = kControlBlockError;
        break;
    }
    result_.failure = outcome;
    result_.failedAddress = block.address;
    finished_ = true;
}

LinkAction TransferRun::next() const {
    return finished_ ? LinkAction::Done : writer_->next();
}

const Bytes& TransferRun::reportToWrite() const {
    return writer_->reportToWrite();
}

void TransferRun::advance() {
    if (finished_)
        return;
    writer_->advance();
}

void TransferRun::polled(std::optional<std::span<const std::uint8_t>> report) {
    if (finished_)
        return;
    writer_->polled(report);
    if (writer_->next() == LinkAction::Done)
        blockDone();
}

TransferResult runTransfer(StickAccess& stick, TransferRun& run, std::size_t reportLength, const SleepMs& sleepMs) {
    Bytes buffer = reportBuffer(reportLength);
    const PollOnce poll = sleepThenRead(stick, sleepMs);
    while (run.next() != LinkAction::Done)
        executeStep(stick, run, buffer, poll);
    return run.result();
}

TransferResult runTransfer(StickAccess& stick, TransferRun& run, std::size_t reportLength, WaitOnDevice) {
    Bytes buffer = reportBuffer(reportLength);
    const PollOnce poll = waitOnDevice(stick);
    while (run.next() != LinkAction::Done)
        executeStep(stick, run, buffer, poll);
    return run.result();
}

std::vector<std::string> controlBlockDifferences(const Block& written, const Block& readBack) {
    std::vector<std::string> differences;
    for (std::size_t entry = 0; entry < kControlBlockEntries; ++entry) {
        for (std::size_t byte = 0; byte < kDirectoryEntrySize; ++byte) {
            const std::size_t at = entry * kDirectoryEntrySize + byte;
            if (written[at] == readBack[at])
                continue;
            std::string what;
            if (entry < static_cast<std::size_t>(kSlotCount))
                what = "the slot descriptor of M" + std::to_string(entry + 1);
            else if (entry == kFirmwareEntry)
                what = "the firmware descriptor";
            else
                what = "entry " + std::to_string(entry) + " of the control block";
            differences.push_back(what + " differs at byte " + std::to_string(byte) + ": written " +
                                  hexByte(written[at]) + ", read back " + hexByte(readBack[at]));
            break;
        }
    }
    return differences;
}

void applyTransferPlan(const TransferPlan& plan, std::span<std::uint8_t> memory) {
    for (const PlannedBlock& block : plan.blocks) {
        for (std::size_t i = 0; i < kBlockSize && block.address + i < memory.size(); ++i)
            memory[block.address + i] = block.bytes[i];
    }
}

void eraseModule(StickAccess& stick) {
    stick.writeData(eraseAllFrame());
}

} // namespace lumeq
