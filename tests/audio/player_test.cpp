// The player on the null output and on SDL's dummy device: every format to its end,
// seeking, pause and resume, stop, volume, and the fallback when there is no device.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "audio/length.h"
#include "audio/output.h"
#include "audio/player.h"
#include "audio/testing/song_writer.h"
#include "tests/audio/fixtures.h"

namespace audio::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Positions on the null output move in steps of its period; waits in these tests are
// measured with that much slack (plus scheduling).
constexpr int slackMs = nullOutputPeriodMs + 60;

Tone tone(int rate, int channels, double seconds, double amplitude = 0.5) {
    Tone t;
    t.rate = rate;
    t.channels = channels;
    t.seconds = seconds;
    t.amplitude = amplitude;
    return t;
}

// Written once; the tests share them.
struct Songs {
    std::string wav2s = fixturePath("two_seconds.wav");
    std::string wav48k = fixturePath("tone48k.wav");
    Songs() {
        writeWav(wav2s, tone(44100, 2, 2.0), Pcm::S16);
        writeWav(wav48k, tone(48000, 2, 0.4), Pcm::F32);
    }
};
const Songs& songs() {
    static Songs s;
    return s;
}

PlayerOptions nullOutput(bool capture = false) {
    PlayerOptions o;
    o.nullOutput = true;
    o.capture = capture;
    return o;
}

bool waitForEnd(Player& p, int32_t lengthMs) {
    return waitUntil([&] { return p.state() == State::Stopped; },
                     std::chrono::milliseconds(lengthMs + 3000));
}

double rms(const std::vector<float>& s, int channel) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = size_t(channel); i < s.size(); i += 2, ++n) sum += double(s[i]) * s[i];
    return n ? std::sqrt(sum / double(n)) : 0.0;
}

struct EndCase {
    const char* name;
    std::function<bool(const std::string&)> write;
};

const EndCase endCases[] = {
    {"cbr.mp3", [](auto& p) { return writeMp3(p, tone(44100, 2, 0.6), 128); }},
    {"vbr_headerless.mp3",
     [](auto& p) { return writeMp3(p, tone(44100, 2, 0.6), 0, 3) && stripInfoFrame(p); }},
    {"mpeg2_mono.mp3", [](auto& p) { return writeMp3(p, tone(22050, 1, 0.5), 48); }},
    {"歌曲 一.wav", [](auto& p) { return writeWav(p, tone(44100, 2, 0.5), Pcm::S16); }},
    {"u8_mono_11k.wav", [](auto& p) { return writeWav(p, tone(11025, 1, 0.4), Pcm::U8); }},
    {"f32_6ch.wav", [](auto& p) { return writeWav(p, tone(32000, 6, 0.4), Pcm::F32, true); }},
    {"v1.wma", [](auto& p) { return writeWma(p, tone(44100, 2, 0.6), 1); }},
    {"v2.wma", [](auto& p) { return writeWma(p, tone(22050, 1, 0.5), 2, 32); }},
    {"tempo.mid",
     [](auto& p) {
         return writeMidi(p, 1, 480, {{0, 500000}, {480, 250000}}, {{0, 480, 60}, {480, 240, 67}},
                          720);  // 0.5 s + 0.125 s
     }},
    {"format0.midi",
     [](auto& p) {
         return writeMidi(p, 0, 96, {{0, 400000}}, {{0, 96, 64}}, 120);
     }},
};

class EndTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(EndTest, PlaysToTheEndWherePositionEqualsLength) {
    const std::string path = fixturePath(GetParam().name);
    ASSERT_TRUE(GetParam().write(path));
    Player p(nullOutput(true));
    ASSERT_TRUE(p.open(path));
    const int32_t len = p.lengthMs();
    EXPECT_EQ(len, songLengthMs(path));
    EXPECT_GT(len, 0);
    EXPECT_EQ(p.state(), State::Stopped);
    EXPECT_EQ(p.positionMs(), 0);

