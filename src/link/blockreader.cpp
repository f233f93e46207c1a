#include "link/blockreader.h"

#include "link/stickaccess.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace lumeq {

namespace {

std::uint16_t word(const Block& block, std::size_t offset) {
    return static_cast<std::uint16_t>(block[offset] | block[offset + 1] << 8);
}

bool entryIsValid(const Block& block, std::size_t entry, std::uint8_t kind) {
    const std::size_t at = entry * kDirectoryEntrySize;
    return block[at] == kEntryMark0 && block[at + 1] == kEntryMark1 && block[at + 2] == kind;
}

Bytes reportBuffer(std::size_t reportLength) {
    return Bytes(std::max(reportLength, kDataReportSize), 0x00);
}

} // namespace

void BlockReader::start(bool control) {
    (control ? controlBlock_ : sendBlock_).fill(0x00);
    controlFlag_ = control;
    dataFlag_ = !control;
    running_ = true;
    stickAnswered_ = false;
    shortBlock_ = false;
    complete_ = false;
    countdown_ = 0;
}

Bytes BlockReader::readControlBlock() {
    start(true);
    return readBlockFrame(kControlBlockAddress);
}

Bytes BlockReader::readDataBlock(std::uint16_t address) {
    start(false);
    return readBlockFrame(address);
}

BlockReader::Event BlockReader::receive(std::span<const std::uint8_t> report) {
    if (!running_)
        return Event::Ignored;
    if (countdown_ > 0)
        return storeData(report);

    // Waiting for the header: only now do a report's first bytes say what it is.
    const ModuleAnswer answer = classifyModuleAnswer(report);
    switch (answer.kind) {
    case ModuleAnswerKind::BlockHeader:
        countdown_ = std::min<int>(answer.dataLength / kDataReportSize, kBlockReports);
        shortBlock_ = countdown_ < static_cast<int>(kBlockReports);
        if (countdown_ == 0) {
            stop();
            return Event::BlockIncomplete;
        }
        return Event::Header;
    case ModuleAnswerKind::StickAnswer:
        // Only the first request of a run, the control-block read, can be answered by a stick alone.
        if (!controlFlag_)
            return Event::Ignored;
        stickAnswered_ = true;
        stop();
        return Event::StickAnswer;
    case ModuleAnswerKind::WriteConfirmation:
    case ModuleAnswerKind::Other:
        break;
    }
    return Event::Ignored;
}

BlockReader::Event BlockReader::storeData(std::span<const std::uint8_t> report) {
    Block& target = controlFlag_ ? controlBlock_ : sendBlock_;
    const std::size_t offset = (kBlockReports - static_cast<std::size_t>(countdown_)) * kDataReportSize;
    for (std::size_t i = 0; i < kDataReportSize; ++i)
        target[offset + i] = i < report.size() ? report[i] : 0x00;
    if (--countdown_ > 0)
        return Event::Data;
    complete_ = !shortBlock_;
    stop();
    return complete_ ? Event::BlockComplete : Event::BlockIncomplete;
}

void BlockReader::stop() {
    running_ = false;
    controlFlag_ = false;
    dataFlag_ = false;
    countdown_ = 0;
}

void BlockReader::abandon() {
    stop();
    complete_ = false;
}

int drainReports(StickAccess& stick, BlockReader& reader, std::size_t reportLength, int maxReports) {
    Bytes buffer = reportBuffer(reportLength);
    int count = 0;
    while (reader.running() && count < maxReports) {
        std::fill(buffer.begin(), buffer.end(), 0x00);
        if (!stick.readData(buffer))
            break;
        ++count;
        reader.receive(buffer);
    }
    return count;
}

int discardWaitingReports(StickAccess& stick, std::size_t reportLength, int maxReports) {
    Bytes buffer = reportBuffer(reportLength);
    int count = 0;
    while (count < maxReports && stick.readData(buffer))
        ++count;
    return count;
}

