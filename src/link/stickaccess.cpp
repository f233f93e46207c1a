#include "link/stickaccess.h"

#include "link/hidapistick.h"
#include "link/simulatedstick.h"

#include <QString>

namespace lumeq {

std::unique_ptr<StickAccess> createStickAccess() {
    const QString statePath = qEnvironmentVariable("LUMEQ_SIMULATOR");
    if (!statePath.isEmpty())
        return std::make_unique<SimulatedStick>(statePath.toStdString());
    return std::make_unique<HidapiStick>();
}

} // namespace lumeq
