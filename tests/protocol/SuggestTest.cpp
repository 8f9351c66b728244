// Suggestions for misspelt words: only a near word, never a far guess.
#include "protocol/Suggest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvel::protocol {
namespace {

TEST(Suggest, NearestWordOnlyWhenNear) {
    const std::vector<std::string> commands{"list",  "read",    "write", "provision",
                                            "check", "history", "help"};
    struct Case {
        const char* word;
        const char* nearest; // "" for none
    };
    const Case cases[] = {
        {"reed", "read"},
        {"raed", "read"},
        {"READ", "read"},
        {"lst", "list"},
        {"wrtie", "write"},
        {"histroy", "history"},
        {"provison", "provision"},
        {"prov", "provision"},
        {"hi", "history"},
        {"set", ""},
        {"x", ""},
        {"h", ""}, // the beginning of both help and history
        {"tz", ""},
        {"title", ""},
        {"checkout", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NearestWord(c.word, commands).value_or(""), c.nearest) << c.word;
    }
    EXPECT_EQ(EditDistance("kitten", "sitting"), 3U);
    EXPECT_EQ(EditDistance("ab", "ba"), 1U);
    EXPECT_EQ(EditDistance("", "abc"), 3U);
}

} // namespace
} // namespace korvel::protocol
