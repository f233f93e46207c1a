#include "link/stickaccess.h"

#include "link/hidapistick.h"
#include "link/simulatedstick.h"

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <thread>

namespace lumeq {

StickAccess::Wait StickAccess::waitForReport(std::span<std::uint8_t> buffer, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (readData(buffer))
            return Wait::Report;
        if (std::chrono::steady_clock::now() >= deadline)
            return Wait::Nothing;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::unique_ptr<StickAccess> createStickAccess() {
    const QByteArray statePath = qgetenv("LUMEQ_SIMULATOR"); // the file's name byte for byte
    if (!statePath.isEmpty())
        return std::make_unique<SimulatedStick>(statePath.toStdString());
    return std::make_unique<HidapiStick>();
}

} // namespace lumeq
