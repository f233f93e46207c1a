#include "link/reportpump.h"

#include "link/stickaccess.h"

#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace lumeq {

ReportPump::ReportPump(StickAccess& stick, std::function<void()> reportsWaiting)
    : stick_(stick), reportsWaiting_(std::move(reportsWaiting)), receiver_(std::make_unique<QObject>()) {
    pollTimer_ = new QTimer(receiver_.get());
    pollTimer_->setInterval(1);
    QObject::connect(pollTimer_, &QTimer::timeout, receiver_.get(), [this] { pollOnce(); });
}

ReportPump::~ReportPump() {
    stop();
}

void ReportPump::start(std::size_t reportLength) {
    if (running_)
        return;
    reportLength_ = std::max(reportLength, kDataReportSize);
    running_ = true;
    if (!stick_.concurrentReads()) {
        pollTimer_->start();
        return;
    }
    stopping_ = false;
    reader_ = std::thread([this, length = reportLength_] { readerLoop(length); });
}

void ReportPump::stop() {
    if (!running_)
        return;
    running_ = false;
    pollTimer_->stop();
    if (reader_.joinable()) {
        stopping_ = true;
        reader_.join();
    }
}

void ReportPump::readerLoop(std::size_t reportLength) {
    Bytes buffer(reportLength, 0x00);
    while (!stopping_) {
        std::fill(buffer.begin(), buffer.end(), 0x00);
        switch (stick_.waitForReport(buffer, kReaderSliceMs)) {
        case StickAccess::Wait::Report:
            queue(buffer);
            break;
        case StickAccess::Wait::Nothing:
            break;
        case StickAccess::Wait::Lost:
            noteLost();
            return;
        }
    }
}

void ReportPump::pollOnce() {
    Bytes buffer(reportLength_, 0x00);
    // Everything already waiting, but not without end: a device that floods cannot keep the window busy.
    for (int i = 0; i < 256 && running_; ++i) {
        std::fill(buffer.begin(), buffer.end(), 0x00);
        const StickAccess::Wait wait = stick_.waitForReport(buffer, 0);
        if (wait == StickAccess::Wait::Report) {
            queue(buffer);
            continue;
        }
        if (wait == StickAccess::Wait::Lost) {
            pollTimer_->stop();
            running_ = false;
            noteLost();
        }
        break;
    }
}

void ReportPump::notifyLocked() {
    if (notifyPending_)
        return;
    notifyPending_ = true;
    QMetaObject::invokeMethod(
        receiver_.get(),
        [this] {
            {
                std::lock_guard lock(mutex_);
                notifyPending_ = false;
            }
            if (reportsWaiting_)
                reportsWaiting_();
        },
        Qt::QueuedConnection);
}

void ReportPump::queue(Bytes report) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(report));
    notifyLocked();
}

void ReportPump::noteLost() {
    std::lock_guard lock(mutex_);
    lost_ = true;
    notifyLocked();
}

std::optional<Bytes> ReportPump::take() {
    std::lock_guard lock(mutex_);
    if (queue_.empty())
        return std::nullopt;
    Bytes report = std::move(queue_.front());
    queue_.pop_front();
    return report;
}

std::size_t ReportPump::discard() {
    std::lock_guard lock(mutex_);
    const std::size_t count = queue_.size();
    queue_.clear();
    return count;
}

bool ReportPump::lost() const {
    std::lock_guard lock(mutex_);
    return lost_ && queue_.empty();
}

void ReportPump::clearLost() {
    std::lock_guard lock(mutex_);
    lost_ = false;
}

} // namespace lumeq
