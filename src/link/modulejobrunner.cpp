#include "link/modulejobrunner.h"

#include "link/reportpump.h"
#include "link/stickaccess.h"

#include <QTimer>

#include <algorithm>

namespace lumeq {

ModuleJobRunner::ModuleJobRunner(StickAccess& stick, ReportPump& pump)
    : stick_(stick), pump_(pump), owner_(std::make_unique<QTimer>()) {
    timer_ = owner_.get();
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_, &QTimer::timeout, [this] { waitEnded(); });
}

ModuleJobRunner::~ModuleJobRunner() {
    interrupt("the program was closed before the write ended");
}

void ModuleJobRunner::start(std::unique_ptr<ModuleJob> job, std::size_t reportLength, Progress progress,
                            Finished finished) {
    job_ = std::move(job);
    progress_ = std::move(progress);
    finished_ = std::move(finished);
    reportLength_ = reportLength;
    serial_ = job_->waitSerial() + 1;
    shownDone_ = -1;
    clock_.start();
    // Reports from before (a late answer of the start-up read) are not answers to this job.
    pump_.discard();
    pump_.start(reportLength);
    step();
}

void ModuleJobRunner::reportsWaiting() {
    if (!job_ || stepping_)
        return;
    step();
}

void ModuleJobRunner::waitEnded() {
    if (!job_ || stepping_)
        return;
    // A timer that fired late has covered the waits after this one as well: each ends in turn, counted from
    // the end of the one before, so that 201 polls of 5 ms last about a second however busy the window is.
    const qint64 now = clock_.elapsed();
    qint64 start = waitStart_;
    for (;;) {
        const int ended = job_->awaitMs();
        job_->waited();
        if (job_->next() != JobAction::Await || job_->waitSerial() == serial_)
            break;
        start += ended;
        serial_ = job_->waitSerial();
        waitStart_ = start;
        if (now - start < job_->awaitMs())
            break;
    }
    step();
}

void ModuleJobRunner::step() {
    stepping_ = true;
    Bytes ignored(std::max(reportLength_, kDataReportSize), 0x00);
    while (job_ && !job_->finished()) {
        if (progress_ && job_->blocksDone() != shownDone_) {
            shownDone_ = job_->blocksDone();
            progress_(shownDone_, job_->blocksTotal());
        }
        const JobAction action = job_->next();
        if (action == JobAction::Write) {
            stick_.writeData(job_->reportToWrite());
            job_->advance();
        } else if (action == JobAction::TakeAndIgnore) {
            pump_.take();
            job_->advance();
        } else if (action == JobAction::DiscardWaiting) {
            pump_.discard();
            job_->advance();
        } else if (action == JobAction::Await) {
            if (std::optional<Bytes> report = pump_.take()) {
                job_->received(*report);
                continue;
            }
            if (pump_.lost()) {
                job_->lost();
                continue;
            }
            if (job_->waitSerial() != serial_) {
                serial_ = job_->waitSerial();
                waitStart_ = clock_.elapsed();
            }
            timer_->start(static_cast<int>(std::max<qint64>(0, waitStart_ + job_->awaitMs() - clock_.elapsed())));
            break;
        }
    }
    stepping_ = false;
    if (job_ && job_->finished())
        end();
}

void ModuleJobRunner::end() {
    timer_->stop();
    pump_.stop();
    pump_.discard();
    pump_.clearLost();
    if (progress_)
        progress_(job_->blocksDone(), job_->blocksTotal());
    // The job and the callback go before the call, so that `finished` may start the next job.
    std::unique_ptr<ModuleJob> job = std::move(job_);
    Finished finished = std::move(finished_);
    progress_ = {};
    if (finished)
        finished(job->result());
}

void ModuleJobRunner::interrupt(const std::string& why) {
    if (!job_)
        return;
    job_->interrupt(why);
    timer_->stop();
    pump_.stop();
    job_.reset();
    finished_ = {};
    progress_ = {};
}

} // namespace lumeq
