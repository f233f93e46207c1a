#include "files/lookup.h"
#include "files/options.h"
#include "report/report.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

using lumeq::EntryKind;
using lumeq::LookupRoots;

namespace {

enum class Place { Beside, User, Data };

const char* placeName(Place place) {
    switch (place) {
    case Place::Beside:
        return "beside";
    case Place::User:
        return "user";
    case Place::Data:
        return "data";
    }
    return "?";
}

// A program installed in <tmp>/bin with its data in <tmp>/share/lumeq-config, and a user whose
// configuration home is <tmp>/config. The environment variables the lookup reads point into the folder
// while a test runs and are put back afterwards.
class LookupFolders : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        for (const char* name : {"XDG_CONFIG_HOME", "HOME"})
            saved.push_back({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(tmp.filePath("config")));
        ASSERT_TRUE(QDir().mkpath(dir(Place::Beside)));
        ASSERT_TRUE(QDir().mkpath(dir(Place::User)));
        ASSERT_TRUE(QDir().mkpath(dir(Place::Data)));
    }
    void TearDown() override {
        for (const auto& [name, value] : saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }

    QString dir(Place place) const {
        switch (place) {
        case Place::Beside:
            return tmp.filePath("bin");
        case Place::User:
            return tmp.filePath("config/lumeq-config");
        case Place::Data:
            return tmp.filePath("share/lumeq-config");
        }
        return {};
    }
    // The program's folder as the window passes it: with a separator at its end.
    QString programDir() const { return dir(Place::Beside) + QLatin1Char('/'); }
    LookupRoots roots() const { return {dir(Place::Beside), dir(Place::User), dir(Place::Data)}; }

    void put(Place place, const QString& name, EntryKind kind, const QByteArray& content = "x") {
        const QString path = QDir(dir(place)).filePath(name);
        if (kind == EntryKind::Folder) {
            ASSERT_TRUE(QDir().mkpath(path));
            return;
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(content);
    }

    QTemporaryDir tmp;
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved;
};

struct FindCase {
    const char* name;
    EntryKind wanted;
    std::vector<std::pair<Place, EntryKind>> present; // what lies where under the looked-for name
    std::optional<Place> found;                       // nullopt: in none of the three
};

void PrintTo(const FindCase& c, std::ostream* os) {
    *os << c.name;
}

class FindEntry : public LookupFolders, public testing::WithParamInterface<FindCase> {};

TEST_P(FindEntry, FirstPlaceHoldingTheKindWins) {
    const FindCase& c = GetParam();
    const QString name = c.wanted == EntryKind::File ? QStringLiteral("pdf.ini") : QStringLiteral("DimmingCurve");
    for (const auto& [place, kind] : c.present)
        put(place, name, kind);

    const QString found = lumeq::findEntry(roots(), name, c.wanted);
    const QString path = lumeq::lookupPath(roots(), name, c.wanted);
    if (c.found) {
        const QString expected = QDir(dir(*c.found)).filePath(name);
        EXPECT_EQ(found.toStdString(), expected.toStdString()) << "expected it " << placeName(*c.found);
        EXPECT_EQ(path.toStdString(), expected.toStdString());
    } else {
        EXPECT_TRUE(found.isEmpty()) << found.toStdString();
        // Nothing found: the program reads beside itself, as it always did, and gets "missing".
        EXPECT_EQ(path.toStdString(), QDir(dir(Place::Beside)).filePath(name).toStdString());
    }
}

constexpr EntryKind File = EntryKind::File;
constexpr EntryKind Folder = EntryKind::Folder;

INSTANTIATE_TEST_SUITE_P(
    Lookup, FindEntry,
    testing::Values(
        FindCase{"file_beside_only", File, {{Place::Beside, File}}, Place::Beside},
        FindCase{"file_beside_beats_both_others",
                 File,
                 {{Place::Beside, File}, {Place::User, File}, {Place::Data, File}},
                 Place::Beside},
        FindCase{"file_user_beats_data", File, {{Place::User, File}, {Place::Data, File}}, Place::User},
        FindCase{"file_data_only", File, {{Place::Data, File}}, Place::Data},
        FindCase{"file_nowhere", File, {}, std::nullopt},
        FindCase{"folder_under_a_file_name_is_passed_over",
                 File,
                 {{Place::Beside, Folder}, {Place::User, File}},
                 Place::User},
        FindCase{
            "folders_only_under_a_file_name", File, {{Place::Beside, Folder}, {Place::Data, Folder}}, std::nullopt},
        FindCase{"folder_beside_beats_data", Folder, {{Place::Beside, Folder}, {Place::Data, Folder}}, Place::Beside},
        FindCase{"folder_user_only", Folder, {{Place::User, Folder}}, Place::User},
        FindCase{"file_under_a_folder_name_is_passed_over",
                 Folder,
                 {{Place::Beside, File}, {Place::User, File}, {Place::Data, Folder}},
                 Place::Data},
        FindCase{"folder_nowhere", Folder, {}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LookupFolders, RootsComeFromTheProgramFolderAndTheEnvironment) {
    for (const QString& programDir : {programDir(), dir(Place::Beside)}) {
        SCOPED_TRACE(programDir.toStdString());
        const LookupRoots r = lumeq::lookupRoots(programDir);
        EXPECT_EQ(r.programDir.toStdString(), programDir.toStdString());
        EXPECT_EQ(r.userDir.toStdString(), dir(Place::User).toStdString());
        // ../share/lumeq-config from the program's folder, written without the "..".
        EXPECT_EQ(r.dataDir.toStdString(), dir(Place::Data).toStdString());
    }
    // An installed program: /usr/bin/lumeq-config reads the package's /usr/share/lumeq-config.
    EXPECT_EQ(lumeq::lookupRoots(QStringLiteral("/usr/bin/")).dataDir.toStdString(), "/usr/share/lumeq-config");

    // Without XDG_CONFIG_HOME the user's folder is ~/.config/lumeq-config.
    qunsetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(tmp.filePath("home")));
    EXPECT_EQ(lumeq::lookupRoots(programDir()).userDir.toStdString(),
              tmp.filePath("home/.config/lumeq-config").toStdString());
}

TEST_F(LookupFolders, UnknownRootsAreNotSearched) {
    put(Place::Beside, "pdf.ini", File);
    // No program folder: a bare name, read from the current folder as before.
    EXPECT_EQ(lumeq::lookupRoots(QString()).dataDir.toStdString(), "");
    EXPECT_EQ(lumeq::lookupPath({QString(), QString(), QString()}, "pdf.ini", File).toStdString(), "pdf.ini");
    // Empty user and data folders are no stand-in for the current folder.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir(Place::Beside)));
    EXPECT_EQ(lumeq::findEntry({tmp.filePath("nothing"), QString(), QString()}, "pdf.ini", File).toStdString(), "");
    QDir::setCurrent(cwd);
}

// The start-up options and the report's header go through the lookup: command.ini and pdf.ini are taken
// from the user's folder or the installation's when none lies beside the program, and one beside it
// still wins.
TEST_F(LookupFolders, CommandIniFromEachPlace) {
    put(Place::Data, "command.ini", File, "[Commands]\nset60Hz=1\n");
    lumeq::StartupOptions o = lumeq::readOptions(programDir(), {"-debug"});
    EXPECT_TRUE(o.fromCommandIni);
    EXPECT_TRUE(o.set60Hz);
    EXPECT_FALSE(o.debugMode) << "with command.ini the command line's options are not read";

    put(Place::User, "command.ini", File, "[Commands]\ncopyAstro=1\n");
    o = lumeq::readOptions(programDir(), {});
    EXPECT_TRUE(o.copyAstro);
    EXPECT_FALSE(o.set60Hz) << "the user's file is read alone, not merged with the installation's";

    put(Place::Beside, "command.ini", File, "[Commands]\neraseAll=1\n");
    o = lumeq::readOptions(programDir(), {});
    EXPECT_TRUE(o.enableErase);
    EXPECT_FALSE(o.copyAstro);
    EXPECT_FALSE(o.set60Hz);
}

TEST_F(LookupFolders, CommandLineWhenNoPlaceHoldsCommandIni) {
    put(Place::User, "command.ini", Folder); // a folder of that name is no command.ini
    const lumeq::StartupOptions o = lumeq::readOptions(programDir(), {"-debug", "-eraseAll"});
    EXPECT_FALSE(o.fromCommandIni);
    EXPECT_TRUE(o.debugMode);
    EXPECT_TRUE(o.enableErase);
}

TEST_F(LookupFolders, PdfIniFromEachPlace) {
    const std::string programDir = this->programDir().toStdString();
    const lumeq::HeaderLines defaults;
    lumeq::HeaderLines lines = lumeq::readHeaderLines(programDir);
    EXPECT_EQ(lines.line1, defaults.line1);
    EXPECT_EQ(lines.line2, defaults.line2);

    put(Place::Data, "pdf.ini", File, "[Header]\nLine1=Installed\nLine2=Package\n");
    lines = lumeq::readHeaderLines(programDir);
    EXPECT_EQ(lines.line1, "Installed");
    EXPECT_EQ(lines.line2, "Package");

    put(Place::User, "pdf.ini", File, "[Header]\nLine1=Own firm\n");
    lines = lumeq::readHeaderLines(programDir);
    EXPECT_EQ(lines.line1, "Own firm");
    EXPECT_EQ(lines.line2, defaults.line2) << "a key missing from the file found gives the default";

    // An empty pdf.ini beside the program is still the one that counts.
    put(Place::Beside, "pdf.ini", File, "");
    lines = lumeq::readHeaderLines(programDir);
    EXPECT_EQ(lines.line1, defaults.line1);
    EXPECT_EQ(lines.line2, defaults.line2);
}

} // namespace
