#include "files/configfile.h"

#include "files/utf8.h"
#include "model/crc16.h"
#include "model/hex.h"
#include "model/settings.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <array>

namespace lumeq {

namespace {

constexpr std::string_view kCurrentSignature = "MMN";
constexpr std::string_view kOldSignature = "MEM";
constexpr std::string_view kFirmwareSignature = "FWX";
constexpr std::size_t kSignatureLength = 3;
constexpr std::size_t kCrcDigits = 4;
constexpr std::size_t kInfoStart = kSignatureLength + kCrcDigits; // character 8, counted from 1
constexpr std::string_view kLineEnd = "\r\n";

// Lines of a text, one at a time: CR LF, LF and CR alone end a line; a line end at the very end of the
// text does not start another (empty) line.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    std::optional<std::string_view> next() {
        if (pos_ >= text_.size()) {
            return std::nullopt;
        }
        std::size_t end = pos_;
        while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') {
            ++end;
        }
        const std::string_view line = text_.substr(pos_, end - pos_);
        pos_ = end;
        if (pos_ < text_.size()) {
            const bool cr = text_[pos_] == '\r';
            ++pos_;
            if (cr && pos_ < text_.size() && text_[pos_] == '\n') {
                ++pos_;
            }
        }
        return line;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// The hex number in characters [first, first + count) of the line, as far as they exist: read up to the
// first character that is not a hex digit; 0 when there is none. count is at most 4, so the value fits.
std::uint16_t hexField(std::string_view line, std::size_t first, std::size_t count) {
    if (first >= line.size()) {
        return 0;
    }
    unsigned value = 0;
    for (char c : line.substr(first, count)) {
        const int digit = hexDigit(c);
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<std::uint16_t>(value);
}

// Windows-1252 characters 0x80..0x9F; the five bytes the code page leaves undefined map to the C1
// controls of the same number, as Windows does.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The Windows-1252 byte of a character that a file's info text may carry, or '?'.
char windows1252Byte(char32_t c) {
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
        return '?'; // control characters would break the header line or show as nothing
    }
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    const auto it = std::find(kWindows1252High.begin(), kWindows1252High.end(), c);
    return it != kWindows1252High.end() ? static_cast<char>(0x80 + (it - kWindows1252High.begin())) : '?';
}

} // namespace

std::string infoFromFileBytes(std::string_view windows1252) {
    std::string out;
    for (char byte : windows1252) {
        const auto b = static_cast<unsigned char>(byte);
        appendUtf8(out, b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char32_t{b});
    }
    return out;
}

std::string infoToFileBytes(std::string_view utf8, std::size_t maxCharacters) {
    std::string out;
    std::size_t pos = 0;
    while (pos < utf8.size() && out.size() < maxCharacters) {
        const auto c = nextUtf8(utf8, pos);
        out.push_back(c ? windows1252Byte(*c) : '?');
    }
    return out;
}

std::string_view configFileMessage(ConfigFileError error) {
    switch (error) {
    case ConfigFileError::Corrupted:
        return kFileCorruptedMessage;
    case ConfigFileError::NotConfiguration:
    case ConfigFileError::TooLarge:
        return kNotConfigOrFirmwareMessage;
    case ConfigFileError::None:
    case ConfigFileError::NoDataLines:
    case ConfigFileError::Firmware:
        break;
    }
    return {};
}

std::string configFileProblem(ConfigFileError error) {
    switch (error) {
    case ConfigFileError::None:
        return {};
    case ConfigFileError::Corrupted:
    case ConfigFileError::NotConfiguration:
        return std::string(configFileMessage(error));
    case ConfigFileError::TooLarge:
        return std::string(kNotConfigOrFirmwareMessage) + " (larger than " + std::to_string(kLoadFileMaxSize / 1024) +
               " KiB)";
    case ConfigFileError::NoDataLines:
        return "The file has no data lines (empty or cut short): nothing to load.";
    case ConfigFileError::Firmware:
        return "A firmware container (FWX), not a configuration file.";
    }
    return {};
}

