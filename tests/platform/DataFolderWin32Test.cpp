#include "platform/DataFolder.h"

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

} // namespace
} // namespace korvel::platform
