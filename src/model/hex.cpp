#include "model/hex.h"

namespace lumeq {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void appendHex(std::string& out, unsigned value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out.push_back(kDigits[(value >> shift) & 0xF]);
}

std::string hexText(unsigned value, int digits) {
    std::string text;
    appendHex(text, value, digits);
    return text;
}

} // namespace lumeq
