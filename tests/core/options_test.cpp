#include "files/inifile.h"
#include "files/options.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using lumeq::StartupOptions;

namespace {

struct LineCase {
    const char* name;
    QStringList parameters;
    // expected
    QStringList flagsSet; // names of the flags that end up set
    int curveIndex;
    QString restartParams;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

// The names of the option flags that are set.
QStringList flagsSet(const StartupOptions& o) {
    QStringList set;
    const std::pair<const char*, bool> flags[] = {
        {"enableErase", o.enableErase}, {"skipFW", o.skipFW},   {"copyAstro", o.copyAstro},
        {"noLoadCheck", o.noLoadCheck}, {"showLog", o.showLog}, {"set60Hz", o.set60Hz},
        {"debugMode", o.debugMode},
    };
    for (const auto& [name, on] : flags)
        if (on)
            set << name;
    return set;
}

class CommandLine : public testing::TestWithParam<LineCase> {};

TEST_P(CommandLine, SetsFlagsCurveAndRestartParameters) {
    const LineCase& c = GetParam();
    const StartupOptions o = lumeq::optionsFromCommandLine(c.parameters);
    EXPECT_EQ(flagsSet(o).join(' ').toStdString(), c.flagsSet.join(' ').toStdString());
    EXPECT_EQ(o.curveIndex, c.curveIndex);
    EXPECT_EQ(o.restartParams().toStdString(), c.restartParams.toStdString());
    EXPECT_FALSE(o.fromCommandIni);
}

const QString kHuge = QString(100000, QLatin1Char('x'));

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLine,
    testing::Values(
        LineCase{"none", {}, {}, -1, ""},
        LineCase{"every_option",
                 {"-eraseAll", "-skipFW", "-copyAstro", "-noLoadCheck", "-showLog", "-set60Hz", "-debug"},
                 {"enableErase", "skipFW", "copyAstro", "noLoadCheck", "showLog", "set60Hz", "debugMode"},
                 -1,
                 " -eraseAll -skipFW -copyAstro -noLoadCheck -showLog -set60Hz -debug"},
        LineCase{"letter_case_differs_sets_nothing",
                 {"-EraseAll", "-DEBUG", "-skipfw"},
                 {},
                 -1,
                 " -EraseAll -DEBUG -skipfw"},
        LineCase{"whole_parameter_must_match", {"-debugx", "x-debug", "-debug "}, {}, -1, " -debugx x-debug -debug "},
        LineCase{"debug_curve_word", {"-debug", "-dc=3", "hello"}, {"debugMode"}, 3, " -debug hello"},
        LineCase{"later_curve_wins_even_if_bad", {"-dc=2", "-dc=abc"}, {}, -1, ""},
        LineCase{"curve_text_anywhere_counts_from_fifth_char", {"x-dc=5"}, {}, -1, ""},
        LineCase{"curve_without_number", {"-dc="}, {}, -1, ""}, LineCase{"negative_curve", {"-dc=-1"}, {}, -1, ""},
        LineCase{"curve_too_big_for_int", {"-dc=99999999999999999999"}, {}, -1, ""},
        LineCase{"odd_characters_passed_on_whole", {"a b", "\"q\"", "ü€", "-dc"}, {}, -1, " a b \"q\" ü€ -dc"},
        LineCase{"huge_parameter_passed_on", {kHuge}, {}, -1, " " + kHuge}));

class CommandIni : public testing::Test {
protected:
    void writeIni(const QByteArray& content) {
        QFile file(dir.path() + "/command.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    StartupOptions read(const QStringList& parameters = {}) { return lumeq::readOptions(dir.path() + "/", parameters); }
    QTemporaryDir dir;
};

struct IniCase {
    const char* name;
    QByteArray ini;
    QStringList parameters;
    // expected
    QStringList flagsSet; // from the ini only
    int curveIndex;       // from the command line's "-dc=" parameter
};

void PrintTo(const IniCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandIniAndLine : public CommandIni, public testing::WithParamInterface<IniCase> {};

// With command.ini the command line is read for the curve parameter only: every other parameter is
// ignored and none is handed on at a restart.
TEST_P(CommandIniAndLine, BeatsTheCommandLineButForTheCurve) {
    const IniCase& c = GetParam();
    writeIni(c.ini);
    const StartupOptions o = read(c.parameters);
    EXPECT_TRUE(o.fromCommandIni);
    EXPECT_EQ(flagsSet(o).join(' ').toStdString(), c.flagsSet.join(' ').toStdString());
    EXPECT_EQ(o.curveIndex, c.curveIndex);
    EXPECT_TRUE(o.restartArgs.isEmpty()) << o.restartParams().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandIniAndLine,
    testing::Values(
        IniCase{"ini_flags_only", "[Commands]\neraseAll=1\n", {"-skipFW", "-debug"}, {"enableErase"}, -1},
        IniCase{"curve_from_the_line", "[Commands]\neraseAll=1\n", {"-skipFW", "-dc=2", "-debug"}, {"enableErase"}, 2},
        IniCase{"curve_alone", "[Commands]\nshowLog=1\n", {"-dc=2"}, {"showLog"}, 2},
        IniCase{"every_flag_parameter_ignored",
                "[Commands]\n",
                {"-eraseAll", "-skipFW", "-copyAstro", "-noLoadCheck", "-showLog", "-set60Hz", "-debug", "-dc=0"},
                {},
                0},
        IniCase{"later_curve_wins", "[Commands]\n", {"-dc=1", "-dc=3"}, {}, 3},
        IniCase{"bad_curve_is_none", "[Commands]\n", {"-dc=2", "-dc=abc"}, {}, -1},
        IniCase{"no_curve_parameter", "[Commands]\ncopyAstro=1\n", {"dc=2"}, {"copyAstro"}, -1},
        IniCase{"curve_key_in_the_ini_not_read", "[Commands]\ndc=2\n", {}, {}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandIni, EveryKeyAndOnlyTheExactValueOne) {
    writeIni("; installer settings\r\n[commands]\r\nERASEALL = 1\r\ncopyAstro=\"1\"\r\nset60Hz=yes\r\n"
             "showLog=0\r\nnoLoadCheck=1\r\n");
    const StartupOptions o = read();
    EXPECT_TRUE(o.enableErase);
    EXPECT_TRUE(o.copyAstro);
    EXPECT_FALSE(o.set60Hz);
    EXPECT_FALSE(o.showLog);
    EXPECT_FALSE(o.noLoadCheck) << "noLoadCheck exists only as a parameter";
}

TEST_F(CommandIni, ValuesOtherThanOneLeaveFlagsClear) {
    for (const char* value : {"0", "true", "01", "1 1", "11", "", "-1"}) {
        writeIni(QByteArray("[Commands]\nshowLog=") + value + "\n");
        EXPECT_FALSE(read().showLog) << value;
    }
}

TEST_F(CommandIni, OtherSectionsDoNotCount) {
    writeIni("[Other]\neraseAll=1\n[Commands]\n");
    EXPECT_FALSE(read().enableErase);
}

TEST_F(CommandIni, EmptyJunkOrUnreadableFileClearsEverything) {
    QByteArray junk;
    for (int i = 0; i < 70000; ++i)
        junk.append(static_cast<char>((i * 7919) & 0xFF));
    const QByteArray contents[] = {QByteArray(), junk, QByteArray("[Commands\neraseAll\n=1\n[]\n==\n\xff\xfe")};
    for (const QByteArray& content : contents) {
        writeIni(content);
        const StartupOptions o = read({"-eraseAll"});
        EXPECT_TRUE(o.fromCommandIni);
        EXPECT_FALSE(o.enableErase || o.copyAstro || o.set60Hz || o.showLog);
        EXPECT_TRUE(o.restartArgs.isEmpty());
    }
    if (geteuid() != 0) { // root reads files whatever their permissions
        writeIni("[Commands]\neraseAll=1\n");
        QFile::setPermissions(dir.path() + "/command.ini", QFileDevice::WriteOwner);
        EXPECT_FALSE(read().enableErase);
    }
}

TEST(TransferRestart, AddsTheChosenCurve) {
    StartupOptions o = lumeq::optionsFromCommandLine({"-debug", "-dc=1", "foo"});
    EXPECT_EQ(lumeq::joinParams(lumeq::transferRestartArgs(o, 4)), QString(" -debug foo -dc=4"));
    EXPECT_EQ(lumeq::joinParams(lumeq::transferRestartArgs(o, -1)), QString(" -debug foo"));
}

TEST(IniFile, ReadsWindowsStyleFiles) {
    const lumeq::IniFile ini = lumeq::IniFile::parse("\xEF\xBB\xBF[Header]\r\nLine1=Lumeq GmbH, Street 1\r\n"
                                                     "line2 = \xB0 Caf\xE9\r\nLine1=second\r\n");
    EXPECT_EQ(ini.value("header", "LINE1"), QString("Lumeq GmbH, Street 1")) << "commas stay, first entry wins";
    EXPECT_EQ(ini.value("Header", "Line2"), QString::fromUtf8("° Café")) << "Windows-1252 text";
    EXPECT_EQ(ini.value("Header", "Line3", "dflt"), QString("dflt"));
}

} // namespace
