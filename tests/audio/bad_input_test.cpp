// Files that are not songs, or damaged songs: open fails cleanly and at once, or the song
// plays what can be decoded and reaches its end.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "audio/ffmpeg_source.h"
#include "audio/length.h"
#include "audio/player.h"
#include "audio/testing/song_writer.h"
#include "tests/audio/fixtures.h"

namespace audio::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

Tone tone(double seconds) {
    Tone t;
    t.seconds = seconds;
    return t;
}

Bytes noise(size_t n) {
    Bytes b(n);
    uint32_t x = 12345;
    for (auto& v : b) {
        x = x * 214013 + 2531011;
        v = uint8_t(x >> 16);
    }
    return b;
}

Bytes mp3Bytes(double seconds) {
    const std::string tmp = fixturePath("tmp_source.mp3");
    writeMp3(tmp, tone(seconds), 128);
    return readBytes(tmp);
}

// Makes the file and returns its path (which need not exist afterwards).
struct RefusedCase {
    const char* name;
    std::function<std::string()> make;
};

std::string writeNamed(const char* name, const Bytes& b) {
    const std::string p = fixturePath(name);
    writeBytes(p, b);
    return p;
}

const RefusedCase refusedCases[] = {
    {"missing", [] { return fixturePath("no_such_file.mp3"); }},
    {"empty", [] { return writeNamed("empty.mp3", {}); }},
    {"directory",
     [] {
         const std::string p = fixturePath("folder.mp3");
         std::filesystem::create_directory(p);
         return p;
     }},
    {"fifo",
     [] {
         // Opening a FIFO without a writer would block forever.
         const std::string p = fixturePath("pipe.mp3");
         mkfifo(p.c_str(), 0600);
         return p;
     }},
    {"device_zero", [] { return std::string("/dev/zero"); }},
    {"device_null", [] { return std::string("/dev/null"); }},
    {"text",
     [] {
         std::string t;
         for (int i = 0; i < 200; ++i) t += "这不是音乐, just text.\n";
         return writeNamed("notes.wav", Bytes(t.begin(), t.end()));
     }},
    {"noise", [] { return writeNamed("noise.mp3", noise(64 * 1024)); }},
    {"image",
     [] {
         std::string ppm = "P6\n16 16\n255\n" + std::string(16 * 16 * 3, '\x7f');
         return writeNamed("picture.wma", Bytes(ppm.begin(), ppm.end()));
     }},
    {"wav_header_only",
     [] {
         const std::string p = fixturePath("header_only.wav");
         writeWav(p, tone(0.5), Pcm::S16);
         Bytes b = readBytes(p);
         b.resize(44);
         writeBytes(p, b);
         return p;
     }},
    {"id3_without_frames",
     [] {
         Bytes b = mp3Bytes(0.5);
         const size_t tag =
             10 + (size_t(b[6]) << 21 | size_t(b[7]) << 14 | size_t(b[8]) << 7 | b[9]);
         b.resize(tag);
         return writeNamed("tag_only.mp3", b);
     }},
    {"midi_header_only",
     [] {
         return writeNamed("header.mid", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 1, 1, 0xe0});
     }},
    {"path_with_nul", [] { return fixturePath("a") + std::string(1, '\0') + "b.mp3"; }},
};

class RefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTest, OpenFailsCleanlyAndAtOnce) {
    const std::string path = GetParam().make();
    Player p(PlayerOptions{true, false});
    const auto t0 = Clock::now();
    EXPECT_FALSE(p.open(path));
    EXPECT_LT(Clock::now() - t0, 2s);
    EXPECT_EQ(p.state(), State::Closed);
    EXPECT_EQ(p.lengthMs(), 0);
    EXPECT_EQ(p.positionMs(), -1);
    EXPECT_FALSE(p.play(-1));
    EXPECT_EQ(songLengthMs(path), 0);
}

