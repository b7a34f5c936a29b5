// fileNameOf under both conventions: backslash with GBK, slash with UTF-8.
#include <gtest/gtest.h>

#include <ostream>

#include "playlist/playlist.h"
#include "runtime/sim/sim.h"

namespace {

using rt::sim::Convention;

struct NameCase {
    Convention convention;
    const char* path;
    const char* name;
    friend std::ostream& operator<<(std::ostream& os, const NameCase& c) { return os << c.path; }
};

class FileNameTest : public ::testing::TestWithParam<NameCase> {
protected:
    FileNameTest() : sim(GetParam().convention) { rt::install(&sim); }
    ~FileNameTest() override { rt::install(nullptr); }
    rt::sim::SimRuntime sim;
};

TEST_P(FileNameTest, TakesWhatFollowsTheLastSeparatorCharacter) {
    EXPECT_EQ(playlist::fileNameOf(GetParam().path), GetParam().name);
}

constexpr auto Gbk = Convention::GbkBackslash;
constexpr auto Utf8 = Convention::Utf8Slash;

INSTANTIATE_TEST_SUITE_P(
    Table, FileNameTest,
    ::testing::Values(
        NameCase{Gbk, "C:\\music\\a.mp3", "a.mp3"}, NameCase{Gbk, "C:\\a.mp3", "a.mp3"},
        NameCase{Gbk, "a.mp3", "a.mp3"}, NameCase{Gbk, "", ""}, NameCase{Gbk, "C:\\music\\", ""},
        NameCase{Gbk, "C:/music/a.mp3", "C:/music/a.mp3"},
        // 0x95 0x5C is one character: its second byte is no separator.
        NameCase{Gbk, "C:\\d\\\x95\x5C.mp3", "\x95\x5C.mp3"},
        NameCase{Gbk, "C:\\d\\x\x95\x5C", "x\x95\x5C"},
        NameCase{Gbk, "C:\\d\x95\\e.mp3", "d\x95\\e.mp3"},
        // A lead byte as the last byte ends the scan.
        NameCase{Gbk, "C:\\d\\ab\x95", "ab\x95"}, NameCase{Utf8, "/home/u/a.mp3", "a.mp3"},
        NameCase{Utf8, "/home/u/音乐.mp3", "音乐.mp3"}, NameCase{Utf8, "/home/é/x.wav", "x.wav"},
        NameCase{Utf8, "/music/a\\b.mp3", "a\\b.mp3"}, NameCase{Utf8, "a.mp3", "a.mp3"},
        NameCase{Utf8, "/", ""}, NameCase{Utf8, "", ""}));

}  // namespace
