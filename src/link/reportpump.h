#pragma once
// Takes the stick's input reports the moment they arrive and hands them to the window's thread.
//
// A stick whose reads may run beside writes (hidapi, the simulator: StickAccess::concurrentReads) is read
// by a thread of the pump that waits on the device (StickAccess::waitForReport, in slices of
// kReaderSliceMs so that stop() returns promptly). Any other stick is polled every millisecond by a timer
// on the window's thread. Either way the reports go into a queue, oldest first, and the pump calls
// `reportsWaiting` on the thread that created it (a queued call, never from inside the reader) whenever
// the queue was empty before. The consumer takes reports with take() as far as it is ready for them;
// what it leaves stays queued in order, also across a change of consumer (the module read at start-up,
// then stick mode).
//
// When the stick is lost (unplugged, a failed read) the reader stops; lost() turns true once every report
// read before has been taken, and reportsWaiting is called for it too.
//
// The window's thread still writes to the stick directly. findHidDevice and closeDevice must only be
// called while the pump is stopped.

#include "link/frames.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QObject;
class QTimer;

namespace lumeq {

class StickAccess;

constexpr int kReaderSliceMs = 10;

class ReportPump {
public:
    ReportPump(StickAccess& stick, std::function<void()> reportsWaiting);
    ~ReportPump();
    ReportPump(const ReportPump&) = delete;
    ReportPump& operator=(const ReportPump&) = delete;

    // Starts reading reports of `reportLength` bytes (at least 8 are kept). A running pump goes on.
    void start(std::size_t reportLength);
    // Stops reading and waits for the reader: afterwards nobody reads the stick. Queued reports stay.
    void stop();
    bool running() const { return running_; }

    // The oldest report not yet taken.
    std::optional<Bytes> take();
    // Drops every queued report; returns how many.
    std::size_t discard();
    // The stick was lost and every report read before has been taken.
    bool lost() const;
    // Forgets a loss (the stick was found again).
    void clearLost();

private:
    void readerLoop(std::size_t reportLength);
    void pollOnce();
    void queue(Bytes report);
    void noteLost();
    void notifyLocked();

    StickAccess& stick_;
    std::function<void()> reportsWaiting_;
    std::unique_ptr<QObject> receiver_; // queued calls land here; deleting it drops those still pending
    QTimer* pollTimer_ = nullptr;       // child of receiver_
    std::size_t reportLength_ = kDataReportSize;
    bool running_ = false;
    std::thread reader_;
    std::atomic<bool> stopping_ = false;

    mutable std::mutex mutex_;
    std::deque<Bytes> queue_;
    bool lost_ = false;
    bool notifyPending_ = false;
};

} // namespace lumeq
