#pragma once
// Writing a module: one block (request, one ignored read, sixteen data reports, then polling for the
// module's confirmation), the whole Transfer of module mode as a plan of blocks, and Erase ALL.
//
// The state machines take the results of reads and say what to do next; they never wait. The window and
// the command line poll for a confirmation up to 201 times, each attempt waiting up to 5 ms on the device
// and ending the moment a report arrives (WaitOnDevice), without processing events; tests run the same
// steps with an injected sleep and plain reads (SleepMs).

#include "link/blockreader.h"
#include "link/frames.h"
#include "model/image.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumeq {

class StickAccess;

constexpr int kConfirmationPolls = 201; // attempts of transferCheck
constexpr int kConfirmationPollMs = 5;  // sleep before each attempt

// Error codes of a failed module write, shown after "Firmware Write Error!".
inline constexpr std::string_view kSlotDataError = "CF";
inline constexpr std::string_view kControlBlockError = "CB";
inline constexpr std::string_view kFirmwareError = "FW";
inline constexpr std::string_view kUsbErrorMessage = "   USB Error!   ";

// "Firmware Write Error!" followed directly by the code: "Firmware Write Error!CF".
std::string transferErrorMessage(std::string_view code);

// ---- The confirmation of one block ----

enum class Confirmation {
    NotAConfirmation, // no report, or one that does not start C0 33: keep polling
    Confirmed,        // C0 33 with the block's address and status 1
    Refused,          // C0 33 with the block's address and another status
    WrongAddress,     // C0 33 naming another address
};

Confirmation checkConfirmation(std::span<const std::uint8_t> report, std::uint16_t address);

enum class BlockWriteOutcome {
    Pending,
    Confirmed,
    Refused,        // negative confirmation
    WrongAddress,   // confirmation of another block
    NoConfirmation, // all polls passed without a confirmation report
};

// Words for a failed outcome ("the module refused the block", ...), for the command line and logs.
std::string blockWriteOutcomeText(BlockWriteOutcome outcome);

// What to do next with the stick.
enum class LinkAction {
    Write,         // write reportToWrite()
    ReadAndIgnore, // call readData once and ignore what it gives
    Poll,          // sleep 5 ms, call readData once, pass the result to polled()
    Done,          // finished: see the outcome
};

// One block write: the write block request, one ignored read, the sixteen data reports, then up to
// `maxPolls` polls. The first confirmation report ends the polling, whatever it says.
class BlockWriter {
public:
    BlockWriter(std::uint16_t address, const Block& block, int maxPolls = kConfirmationPolls);

    LinkAction next() const;
    const Bytes& reportToWrite() const; // for Write
    void advance();                     // after Write and ReadAndIgnore
    // After a Poll: the report read, or no value when readData found none.
    void polled(std::optional<std::span<const std::uint8_t>> report);

    BlockWriteOutcome outcome() const { return outcome_; }
    std::uint16_t address() const { return address_; }
    int polls() const { return polls_; }

private:
    std::uint16_t address_;
    std::vector<Bytes> reports_; // request, then the 16 data reports
    std::size_t written_ = 0;    // reports written
    bool ignoredRead_ = false;   // the read after the request is done
    int maxPolls_;
    int polls_ = 0;
    BlockWriteOutcome outcome_ = BlockWriteOutcome::Pending;
};

// Sleeps the given number of milliseconds (the window: a plain sleep; tests: nothing).
using SleepMs = std::function<void(int)>;

// Executes a block write on the stick. `reportLength` is the input report length. With SleepMs each poll
// sleeps 5 ms and then reads once; with WaitOnDevice it waits up to 5 ms for a report.
BlockWriteOutcome runBlockWrite(StickAccess& stick, BlockWriter& writer, std::size_t reportLength,
                                const SleepMs& sleepMs);
BlockWriteOutcome runBlockWrite(StickAccess& stick, BlockWriter& writer, std::size_t reportLength, WaitOnDevice wait);

// The confirmation check on its own: polls until a confirmation report arrives or all polls pass. True
// when the write of the block at `address` failed.
bool transferCheck(StickAccess& stick, std::uint16_t address, std::size_t reportLength, const SleepMs& sleepMs,
                   int maxPolls = kConfirmationPolls);
bool transferCheck(StickAccess& stick, std::uint16_t address, std::size_t reportLength, WaitOnDevice wait,
                   int maxPolls = kConfirmationPolls);

// ---- Transfer in module mode ----