INSTANTIATE_TEST_SUITE_P(Inputs, RefusedTest, ::testing::ValuesIn(refusedCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct DamagedCase {
    const char* name;
    std::function<std::string()> make;
    bool exact;  // the length still agrees with a full decode
};

const DamagedCase damagedCases[] = {
    {"mp3_cut_mid_frame",
     [] {
         Bytes b = mp3Bytes(1.0);
         b.resize(b.size() / 2 + 101);
         return writeNamed("cut.mp3", b);
     },
     true},
    {"mp3_zeros_mid_stream",
     [] {
         Bytes b = mp3Bytes(1.0);
         std::fill(b.begin() + long(b.size() / 3), b.begin() + long(b.size() / 3 + 3000), 0);
         return writeNamed("holes.mp3", b);
     },
     false},
    {"mp3_noise_mid_stream",
     [] {
         Bytes b = mp3Bytes(1.0);
         const Bytes n = noise(2000);
         std::copy(n.begin(), n.end(), b.begin() + long(b.size() / 2));
         return writeNamed("noisy.mp3", b);
     },
     false},
    {"wav_cut_short",
     [] {
         const std::string p = fixturePath("short.wav");
         writeWav(p, tone(1.0), Pcm::S24);
         Bytes b = readBytes(p);
         b.resize(b.size() / 2 + 1);
         writeBytes(p, b);
         return p;
     },
     true},
    {"wma_cut_short",
     [] {
         const std::string p = fixturePath("short.wma");
         writeWma(p, tone(1.0), 2);
         Bytes b = readBytes(p);
         b.resize(b.size() * 3 / 5);
         writeBytes(p, b);
         return p;
     },
     true},
    {"wav_named_mp3",
     [] {
         const std::string p = fixturePath("really_a_wav.mp3");
         writeWav(p, tone(0.5), Pcm::S16);
         return p;
     },
     true},
    {"mp3_named_wav", [] { return writeNamed("really_an_mp3.wav", mp3Bytes(0.5)); }, true},
    {"midi_named_wma",
     [] {
         const std::string p = fixturePath("really_midi.wma");
         writeMidi(p, 0, 96, {}, {{0, 96, 60}}, 192);
         return p;
     },
     true},
    {"midi_track_cut",
     [] {
         const std::string p = fixturePath("cut.mid");
         writeMidi(p, 1, 96, {{0, 500000}}, {{0, 96, 60}, {96, 96, 62}, {192, 96, 64}}, 288);
         Bytes b = readBytes(p);
         b.resize(b.size() - 9);  // into the last note of the second track
         writeBytes(p, b);
         return p;
     },
     true},
};

class DamagedTest : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedTest, PlaysWhatDecodesToItsEnd) {
    const std::string path = GetParam().make();
    Player p(PlayerOptions{true, false});
    const auto t0 = Clock::now();
    ASSERT_TRUE(p.open(path));
    EXPECT_LT(Clock::now() - t0, 2s);
    const int32_t len = p.lengthMs();
    EXPECT_GT(len, 0);
    SongLength measured;
    ASSERT_TRUE(measureSong(path, measured));
    if (GetParam().exact && measured.kind != SongKind::Midi) {
        int64_t frames = 0;
        int32_t rate = 0;
        ASSERT_TRUE(decodedFrameCount(path, frames, rate));
        const int tolerance = measured.kind == SongKind::Asf ? 2048 * 1000 / rate + 1 : 0;
        EXPECT_NEAR(len, framesToMs(frames, rate), tolerance);
    }
    ASSERT_TRUE(p.play(-1));
    ASSERT_TRUE(waitUntil([&] { return p.state() == State::Stopped; },
                          std::chrono::milliseconds(len + 3000)));
    EXPECT_EQ(p.positionMs(), len);
}

INSTANTIATE_TEST_SUITE_P(Inputs, DamagedTest, ::testing::ValuesIn(damagedCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace audio::testing