    const auto start = Clock::now();
    ASSERT_TRUE(p.play(-1));
    EXPECT_EQ(p.state(), State::Playing);
    // The position runs up to the length without a jump at the end.
    int32_t lastWhilePlaying = 0;
    const auto deadline = start + std::chrono::milliseconds(len + 3000);
    while (p.state() == State::Playing && Clock::now() < deadline) {
        lastWhilePlaying = std::max(lastWhilePlaying, p.positionMs());
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_EQ(p.state(), State::Stopped);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_GE(lastWhilePlaying, len - slackMs);
    EXPECT_EQ(p.positionMs(), len);
    // Sound came out (the soundfont loaded, the decoder decoded).
    EXPECT_GT(rms(p.takeCaptured(), 0), 0.01);
    EXPECT_EQ(p.state(), State::Stopped);
    // Played in real time, not skipped through.
    EXPECT_GE(took.count(), len - 30);
    // It stays at the end.
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(p.positionMs(), len);
}

INSTANTIATE_TEST_SUITE_P(Formats, EndTest, ::testing::ValuesIn(endCases), [](const auto& info) {
    std::string n;
    for (char ch : std::string(info.param.name))
        n += isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return n;
});

TEST(Player, NothingOpen) {
    Player p(nullOutput());
    EXPECT_EQ(p.state(), State::Closed);
    EXPECT_EQ(p.lengthMs(), 0);
    EXPECT_EQ(p.positionMs(), -1);
    EXPECT_FALSE(p.play(-1));
    EXPECT_FALSE(p.play(100));
    EXPECT_FALSE(p.pause());
    EXPECT_FALSE(p.resume());
    EXPECT_FALSE(p.stop());
    EXPECT_FALSE(p.close());
}

TEST(Player, PlayFromAPositionAndSeekWhilePlaying) {
    Player p(nullOutput());
    ASSERT_TRUE(p.open(songs().wav2s));
    ASSERT_EQ(p.lengthMs(), 2000);
    ASSERT_TRUE(p.play(1200));
    EXPECT_GE(p.positionMs(), 1200);
    std::this_thread::sleep_for(200ms);
    EXPECT_NEAR(p.positionMs(), 1400, slackMs);
    ASSERT_TRUE(p.play(300));  // back, while playing
    EXPECT_LT(p.positionMs(), 340);
    std::this_thread::sleep_for(100ms);
    EXPECT_NEAR(p.positionMs(), 400, slackMs);
    ASSERT_TRUE(p.play(1900));
    ASSERT_TRUE(waitForEnd(p, 100));
    EXPECT_EQ(p.positionMs(), 2000);
    // Beyond the end: it ends at once.
    ASSERT_TRUE(p.play(5000));
    ASSERT_TRUE(waitForEnd(p, 0));
    EXPECT_EQ(p.positionMs(), 2000);
}

// Everything but the leading and trailing silence of the null output.
std::vector<float> playedPart(std::vector<float> s) {
    size_t first = 0, last = s.size();
    while (first < s.size() && s[first] == 0.0f) ++first;
    while (last > first && s[last - 1] == 0.0f) --last;
    first &= ~size_t(1);
    last = (last + 1) & ~size_t(1);
    return std::vector<float>(s.begin() + long(first), s.begin() + long(last));
}

// What plays after play(from): the same samples as from the start, that far in. A pitch
// glide makes every moment different; at 48 kHz nothing is resampled.
struct StartCase {
    const char* name;
    std::function<bool(const std::string&, const Tone&)> write;
};

std::vector<float> playedFrom(const std::string& path, int32_t fromMs) {
    Player p(nullOutput(true));
    if (!p.open(path) || !p.play(fromMs)) return {};
    waitForEnd(p, p.lengthMs());
    return playedPart(p.takeCaptured());
}

// The lag (in frames) at which got best matches ref, searched around expected.
long bestLag(const std::vector<float>& ref, const std::vector<float>& got, long expected) {
    constexpr size_t window = 4800;
    long best = -1;
    double bestErr = 1e300;
    for (long lag = std::max(0L, expected - 2400); lag <= expected + 2400; ++lag) {
        if (size_t(lag) + window > ref.size() / 2 || window > got.size() / 2) break;
        double e = 0;
        for (size_t i = 0; i < window; ++i) {
            const double d = got[i * 2] - ref[(size_t(lag) + i) * 2];
            e += d * d;
        }
        if (e < bestErr) {
            bestErr = e;
            best = lag;
        }
    }
    return best;
}

const StartCase startCases[] = {
    {"cbr.mp3", [](auto& p, auto& t) { return writeMp3(p, t, 192); }},
    {"vbr.mp3", [](auto& p, auto& t) { return writeMp3(p, t, 0, 2); }},
    {"pcm.wav", [](auto& p, auto& t) { return writeWav(p, t, Pcm::S16); }},
    {"v2.wma", [](auto& p, auto& t) { return writeWma(p, t, 2); }},
};

class StartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartTest, PlayFromStartsOnTheSample) {
    Tone t = tone(48000, 2, 0.8);
    t.frequency = 200;
    t.sweepTo = 2000;
    const std::string path = fixturePath(std::string("glide_") + GetParam().name);
    ASSERT_TRUE(GetParam().write(path, t));
    const std::vector<float> ref = playedFrom(path, 0);
    const std::vector<float> got = playedFrom(path, 300);
    ASSERT_FALSE(ref.empty());
    ASSERT_FALSE(got.empty());
    // Within two frames: a first sample of exactly 0 is taken for silence by playedPart.
    EXPECT_NEAR(bestLag(ref, got, 300 * 48), 300 * 48, 2);
}

