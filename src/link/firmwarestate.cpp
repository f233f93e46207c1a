#include "link/firmwarestate.h"

namespace lumeq {

namespace {

void takeImage(FirmwareState& state, const FirmwareContainer& container) {
    state.fwImage = container.image;
    state.fwLength = container.length;
}

} // namespace

std::optional<FirmwareIcon> takeBuiltInFirmware(FirmwareState& state, const FirmwareContainer& container,
                                                FirmwareMode mode) {
    if (mode == FirmwareMode::Demo)
        return std::nullopt;
    state.embeddedFwVersion = container.version;
    if (!container.usable())
        return std::nullopt;
    state.embeddedImage = true;
    takeImage(state, container);
    FirmwareIcon icon{firmwareVersionText(container.version)};
    if (mode == FirmwareMode::Stick)
        return icon;
    state.fwUpdatePending = container.version != state.moduleFwVersion;
    if (state.fwUpdatePending)
        icon.hint += kUpdateMark;
    state.fwVersion = container.version;
    return icon;
}

FirmwareFileResult takeFirmwareFile(FirmwareState& state, const FirmwareContainer& container, FirmwareMode mode) {
    FirmwareFileResult result;
    if (!container.usable())
        return result;
    result.accepted = true;
    takeImage(state, container);
    state.fwVersion = container.version;
    state.fwUpdatePending = true;
    if (mode != FirmwareMode::Demo)
        result.icon = FirmwareIcon{firmwareVersionText(container.version)};
    return result;
}

std::string firmwareDowngradeText(std::string_view device, int deviceVersion, int imageVersion) {
    return "The " + std::string(device) + " has firmware 1." + std::to_string(deviceVersion) +
           "; updating would install the older version 1." + std::to_string(imageVersion) + ".";
}

FirmwareIcon moduleFirmwareIcon(std::uint8_t version) {
    return {firmwareVersionText(version)};
}

} // namespace lumeq
