#pragma once
// File names and command-line arguments as the system hands them over: bytes, usually UTF-8 but not
// always (a name copied from old Windows media may carry Latin-1 bytes such as E9). Qt takes them as
// QString, and decoding them as UTF-8 would turn such a byte into U+FFFD for good.
//
// decodeNative() maps the bytes losslessly into a QString: valid UTF-8 becomes its characters, every
// other byte b (always 0x80..0xFF) becomes the private-use character U+EF00 + b. The characters
// U+EF80..U+EFFF themselves, were they validly encoded, are taken byte by byte as well, so that
// encodeNative(decodeNative(bytes)) == bytes for any bytes at all.

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace lumeq {

QString decodeNative(std::string_view bytes);
std::string encodeNative(const QString& text);

// True when the text came from bytes that are valid UTF-8 (no byte had to be kept as U+EF80..U+EFFF).
bool isPlainText(const QString& text);

// A file's bytes, read by its name exactly as the file system has it (at most `maxBytes` of them), or an
// error text naming the file and the reason. `missing` tells a file that is not there from one that
// cannot be read.
struct FileBytes {
    bool ok = false;
    bool missing = false;
    std::string bytes;
    std::string error;
};
FileBytes readNativeFile(const std::string& nativeName, std::size_t maxBytes);

} // namespace lumeq