INSTANTIATE_TEST_SUITE_P(Formats, StartTest, ::testing::ValuesIn(startCases), [](const auto& info) {
    std::string n;
    for (char ch : std::string(info.param.name))
        n += isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return n;
});

TEST(Player, PauseAndResumeKeepThePosition) {
    Player p(nullOutput());
    ASSERT_TRUE(p.open(songs().wav2s));
    ASSERT_TRUE(p.play(-1));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(p.pause());
    EXPECT_EQ(p.state(), State::Paused);
    const int32_t at = p.positionMs();
    EXPECT_NEAR(at, 300, slackMs);
    EXPECT_FALSE(p.pause());  // only while playing
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(p.positionMs(), at);
    ASSERT_TRUE(p.resume());
    EXPECT_EQ(p.state(), State::Playing);
    EXPECT_NEAR(p.positionMs(), at, 30);
    std::this_thread::sleep_for(150ms);
    EXPECT_NEAR(p.positionMs(), at + 150, slackMs);
    // play(-1) while paused resumes in place as well.
    ASSERT_TRUE(p.pause());
    const int32_t again = p.positionMs();
    ASSERT_TRUE(p.play(-1));
    EXPECT_NEAR(p.positionMs(), again, 30);
    // Resuming from a saved position (the transport's way) lands there too.
    ASSERT_TRUE(p.pause());
    const int32_t saved = p.positionMs();
    ASSERT_TRUE(p.play(saved));
    EXPECT_NEAR(p.positionMs(), saved, 30);
}

TEST(Player, StopGoesBackToTheStart) {
    Player p(nullOutput());
    ASSERT_TRUE(p.open(songs().wav2s));
    ASSERT_TRUE(p.play(500));
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(p.stop());
    EXPECT_EQ(p.state(), State::Stopped);
    EXPECT_EQ(p.positionMs(), 0);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(p.positionMs(), 0);
    ASSERT_TRUE(p.play(-1));  // from the start
    std::this_thread::sleep_for(200ms);
    EXPECT_NEAR(p.positionMs(), 200, slackMs);
    // After the natural end, stop also goes back to 0.
    ASSERT_TRUE(p.play(1950));
    ASSERT_TRUE(waitForEnd(p, 50));
    ASSERT_TRUE(p.stop());
    EXPECT_EQ(p.positionMs(), 0);
}

TEST(Player, OpenClosesWhatPlayedAndCloseEndsIt) {
    Player p(nullOutput());
    ASSERT_TRUE(p.open(songs().wav2s));
    ASSERT_TRUE(p.play(-1));
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(p.open(songs().wav48k));
    EXPECT_EQ(p.state(), State::Stopped);
    EXPECT_EQ(p.lengthMs(), 400);
    EXPECT_EQ(p.positionMs(), 0);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(p.positionMs(), 0);
    ASSERT_TRUE(p.play(-1));
    ASSERT_TRUE(p.close());
    EXPECT_EQ(p.state(), State::Closed);
    EXPECT_EQ(p.lengthMs(), 0);
    EXPECT_EQ(p.positionMs(), -1);
    // A failed open leaves nothing open either.
    ASSERT_TRUE(p.open(songs().wav2s));
    EXPECT_FALSE(p.open(fixturePath("missing.mp3")));
    EXPECT_EQ(p.state(), State::Closed);
    EXPECT_EQ(p.positionMs(), -1);
}

