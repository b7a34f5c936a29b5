// 媒体播放1 as the program sees it: rt::MediaPlay over the engine (SDL's dummy device).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/testing/song_writer.h"
#include "runtime/audio/audio_media_play.h"
#include "tests/audio/fixtures.h"

namespace audio::testing {
namespace {

using namespace std::chrono_literals;
using rt::MediaState;

const std::string& song() {
    static const std::string path = [] {
        std::string p = fixturePath("one_second.mp3");
        Tone t;
        t.seconds = 1.0;
        writeMp3(p, t, 128);
        return p;
    }();
    return path;
}

TEST(AudioMediaPlay, StatesThroughALife) {
    auto m = rt::makeAudioMediaPlay();
    EXPECT_EQ(m->getState(), MediaState::Other);
    EXPECT_EQ(m->getLength(), 0);
    EXPECT_EQ(m->getPosition(), -1);

    ASSERT_TRUE(m->open(song()));
    EXPECT_EQ(m->getState(), MediaState::Stopped);
    EXPECT_EQ(m->getLength(), rt::audioSongLengthMs(song()));
    EXPECT_EQ(m->getLength(), 1000);
    EXPECT_EQ(m->getPosition(), 0);

    ASSERT_TRUE(m->play(-1));
    EXPECT_EQ(m->getState(), MediaState::Playing);
    ASSERT_TRUE(waitUntil([&] { return m->getPosition() > 100; }, 2000ms));
    ASSERT_TRUE(m->pause());  // pausedMark clear: pauses
    EXPECT_TRUE(m->pausedMark());
    EXPECT_EQ(m->getState(), MediaState::Paused);
    const int32_t at = m->getPosition();
    EXPECT_GT(at, 100);
    ASSERT_TRUE(m->pause());  // pausedMark set: resumes
    EXPECT_FALSE(m->pausedMark());
    EXPECT_EQ(m->getState(), MediaState::Playing);
    EXPECT_NEAR(m->getPosition(), at, 30);

    ASSERT_TRUE(m->pause());
    ASSERT_TRUE(m->play(at));  // play clears the mark and plays from there
    EXPECT_FALSE(m->pausedMark());
    EXPECT_EQ(m->getState(), MediaState::Playing);

    ASSERT_TRUE(m->stop());
    EXPECT_EQ(m->getState(), MediaState::Stopped);
    EXPECT_EQ(m->getPosition(), 0);

    ASSERT_TRUE(m->play(900));
    ASSERT_TRUE(waitUntil([&] { return m->getState() == MediaState::Stopped; }, 2000ms));
    EXPECT_EQ(m->getPosition(), 1000);

    ASSERT_TRUE(m->close());
    EXPECT_EQ(m->getState(), MediaState::Other);
    EXPECT_EQ(m->getLength(), 0);
    EXPECT_EQ(m->getPosition(), -1);
}

TEST(AudioMediaPlay, SetVolumeRule) {
    struct Row {
        int32_t left, right;
        bool result;
    };
    const Row rows[] = {
        {0, 0, true},      {100, 100, true}, {50, 75, true},
        {-1, 50, false},   {50, -1, false},  {101, 100, false},
        {100, 101, false}, {-1, 101, false}, {INT32_MAX, 0, false},
    };
    auto m = rt::makeAudioMediaPlay();
    for (const Row& r : rows)
        EXPECT_EQ(m->setVolume(r.left, r.right), r.result) << r.left << ", " << r.right;
}

TEST(AudioMediaPlay, DestroyingItWhilePlayingClosesTheFile) {
    auto m = rt::makeAudioMediaPlay();
    ASSERT_TRUE(m->open(song()));
    ASSERT_TRUE(m->play(-1));
    std::this_thread::sleep_for(30ms);
    const auto t0 = std::chrono::steady_clock::now();
    m.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms);
}

TEST(AudioSongLength, SafeOnManyThreadsAtOnce) {
    const int32_t expected = rt::audioSongLengthMs(song());
    ASSERT_EQ(expected, 1000);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i)
                if (rt::audioSongLengthMs(song()) != expected) ++wrong;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace audio::testing
