#pragma once
// UTF-8 a code point at a time, strictly: overlong forms, surrogates and code points beyond U+10FFFF are
// not UTF-8.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumeq {

// Appends the UTF-8 bytes of the code point.
void appendUtf8(std::string& out, char32_t c);

// The next code point of a UTF-8 text from `pos` on, advancing `pos`; a malformed sequence (stray
// continuation byte, truncated, overlong, surrogate, beyond U+10FFFF) gives nullopt and skips one byte.
std::optional<char32_t> nextUtf8(std::string_view text, std::size_t& pos);

} // namespace lumeq
