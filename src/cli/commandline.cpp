#include "cli/commandline.h"

#include "cli/command.h"
#include "files/nativename.h"

#include <cstdio>

namespace lumeq::cli {

CommandLine::CommandLine(std::string usage, std::string help) : usage_(std::move(usage)), help_(std::move(help)) {
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser_.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("show help")));
}

CommandLine& CommandLine::flag(const QStringList& names, const QString& description) {
    parser_.addOption(QCommandLineOption(names, description));
    return *this;
}

CommandLine& CommandLine::value(const QStringList& names, const QString& valueName, const QString& description) {
    parser_.addOption(QCommandLineOption(names, description, valueName));
    return *this;
}

std::optional<int> CommandLine::parse(const std::vector<std::string>& args, std::size_t minFiles,
                                      std::size_t maxFiles) {
    QStringList arguments{QStringLiteral("lumeq-cli")};
    for (const std::string& arg : args)
        arguments.append(decodeNative(arg));
    if (!parser_.parse(arguments))
        return usageError(parser_.errorText().toStdString());
    if (parser_.isSet(QStringLiteral("help"))) {
        printHelp(usage_.c_str(), help_.c_str());
        return Success;
    }
    positional_.clear();
    for (const QString& file : parser_.positionalArguments()) {
        if (file.isEmpty())
            return usageError("an empty file name");
        positional_.push_back(encodeNative(file));
    }
    if (positional_.size() < minFiles || positional_.size() > maxFiles)
        return usageError();
    return std::nullopt;
}

bool CommandLine::isSet(const QString& name) const {
    return parser_.isSet(name);
}

std::optional<std::string> CommandLine::value(const QString& name) const {
    if (!parser_.isSet(name))
        return std::nullopt;
    return encodeNative(parser_.value(name));
}

std::vector<std::string> CommandLine::values(const QString& name) const {
    std::vector<std::string> all;
    for (const QString& value : parser_.values(name))
        all.push_back(encodeNative(value));
    return all;
}

int CommandLine::usageError(const std::string& message) const {
    error(message.empty() ? usage_ : message + "\n" + usage_);
    return UsageError;
}

std::optional<QString> outputName(const std::string& name) {
    const QString text = decodeNative(name);
    if (!isPlainText(text)) {
        error(printable(name) + ": a file to be written needs a name in UTF-8; choose another name");
        return std::nullopt;
    }
    return text;
}

} // namespace lumeq::cli
