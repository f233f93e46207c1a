// lumeq-cli night-length and isd-offset: the two calculators of the ISD editor, without the window.
//
//   night-length --latitude DEG --date YYYY-MM-DD [--twilight DEG]   the night for automatic daylight saving
//   isd-offset --utc N --longitude DEG [--dst]                       the ISD offset from time zone and longitude

#include "cli/command.h"
#include "cli/commandline.h"
#include "model/astrocalc.h"
#include "model/timecode.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>
#include <vector>

namespace lumeq::cli {

namespace {

namespace ac = lumeq::astrocalc;

constexpr const char* kNightUsage = "usage: lumeq-cli night-length --latitude DEG --date YYYY-MM-DD [--twilight DEG]";
constexpr const char* kOffsetUsage = "usage: lumeq-cli isd-offset --utc N --longitude DEG [--dst]";

// A number written in full, in the C form ("-2.5"); a leading "+" is allowed.
template <typename T> std::optional<T> number(const std::string& text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    if (first == last || *first == '+')
        return std::nullopt;
    T value{};
    const auto [end, status] = std::from_chars(first, last, value);
    if (status != std::errc() || end != last)
        return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value))
            return std::nullopt;
    }
    return value;
}

// YYYY-MM-DD; whether the day exists is checked by the calculation.
std::optional<ac::Date> date(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
    }
    return ac::Date{std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)), std::stoi(text.substr(8, 2))};
}

// Degrees as the user wrote them, for messages.
std::string degrees(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

int usage(const char* text) {
    error(text);
    return UsageError;
}

int nightLength(const std::vector<std::string>& args) {
    CommandLine line(kNightUsage,
                     "Prints the length of the night (HH:MM) for automatic daylight saving: the time during which\n"
                     "the centre of the sun is below the twilight angle, as the window's night-length calculator\n"
                     "computes it. Latitude in degrees, north positive, south negative, at most 62; twilight in\n"
                     "degrees from -6 to 0 (default -3, below the horizon). Both are taken as given; the window's\n"
                     "sliders move in half degrees. The date is from 2000-01-01 on.\n");
    line.value({QStringLiteral("latitude")}, QStringLiteral("DEG"), QStringLiteral("latitude"))
        .value({QStringLiteral("date")}, QStringLiteral("YYYY-MM-DD"), QStringLiteral("date"))
        .value({QStringLiteral("twilight")}, QStringLiteral("DEG"), QStringLiteral("twilight angle"));
    if (const auto done = line.parse(args, 0, 0))
        return *done;
    if (!line.isSet(QStringLiteral("latitude")) || !line.isSet(QStringLiteral("date")))
        return line.usageError();
    const std::optional<double> latitude = number<double>(*line.value(QStringLiteral("latitude")));
    if (!latitude)
        return usage("--latitude needs a number of degrees (north positive)");
    const std::string dayText = *line.value(QStringLiteral("date"));
    const std::optional<ac::Date> day = date(dayText);
    if (!day)
        return usage("--date needs a date written YYYY-MM-DD");
    double twilight = ac::kDefaultTwilight;
    if (const auto text = line.value(QStringLiteral("twilight"))) {
        const auto value = number<double>(*text);
        if (!value)
            return usage("--twilight needs a number of degrees (below the horizon negative)");
        twilight = *value;
    }

    const ac::NightLength night = ac::nightLength(*latitude, *day, twilight);
    const std::string where = "at latitude " + degrees(*latitude) + " on " + dayText;
    switch (night.error) {
    case ac::NightError::None:
        std::fprintf(out(), "%s\n", ac::nightLengthText(night.minutes).c_str());
        return Success;
    case ac::NightError::InvalidDate:
        error(dayText + " is no day of the calendar");
        break;
    case ac::NightError::BeforeYear2000:
        error(dayText + " is before 2000: the calculation starts on 2000-01-01");
        break;
    case ac::NightError::LatitudeOutOfRange:
        error("latitude " + degrees(*latitude) + " is beyond 62 degrees south or north");
        break;
    case ac::NightError::TwilightOutOfRange:
        error("twilight angle " + degrees(twilight) + " is outside -6 to 0 degrees");
        break;
    case ac::NightError::NoNight:
        error("no night " + where + ": the sun does not sink to the twilight angle of " + degrees(twilight) +
              " degrees");
        break;
    case ac::NightError::NoDay:
        error("no day " + where + ": the sun stays below the twilight angle of " + degrees(twilight) + " degrees");
        break;
    }
    return BadInput;
}

int isdOffset(const std::vector<std::string>& args) {
    CommandLine line(kOffsetUsage,
                     "Prints the ISD offset, (longitude - 15 x UTC) x 4 minutes, in minutes and as the editor's\n"
                     "offset text, as the window's offset calculator computes it. Time zone N from -11 to 12;\n"
                     "longitude in degrees, east positive, west negative, at most 180. The module keeps the\n"
                     "offset in 2-minute steps: a longitude between half degrees gives the nearest step.\n"
                     "With --dst the offset is 60 minutes earlier, as the calculator's OK puts it while DST is\n"
                     "ticked. An offset outside -254..252 minutes cannot be stored (exit 1).\n");
    line.value({QStringLiteral("utc")}, QStringLiteral("N"), QStringLiteral("time zone"))
        .value({QStringLiteral("longitude")}, QStringLiteral("DEG"), QStringLiteral("longitude"))
        .flag({QStringLiteral("dst")}, QStringLiteral("daylight saving on"));
    if (const auto done = line.parse(args, 0, 0))
        return *done;
    if (!line.isSet(QStringLiteral("utc")) || !line.isSet(QStringLiteral("longitude")))
        return line.usageError();
    const std::optional<int> utc = number<int>(*line.value(QStringLiteral("utc")));
    if (!utc)
        return usage("--utc needs a whole number of hours");
    const std::optional<double> longitude = number<double>(*line.value(QStringLiteral("longitude")));
    if (!longitude)
        return usage("--longitude needs a number of degrees (east positive)");
    const bool dst = line.isSet(QStringLiteral("dst"));
    if (*utc < ac::kMinUtcOffset || *utc > ac::kMaxUtcOffset) {
        error("time zone UTC" + std::string(*utc < 0 ? "" : "+") + std::to_string(*utc) + " is outside -11 to 12");
        return BadInput;
    }
    if (std::fabs(*longitude) > ac::kMaxLongitude) {
        error("longitude " + degrees(*longitude) + " is beyond 180 degrees east or west");
        return BadInput;
    }

    int minutes = ac::isdOffsetMinutes(*longitude, *utc);
    if (!ac::isdOffsetInRange(minutes)) {
        error("the offset of " + std::to_string(minutes) +
              " minutes is out of range: the ISD offset takes -254 to 252 minutes");
        return BadInput;
    }
    if (dst)
        minutes = ac::offsetPositionMinutes(ac::offsetPositionAfterDst(ac::offsetPosition(minutes), true));
    std::fprintf(out(), "Offset minutes: %d\n", minutes);
    std::fprintf(out(), "Offset text:    %s\n", displayTime3(minutes).c_str());
    if (dst)
        std::fprintf(out(), "Daylight saving: ON, 60 minutes earlier\n");
    return Success;
}

} // namespace

LUMEQ_CLI_COMMAND("night-length", "night-length --latitude DEG --date YYYY-MM-DD [--twilight DEG]",
                  "length of the night for automatic daylight saving", &nightLength)
LUMEQ_CLI_COMMAND("isd-offset", "isd-offset --utc N --longitude DEG [--dst]", "ISD offset from time zone and longitude",
                  &isdOffset)

} // namespace lumeq::cli
