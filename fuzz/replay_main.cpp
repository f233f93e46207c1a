// fuzz_replay: runs the stored inputs of a fuzz target once each, in the ordinary (gcc, sanitizer) build.
//
//   fuzz_replay TARGET PATH...   every file of each PATH (a file, or a folder read without recursion, in
//                                name order); a PATH that does not exist is passed over
//   fuzz_replay --list           the names of the targets
//
// A failing check or a sanitizer report ends the process at the input that caused it, named on stderr
// just before it runs.

#include "fuzztarget.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lumeq::fuzz {

namespace {

std::map<std::string, TargetFunction>& targets() {
    static std::map<std::string, TargetFunction> table;
    return table;
}

bool readFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    return !stream.bad();
}

} // namespace

Registration::Registration(const char* name, TargetFunction function) {
    targets().emplace(name, function);
}

} // namespace lumeq::fuzz

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    using lumeq::fuzz::targets;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--list") {
        for (const auto& [name, function] : targets())
            std::cout << name << '\n';
        return 0;
    }
    if (args.empty()) {
        std::cerr << "usage: fuzz_replay TARGET PATH... | fuzz_replay --list\n";
        return 2;
    }
    const auto target = targets().find(args[0]);
    if (target == targets().end()) {
        std::cerr << "fuzz_replay: no target " << args[0] << " (fuzz_replay --list names them)\n";
        return 2;
    }

    std::vector<fs::path> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const fs::path path(args[i]);
        std::error_code error;
        if (fs::is_directory(path, error)) {
            std::vector<fs::path> inFolder;
            for (const fs::directory_entry& entry : fs::directory_iterator(path, error))
                if (entry.is_regular_file(error))
                    inFolder.push_back(entry.path());
            std::sort(inFolder.begin(), inFolder.end());
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else if (fs::is_regular_file(path, error)) {
            files.push_back(path);
        }
    }
    if (files.empty()) {
        std::cerr << "fuzz_replay " << args[0] << ": no inputs found\n";
        return 1;
    }

    for (const fs::path& file : files) {
        std::vector<std::uint8_t> bytes;
        if (!lumeq::fuzz::readFile(file, bytes)) {
            std::cerr << "fuzz_replay " << args[0] << ": cannot read " << file.string() << '\n';
            return 1;
        }
        std::cerr << "fuzz_replay " << args[0] << ": " << file.string() << '\n';
        // A buffer of exactly the input's size, so that the sanitizer sees any read past its end.
        const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        target->second(lumeq::fuzz::Input(exact.get(), bytes.size()));
    }
    std::cout << "fuzz_replay " << args[0] << ": " << files.size() << " inputs passed\n";
    return 0;
}
