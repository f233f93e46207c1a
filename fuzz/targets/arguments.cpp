// Command-line arguments of lumeq-cli as the system hands them over: bytes separated by NUL, decoded
// losslessly (files/nativename.h) and parsed by QCommandLineParser with the options of `module write`.
// Every argument comes back byte for byte, and a file argument is one of the arguments given.

#include "fuzztarget.h"

#include "files/nativename.h"

#include <QCommandLineParser>
#include <QStringDecoder>

#include <algorithm>
#include <string>
#include <vector>

using namespace lumeq;

namespace {

bool hasKeptCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0xEF80 && c.unicode() <= 0xEFFF; });
}

} // namespace

LUMEQ_FUZZ_TARGET(arguments) {
    const std::string_view bytes = fuzz::asText(input);
    std::vector<std::string> args;
    for (std::size_t start = 0; start <= bytes.size();) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        args.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }

    QStringList arguments{QStringLiteral("lumeq-cli")};
    for (const std::string& arg : args) {
        const QString text = decodeNative(arg);
        FUZZ_CHECK(encodeNative(text) == arg);
        // Plain text exactly when the bytes are UTF-8 as Qt reads it, and then the same characters, unless
        // the text holds one of the characters that stand for kept bytes. A byte-order mark at the start is
        // a character of the name like any other.
        QStringDecoder utf8(QStringDecoder::Utf8,
                            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString strict = utf8.decode(QByteArrayView(arg.data(), static_cast<qsizetype>(arg.size())));
        const bool valid = !utf8.hasError() && !hasKeptCharacter(strict);
        FUZZ_CHECK(isPlainText(text) == valid);
        if (valid)
            FUZZ_CHECK(text == strict);
        arguments.append(text);
    }

    QCommandLineParser parser;
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("help")));
    parser.addOption(QCommandLineOption({QStringLiteral("slot")}, QStringLiteral("slot"), QStringLiteral("N")));
    parser.addOption(QCommandLineOption({QStringLiteral("name")}, QStringLiteral("name"), QStringLiteral("TEXT")));
    parser.addOption(QCommandLineOption({QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("output"),
                                        QStringLiteral("FILE")));
    parser.addOption(QCommandLineOption({QStringLiteral("no-load-check")}, QStringLiteral("no load check")));
    if (!parser.parse(arguments))
        return;
    for (const QString& file : parser.positionalArguments()) {
        const std::string name = encodeNative(file);
        FUZZ_CHECK(std::find(args.begin(), args.end(), name) != args.end());
    }
    // A value is a whole argument, or what follows "=" or a short option's letter in one.
    for (const QString& value : parser.values(QStringLiteral("name")) + parser.values(QStringLiteral("output"))) {
        const std::string text = encodeNative(value);
        FUZZ_CHECK(std::any_of(args.begin(), args.end(), [&text](const std::string& arg) {
            return arg.size() >= text.size() && arg.compare(arg.size() - text.size(), text.size(), text) == 0;
        }));
    }
}
