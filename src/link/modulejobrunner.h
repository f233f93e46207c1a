#pragma once
// Runs a module job (link/modulejobs.h) on the thread that created the runner, with the window's event
// loop going on: reports come from the report pump the moment they arrive, the ends of waits from a
// timer, and nothing blocks or sleeps. The window's Transfer and Erase ALL go through it.

#include "link/modulejobs.h"

#include <QElapsedTimer>

#include <functional>
#include <memory>

class QTimer;

namespace lumeq {

class ReportPump;
class StickAccess;

class ModuleJobRunner {
public:
    using Progress = std::function<void(int done, int total)>;
    using Finished = std::function<void(const ModuleJobResult& result)>;

    ModuleJobRunner(StickAccess& stick, ReportPump& pump);
    ~ModuleJobRunner();
    ModuleJobRunner(const ModuleJobRunner&) = delete;
    ModuleJobRunner& operator=(const ModuleJobRunner&) = delete;

    // Starts the job (the pump is started for it and stopped when it ends). `finished` is called once,
    // from the event loop, when the job has ended.
    void start(std::unique_ptr<ModuleJob> job, std::size_t reportLength, Progress progress, Finished finished);
    bool running() const { return job_ != nullptr; }
    // The pump has reports (or lost the stick).
    void reportsWaiting();
    // The program closes: the job ends as interrupted.
    void interrupt(const std::string& why);

private:
    // Carries out what the job asks until it waits or ends.
    void step();
    void waitEnded();
    void end();

    StickAccess& stick_;
    ReportPump& pump_;
    std::unique_ptr<ModuleJob> job_;
    Progress progress_;
    Finished finished_;
    QTimer* timer_ = nullptr;
    std::unique_ptr<QTimer> owner_;
    unsigned serial_ = 0;
    QElapsedTimer clock_;
    qint64 waitStart_ = 0; // when the current wait began (clock_)
    bool stepping_ = false;
    int shownDone_ = -1;
    std::size_t reportLength_ = 0;
};

} // namespace lumeq