// Firmware to write with a Transfer (when an update is due): the image buffer (0xFF where the container
// does not fill it), the number of firmware bytes (at most kFirmwareImageSize) and the version N for the
// descriptor.
struct FirmwareToWrite {
    std::span<const std::uint8_t> image;
    std::size_t length = 0;
    std::uint8_t version = 0;
};

struct TransferRequest {
    Block controlBlock{};          // the program's copy of the control block
    bool controlBlockRead = false; // it arrived complete at start-up; without it nothing is written
    int slot = 0;                  // 1..4
    Image image;                   // the working image, already passed through the dimming-curve correction
    std::string info;              // the info text (UTF-8): the slot's name
    std::optional<FirmwareToWrite> firmware;
};

enum class PlannedBlockKind { SlotData, Firmware, ControlBlock };

struct PlannedBlock {
    PlannedBlockKind kind = PlannedBlockKind::SlotData;
    std::uint16_t address = 0;
    Block bytes{};
};

// The blocks of one Transfer in order: the slot's record stream at the slot's address, the firmware
// blocks when an update is due, and last the control block with the slot's new descriptor (and the new
// firmware descriptor). When a firmware block fails, the control block goes out with the firmware
// descriptor it had before (`controlBlockKeepingFirmware`).
struct TransferPlan {
    int slot = 0;
    std::vector<PlannedBlock> blocks;
    Block controlBlockKeepingFirmware{};
};

struct TransferPlanResult {
    std::optional<TransferPlan> plan;
    std::string error; // why nothing may be written
};

// Refuses, with the reason in `error`: a control block that was not read, a slot outside 1..4, an image
// of fewer than 96 bytes, firmware longer than kFirmwareImageSize.
TransferPlanResult planTransfer(const TransferRequest& request);

// The control block after a successful Transfer (the last planned block).
const Block& plannedControlBlock(const TransferPlan& plan);

struct TransferResult {
    bool ok = false;
    // The code of the error that stopped the Transfer ("CF" slot data, "CB" control block); empty when ok.
    std::string errorCode;
    BlockWriteOutcome failure = BlockWriteOutcome::Pending; // of the block that stopped it
    std::uint16_t failedAddress = 0;
    // A firmware block failed ("FW"): reported, and the Transfer went on with the control block.
    bool firmwareFailed = false;
    bool firmwareWritten = false;
    Block controlBlockWritten{}; // what was sent to 0xFF80 (when it was reached)
};

// Carries out a plan block by block; the same actions as BlockWriter.
class TransferRun {
public:
    explicit TransferRun(TransferPlan plan, int maxPolls = kConfirmationPolls);

    LinkAction next() const;
    const Bytes& reportToWrite() const;
    void advance();
    void polled(std::optional<std::span<const std::uint8_t>> report);

    bool finished() const { return finished_; }
    const TransferResult& result() const { return result_; }
    // The block being written (meaningful until finished).
    const PlannedBlock& currentBlock() const { return plan_.blocks[index_]; }

private:
    void startBlock(std::size_t index);
    void blockDone();

    TransferPlan plan_;
    int maxPolls_;
    std::size_t index_ = 0;
    std::optional<BlockWriter> writer_;
    bool finished_ = false;
    TransferResult result_;
};

TransferResult runTransfer(StickAccess& stick, TransferRun& run, std::size_t reportLength, const SleepMs& sleepMs);
TransferResult runTransfer(StickAccess& stick, TransferRun& run, std::size_t reportLength, WaitOnDevice wait);

// ---- Checking a Transfer by reading the module back ----

// Compares the control block read back after a Transfer with the one written, entry by entry: the slot
// descriptors of M1..M4 (entries 0..3, bytes 0..15 each), the firmware descriptor (entry 4) and the
// entries the program only carries along (5..7). One line per entry that differs, naming it and its first
// differing byte: "the slot descriptor of M2 differs at byte 8: written C0, read back FF". Empty when the
// blocks are identical.
std::vector<std::string> controlBlockDifferences(const Block& written, const Block& readBack);

// Writes a plan's blocks straight into a module memory image, as a module that confirms every block
// would store them (for building simulator states). `memory` is the module's 64 KiB.
void applyTransferPlan(const TransferPlan& plan, std::span<std::uint8_t> memory);

// ---- Erase ALL ----

// Writes the erase frame. The module does not answer it.
void eraseModule(StickAccess& stick);

} // namespace lumeq
