#include <gtest/gtest.h>

#include <ostream>

#include "playlist/playlist.h"

namespace {

struct ClockCase {
    int32_t ms;
    const char* text;
    friend std::ostream& operator<<(std::ostream& os, const ClockCase& c) {
        return os << c.ms << " -> " << c.text;
    }
};

class ClockTextTest : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ClockTextTest, FieldsTruncateAndWrapIndependently) {
    EXPECT_EQ(playlist::clockText(GetParam().ms), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClockTextTest,
    ::testing::Values(ClockCase{0, "0:0:0"}, ClockCase{999, "0:0:0"}, ClockCase{1000, "0:0:1"},
                      ClockCase{59999, "0:0:59"}, ClockCase{60000, "0:1:0"},
                      ClockCase{185000, "0:3:5"}, ClockCase{3599999, "0:59:59"},
                      ClockCase{3600000, "1:0:0"}, ClockCase{3725000, "1:2:5"},
                      ClockCase{215999999, "59:59:59"}, ClockCase{216000000, "0:0:0"},
                      ClockCase{2147483647, "56:31:23"}, ClockCase{-1, "0:0:0"},
                      ClockCase{-999, "0:0:0"}, ClockCase{-1000, "0:0:-1"},
                      ClockCase{-61000, "0:-1:-1"}, ClockCase{-3725000, "-1:-2:-5"},
                      ClockCase{INT32_MIN, "-56:-31:-23"}));

}  // namespace
