// lumeq-cli report FILE.qcf -o OUT.pdf: the window's PDF report of a configuration, without the window.

#include "cli/command.h"
#include "cli/commandline.h"
#include "files/configfile.h"
#include "report/harupdfwriter.h"
#include "report/report.h"

#include <QFileInfo>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace lumeq::cli {

namespace {

constexpr const char* kUsage =
    "usage: lumeq-cli report FILE.qcf -o OUT.pdf [--project NAME] [--luminaire TEXT] [--driver TEXT]\n"
    "                        [--header FILE.ini] [--no-load-check]";

// Cuts a text to at most `count` characters (not bytes), as the project dialog's edits do.
std::string limitCharacters(const std::string& text, int count) {
    return QString::fromStdString(text).left(count).toStdString();
}

int report(const std::vector<std::string>& args) {
    CommandLine line(kUsage, "Writes the PDF report of a configuration file, as the window's PDF button does.\n"
                             "The header lines come from --header FILE.ini, else from pdf.ini beside lumeq-cli, in\n"
                             "$XDG_CONFIG_HOME/lumeq-config (~/.config/lumeq-config) or in ../share/lumeq-config\n"
                             "(/usr/share/lumeq-config for /usr/bin/lumeq-cli), the first one found.\n"
                             "SOURCE_DATE_EPOCH fixes the creation date and the printed date.\n");
    line.value({QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("OUT.pdf"), QStringLiteral("the report"))
        .value({QStringLiteral("project")}, QStringLiteral("NAME"), QStringLiteral("project name"))
        .value({QStringLiteral("luminaire")}, QStringLiteral("TEXT"), QStringLiteral("luminaire"))
        .value({QStringLiteral("driver")}, QStringLiteral("TEXT"), QStringLiteral("driver"))
        .value({QStringLiteral("header")}, QStringLiteral("FILE.ini"), QStringLiteral("header lines"))
        .flag({QStringLiteral("no-load-check")}, QStringLiteral("report a file whose CRC does not hold"));
    if (const auto done = line.parse(args, 1, 1))
        return *done;
    const std::string& input = line.positional()[0];
    const std::string output = line.value(QStringLiteral("output")).value_or(std::string());
    const std::string headerFile = line.value(QStringLiteral("header")).value_or(std::string());
    const bool noLoadCheck = line.isSet(QStringLiteral("no-load-check"));
    ReportProject project;
    project.name = limitCharacters(line.value(QStringLiteral("project")).value_or(std::string()), 50);
    project.luminaire = limitCharacters(line.value(QStringLiteral("luminaire")).value_or(std::string()), 25);
    project.driver = limitCharacters(line.value(QStringLiteral("driver")).value_or(std::string()), 25);
    if (output.empty())
        return line.usageError();

    const FileBytes content = readLoadFileNative(input);
    if (!content.ok) {
        error(content.error);
        return BadInput;
    }
    const ConfigFile file = parseConfigFile(content.bytes);
    if (!file.isConfiguration()) {
        error(input + ": " + configFileProblem(file.error));
        return BadInput;
    }
    // The image the window would hold after loading this file.
    const auto image = applyConfigFile(defaultImage(), file, {noLoadCheck, false});
    if (!image) {
        error(input + ": " + std::string(kFileCorruptedMessage));
        return BadInput;
    }

    HeaderLines header;
    if (!headerFile.empty()) {
        std::error_code noFile;
        if (!std::filesystem::is_regular_file(std::filesystem::path(headerFile), noFile)) {
            error(printable(headerFile) + ": no such header file");
            return BadInput;
        }
        header = readHeaderFile(headerFile);
    } else {
        // pdf.ini beside the program, in the user's configuration folder or in the installation's.
        const std::string programDir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath().toStdString();
        header = readHeaderLines(programDir);
    }

    HaruPdfWriter writer;
    const std::time_t now = reportTime();
    std::string failure = writeReport(writer, *image, project, header, reportDateText(now), pdfDateTime(now));
    const std::string path = reportFilePath(output);
    if (failure.empty())
        failure = writer.save(path);
    if (!failure.empty()) {
        error(failure);
        return BadInput;
    }
    std::fprintf(out(), "%s\n", path.c_str());
    return Success;
}

} // namespace

LUMEQ_CLI_COMMAND("report", "report FILE.qcf -o OUT.pdf [options]", "PDF report of a configuration", &report)

} // namespace lumeq::cli
