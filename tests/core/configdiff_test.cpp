#include "files/configdiff.h"

#include "model/image.h"
#include "model/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace lumeq;

namespace {

Image changed(std::vector<std::pair<std::size_t, std::uint8_t>> changes) {
    Image image = defaultImage();
    for (const auto& [offset, value] : changes)
        image[offset] = value;
    return image;
}

const SettingDifference* find(const std::vector<SettingDifference>& differences, const std::string& setting) {
    for (const auto& d : differences)
        if (d.setting == setting)
            return &d;
    return nullptr;
}

} // namespace

TEST(ConfigDiff, EqualImagesHaveNoDifference) {
    const ConfigurationDiff diff = diffConfigurations(defaultImage(), defaultImage());
    EXPECT_TRUE(diff.settings.empty());
    EXPECT_TRUE(diff.otherBytes.empty());
}

struct DiffCase {
    const char* name;
    std::vector<std::pair<std::size_t, std::uint8_t>> changes; // applied to the default image for B
    const char* setting;
    const char* key;
    const char* a;
    const char* b;
};

class ConfigDiffSetting : public testing::TestWithParam<DiffCase> {};

TEST_P(ConfigDiffSetting, NamesTheSettingInTheWordsOfTheSummary) {
    const DiffCase& c = GetParam();
    const ConfigurationDiff diff = diffConfigurations(defaultImage(), changed(c.changes));
    const SettingDifference* d = find(diff.settings, c.setting);
    ASSERT_NE(d, nullptr) << c.setting << " not among " << diff.settings.size() << " differences";
    EXPECT_EQ(d->key, c.key);
    EXPECT_EQ(d->a, c.a);
    EXPECT_EQ(d->b, c.b);
    EXPECT_TRUE(diff.otherBytes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigDiffSetting,
    testing::Values(
        DiffCase{"MinimumLevel", {{img::MinLevel, 30}}, "Output / Minimum level", "output.minimumLevel", "0 %", "30 %"},
        DiffCase{"PowerOnLevel", {{img::PowerOnLevel, 50}}, "Power on / Level", "powerOn.level", "100 %", "50 %"},
        // A step that only B uses: every column of it is "not shown" in A.
        DiffCase{"StepAdded",
                 {{img::Engine2 + img::StepSize + img::StepLevel, 20}},
                 "Control input (LSt) and dimming engine 2 / Step 2 / Level (%)",
                 "controlInput.steps.2.level",
                 kNotShownText,
                 "20"},
        DiffCase{"StepLevelChanged",
                 {{img::Engine2FirstLevel, 70}},
                 "Control input (LSt) and dimming engine 2 / Step 1 / Level (%)",
                 "controlInput.steps.1.level",
                 "50",
                 "70"},
        // Automatic DST on: B shows two settings more, which A does not show at all.
        DiffCase{"ItemsOnlyInB",
                 {{img::DstStartNight, 120}, {img::DstEndNight, 100}},
                 "Astro clock, ISD and dimming engine 1 / Length of night for DST start",
                 "astro.dstStartNight",
                 kNotShownText,
                 "10:00"}),
    [](const testing::TestParamInfo<DiffCase>& info) { return std::string(info.param.name); });

TEST(ConfigDiff, OnlyTheChangedSettingsAreListed) {
    const ConfigurationDiff diff = diffConfigurations(defaultImage(), changed({{img::MinLevel, 30}}));
    ASSERT_EQ(diff.settings.size(), 1u);
    EXPECT_EQ(diff.settings[0].setting, "Output / Minimum level");
}

TEST(ConfigDiff, SwappingTheSidesSwapsTheValues) {
    const Image a = changed({{img::MinLevel, 30}, {img::DstStartNight, 120}});
    const Image b = changed({{img::Engine2 + img::StepSize + img::StepLevel, 20}});
    const auto forward = diffConfigurations(a, b).settings;
    auto backward = diffConfigurations(b, a).settings;
    ASSERT_EQ(forward.size(), backward.size());
    for (const auto& d : forward) {
        const SettingDifference* other = find(backward, d.setting);
        ASSERT_NE(other, nullptr) << d.setting;
        EXPECT_EQ(other->a, d.b) << d.setting;
        EXPECT_EQ(other->b, d.a) << d.setting;
    }
}

TEST(ConfigDiff, BytesNoSettingShowsAreNamedWhenTheSettingsAreEqual) {
    // The astro data bytes are carried, but no setting shows them.
    const Image b = changed({{img::AstroData, 0x12}, {img::AstroData + 4, 0x34}});
    const ConfigurationDiff diff = diffConfigurations(defaultImage(), b);
    EXPECT_TRUE(diff.settings.empty());
    EXPECT_EQ(diff.otherBytes, (std::vector<std::size_t>{img::AstroData, img::AstroData + 4}));
}

TEST(ConfigDiff, AShortImageReadsItsMissingBytesAsFF) {
    Image full = defaultImage();
    std::fill(full.begin() + 48, full.end(), 0xFF);
    const Image shortImage(full.begin(), full.begin() + 48);
    const ConfigurationDiff diff = diffConfigurations(full, shortImage);
    EXPECT_TRUE(diff.settings.empty());
    EXPECT_TRUE(diff.otherBytes.empty());
}
