#pragma once
// The window tests are one program: every test file registers its test classes here, under the file's
// name, and ctest runs each file's classes as a test of its own ("gui_tests startup_test").

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace guitest {

using Factory = std::function<std::unique_ptr<QObject>()>;

// Registers a test class under the name of the file that defines it (its base name, "startup_test").
bool add(const char* file, Factory factory);

} // namespace guitest

#define LUMEQ_GUI_TEST_CONCAT_(a, b) a##b
#define LUMEQ_GUI_TEST_CONCAT(a, b) LUMEQ_GUI_TEST_CONCAT_(a, b)
#define LUMEQ_GUI_TEST(Class)                                                                                          \
    namespace {                                                                                                        \
    [[maybe_unused]] const bool LUMEQ_GUI_TEST_CONCAT(registered_, __LINE__) = guitest::add(__FILE__, [] {             \
        return std::unique_ptr<QObject>(new Class);                                                                    \
    });                                                                                                                \
    }
