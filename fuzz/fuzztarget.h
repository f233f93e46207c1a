#pragma once
// A fuzz target: one function that takes bytes as they come from outside (a file, a USB report, a
// descriptor) and checks what the program makes of them. A target does not only survive its input: it
// checks the parser's own promises (FUZZ_CHECK) and stops the process when one does not hold, so that
// libFuzzer keeps the input as a crash.
//
// Every target is built two ways from the same source:
//   - with LUMEQ_FUZZ (clang): a libFuzzer program of its own, fuzz_<name>;
//   - in the ordinary test build: into fuzz_replay, which runs the stored inputs of a target once
//     ("fuzz_replay <name> <file or folder>..."), so that an input that failed once keeps being tried.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

namespace lumeq::fuzz {

using Input = std::span<const std::uint8_t>;
using TargetFunction = void (*)(Input);

[[noreturn]] inline void fail(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

inline std::string_view asText(Input input) {
    return {reinterpret_cast<const char*>(input.data()), input.size()};
}

// The replay program's table of targets (defined in replay_main.cpp).
struct Registration {
    Registration(const char* name, TargetFunction function);
};

// An input cut into reports and actions, the way a stream of device answers arrives: each chunk starts
// with a control byte whose top two bits give its kind (0..3) and whose low six bits a number (0..63).
// A kind that carries bytes takes that many from the input after the control byte (fewer when the input
// ends first); for other kinds the number is a parameter and no bytes follow.
class Chunks {
public:
    struct Chunk {
        int kind = 0;
        int number = 0; // the control byte's low six bits
        Input bytes;    // for a kind that carries bytes
    };

    // `kindsWithBytes`: bit k set when chunks of kind k carry bytes.
    Chunks(Input input, unsigned kindsWithBytes) : input_(input), kindsWithBytes_(kindsWithBytes) {}

    bool next(Chunk& chunk) {
        if (input_.empty())
            return false;
        const std::uint8_t control = input_[0];
        input_ = input_.subspan(1);
        chunk.kind = control >> 6;
        chunk.number = control & 0x3F;
        chunk.bytes = {};
        if ((kindsWithBytes_ >> chunk.kind) & 1) {
            const std::size_t taken = std::min<std::size_t>(static_cast<std::size_t>(chunk.number), input_.size());
            chunk.bytes = input_.first(taken);
            input_ = input_.subspan(taken);
        }
        return true;
    }

private:
    Input input_;
    unsigned kindsWithBytes_;
};

} // namespace lumeq::fuzz

#define FUZZ_CHECK(condition) ((condition) ? void(0) : ::lumeq::fuzz::fail(__FILE__, __LINE__, #condition))

#ifdef LUMEQ_FUZZ_LIBFUZZER
#define LUMEQ_FUZZ_TARGET(name)                                                                                \
    static void lumeqFuzzTarget(::lumeq::fuzz::Input input);                                                   \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {                      \
        lumeqFuzzTarget(::lumeq::fuzz::Input(data, size));                                                     \
        return 0;                                                                                              \
    }                                                                                                          \
    static void lumeqFuzzTarget(::lumeq::fuzz::Input input)
#else
#define LUMEQ_FUZZ_TARGET(name)                                                                                \
    static void lumeqFuzzTarget(::lumeq::fuzz::Input input);                                                   \
    static const ::lumeq::fuzz::Registration lumeqFuzzRegistration(#name, lumeqFuzzTarget);                    \
    static void lumeqFuzzTarget(::lumeq::fuzz::Input input)
#endif
