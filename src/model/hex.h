#pragma once
// Hexadecimal digits as the program's files and frames write them: upper case, a fixed number of digits;
// read in either case.

#include <string>

namespace lumeq {

// The value of one hexadecimal digit (0-9, A-F, a-f), or -1.
int hexDigit(char c);

// Appends the lowest `digits` hexadecimal digits of the value, upper case, leading zeros included.
void appendHex(std::string& out, unsigned value, int digits);
std::string hexText(unsigned value, int digits);

} // namespace lumeq
