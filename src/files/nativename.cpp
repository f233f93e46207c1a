#include "files/nativename.h"

#include <QList>

namespace lumeq {

namespace {

constexpr char32_t kByteBase = 0xEF00; // a byte b that is not text is kept as U+EF00 + b
constexpr char32_t kFirstKept = kByteBase + 0x80;
constexpr char32_t kLastKept = kByteBase + 0xFF;

bool isKept(char32_t c) {
    return c >= kFirstKept && c <= kLastKept;
}

// The code point of the well-formed UTF-8 sequence at bytes[pos] and its length; length 0 when the
// bytes there are not one (stray continuation byte, overlong form, surrogate, beyond U+10FFFF, cut).
std::pair<char32_t, std::size_t> nextCodePoint(std::string_view bytes, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[pos + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length = 0;
    char32_t c = 0;
    char32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1Fu, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0Fu, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07u, lowest = 0x10000;
    } else {
        return {0, 0};
    }
    if (pos + length > bytes.size())
        return {0, 0};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u)
            return {0, 0};
        c = (c << 6) | (byte(i) & 0x3Fu);
    }
    if (c < lowest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return {0, 0};
    return {c, length};
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

QString decodeNative(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t pos = 0; pos < bytes.size();) {
        const auto [c, length] = nextCodePoint(bytes, pos);
        if (length == 0 || isKept(c)) {
            // Not text, or a character that stands for a kept byte: each byte on its own.
            const std::size_t count = length == 0 ? 1 : length;
            for (std::size_t i = 0; i < count; ++i)
                text.append(QChar(static_cast<char16_t>(kByteBase + static_cast<unsigned char>(bytes[pos + i]))));
            pos += count;
            continue;
        }
        const char32_t one[1] = {c};
        text.append(QString::fromUcs4(one, 1));
        pos += length;
    }
    return text;
}

std::string encodeNative(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    const QList<uint> codePoints = text.toUcs4();
    for (const uint c : codePoints) {
        if (isKept(c))
            out.push_back(static_cast<char>(c - kByteBase));
        else
            appendUtf8(out, c);
    }
    return out;
}

bool isPlainText(const QString& text) {
    for (const QChar c : text) {
        if (isKept(c.unicode()))
            return false;
    }
    return true;
}

} // namespace lumeq