TEST(Volume, CurveIsPerceptual) {
    EXPECT_EQ(volumeGain(0), 0.0f);
    EXPECT_EQ(volumeGain(1000), 1.0f);
    EXPECT_NEAR(20 * std::log10(volumeGain(500)), -10.0, 0.05);
    EXPECT_NEAR(20 * std::log10(volumeGain(250)), -20.0, 0.05);
    float last = 0.0f;
    for (int level = 1; level <= 1000; ++level) {
        EXPECT_GT(volumeGain(level), last) << level;
        last = volumeGain(level);
    }
    Player p(nullOutput());
    EXPECT_TRUE(p.setChannelVolume(0, 0));
    EXPECT_TRUE(p.setChannelVolume(1, 1000));
    EXPECT_FALSE(p.setChannelVolume(0, 1001));
    EXPECT_FALSE(p.setChannelVolume(1, -1));
    EXPECT_FALSE(p.setChannelVolume(2, 500));
}

TEST(Volume, OutputScalesWithTheCurvePerChannel) {
    struct Row {
        int32_t left, right;
    };
    const double full = 0.5 / std::sqrt(2.0);  // the tone's RMS
    for (Row r : {Row{1000, 500}, Row{250, 1000}, Row{0, 750}}) {
        Player p(nullOutput(true));
        ASSERT_TRUE(p.open(songs().wav48k));
        ASSERT_TRUE(p.setChannelVolume(0, r.left));
        ASSERT_TRUE(p.setChannelVolume(1, r.right));
        ASSERT_TRUE(p.play(-1));
        ASSERT_TRUE(waitForEnd(p, 400));
        ASSERT_EQ(p.outputRate(), 48000);  // the tone's own rate: no resampling
        const std::vector<float> s = playedPart(p.takeCaptured());
        ASSERT_GT(s.size(), 2u * 48000 * 3 / 10);
        EXPECT_NEAR(rms(s, 0), full * volumeGain(r.left), 0.01 * full) << r.left;
        EXPECT_NEAR(rms(s, 1), full * volumeGain(r.right), 0.01 * full) << r.right;
    }
}

// SDL reads its driver choice at initialisation; these tests set it for themselves.
class DriverEnv {
public:
    explicit DriverEnv(const char* driver) {
        const char* old = getenv("SDL_AUDIODRIVER");
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv("SDL_AUDIODRIVER", driver, 1);
    }
    ~DriverEnv() {
        if (had_)
            setenv("SDL_AUDIODRIVER", old_.c_str(), 1);
        else
            unsetenv("SDL_AUDIODRIVER");
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST(Output, WithoutADeviceTheNullOutputKeepsRealTime) {
    DriverEnv env("no-such-driver");
    Player p;
    ASSERT_TRUE(p.open(songs().wav2s));
    ASSERT_TRUE(p.play(-1));
    EXPECT_EQ(p.outputName(), "null");
    // Measured between two steps of the position, about 1.5 s apart: at a step the
    // position is exact.
    auto nextStep = [&] {
        const int32_t from = p.positionMs();
        EXPECT_TRUE(waitUntil([&] { return p.positionMs() != from; }, 1000ms));
        return std::pair{Clock::now(), p.positionMs()};
    };
    const auto [t0, p0] = nextStep();
    std::this_thread::sleep_for(1400ms);
    const auto [t1, p1] = nextStep();
    const double wall = std::chrono::duration<double, std::milli>(t1 - t0).count();
    EXPECT_NEAR(double(p1 - p0), wall, wall * 0.05);
}

TEST(Output, ALostDeviceGivesWayToTheNullOutput) {
    DriverEnv env("dummy");
    Player p;
    ASSERT_TRUE(p.open(songs().wav2s));
    ASSERT_TRUE(p.play(1000));
    ASSERT_EQ(p.outputName(), "device");
    ASSERT_TRUE(waitUntil([&] { return p.positionMs() > 1100; }, 1000ms));
    p.loseDeviceForTest();
    ASSERT_TRUE(waitUntil([&] { return p.outputName() == "null"; }, 1000ms));
    const int32_t after = p.positionMs();
    EXPECT_GE(after, 1100);
    ASSERT_TRUE(waitForEnd(p, 1000));
    EXPECT_EQ(p.positionMs(), 2000);
}

}  // namespace
}  // namespace audio::testing
