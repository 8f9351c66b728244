#include "platform/Console.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace korvel::platform {
namespace {

TEST(Utf8Console, ShowsUtf8WhileItLivesAndGivesTheCodePageBack) {
    // Run without a console (CTest's pipes), the test takes one of its own;
    // the C runtime keeps writing to the streams it started with.
    const bool ownConsole = ::GetConsoleOutputCP() == 0 && ::AllocConsole();
    if (::GetConsoleOutputCP() == 0 || !::SetConsoleOutputCP(437)) {
        GTEST_SKIP() << "no console whose code page can be set: Wine without a terminal or a "
                        "display gives a process none, and AllocConsole fails";
    }
    {
        const Utf8Console console;
        EXPECT_EQ(::GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
    }
    EXPECT_EQ(::GetConsoleOutputCP(), 437u);

    ASSERT_TRUE(::SetConsoleOutputCP(CP_UTF8));
    { const Utf8Console console; }
    EXPECT_EQ(::GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8)) << "already UTF-8 stays UTF-8";
    if (ownConsole) {
        ::FreeConsole();
    }
}

} // namespace
} // namespace korvel::platform
