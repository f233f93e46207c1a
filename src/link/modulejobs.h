#pragma once
// The writes to a module as jobs: a slot write (Transfer: the slot's records, the firmware when it goes
// along, the control block) and Erase ALL. Each job sends, waits for the module's confirmations, reads
// back what it wrote and compares, and ends with one record in the log of programmed modules. The window
// and lumeq-cli run the same jobs and only put the result into words of their own: the texts of a
// failure (the program's message, the reason, what to check) and the log record are made here alone.
//
// A job keeps no time and never waits. It says what to do next (write a report, take one report and
// ignore it, or wait for a report), takes the reports as they arrive and the end of each wait, and moves
// on. Each wait has a length and a serial number: a new serial is a new wait, counted from now; reports
// that do not end a wait (a late answer, anything that is not the awaited confirmation or block) do not
// make it longer. The window drives a job from its report pump and a timer, lumeq-cli and the tests by
// waiting on the device (runModuleJob).
//
// Timing, as the program has always written modules: after each block the module's confirmation is
// polled up to 201 times, each attempt waiting 5 ms (a report ends an attempt early); a block read back
// waits up to 101 passes of 50 ms.

#include "files/programmedlog.h"
#include "link/blockreader.h"
#include "link/blockwriter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumeq {

class StickAccess;

// What to do next for a job.
enum class JobAction {
    Write,         // write reportToWrite(), then advance()
    TakeAndIgnore, // take one report if one is waiting (readData once) and drop it, then advance()
    DiscardWaiting, // drop every report waiting now (late answers of a request given up), then advance()
    Await,         // wait up to awaitMs() for a report: received() with it, or waited() when none came
    Done,          // finished: see result()
};

// How a job ended, in the words the window and lumeq-cli show.
struct ModuleJobResult {
    bool ok = false;
    // The program's own message ("Firmware Write Error!CF", ...); empty when ok.
    std::string message;
    // Why, in the words of the log and lumeq-cli ("the module answered that the block was not written at
    // address 8000"); empty when ok.
    std::string reason;
    // What the installer may check or do next; empty when ok.
    std::string advice;
    // Each difference the read-back found ("slot M2 was written, but the slot's data differs at byte 2:
    // written 00, read back FF").
    std::vector<std::string> differences;
    bool firmwareWritten = false; // the firmware blocks and the new firmware descriptor were confirmed
    bool firmwareFailed = false;  // a firmware block was not confirmed (the write went on without it)
    std::size_t firmwareBlocks = 0;
    // The control block as written (when the write reached it).
    std::optional<Block> controlBlockWritten;
    // The name the slot holds after the write, as read back (UTF-8).
    std::string storedName;
    // The record in the log of programmed modules.
    ProgrammedRecord record;
    // Why the record could not be added to the log; empty when it was.
    std::string logError;

    // The reason and what to check, as one detail line under the message.
    std::string detail() const;
};

class ModuleJob {
public:
    virtual ~ModuleJob() = default;

    virtual JobAction next() const = 0;
    virtual const Bytes& reportToWrite() const = 0;
    virtual void advance() = 0;
    // The current wait: its length in milliseconds, and its serial (a new one starts a new wait).
    virtual int awaitMs() const = 0;
    virtual unsigned waitSerial() const = 0;
    virtual void received(std::span<const std::uint8_t> report) = 0;
    virtual void waited() = 0;
    // The stick is gone: the job ends at once.
    virtual void lost() = 0;
    // The job ends before it finished (the program closes): logged as interrupted.
    virtual void interrupt(const std::string& why) = 0;

    // Blocks sent and confirmed so far, of the blocks the write sends (a progress bar).
    virtual int blocksDone() const = 0;
    virtual int blocksTotal() const = 0;

    bool finished() const { return next() == JobAction::Done; }
    const ModuleJobResult& result() const { return result_; }

protected:
    // Fills the outcome of the record, appends it to the log, and keeps why that failed.
    void logRecord();

    ModuleJobResult result_;
};

// ---- Transfer ----

// The waits of a read-back: passes of `passMs`, the last one `lastPass` (101 passes of 50 ms, as start-up
// reads a module; tests shorten them as they shorten start-up).
struct ReadBackTiming {
    int passMs = kReadPassMs;
    int lastPass = 100;
};

struct SlotWriteRequest {
    TransferRequest transfer; // what to write: the image already passed through the curve
    std::string curveName;    // the curve the levels went through (file name, for the log); empty: none
    ReadBackTiming readBack;
};

struct SlotWritePlan {
    std::unique_ptr<ModuleJob> job; // empty when nothing may be written
    std::string error;              // why (the plan's refusal)
};

// A Transfer of the request: nothing is sent when the plan refuses it.
SlotWritePlan planSlotWrite(const SlotWriteRequest& request);

// ---- Erase ALL ----

// Sends the erase frame (the module does not answer it), then reads the control block back: erased when
// it lists no slot and no firmware.
std::unique_ptr<ModuleJob> eraseJob(ReadBackTiming timing = {});

// ---- Running a job on the device ----

// Carries a job out on the stick to its end, waiting on the device for each report (lumeq-cli, tests,
// benchmarks). `reportLength` is the input report length. `progress` is told after each block.
const ModuleJobResult& runModuleJob(StickAccess& stick, ModuleJob& job, std::size_t reportLength,
                                    const std::function<void(int done, int total)>& progress = {});

} // namespace lumeq
