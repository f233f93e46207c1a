// Firmware containers (*.qfw): parsed as the Load button and the built-in firmware are, taken as the
// firmware to write, planned into the blocks of a module Transfer, and written back out as a container.

#include "fuzztarget.h"

#include "files/firmwarecontainer.h"
#include "link/blockreader.h"
#include "link/blockwriter.h"
#include "link/firmwarestate.h"

#include <algorithm>

using namespace lumeq;

LUMEQ_FUZZ_TARGET(firmwarecontainer) {
    const std::string_view text = fuzz::asText(input);
    const FirmwareContainer container = parseFirmwareContainer(text);

    FUZZ_CHECK(container.image.size() == kFirmwareImageSize);
    FUZZ_CHECK((container.error == FirmwareContainerError::NoDataLines) == (container.dataLines == 0));
    FUZZ_CHECK((container.error == FirmwareContainerError::TooManyLines) ==
               (container.dataLines > kFirmwareMaxDataLines));
    FUZZ_CHECK(container.error != FirmwareContainerError::NotFirmware);
    if (container.usable())
        FUZZ_CHECK(container.crcHolds() && container.length < kFirmwareLengthLimit);
    const std::size_t lines = std::min(container.dataLines, kFirmwareMaxDataLines);
    FUZZ_CHECK(std::all_of(container.image.begin() + static_cast<std::ptrdiff_t>(lines * kFirmwareLineBytes),
                           container.image.end(), [](std::uint8_t byte) { return byte == 0xFF; }));
    FUZZ_CHECK(!container.usable() || firmwareContainerProblem(container).empty());
    FUZZ_CHECK(container.usable() || !firmwareContainerProblem(container).empty());

    // The Load button's view: the same, and NotFirmware for a container without its signature.
    const FirmwareContainer checked = checkFirmwareFile(text);
    FUZZ_CHECK(checked.image == container.image && checked.dataLines == container.dataLines);
    if (!container.signatureHolds && container.error != FirmwareContainerError::NoDataLines)
        FUZZ_CHECK(checked.error == FirmwareContainerError::NotFirmware);
    else
        FUZZ_CHECK(checked.error == container.error);

    // Taken by the Load button: only a usable container changes the firmware state.
    FirmwareState state;
    const FirmwareFileResult taken = takeFirmwareFile(state, container, FirmwareMode::Module);
    FUZZ_CHECK(taken.accepted == container.usable());
    FUZZ_CHECK(state.hasImage() == (taken.accepted && container.length > 0));
    if (taken.accepted) {
        FUZZ_CHECK(state.fwImage.size() == kFirmwareImageSize && state.fwLength < kFirmwareImageSize);
        FUZZ_CHECK(state.fwUpdatePending && state.fwVersion == container.version);

        // A module Transfer with this firmware: one block per 128 bytes, inside the firmware area, and a
        // firmware descriptor that reads back as written.
        TransferRequest request;
        request.controlBlockRead = true;
        request.slot = 1;
        request.image = Image(kImageSize, 0x00);
        request.firmware = FirmwareToWrite{state.image(), state.fwLength, state.fwVersion};
        const TransferPlanResult planned = planTransfer(request);
        FUZZ_CHECK(planned.plan.has_value());
        const auto firmwareBlocks = std::count_if(planned.plan->blocks.begin(), planned.plan->blocks.end(),
                                                  [](const PlannedBlock& block) {
                                                      return block.kind == PlannedBlockKind::Firmware;
                                                  });
        FUZZ_CHECK(static_cast<std::size_t>(firmwareBlocks) == (state.fwLength + kBlockSize - 1) / kBlockSize);
        for (const PlannedBlock& block : planned.plan->blocks) {
            if (block.kind != PlannedBlockKind::Firmware)
                continue;
            FUZZ_CHECK(block.address >= firmwareBlockAddress(0) &&
                       block.address < firmwareBlockAddress(kFirmwareMaxDataLines));
        }
        const ModuleDirectory directory = parseControlBlock(plannedControlBlock(*planned.plan));
        FUZZ_CHECK(directory.firmware.valid && directory.firmware.version == container.version &&
                   directory.firmware.length == state.fwLength && directory.firmware.firstBlock == kFirstFirmwareBlock);
    }

    // Written back out with every line it carried, the container reads back with the same bytes and a CRC
    // that holds.
    if (container.dataLines >= 1 && container.dataLines <= kFirmwareMaxDataLines) {
        const std::vector<std::uint8_t> carried(
            container.image.begin(),
            container.image.begin() + static_cast<std::ptrdiff_t>(container.dataLines * kFirmwareLineBytes));
        const FirmwareContainer again = checkFirmwareFile(formatFirmwareContainer(carried, container.version));
        FUZZ_CHECK(again.signatureHolds && again.crcHolds());
        FUZZ_CHECK(again.dataLines == container.dataLines && again.image == container.image);
        FUZZ_CHECK(again.version == container.version && again.computedCrc == container.computedCrc);
    }
}
