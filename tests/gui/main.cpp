// Runs the window tests: `gui_tests FILE [QtTest options]` runs the test classes of one file (its base name,
// "startup_test"); without arguments every file's.

#include "guitest.h"

#include <QApplication>
#include <QFileInfo>
#include <QTest>

#include <cstdio>
#include <map>
#include <vector>

namespace {

std::map<QString, std::vector<guitest::Factory>>& registry() {
    static std::map<QString, std::vector<guitest::Factory>> tests;
    return tests;
}

} // namespace

bool guitest::add(const char* file, Factory factory) {
    registry()[QFileInfo(QString::fromUtf8(file)).completeBaseName()].push_back(std::move(factory));
    return true;
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    QStringList args = QApplication::arguments();
    const QString program = args.takeFirst();
    QStringList files;
    if (!args.isEmpty() && !args.first().startsWith(QLatin1Char('-')))
        files << args.takeFirst();
    else
        for (const auto& [file, factories] : registry())
            files << file;

    int failures = 0;
    for (const QString& file : files) {
        const auto found = registry().find(file);
        if (found == registry().end()) {
            std::fprintf(stderr, "gui_tests: no test file %s\n", qPrintable(file));
            return 2;
        }
        for (const guitest::Factory& factory : found->second) {
            const std::unique_ptr<QObject> test = factory();
            failures += QTest::qExec(test.get(), QStringList{program} + args);
        }
    }
    return failures == 0 ? 0 : 1;
}