ConfigFile parseConfigFile(std::string_view bytes) {
    ConfigFile file;
    if (bytes.size() > kLoadFileMaxSize) {
        file.error = ConfigFileError::TooLarge;
        return file;
    }
    LineReader lines(bytes);
    const auto header = lines.next();
    auto line = lines.next();
    if (!header || !line) {
        file.error = ConfigFileError::NoDataLines;
        return file;
    }
    const std::string_view signature = header->substr(0, kSignatureLength);
    if (signature == kFirmwareSignature) {
        file.error = ConfigFileError::Firmware;
        return file;
    }
    if (signature != kCurrentSignature && signature != kOldSignature) {
        file.error = ConfigFileError::NotConfiguration;
        return file;
    }
    file.oldFormat = signature == kOldSignature;
    file.storedCrc = hexField(*header, kSignatureLength, kCrcDigits);
    if (header->size() > kInfoStart) {
        file.info = infoFromFileBytes(header->substr(kInfoStart, kConfigInfoLength));
    }

    std::uint16_t crc = 0;
    for (; line; line = lines.next()) {
        std::array<std::uint8_t, kConfigLineBytes> values{};
        for (std::size_t j = 0; j < kConfigLineBytes; ++j) {
            values[j] = static_cast<std::uint8_t>(hexField(*line, 2 * j, 2));
        }
        crc = crc16(values, crc);
        if (file.dataLines < kConfigMaxDataLines) {
            std::copy(values.begin(), values.end(), file.image.begin() + file.dataLines * kConfigLineBytes);
        } else {
            ++file.ignoredDataLines;
        }
        ++file.dataLines;
    }
    file.computedCrc = crc;
    file.error = crc == file.storedCrc ? ConfigFileError::None : ConfigFileError::Corrupted;
    return file;
}

std::string formatConfigFile(const Image& image, std::string_view info) {
    std::array<std::uint8_t, kConfigSize> config;
    config.fill(0xFF);
    std::copy_n(image.begin(), std::min(image.size(), kConfigSize), config.begin());

    std::string out(kCurrentSignature);
    appendHex(out, configurationCrc(config), static_cast<int>(kCrcDigits));
    out += infoToFileBytes(info);
    out += kLineEnd;
    for (std::size_t i = 0; i < kConfigSize; ++i) {
        appendHex(out, config[i], 2);
        if (i % kConfigLineBytes == kConfigLineBytes - 1) {
            out += kLineEnd;
        }
    }
    return out;
}

std::optional<Image> applyConfigFile(const Image& current, const ConfigFile& file, LoadOptions options) {
    const bool accepted =
        file.error == ConfigFileError::None || (file.error == ConfigFileError::Corrupted && options.noLoadCheck);
    if (!accepted || file.image.size() != kImageSize) {
        return std::nullopt;
    }
    Image image = current;
    if (image.size() < kImageSize) {
        image.resize(kImageSize);
    }
    std::copy(file.image.begin(), file.image.end(), image.begin());
    if (!options.copyAstro) {
        astro::clearAstroData(image);
    }
    return image;
}

FileBytes readLoadFile(const QString& path) {
    return readLoadFileNative(QFile::encodeName(path).toStdString());
}

FileBytes readLoadFileNative(const std::string& nativeName) {
    return readNativeFile(nativeName, kLoadFileMaxSize + 1);
}

SaveResult saveConfigFile(const QString& path, const Image& image, std::string_view info) {
    SaveResult result;
    const std::string text = formatConfigFile(image, info);
    QSaveFile file(path);
    const auto failed = [&](const QString& reason) {
        file.cancelWriting();
        result.error = "Cannot save " + path.toStdString() + ": " + reason.toStdString();
        return result;
    };
    if (!file.open(QIODevice::WriteOnly)) {
        return failed(file.errorString());
    }
    // QSaveFile::commit() does not notice a write that fails while it flushes its buffer (a full disk, a
    // file size limit) and would put the cut file in place: flush first and check.
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.flush() || file.error() != QFileDevice::NoError) {
        return failed(file.errorString());
    }
    if (!file.commit()) {
        result.error = "Cannot save " + path.toStdString() + ": " + file.errorString().toStdString();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace lumeq
