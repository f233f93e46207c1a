#pragma once
// The options and file arguments of one lumeq-cli command, parsed by QCommandLineParser.
//
// Arguments reach the parser as bytes decoded losslessly (files/nativename.h), so a file name that is not
// valid UTF-8 comes back out of positional() and value() byte for byte, as the file system has it.
//
//   CommandLine line(kUsage, kHelp);
//   line.flag({"json"}, "print JSON").value({"o", "output"}, "FILE", "where to save");
//   if (const auto done = line.parse(args, 1, 1))
//       return *done;                       // --help shown, or a usage error reported
//   const std::string& input = line.positional()[0];

#include <QCommandLineParser>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

namespace lumeq::cli {

class CommandLine {
public:
    // `usage` is the "usage: lumeq-cli ..." line; `help` what --help prints below it.
    CommandLine(std::string usage, std::string help);

    CommandLine& flag(const QStringList& names, const QString& description);
    CommandLine& value(const QStringList& names, const QString& valueName, const QString& description);

    // Parses the arguments after the command's name. Returns the exit code when the command is done: --help
    // printed (Success) or a usage error reported (UsageError: unknown option, missing value, fewer than
    // minFiles or more than maxFiles file arguments, an empty file argument). std::nullopt: go on.
    std::optional<int> parse(const std::vector<std::string>& args, std::size_t minFiles, std::size_t maxFiles);

    bool isSet(const QString& name) const;
    // The option's value as given (the last one when given twice), as bytes.
    std::optional<std::string> value(const QString& name) const;
    std::vector<std::string> values(const QString& name) const;
    const std::vector<std::string>& positional() const { return positional_; }

    // Reports "<message>\n<usage>" (or the usage alone) and returns UsageError.
    int usageError(const std::string& message = {}) const;

private:
    QCommandLineParser parser_;
    std::string usage_;
    std::string help_;
    std::vector<std::string> positional_;
};

// The name of a file to be written: a name that is not valid UTF-8 cannot be created under exactly its
// bytes, so it is refused with a message instead of being written under another name. std::nullopt then.
std::optional<QString> outputName(const std::string& name);

} // namespace lumeq::cli
