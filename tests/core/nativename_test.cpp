#include "files/nativename.h"

#include <gtest/gtest.h>

#include <string>

using namespace lumeq;

namespace {

struct NameCase {
    const char* what;
    std::string bytes;
    QString text; // what decodeNative gives
    bool plain;
};

const QChar kept(unsigned byte) {
    return QChar(static_cast<char16_t>(0xEF00 + byte));
}

TEST(NativeName, DecodesTextAndKeepsEveryOtherByte) {
    const NameCase cases[] = {
        {"ascii", "show.qcf", QStringLiteral("show.qcf"), true},
        {"empty", "", QString(), true},
        {"utf-8", "Caf\xC3\xA9.qcf", QStringLiteral("Caf\u00E9.qcf"), true},
        {"latin-1 byte", "Caf\xE9.qcf", QStringLiteral("Caf") + kept(0xE9) + QStringLiteral(".qcf"), false},
        {"four-byte character", "\xF0\x9F\x92\xA1", QString::fromUcs4(U"\U0001F4A1", 1), true},
        {"stray continuation", "a\x80z", QStringLiteral("a") + kept(0x80) + QStringLiteral("z"), false},
        {"overlong slash", "\xC0\xAF", QString(kept(0xC0)) + kept(0xAF), false},
        {"surrogate", "\xED\xA0\x80", QString(kept(0xED)) + kept(0xA0) + kept(0x80), false},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", QString(kept(0xF4)) + kept(0x90) + kept(0x80) + kept(0x80), false},
        {"cut at the end", "ab\xE2\x82", QStringLiteral("ab") + kept(0xE2) + kept(0x82), false},
        {"cut before ascii",
         "\xE2\x82"
         "a",
         QString(kept(0xE2)) + kept(0x82) + QStringLiteral("a"), false},
        // A character of the range that stands for kept bytes is itself kept byte by byte, or it could not
        // be told from the bytes it stands for.
        {"U+EFE9 itself", "\xEE\xBF\xA9", QString(kept(0xEE)) + kept(0xBF) + kept(0xA9), false},
        {"U+EF7F is text", "\xEE\xBD\xBF", QString(QChar(char16_t(0xEF7F))), true},
        // The bytes of a byte-order mark are a character like any other, at the start and inside.
        {"byte-order mark", "\xEF\xBB\xBF-\xEF\xBB\xBF", QString(QChar(char16_t(0xFEFF))) + QChar('-') + QChar(char16_t(0xFEFF)),
         true},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QString text = decodeNative(c.bytes);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(isPlainText(text), c.plain);
        EXPECT_EQ(encodeNative(text), c.bytes);
    }
}

// Every byte pair and a sweep of three-byte strings come back unchanged.
TEST(NativeName, EveryByteSequenceComesBack) {
    for (unsigned a = 0; a < 256; ++a) {
        for (unsigned b = 0; b < 256; ++b) {
            const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(encodeNative(decodeNative(bytes)), bytes) << a << " " << b;
        }
    }
    for (unsigned a = 0xC0; a < 256; ++a) {
        for (unsigned b = 0x70; b < 0xD0; ++b) {
            for (unsigned c = 0x70; c < 0xD0; ++c) {
                const std::string bytes{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)};
                ASSERT_EQ(encodeNative(decodeNative(bytes)), bytes) << a << " " << b << " " << c;
            }
        }
    }
}

} // namespace
