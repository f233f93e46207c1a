#pragma once
// A stick, and optionally a module behind it, simulated from a state file (see SimState). Everything
// that must outlive the program's self-restart lives in the file; this object only holds the answers
// still waiting to be read and the counters of the faults since the stick was found.
//
// What the simulated devices answer:
// - module present: a read block request (AA 55 F2 10 lo hi 00 00) gets the block header C0 44 00 00 80
//   and sixteen data reports carrying the 128 bytes of module memory from that address on;
// - a write block request (AA 55 F1 10 lo hi 00 00) makes the module take the next sixteen output reports
//   as the block's data (their first 8 bytes each, whatever they hold); it stores the block, saves the
//   state file and answers with the confirmation C0 33 lo hi 01;
// - erase all (AA 55 FC 00 55 AA 00 00) sets the whole module memory to FF and saves the state file; it
//   is not answered;
// - stick without module: the first read block request after the stick was found gets B2 50 (the stick
//   answers by itself), followed by the stick's identification B2 5F, its device number, 00 and its
//   firmware version. Then it serves stick frames (CA C5 ...): read memory gets B2 52 with the CRC,
//   address, count and the bytes of its 256-byte device memory; write memory and write EE are checked
//   (CRC), stored, saved and answered B2 54 / B2 56 (B2 55 / B2 57 when refused); firmware record parts
//   are checked and answered B2 58 (phases 1 and 2) or B2 5A (phase 3), B2 59 / B2 5B when refused; the
//   stick keeps what it received. The accepted write EE frame that ends the EE area (address + count
//   reaching 120) and the reset frame CA C5 0E are followed by a new identification, as the stick starts
//   afresh; at the reset the firmware received is recorded in the state file (ReceivedFirmwareBytes and
//   ReceivedFirmwareCrc). Module frames other than the first read get nothing.
//
// Faults of the state file: NoAnswer (requests are neither answered nor acted on), NoAnswerAfter (the
// same for the output reports after the first N since the stick was found: a block whose data reports
// stop half-way is not stored), LoseAnswersAfter (the answers after the first N since the stick was found
// are lost; the devices still act), ConfirmStatus and ConfirmAddressOffset (what confirmations say: a
// negative one, or one naming another block; the block is stored all the same), ConfirmFaultAddress (the
// two apply to that block's confirmation only), RefuseBlockAddress (the block at that address is refused
// and not stored), StoreDiffersAddress (the block at that address is confirmed but kept with its byte 2
// inverted: only a read-back finds it), DelayPerReportMs (each answer becomes readable that long after the one before, measured
// on a steady clock), RefuseWrites, BadReadCrc, RefuseFirmwareFrame (stick alone) and UnplugAfter (the
// stick is pulled out right after it took that many output reports: that report is neither acted on nor
// answered, the state file says Present=false, and reading reports the stick lost). Stick alone also:
// StrayAnswerFrame with StrayAnswerCode and StrayAnswerFirst (that stick frame also gets the answer B2 and the
// code, one that does not fit it, before or after the real one), LateAnswerFrame with LateAnswerMs (that
// frame's answer is that much late) and ReidentifyMs (after a lost answer, or while one is late, the stick
// sends its identification B2 5F every so many milliseconds, which no loss fault swallows) and
// StickStoreDiffersByte (that byte of the memory is kept inverted by the write frames that carry it; only a
// read-back shows it).
//
// Threads: a reader thread may wait in waitForReport while another thread writes; a lock guards the
// state, and a write that queues an answer wakes the waiting reader at once (or when the answer is due).

#include "link/simstate.h"
#include "link/stickaccess.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace lumeq {

class SimulatedStick : public StickAccess {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // `clock` gives the time for delayed answers; the default is std::chrono::steady_clock::now. With a
    // clock of its own, waitForReport polls that clock instead of sleeping until an answer is due.
    explicit SimulatedStick(std::string statePath, Clock clock = {});

    bool libraryLoaded() const override { return true; }
    // "simulator: PATH", after a failed findHidDevice the reason instead (it names the file).
    std::string description() const override;

