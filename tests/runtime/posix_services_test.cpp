// The toolkit-free services of the Linux run time: files, libraries, the clock.
#include "runtime/qt/posix_services.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
namespace px = rt::qt::posix;

class PosixServices : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tunaro-posix-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        start = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(start);
        fs::remove_all(dir);
    }
    std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    size_t entries() { return std::distance(fs::directory_iterator(dir), {}); }

    std::string dir;
    fs::path start;
};

std::span<const uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST_F(PosixServices, WholeFileWriteLeavesOnlyTheFile) {
    const std::string path = dir + "/引擎.so";
    std::string content(100000, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = char(i * 7);
    ASSERT_TRUE(px::writeWholeFile(path, bytesOf(content)));
    EXPECT_EQ(read(path), content);
    EXPECT_EQ(entries(), 1u) << "a temporary stayed behind";
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(PosixServices, WholeFileWriteNeverReplacesAnExistingEntry) {
    const std::string path = dir + "/engine.so";
    std::ofstream(path) << "theirs";
    EXPECT_FALSE(px::writeWholeFile(path, bytesOf("ours")));
    EXPECT_EQ(read(path), "theirs");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(PosixServices, WholeFileWriteFailures) {
    for (const std::string& path : {dir + "/missing/f", dir + "/", std::string()})
        EXPECT_FALSE(px::writeWholeFile(path, bytesOf("x"))) << path;
    EXPECT_EQ(entries(), 0u);
}

TEST_F(PosixServices, HiddenAttributeIsPlainReadWrite) {
    const std::string path = dir + "/f";
    std::ofstream(path) << "x";
    ::chmod(path.c_str(), 0400);
    ASSERT_TRUE(px::setHiddenAttribute(path));
    struct stat st;
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_FALSE(px::setHiddenAttribute(dir + "/none"));
}

TEST_F(PosixServices, PathExistsSeesEntriesAsTheyAre) {
    std::ofstream(dir + "/file") << "x";
    fs::create_directory(dir + "/sub");
    fs::create_symlink(dir + "/nowhere", dir + "/dangling");
    struct Case {
        std::string path;
        bool exists;
    };
    const Case cases[] = {{dir + "/file", true},  {dir + "/sub", true},   {dir + "/dangling", true},
                          {dir + "/none", false}, {dir + "/FILE", false}, {"", false}};
    for (const Case& c : cases) EXPECT_EQ(px::pathExists(c.path), c.exists) << c.path;
}

TEST_F(PosixServices, CurrentDirectoryAndTheRoot) {
    ASSERT_TRUE(px::setCurrentDirectory(dir));
    EXPECT_EQ(fs::path(px::currentDirectory()), fs::canonical(dir));
    ASSERT_TRUE(px::setCurrentDirectory(""));
    EXPECT_EQ(px::currentDirectory(), "/");
    EXPECT_FALSE(px::setCurrentDirectory(dir + "/none"));
    EXPECT_EQ(px::currentDirectory(), "/");
}

TEST(PosixProcess, ExecutablePathIsThisTest) {
    EXPECT_EQ(fs::path(px::executablePath()).filename(), "posix_services_test");
}

TEST(PosixProcess, TickCountFollowsTheBootClock) {
    timespec ts{};
    ::clock_gettime(CLOCK_BOOTTIME, &ts);
    const auto expected = static_cast<uint32_t>(uint64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
    const uint32_t tick = px::tickCount();
    EXPECT_LE(tick - expected, 50u);
}

TEST(PosixLibraries, LoadFindFreeAndReleaseAll) {
    px::Libraries libs;
    EXPECT_EQ(libs.load("libtunaro-no-such-library.so"), 0u);
    const uintptr_t m = libs.load("libm.so.6");
    ASSERT_NE(m, 0u);
    auto* cosine = reinterpret_cast<double (*)(double)>(libs.find(m, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(libs.find(m, "no_such_export"), nullptr);
    EXPECT_EQ(libs.find(0, "cos"), nullptr);
    libs.free(m);
    libs.free(m);  // a second free of the same handle is ignored
    ASSERT_NE(libs.load("libm.so.6"), 0u);
    libs.releaseAll();
}

}  // namespace