std::string slotNameFromBytes(std::span<const std::uint8_t> nameBytes) {
    std::string name;
    for (std::size_t i = 0; i < nameBytes.size() && i < kSlotNameLength; ++i) {
        const std::uint8_t byte = nameBytes[i];
        if (byte == kNameEnd)
            break;
        if (byte < 0x80) {
            name.push_back(static_cast<char>(byte));
        } else {
            name.push_back(static_cast<char>(0xC0 | byte >> 6));
            name.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return name;
}

ModuleDirectory parseControlBlock(const Block& controlBlock) {
    ModuleDirectory directory;
    for (int n = 0; n < kSlotCount; ++n) {
        TMemory& slot = directory.memorySlots[static_cast<std::size_t>(n)];
        const std::size_t at = static_cast<std::size_t>(n) * kDirectoryEntrySize;
        if (!entryIsValid(controlBlock, static_cast<std::size_t>(n), kSlotEntryKind)) {
            slot.mEmpty = true;
            continue;
        }
        slot.mEmpty = false;
        slot.mLength = word(controlBlock, at + 4);
        slot.mAddress = static_cast<std::uint16_t>(kBlockSize * word(controlBlock, at + 6));
        slot.mString = slotNameFromBytes(std::span(controlBlock).subspan(at + kSlotNameOffset, kSlotNameLength));
    }
    if (entryIsValid(controlBlock, kFirmwareEntry, kFirmwareEntryKind)) {
        const std::size_t at = kFirmwareEntry * kDirectoryEntrySize;
        directory.firmware.valid = true;
        directory.firmware.version = controlBlock[at + 3];
        directory.firmware.length = word(controlBlock, at + 4);
        directory.firmware.firstBlock = word(controlBlock, at + 6);
    }
    return directory;
}

Bytes ModuleReadSequence::start() {
    contents_ = ModuleContents();
    pass_ = 0;
    slot_ = 0;
    return reader_.readControlBlock();
}

void ModuleReadSequence::nextSlot(Step& step) {
    pass_ = 0;
    for (int n = slot_ + 1; n <= kSlotCount; ++n) {
        const TMemory& slot = contents_.directory.memorySlots[static_cast<std::size_t>(n - 1)];
        if (!slot.mEmpty) {
            slot_ = n;
            step.request = reader_.readDataBlock(slot.mAddress);
            return;
        }
    }
    slot_ = 0;
    contents_.outcome = ModuleReadOutcome::Module;
    step.finished = true;
}

void ModuleReadSequence::finishWithoutControlBlock(Step& step) {
    contents_.outcome = ModuleReadOutcome::NoAnswer;
    contents_.controlBlockRead = false;
    contents_.controlBlock = reader_.controlBlock();
    for (TMemory& slot : contents_.directory.memorySlots)
        slot.unreadable = true;
    step.finished = true;
}

ModuleReadSequence::Step ModuleReadSequence::endOfPass() {
    return advance(true);
}

ModuleReadSequence::Step ModuleReadSequence::afterReport() {
    return advance(false);
}

ModuleReadSequence::Step ModuleReadSequence::advance(bool passEnded) {
    Step step;
    step.pass = pass_;
    step.passEnded = passEnded;
    if (finished()) {
        step.finished = true;
        return step;
    }
    const bool outOfTime = passEnded && pass_ >= lastPass_;
    if (passEnded)
        ++pass_;

    if (slot_ == 0) {
        // Waiting for the control block.
        if (reader_.stickAnswered()) {
            contents_.outcome = ModuleReadOutcome::StickAlone;
            step.finished = true;
        } else if (reader_.blockComplete()) {
            contents_.controlBlockRead = true;
            contents_.controlBlock = reader_.controlBlock();
            contents_.directory = parseControlBlock(contents_.controlBlock);
            nextSlot(step);
        } else if (!reader_.controlFlag()) {
            // The block came short: part of the directory is missing, so it must never be written back.
            contents_.controlBlockShort = true;
            finishWithoutControlBlock(step);
        } else if (outOfTime) {
            reader_.abandon();
            finishWithoutControlBlock(step);
        }
        return step;
    }

    // Waiting for the data of slot slot_: complete, short or out of time.
    TMemory& slot = contents_.directory.memorySlots[static_cast<std::size_t>(slot_ - 1)];
    if (reader_.blockComplete()) {
        slot.mData = reader_.sendBlock();
        nextSlot(step);
    } else if (!reader_.dataFlag() || outOfTime) {
        reader_.abandon();
        slot.mData = reader_.sendBlock();
        slot.unreadable = true;
        step.discardWaiting = true;
        nextSlot(step);
    }
    return step;
}

ModuleContents runModuleRead(StickAccess& stick, ModuleReadSequence& sequence, std::size_t reportLength,
                             WaitOnDevice wait) {
    using Clock = std::chrono::steady_clock;
    const auto pass = std::chrono::milliseconds(std::max(wait.passMs, 1));
    Bytes buffer = reportBuffer(reportLength);
    const auto follow = [&](const ModuleReadSequence::Step& step, Clock::time_point& passEnd) {
        if (step.discardWaiting)
            discardWaitingReports(stick, reportLength);
        if (!step.request.empty()) {
            stick.writeData(step.request);
            passEnd = Clock::now() + pass; // the wait for the next block starts with its request
        }
    };
    stick.writeData(sequence.start());
    Clock::time_point passEnd = Clock::now() + pass;
    while (!sequence.finished()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(passEnd - Clock::now());
        if (left.count() > 0 && sequence.reader().running()) {
            std::fill(buffer.begin(), buffer.end(), 0x00);
            const StickAccess::Wait got = stick.waitForReport(buffer, static_cast<int>(left.count()));
            if (got == StickAccess::Wait::Report) {
                sequence.reader().receive(buffer);
                follow(sequence.afterReport(), passEnd);
                continue;
            }
            if (got == StickAccess::Wait::Nothing)
                continue;
            // Lost: nothing more comes; the passes run out as for a silent module.
            std::this_thread::sleep_until(passEnd);
        } else if (left.count() > 0) {
            std::this_thread::sleep_until(passEnd);
        }
        const ModuleReadSequence::Step step = sequence.endOfPass();
        passEnd += pass;
        follow(step, passEnd);
    }
    return sequence.contents();
}

ModuleContents runModuleRead(StickAccess& stick, ModuleReadSequence& sequence, std::size_t reportLength,
                             const std::function<void()>& waitPass) {
    stick.writeData(sequence.start());
    while (!sequence.finished()) {
        waitPass();
        drainReports(stick, sequence.reader(), reportLength);
        const ModuleReadSequence::Step step = sequence.endOfPass();
        if (step.discardWaiting)
            discardWaitingReports(stick, reportLength);
        if (!step.request.empty())
            stick.writeData(step.request);
    }
    return sequence.contents();
}

} // namespace lumeq
