#pragma once
// Reading a module: the reception of one 128-byte block (a header report, then data reports), the
// module's control block with its slot and firmware descriptors, and the whole read of start-up
// (control block, then the data of every filled slot) as a state machine that counts wait passes.
//
// Nothing here waits or keeps time. Reports are fed the moment they arrive (ModuleReadSequence::afterReport
// after each: a complete block moves on at once), and endOfPass is called at the end of each 50 ms wait
// pass, which counts the time-out (101 passes) and the caption's dots. The window feeds reports from its
// report pump and ends passes with its Timer1; the command line and the benchmark wait on the device in a
// plain loop (runModuleRead with WaitOnDevice).

#include "link/frames.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace lumeq {

class StickAccess;

// ---- Reception of one block ----

// What Timer1 does with the reports of one block read. Idle until a read starts; then a block header
// sets the countdown of data reports (byte 4 / 8, at most 16), each data report fills the next 8 bytes
// (position (16 - countdown) * 8, so a shorter header fills the end of the block), and the read ends
// with the last one.
//
// Once the header has come, every report is data until the countdown runs out, whatever its first bytes
// are: slot records and slot names may well start C0 44 or B2 50. Only while the read waits for its
// header do the first bytes tell what a report is: a block header (C0 44) starts the countdown, and while
// the control block is awaited a stick answer (B2 50 / B2 51) means that no module is behind the stick:
// reception stops and stickAnswered() turns true. Every other report before the header is ignored, a
// stick answer during a data-block read included.
//
// A read is complete only when all sixteen data reports arrived. A header that announces fewer than 128
// bytes ends the read as failed once its data reports are in (at once when it announces none): the
// block is stored as announced, but blockComplete() stays false. A header above 128 counts as 128.
class BlockReader {
public:
    enum class Event {
        Ignored,         // not running, or a report before the header that is neither header nor stick answer
        Header,          // countdown set
        Data,            // 8 bytes stored, more to come
        BlockComplete,   // the 16th data report: reception stopped, both flags clear
        BlockIncomplete, // the header announced fewer than 128 bytes, and its reports are in: the read failed
        StickAnswer,     // the stick answered the control-block read by itself: reception stopped
    };

    // Starts the read of the control block: the copy is cleared to zeros, controlFlag set, dataFlag
    // clear, countdown 0, the stick-answer flag clear, reception running. Returns the request to write
    // (AA 55 F2 10 80 FF 00 00).
    Bytes readControlBlock();
    // Starts the read of a data block into sendBlock. sendBlock is cleared to zeros first, so that a read
    // that does not complete never shows an earlier block's bytes; the flags as above, with dataFlag set
    // instead. Returns the request to write.
    Bytes readDataBlock(std::uint16_t address);

    // One report, as one Timer1 tick reads it. A report shorter than 8 bytes counts as padded with zeros.
    Event receive(std::span<const std::uint8_t> report);

    // Gives up the read in progress (its wait ran out): reception stops, both flags clear.
    void abandon();

    bool running() const { return running_; } // Timer1 would be running
    bool controlFlag() const { return controlFlag_; }
    bool dataFlag() const { return dataFlag_; }
    bool inProgress() const { return controlFlag_ || dataFlag_; }
    bool stickAnswered() const { return stickAnswered_; } // usbStick: the stick answered this control-block read
    // The last read ended with all sixteen data reports of a 128-byte block; false while it runs and after
    // a short header, a stick answer or abandon().
    bool blockComplete() const { return complete_; }
    int countdown() const { return countdown_; }

    const Block& controlBlock() const { return controlBlock_; }
    Block& controlBlock() { return controlBlock_; }
    const Block& sendBlock() const { return sendBlock_; }

private:
    void start(bool control);
    Event storeData(std::span<const std::uint8_t> report);
    void stop();

    Block controlBlock_{};
    Block sendBlock_{};
    bool controlFlag_ = false;
    bool dataFlag_ = false;
    bool running_ = false;
    bool stickAnswered_ = false;
    bool shortBlock_ = false; // the header announced fewer than 16 data reports
    bool complete_ = false;
    int countdown_ = 0;
};

// Reads every report already waiting and feeds it to the reader, as long as the reader is running: the
// current block is collected in one tick instead of one report per tick, with the same result; reports
// after the end of the block stay waiting for the next request. At most `maxReports` are read (a device
// that floods the program cannot keep it in the loop). `reportLength` is the input report length; the
// buffer holds at least 8 bytes. Returns the number of reports read.
int drainReports(StickAccess& stick, BlockReader& reader, std::size_t reportLength, int maxReports = 256);

// Reads and drops every report already waiting (at most `maxReports`): after a read that ran out of
// time, late answers of the old request must not be taken for answers to the next one.
int discardWaitingReports(StickAccess& stick, std::size_t reportLength, int maxReports = 256);

// ---- The control block ----

constexpr std::size_t kDirectoryEntrySize = 16;
constexpr std::size_t kFirmwareEntry = 4;  // entry 4: the firmware descriptor
constexpr std::size_t kSlotNameOffset = 8; // name bytes 8..15 of a slot descriptor
constexpr std::size_t kSlotNameLength = 8;
constexpr std::uint8_t kEntryMark0 = 0x8A;
constexpr std::uint8_t kEntryMark1 = 0x65;
constexpr std::uint8_t kSlotEntryKind = 0xC2;
constexpr std::uint8_t kFirmwareEntryKind = 0xC1;
constexpr std::uint8_t kNameEnd = 0xFF;

