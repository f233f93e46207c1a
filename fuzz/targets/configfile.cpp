// Configuration files (*.qcf) as the Load button reads them: parsed, loaded into a working image, and
// written back out as the program saves them.

#include "fuzztarget.h"

#include "files/configfile.h"
#include "model/settings.h"

#include <algorithm>

using namespace lumeq;

LUMEQ_FUZZ_TARGET(configfile) {
    const std::string_view text = fuzz::asText(input);
    const ConfigFile file = parseConfigFile(text);

    FUZZ_CHECK(file.image.size() == kImageSize);
    FUZZ_CHECK(file.info.size() <= 3 * kConfigInfoLength); // 8 characters, none above U+FFFF
    FUZZ_CHECK(file.ignoredDataLines == (file.dataLines > kConfigMaxDataLines ? file.dataLines - kConfigMaxDataLines : 0));

    const Image current(kStickMemorySize, 0x5A); // a stick-mode working image: bytes past 127 must stay
    const LoadOptions anyCrc{.noLoadCheck = true, .copyAstro = true};
    if (!file.isConfiguration()) {
        FUZZ_CHECK(file.dataLines == 0);
        FUZZ_CHECK(!applyConfigFile(current, file, anyCrc));
        return;
    }

    FUZZ_CHECK(file.dataLines >= 1);
    FUZZ_CHECK(file.crcHolds() == (file.storedCrc == file.computedCrc));
    const std::size_t reached = std::min(file.dataLines, kConfigMaxDataLines) * kConfigLineBytes;
    FUZZ_CHECK(std::all_of(file.image.begin() + static_cast<std::ptrdiff_t>(reached), file.image.end(),
                           [](std::uint8_t byte) { return byte == 0xFF; }));

    // The load rule: 128 bytes replaced, the rest of a larger image kept, astro data cleared unless copied.
    const std::optional<Image> loaded = applyConfigFile(current, file, anyCrc);
    FUZZ_CHECK(loaded && loaded->size() == current.size());
    FUZZ_CHECK(std::equal(file.image.begin(), file.image.end(), loaded->begin()));
    FUZZ_CHECK(std::equal(current.begin() + kImageSize, current.end(), loaded->begin() + kImageSize));
    const std::optional<Image> checked = applyConfigFile(current, file, LoadOptions{});
    FUZZ_CHECK(checked.has_value() == file.crcHolds());
    if (checked) {
        Image expected = *loaded;
        astro::clearAstroData(expected);
        FUZZ_CHECK(*checked == expected);
    }

    // Saved again, the file reads back as the same configuration, with a CRC that holds; saving what was
    // read back gives the same text.
    const std::string saved = formatConfigFile(file.image, file.info);
    const ConfigFile reread = parseConfigFile(saved);
    FUZZ_CHECK(reread.error == ConfigFileError::None);
    FUZZ_CHECK(!reread.oldFormat);
    FUZZ_CHECK(reread.dataLines == kConfigFileLines - 1);
    FUZZ_CHECK(std::equal(file.image.begin(), file.image.begin() + kConfigSize, reread.image.begin()));
    FUZZ_CHECK(std::all_of(reread.image.begin() + kConfigSize, reread.image.end(),
                           [](std::uint8_t byte) { return byte == 0xFF; }));
    FUZZ_CHECK(formatConfigFile(reread.image, reread.info) == saved);
}
