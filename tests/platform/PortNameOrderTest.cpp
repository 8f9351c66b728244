// The port list's order, the same on every OS: by text with case ignored.
#include "platform/PortList.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace korvel::platform {
namespace {

using Names = std::vector<std::string>;

struct SortCase {
    const char* name;
    Names input;
    Names sorted;
};

void PrintTo(const SortCase& c, std::ostream* os) {
    *os << c.name;
}

const SortCase kSortCases[] = {
    {"TextNotNumber", {"COM2", "COM10", "COM3", "COM1"}, {"COM1", "COM10", "COM2", "COM3"}},
    {"DevicePaths",
     {"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyS1"},
     {"/dev/ttyS1", "/dev/ttyS10", "/dev/ttyS2"}},
    {"CaseIgnored", {"com3", "COM2", "Com1"}, {"Com1", "COM2", "com3"}},
    {"EqualNamesKeepTheirOrder", {"COM1", "com1", "COM1"}, {"COM1", "com1", "COM1"}},
    {"KindsOfPort",
     {"/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyACM1", "/dev/ttyACM0"},
     {"/dev/ttyACM0", "/dev/ttyACM1", "/dev/ttyS0", "/dev/ttyUSB0"}},
    {"Empty", {}, {}},
};

class SortPortNamesTest : public testing::TestWithParam<SortCase> {};

TEST_P(SortPortNamesTest, Sorts) {
    Names names = GetParam().input;
    SortPortNames(names);
    EXPECT_EQ(names, GetParam().sorted);
}

INSTANTIATE_TEST_SUITE_P(Names, SortPortNamesTest, testing::ValuesIn(kSortCases),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace korvel::platform
