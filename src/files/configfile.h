#pragma once
// Configuration files (*.qcf): bytes 0..95 of the configuration image as hexadecimal text, with a CRC-16
// and the configuration's info text.
//
//   line 1     "MMN" (current) or "MEM" (old format, read only), the CRC as 4 hex digits, info text (0..8
//              characters); written in upper case
//   line 2..   16 image bytes each, 32 hex digits without separators; line n carries bytes 16(n-1)..16n-1
//
// The program writes 7 lines ending in CR LF. The reader takes CR LF, LF or CR alone as line ends, reads
// hex digits in either case and is forgiving in the way the program always was: a hex field is read up to
// its first non-hex character (0 if it starts with one), a short data line reads its missing pairs as 0.
// The CRC (CRC-16/UMTS, start 0) covers every byte parsed from every data line, in file order.
//
// Info texts are stored as Windows-1252 bytes; in the program they are UTF-8 strings.
//
// Parsing, formatting and the load rule are pure functions; readLoadFile and saveConfigFile touch the disk.

#include "files/nativename.h"
#include "model/image.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumeq {

constexpr std::size_t kConfigInfoLength = 8; // characters of info text a file carries
constexpr std::size_t kConfigFileLines = 7;  // header and 6 data lines, as the program writes them
constexpr std::size_t kConfigLineBytes = 16; // image bytes per data line
constexpr std::size_t kConfigMaxDataLines = kImageSize / kConfigLineBytes; // 8 lines fill the image
// Anything the Load button reads (configuration or firmware file) is far smaller than this; a larger file
// is refused unread.
constexpr std::size_t kLoadFileMaxSize = 1024 * 1024;

// The program's own messages about files.
inline constexpr std::string_view kNotConfigOrFirmwareMessage = "Not a configuration or firmware file!";
inline constexpr std::string_view kFileCorruptedMessage = "File is corrupted!";
inline constexpr std::string_view kOldFormatMessage = "Old Format: Please check Parameter!";

enum class ConfigFileError {
    None,             // a configuration whose CRC holds
    Corrupted,        // a configuration whose CRC does not hold: loaded only with noLoadCheck
    NoDataLines,      // 0 or 1 lines: loading stops without a message
    NotConfiguration, // the first line starts with neither "MMN", "MEM" nor "FWX"
    Firmware,         // "FWX": a firmware container, read by the firmware branch of Load
    TooLarge,         // more than kLoadFileMaxSize bytes: refused unread
};

// The message the program shows for the error; empty where it shows none (None, NoDataLines, Firmware).
// TooLarge shows kNotConfigOrFirmwareMessage: no configuration or firmware file comes near that size.
std::string_view configFileMessage(ConfigFileError error);

// One line about a file that does not load as it is, for every error including those the window passes
// over in silence (for the command line and logs); empty for None.
std::string configFileProblem(ConfigFileError error);

struct ConfigFile {
    ConfigFileError error = ConfigFileError::NoDataLines;
    bool oldFormat = false;                // signature "MEM": show kOldFormatMessage, then load as usual
    Image image = Image(kImageSize, 0xFF); // the data lines' bytes; 0xFF where no data line reached
    std::string info;                      // characters 8..15 of the header, as UTF-8
    std::uint16_t storedCrc = 0;           // from the header
    std::uint16_t computedCrc = 0;         // over the data lines
    std::size_t dataLines = 0;             // data lines in the file
    // Data lines beyond the eighth do not fit into the image: they are not stored, but they enter the CRC
    // like every other data line.
    std::size_t ignoredDataLines = 0;

    // A configuration was read (its CRC may still be wrong).
    bool isConfiguration() const { return error == ConfigFileError::None || error == ConfigFileError::Corrupted; }
    bool crcHolds() const { return error == ConfigFileError::None; }
};

// Reads the bytes of a file as the Load button does. Never reads outside `bytes`.
ConfigFile parseConfigFile(std::string_view bytes);

// The text of a configuration file: header and 6 data lines for image bytes 0..95, each line ending in
// CR LF. The info text (UTF-8) is cut to its first 8 characters; characters that Windows-1252 cannot
// hold, control characters and malformed UTF-8 are written as '?'. An image shorter than 96 bytes is
// taken as filled up with 0xFF.
std::string formatConfigFile(const Image& image, std::string_view info);

struct LoadOptions {
    bool noLoadCheck = false; // accept a configuration whose CRC does not hold
    bool copyAstro = false;   // take the astro data (bytes 76..84) from the file instead of clearing them
};

// The load rule. A configuration whose CRC holds (or any configuration, with noLoadCheck) replaces image
// bytes 0..127 with the file's 128 bytes (bytes 96..127 become 0xFF, and so does every byte no data line
// reached); bytes 76..84 are then cleared unless copyAstro is on. Bytes past 127 of a larger working image
// (stick mode) stay. Anything else is refused: the result is std::nullopt and nothing changes.
// The info text to show after an accepted load is file.info.
std::optional<Image> applyConfigFile(const Image& current, const ConfigFile& file, LoadOptions options);

// The file's bytes (at most kLoadFileMaxSize + 1 of them, enough for parseConfigFile to see a file that
// is too large), or an error text naming the file and the reason.
FileBytes readLoadFile(const QString& path);
// The same for a name exactly as the file system has it, byte for byte: a command line hands names over
// that need not be valid UTF-8 ("Caf\xE9.qcf" from old media) and would not survive a trip through QString.
FileBytes readLoadFileNative(const std::string& nativeName);

// Writes the configuration file. The text goes to a temporary file in the target's directory which then
// replaces the target, so a failure never leaves a truncated file where a good one was. An existing file
// is overwritten without a question.
struct SaveResult {
    bool ok = false;
    std::string error; // names the file and the reason when !ok
};
SaveResult saveConfigFile(const QString& path, const Image& image, std::string_view info);

// Windows-1252 <-> UTF-8 for info texts.
std::string infoFromFileBytes(std::string_view windows1252);
std::string infoToFileBytes(std::string_view utf8, std::size_t maxCharacters = kConfigInfoLength);

} // namespace lumeq
