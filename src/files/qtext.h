#pragma once
// The core's texts (UTF-8 in std::string) as Qt text, for the window's widgets and messages.

#include <QString>

#include <string_view>

namespace lumeq {

inline QString fromStd(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace lumeq
