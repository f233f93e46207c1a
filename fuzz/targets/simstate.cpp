// The simulator's state file (LUMEQ_SIMULATOR), read as the simulated stick reads it whenever the program
// looks for the stick, and written back as "lumeq-cli sim" and the simulator write it.

#include "fuzztarget.h"

#include "link/simstate.h"

using namespace lumeq;

LUMEQ_FUZZ_TARGET(simstate) {
    const SimStateLoad load = SimState::fromText(fuzz::asText(input));
    FUZZ_CHECK(load.state.has_value() == load.error.empty());
    FUZZ_CHECK(load.warnings.size() <= 51);
    if (!load.state) {
        FUZZ_CHECK(load.warnings.empty());
        return;
    }
    const SimState& state = *load.state;
    FUZZ_CHECK(state.stick.inputReportLength >= 1 && state.stick.inputReportLength <= 255);
    FUZZ_CHECK(state.stick.outputReportLength >= 1 && state.stick.outputReportLength <= 255);
    FUZZ_CHECK(state.stick.featureReportLength >= 0 && state.stick.featureReportLength <= 255);
    FUZZ_CHECK(state.faults.loseAnswersAfter >= -1 && state.faults.unplugAfter >= -1);
    FUZZ_CHECK(state.faults.refuseBlockAddress >= -1 && state.faults.refuseBlockAddress <= 0xFFFF);

    // Written and read again: the same state, without a warning.
    const std::string text = state.toText();
    const SimStateLoad again = SimState::fromText(text);
    FUZZ_CHECK(again.state.has_value() && again.error.empty() && again.warnings.empty());
    FUZZ_CHECK(*again.state == state);
}