// One memory slot as read from the module.
struct TMemory {
    bool mEmpty = true;         // no valid slot descriptor
    std::uint16_t mLength = 0;  // length of the record stream (128 when this program wrote it)
    std::uint16_t mAddress = 0; // 128 * block number, as a 16-bit number
    std::string mString;        // the name as UTF-8: each name byte is the character with that code
    Block mData{};              // the record stream as read
    // The data read did not complete (no answer in time): mData holds no configuration and must not be
    // taken into the image. Also set for every slot when the control block could not be read.
    bool unreadable = false;
};

struct FirmwareDescriptor {
    bool valid = false;
    std::uint8_t version = 0; // N of version 1.N
    std::uint16_t length = 0; // firmware bytes
    std::uint16_t firstBlock = 0;
};

struct ModuleDirectory {
    std::array<TMemory, kSlotCount> memorySlots; // M1..M4 at index 0..3; mData not yet read
    FirmwareDescriptor firmware;
};

// The descriptors of a control block. An entry is valid when it starts 8A 65 and the marker of its kind
// (C2 slot, C1 firmware); anything else is an empty slot or no firmware. Never fails.
ModuleDirectory parseControlBlock(const Block& controlBlock);

// The name in a slot descriptor's name bytes: up to 8 characters, ending before the first 0xFF. Each byte
// is the character with that code (0..255); the result is UTF-8.
std::string slotNameFromBytes(std::span<const std::uint8_t> nameBytes);

// ---- The whole read of start-up ----

enum class ModuleReadOutcome {
    Reading,    // not finished
    Module,     // a module answered: control block read, filled slots read (or marked unreadable)
    StickAlone, // the stick answered by itself: stick mode
    NoAnswer,   // the control block did not arrive in time: nothing is known about the module
};

struct ModuleContents {
    ModuleReadOutcome outcome = ModuleReadOutcome::Reading;
    bool controlBlockRead = false; // the control block arrived complete; only then may it be written back
    // NoAnswer because the module sent a header for fewer than 128 bytes, not because it kept silent.
    bool controlBlockShort = false;
    Block controlBlock{};      // as received (zeros where nothing arrived)
    ModuleDirectory directory; // slots with their data; after NoAnswer every slot is empty and unreadable
};

// Start-up's read of a module. start() gives the control-block request; the reader() takes the reports
// (BlockReader::receive or drainReports) during each wait pass; endOfPass() is called after every pass
// and says what to do next. A wait ends when its block is complete, when the block came short (a header
// for fewer than 128 bytes), or after pass `lastPass` (passes count from 0 for each block: 101 passes of
// 50 ms by default). A short block counts as no answer: a short control block gives NoAnswer, a short
// slot block an unreadable slot. Then the next filled slot is requested, in slot order, until all are
// read.
class ModuleReadSequence {
public:
    explicit ModuleReadSequence(int lastPass = 100) : lastPass_(lastPass) {}

    Bytes start();
    BlockReader& reader() { return reader_; }
    const BlockReader& reader() const { return reader_; }

    struct Step {
        int pass = 0;                // the pass that just ended (0, 1, ...): the window adds a dot every 10
        bool passEnded = false;      // from endOfPass (not afterReport)
        bool discardWaiting = false; // drop reports still waiting before writing `request`
        Bytes request;               // the next request to write; empty: none; its wait starts at pass 0
        bool finished = false;       // contents() is complete
    };
    // The end of a wait pass: counts it, and gives up the block after pass `lastPass`.
    Step endOfPass();
    // After each report fed to the reader: a block that is complete (or came short) is done with at once,
    // without waiting for the end of the pass. Counts no pass.
    Step afterReport();

    bool finished() const { return contents_.outcome != ModuleReadOutcome::Reading; }
    const ModuleContents& contents() const { return contents_; }
    // The slot whose data is being read (1..4), 0 while the control block is read or when finished.
    int slotBeingRead() const { return slot_; }

private:
    // Requests the next filled slot after slot_, or finishes.
    void nextSlot(Step& step);
    // Finishes as NoAnswer: nothing is known about the slots.
    void finishWithoutControlBlock(Step& step);
    Step advance(bool passEnded);

    BlockReader reader_;
    ModuleContents contents_;
    int lastPass_;
    int pass_ = 0;
    int slot_ = 0;
};

// Runs a whole read: writes each request, calls `waitPass` (one 50 ms pass: sleep until the next tick),
// drains the waiting reports into the reader, and goes on as endOfPass says: each block costs at least one
// pass. For tests that drive the passes themselves.
ModuleContents runModuleRead(StickAccess& stick, ModuleReadSequence& sequence, std::size_t reportLength,
                             const std::function<void()>& waitPass);

// How the command line and the benchmarks wait for the module: on the device, taking each report the
// moment it arrives (StickAccess::waitForReport); passes of `passMs` only count the time-out.
// (Made only from a number, so that `{}` keeps meaning "no sleep" for the overloads that take SleepMs.)
struct WaitOnDevice {
    constexpr explicit WaitOnDevice(int pass) : passMs(pass) {}
    int passMs;
};
constexpr int kReadPassMs = 50;
inline constexpr WaitOnDevice kWaitOnDevice{kReadPassMs};

// Runs a whole read waiting on the device: a block is done with as soon as its last report is in, and
// the next request goes out at once. The time-out stays 101 passes of 50 ms per block.
ModuleContents runModuleRead(StickAccess& stick, ModuleReadSequence& sequence, std::size_t reportLength,
                             WaitOnDevice wait);

} // namespace lumeq
