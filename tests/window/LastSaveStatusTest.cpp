// The status line's words for the history's newest save of the logger read.
#include "window/LastSaveStatus.h"

#include <gtest/gtest.h>

namespace korvel::window {
namespace {

using namespace std::chrono;

// 7 March 2026, 13:25:36 UTC.
const system_clock::time_point kSaved = sys_days{2026y / 3 / 7} + 13h + 25min + 36s;

history::LastSave Save(std::string result, std::string who = "anna",
                       std::string bench = "bench-3") {
    return {kSaved, std::move(who), std::move(bench), std::move(result)};
}

TEST(LastSaveStatusTest, SaysWhenByWhomOnWhichBenchAndHowASaveEnded) {
    const QTimeZone utc = QTimeZone::utc();
    const QLocale c = QLocale::c();
    const struct {
        const char* name;
        std::optional<history::LastSave> last;
        std::string expected;
    } cases[] = {
        {"never saved", std::nullopt, ""},
        {"confirmed", Save("confirmed"), "Last saved 7 Mar 2026 13:25:36 by anna on bench-3"},
        // The window's own saves are acknowledged but not read back.
        {"not verified", Save("not verified"), "Last saved 7 Mar 2026 13:25:36 by anna on bench-3"},
        {"not acknowledged", Save("not acknowledged"),
         "Last save 7 Mar 2026 13:25:36 by anna on bench-3: not acknowledged"},
        {"read back different", Save("read-back differs"),
         "Last save 7 Mar 2026 13:25:36 by anna on bench-3: read-back differs"},
        {"interrupted", Save("interrupted, state unknown"),
         "Last save 7 Mar 2026 13:25:36 by anna on bench-3: interrupted"},
        {"no outcome row yet", Save(""),
         "Last save 7 Mar 2026 13:25:36 by anna on bench-3: no outcome recorded"},
        {"a word from a newer history", Save("retried"),
         "Last save 7 Mar 2026 13:25:36 by anna on bench-3: retried"},
        {"no operator or bench recorded", Save("confirmed", "", ""),
         "Last saved 7 Mar 2026 13:25:36 by unknown on unknown"},
    };
    for (const auto& c_ : cases) {
        SCOPED_TRACE(c_.name);
        EXPECT_EQ(LastSaveText(c_.last, utc, c), c_.expected);
    }
}

TEST(LastSaveStatusTest, TheTimeIsTheZonesWrittenAsTheLocaleWritesIt) {
    const QTimeZone plusOne(3600);
    EXPECT_EQ(LastSaveText(Save("confirmed"), plusOne, QLocale::c()),
              "Last saved 7 Mar 2026 14:25:36 by anna on bench-3");
    EXPECT_EQ(LastSaveText(Save("confirmed"), plusOne, QLocale(QLocale::German, QLocale::Germany)),
              "Last saved 07.03.26 14:25 by anna on bench-3");
}

} // namespace
} // namespace korvel::window
