#pragma once
// The firmware the program can bring a module or a stick to, and the rules that fill it: the built-in
// container read at start-up (with the version decision of module mode) and a firmware file taken by the
// Load button. The window keeps one FirmwareState; module-mode Transfer writes it, stick mode sends it.

#include "files/firmwarecontainer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumeq {

struct FirmwareState {
    std::vector<std::uint8_t> fwImage; // kFirmwareImageSize bytes once an image was taken; empty: none
    std::size_t fwLength = 0;          // firmware bytes of the image
    std::uint8_t fwVersion = 0;        // the version to record in the module's firmware descriptor
    // The built-in container's version, taken from its header as soon as it is read (also when its
    // check fails); no value before.
    std::optional<std::uint8_t> embeddedFwVersion;
    // The built-in container passed its check: the program carries a firmware image. Only then is the
    // stick asked whether to update.
    bool embeddedImage = false;
    int moduleFwVersion = 0;      // the module's firmware descriptor; 0 when it has none
    bool fwUpdatePending = false; // module mode: the image goes into the module at the next Transfer

    bool hasImage() const { return !fwImage.empty() && fwLength > 0; }
    std::span<const std::uint8_t> image() const { return fwImage; }
};

// Where the firmware icon iFW stands after a step: shown with this hint, or no change.
struct FirmwareIcon {
    std::string hint; // "Version 1.N", with " (Update!)" when an update is due in module mode
};

enum class FirmwareMode { Module, Stick, Demo };

// " (Update!)": the hint's mark of a pending module update.
inline constexpr const char* kUpdateMark = " (Update!)";

// The built-in container, read at start-up (never in demo mode). The header's version becomes
// embeddedFwVersion whatever follows; a container that cannot be used (CRC, more than 96 lines, a length
// of 0x3000 or more) changes nothing else and shows nothing. Otherwise the image is taken: in stick mode
// with the hint "Version 1.N"; in module mode fwVersion is set and an update falls due when the version
// differs from the module's (hint " (Update!)"), or is cleared when it equals it.
std::optional<FirmwareIcon> takeBuiltInFirmware(FirmwareState& state, const FirmwareContainer& container,
                                                FirmwareMode mode);

// A firmware file loaded by the Load button (its signature already tested). Refused (false) when it cannot
// be used (CRC, more than 96 lines, a length field of 0x3000 or more): the state stays as it was and the
// window shows "File is corrupted!". Accepted: image, length and version taken, an update falls due; the
// icon is shown unless in demo mode.
struct FirmwareFileResult {
    bool accepted = false;
    std::optional<FirmwareIcon> icon;
};
FirmwareFileResult takeFirmwareFile(FirmwareState& state, const FirmwareContainer& container, FirmwareMode mode);

// The hint of the icon when the module reports its firmware at start-up: "Version 1.N".
FirmwareIcon moduleFirmwareIcon(std::uint8_t version);

// The line that goes with a question (or a refusal) to install older firmware on a device ("stick",
// "module"): "The stick has firmware 1.72; updating would install the older version 1.50."
std::string firmwareDowngradeText(std::string_view device, int deviceVersion, int imageVersion);

} // namespace lumeq
