#include "platform/DataFolder.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace korvel::platform {
namespace {

// Windows keeps the files under %LOCALAPPDATA%, whatever Linux's variables say.
TEST(DataFolderWin32, FollowsLocalAppData) {
    const struct {
        const char* localAppData;
        const char* path;
    } cases[] = {
        {R"(C:\Users\ada\AppData\Local)", R"(C:\Users\ada\AppData\Local\Korvel\history.sqlite3)"},
        {"", ""},
        {nullptr, ""},
    };
    for (const auto& c : cases) {
        const auto environment = [&c](const char* name) -> const char* {
            const std::string variable(name);
            return variable == "LOCALAPPDATA"    ? c.localAppData
                   : variable == "XDG_DATA_HOME" ? "/data"
                   : variable == "HOME"          ? "/home/ada"
                                                 : nullptr;
        };
        EXPECT_EQ(UserDataFile("history.sqlite3", environment), c.path);
    }
}

// A user folder named in neither ASCII nor the ANSI code page: the narrow
// environment has question marks there before Windows 10 1903.
TEST(DataFolderWin32, TheEnvironmentIsReadAsUnicode) {
    ASSERT_TRUE(::SetEnvironmentVariableW(L"KORVEL_TEST_FOLDER",
                                          L"C:\\Users\\J\u00fcrgen \u6e29\u5ea6\\AppData"));
    const char* value = SystemEnvironmentVariable("KORVEL_TEST_FOLDER");
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "C:\\Users\\J\xc3\xbcrgen \xe6\xb8\xa9\xe5\xba\xa6\\AppData");
    // A text handed out stays valid when the variable changes.
    ASSERT_TRUE(::SetEnvironmentVariableW(L"KORVEL_TEST_FOLDER", L"D:\\other"));
    EXPECT_STREQ(SystemEnvironmentVariable("KORVEL_TEST_FOLDER"), "D:\\other");
    EXPECT_STREQ(value, "C:\\Users\\J\xc3\xbcrgen \xe6\xb8\xa9\xe5\xba\xa6\\AppData");
    ASSERT_TRUE(::SetEnvironmentVariableW(L"KORVEL_TEST_FOLDER", nullptr));
    EXPECT_EQ(SystemEnvironmentVariable("KORVEL_TEST_FOLDER"), nullptr);
}

} // namespace
} // namespace korvel::platform
