#pragma once
// Two configurations compared setting by setting, in the words of their summaries (configsummary.h): the
// settings are matched by their place (section title, item label; a step of a step table by its number
// and column), so a difference reads as `lumeq-cli show` would show each side.

#include "files/configsummary.h"
#include "model/image.h"

#include <string>
#include <vector>

namespace lumeq {

// The text for a setting that one side does not show (its block has fewer items or steps).
inline constexpr const char* kNotShownText = "(not shown)";

struct SettingDifference {
    std::string setting; // "Output / Minimum level", "Astro clock, ISD and dimming engine 1 / Step 2 / Time"
    std::string key;     // "output.minimumLevel", "astro.steps.2.time"
    std::string a;       // the value in the first configuration, or kNotShownText
    std::string b;

    bool operator==(const SettingDifference&) const = default;
};

// Every setting whose text differs, in the order of the first summary (settings only the second one shows
// follow those of their section).
std::vector<SettingDifference> diffSummaries(const std::vector<SummarySection>& a,
                                             const std::vector<SummarySection>& b);

struct ConfigurationDiff {
    std::vector<SettingDifference> settings;
    // When every setting is equal: the offsets of configuration bytes (0..95) that still differ (astro
    // data, unused bytes, bits no setting reads). Empty when settings differ.
    std::vector<std::size_t> otherBytes;
};
ConfigurationDiff diffConfigurations(const Image& a, const Image& b);

} // namespace lumeq
