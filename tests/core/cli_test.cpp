// lumeq-cli's commands run in process through runCommandLine, with their output and messages caught in
// memory: exit codes, what goes to which stream, and that one run leaves nothing behind for the next.
// (The shell tests in tests/cli run the real program on the same commands.)

#include "cli/command.h"
#include "link/simstate.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

// One command line, its output and messages caught.
CliRun run(const std::vector<std::string>& arguments) {
    char* outText = nullptr;
    char* errText = nullptr;
    std::size_t outSize = 0;
    std::size_t errSize = 0;
    std::FILE* out = open_memstream(&outText, &outSize);
    std::FILE* err = open_memstream(&errText, &errSize);
    CliRun result;
    result.code = lumeq::cli::runCommandLine(arguments, out, err);
    std::fclose(out);
    std::fclose(err);
    result.out.assign(outText, outSize);
    result.err.assign(errText, errSize);
    std::free(outText);
    std::free(errText);
    return result;
}

std::string data(const char* name) {
    return std::string(LUMEQ_TEST_DATA_DIR) + "/" + name;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(CliInProcess, ExitCodesAndStreams) {
    struct Case {
        std::vector<std::string> arguments;
        int code;
        const char* out; // a part of the output ("" when there must be none)
        const char* err; // a part of the messages ("" when there must be none)
    } cases[] = {
        {{"check", data("default.qcf")}, 0, "8A1C, holds", ""},
        {{"check", data("not_a_configuration.txt")}, 1, "", "Not a configuration or firmware file!"},
        {{"check"}, 2, "", "usage: lumeq-cli check"},
        {{"show", data("default.qcf"), "--json"}, 0, "\"computed\": \"8A1C\"", ""},
        {{"diff", data("default.qcf"), data("default.qcf")}, 0, "the settings are equal", ""},
        {{"diff", data("default.qcf"), data("dali_astro_mff_thermal.qcf")}, 1, "settings differ", ""},
        {{"--version"}, 0, "lumeq-cli ", ""},
        {{"--help"}, 0, "Commands:", ""},
        {{}, 2, "", "Usage: lumeq-cli"},
        {{"bogus"}, 2, "", "unknown command 'bogus'"},
        {{"module", "erase"}, 2, "", "add --yes"},
        {{"module", "--help"}, 0, "erase wipes the whole module", ""},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& argument : c.arguments)
            line += argument + " ";
        SCOPED_TRACE(line);
        const CliRun result = run(c.arguments);
        EXPECT_EQ(result.code, c.code) << result.err;
        if (*c.out)
            EXPECT_TRUE(has(result.out, c.out)) << result.out;
        else
            EXPECT_TRUE(result.out.empty()) << result.out;
        if (*c.err)
            EXPECT_TRUE(has(result.err, c.err)) << result.err;
        else
            EXPECT_TRUE(result.err.empty()) << result.err;
    }
}

// A command with a simulated module: what it prints comes back through the given streams, and the
// streams of one run are not those of the next.
TEST(CliInProcess, ModuleCommandsOnTheSimulator) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string state = dir.filePath("module.ini").toStdString();
    const std::string log = dir.filePath("programmed.log").toStdString();
    const QByteArray previousSimulator = qgetenv("LUMEQ_SIMULATOR");
    const QByteArray previousLog = qgetenv("LUMEQ_LOG_FILE");
    qputenv("LUMEQ_LOG_FILE", QByteArray::fromStdString(log));
    const CliRun init = run({"sim", "init", state, "--slots", "1=" + data("default.qcf") + ":North"});
    ASSERT_EQ(init.code, 0) << init.err;
    qputenv("LUMEQ_SIMULATOR", QByteArray::fromStdString(state));
    const CliRun info = run({"module", "info"});
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_TRUE(has(info.out, "M1  filled  name \"North   \"")) << info.out;
    const CliRun write = run({"module", "write", "--slot", "3", data("default.qcf"), "--name", "South"});
    EXPECT_EQ(write.code, 0) << write.err;
    EXPECT_TRUE(has(write.out, "read back: identical")) << write.out;
    EXPECT_FALSE(has(write.out, "M1  filled")); // nothing of the run before
    const CliRun logged = run({"log", "--csv"});
    EXPECT_TRUE(has(logged.out, ",module,3,South,")) << logged.out;
    for (const auto& [name, previous] : {std::pair{"LUMEQ_SIMULATOR", previousSimulator}, {"LUMEQ_LOG_FILE", previousLog}}) {
        if (previous.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, previous);
    }
}

} // namespace