    // Reads the state file afresh: the stick is found when the file holds a stick that is present.
    // Answers still waiting from before are dropped and the fault counters start again, as when a real
    // device is opened again.
    bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) override;
    int getInputReportLength() override;
    int getOutputReportLength() override;
    int getFeatureReportLength() override;
    void writeData(std::span<const std::uint8_t> report) override;
    bool readData(std::span<std::uint8_t> buffer) override;
    // Sleeps until the next answer is due, a write queues one, or the time is up.
    Wait waitForReport(std::span<std::uint8_t> buffer, int timeoutMs) override;
    bool concurrentReads() const override { return true; }
    bool simulated() const override { return true; }
    void closeDevice() override;
    // Feature reports are taken (and ignored) when the stick declares a feature report length.
    bool setFeature(std::span<const std::uint8_t> report) override;

    // The state as last read from the file and changed since (not while a reader thread runs).
    const SimState& state() const { return *state_; }
    // Why the last findHidDevice found no stick; empty after it found one.
    const std::string& lastError() const { return lastError_; }
    // Why the last save of the state file failed; empty when it did not.
    const std::string& lastSaveError() const { return lastSaveError_; }
    // Input reports queued, whether or not they are readable yet.
    std::size_t pendingReports() const;
    // The module is collecting the data reports of a block write.
    bool receivingBlock() const;
    // When the next queued answer becomes readable; nothing when none is queued.
    std::optional<std::chrono::steady_clock::time_point> nextDue() const;
    // The stick was pulled out (UnplugAfter) and has not been found again.
    bool unplugged() const;

private:
    struct PendingReport {
        std::vector<std::uint8_t> bytes;
        std::chrono::steady_clock::time_point due;
    };

    std::chrono::steady_clock::time_point now() const;
    bool takeReport(std::span<std::uint8_t> buffer); // under the lock
    void close();                                    // under the lock
    // The first 8 bytes of an output report that starts with AA 55.
    void receiveModuleFrame(std::span<const std::uint8_t, 8> frame);
    // One data report of a block write.
    void receiveBlockData(std::span<const std::uint8_t> report);
    void answerReadBlock(std::uint16_t address);
    void eraseAll();
    // A stick frame (CA C5 ...) of a stick without module.
    void receiveStickFrame(std::span<const std::uint8_t> frame);
    void answerStickFrame(std::span<const std::uint8_t> frame);
    // ReidentifyMs: the first unprompted identification falls due (unless one is due already).
    void armReidentify();
    void answerReadMemory(std::span<const std::uint8_t> frame);
    void receiveMemoryWrite(std::span<const std::uint8_t> frame, bool ee);
    void receiveFirmwarePart(std::span<const std::uint8_t> frame);
    void receiveReset();
    void queueIdentification();
    void unplug();
    void saveState();
    // Queues an input report: the bytes, padded with zeros (or cut) to the input report length. Lost when
    // the fault settings say so.
    void queueReport(std::span<const std::uint8_t> bytes);

    std::string path_;
    Clock clock_;
    mutable std::mutex mutex_;
    std::condition_variable queued_;
    std::unique_ptr<SimState> state_; // 64 KiB of module memory: kept off the stack
    bool open_ = false;
    bool unplugged_ = false;
    bool stickAnsweredRead_ = false;
    std::deque<PendingReport> pending_;
    std::chrono::steady_clock::time_point lastDue_{};
    long long answersProduced_ = 0; // since the stick was found
    long long reportsTaken_ = 0;    // output reports since the stick was found
    int writesRefused_ = 0;
    int badCrcsSent_ = 0;
    int firmwareFrames_ = 0;
    long long stickFrames_ = 0; // stick frames (CA C5) since the stick was found
    // When the next unprompted identification is due (ReidentifyMs); none before an answer was lost.
    std::optional<std::chrono::steady_clock::time_point> reidentifyDue_;
    std::vector<std::uint8_t> receivedFirmware_; // since the last reset frame or refusal
    std::optional<std::uint16_t> incomingAddress_;
    std::vector<std::uint8_t> incoming_;
    std::string lastError_;
    std::string lastSaveError_;
};

} // namespace lumeq
