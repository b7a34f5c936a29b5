// The periodic tick (volume, moving on near the end, the clock) and the volume label.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "app/app.h"
#include "playlist/playlist.h"
#include "tests/sim_support/sim_program.h"

namespace {

using rt::sim::MediaCall;
using sim_support::SimProgramTest;

class TickTest : public SimProgramTest {
protected:
    // Ticks come every 500 ms from the start; returns the number of the tick (1, 2, ...)
    // at which the song after row 0 was opened, or 0 when none within `ticks`.
    int tickThatMovesOn(int ticks) {
        for (int k = 1; k <= ticks; ++k) {
            sim.advance(500);
            for (const MediaCall& c : program.takeCommands())
                if (c.op == "open") return k;
        }
        return 0;
    }
};

struct EndCase {
    int32_t lengthMs;  // < 0: the file does not open
    int tick;          // the tick that moves on: the first whose position >= length - 500
    friend std::ostream& operator<<(std::ostream& os, const EndCase& c) {
        return os << "length " << c.lengthMs;
    }
};

class TickEndTest : public TickTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(TickEndTest, MovesOnAtTheFirstTickWithinTheLastHalfSecond) {
    program.importSongs({{"C:\\a.mp3", GetParam().lengthMs}, {"C:\\b.mp3", 60000}});
    sim.click("按钮_播放");
    program.takeCommands();
    EXPECT_EQ(tickThatMovesOn(10), GetParam().tick);
    EXPECT_EQ(app::currentSongPath, "C:\\b.mp3");
    EXPECT_EQ(playlist::selectedRow(), 1);
}

INSTANTIATE_TEST_SUITE_P(Table, TickEndTest,
                         ::testing::Values(EndCase{2000, 3},  // 1500 == 2000 - 500
                                           EndCase{2001, 4},  // 1500 == 2001 - 501: not yet
                                           EndCase{2499, 4}, EndCase{2501, 5}, EndCase{500, 1},
                                           EndCase{300, 1},                  // ended: 300
                                           EndCase{0, 1}, EndCase{-1, 1}));  // -1 >= -500

TEST_F(TickTest, TheMovingTickShowsTheOldPositionOverTheNewLength) {
    program.importSongs({{"C:\\a.mp3", 2000}, {"C:\\b.mp3", 7000}});
    sim.click("按钮_播放");
    sim.advance(1000);
    EXPECT_EQ(w.标签2.caption(), "0:0:1/0:0:2");
    sim.advance(500);  // 1500: moves on
    EXPECT_EQ(w.标签2.caption(), "0:0:1/0:0:7");
    // The new start re-writes the same period: the rhythm stays, the next tick is at 2000.
    sim.advance(500);
    EXPECT_EQ(w.标签2.caption(), "0:0:0/0:0:7");
    EXPECT_EQ(w.媒体播放1.getPosition(), 500);
}

TEST_F(TickTest, UnopenableFilesAreSkippedOnePerTick) {
    program.importSongs({{"C:\\x.mp3", -1}, {"C:\\y.mp3", -1}, {"C:\\z.mp3", 10000}});
    sim.click("按钮_播放");
    program.takeCommands();
    sim.advance(500);
    EXPECT_EQ(app::currentSongPath, "C:\\y.mp3");
    EXPECT_EQ(w.标签2.caption(), "0:0:0/0:0:0");  // clockText(-1) over the length 0
    sim.advance(500);
    EXPECT_EQ(app::currentSongPath, "C:\\z.mp3");
    EXPECT_EQ(w.标签2.caption(), "0:0:0/0:0:10");
    sim.advance(500);
    EXPECT_EQ(app::currentSongPath, "C:\\z.mp3");
    EXPECT_EQ(w.标签2.caption(), "0:0:0/0:0:10");
    int opens = 0;
    for (const MediaCall& c : program.takeCommands()) opens += c.op == "open";
    EXPECT_EQ(opens, 2);
}

TEST_F(TickTest, WhenNoFileOpensTheRowsAreTriedInTurnUntilStop) {
    program.importSongs({{"C:\\x.mp3", -1}, {"C:\\y.mp3", -1}});
    sim.click("按钮_播放");
    std::vector<std::string> tried;
    for (int k = 0; k < 4; ++k) {
        sim.advance(500);
        tried.push_back(app::currentSongPath);
    }
    EXPECT_EQ(tried,
              (std::vector<std::string>{"C:\\y.mp3", "C:\\x.mp3", "C:\\y.mp3", "C:\\x.mp3"}));
    sim.click("按钮_停止");
    program.takeCommands();
    sim.advance(5000);
    EXPECT_TRUE(program.takeCommands().empty());
}

TEST_F(TickTest, VolumeReachesThePlayerOnlyOnTicksAndNotWhilePaused) {
    program.importSongs({{"C:\\a.mp3", 600000}});
    sim.click("按钮_播放");
    sim.slide(80);
    EXPECT_EQ(w.标签4.caption(), "80%");
    EXPECT_EQ(sim.mediaVolume(0), -1);  // nothing told yet
    sim.advance(500);
    EXPECT_EQ(sim.mediaVolume(0), 800);
    EXPECT_EQ(sim.mediaVolume(1), 800);
    sim.click("按钮_播放");  // pause
    program.takeCommands();
    sim.slide(20);
    sim.advance(3000);
    EXPECT_EQ(w.标签4.caption(), "20%");
    EXPECT_TRUE(program.takeCommands().empty());
    EXPECT_EQ(sim.mediaVolume(0), 800);
    sim.click("按钮_播放");  // resume
    sim.advance(499);
    EXPECT_EQ(sim.mediaVolume(0), 800);
    sim.advance(1);
    EXPECT_EQ(sim.mediaVolume(0), 200);
    EXPECT_EQ(program.takeCommands(),
              (std::vector<MediaCall>{{"play", "500"}, {"setVolume", "20,20"}}));
}

TEST_F(TickTest, WhilePausedTheClockKeepsItsLastText) {
    program.importSongs({{"C:\\a.mp3", 600000}});
    sim.click("按钮_播放");
    sim.advance(2200);
    sim.click("按钮_播放");
    const std::string shown = w.标签2.caption();
    sim.advance(10000);
    EXPECT_EQ(w.标签2.caption(), shown);
    EXPECT_EQ(shown, "0:0:2/0:10:0");
}

TEST_F(TickTest, NothingTicksBeforeTheFirstSong) {
    program.importSongs({{"C:\\a.mp3", 1000}});
    sim.slide(10);
    sim.advance(10000);
    EXPECT_EQ(w.标签2.caption(), "00:00/00:00");
    EXPECT_EQ(w.标签4.caption(), "10%");
    EXPECT_TRUE(program.takeCommands().empty());
}

struct SlideCase {
    int32_t position;
    const char* label;
    friend std::ostream& operator<<(std::ostream& os, const SlideCase& c) {
        return os << c.position;
    }
};

class VolumeSlideTest : public SimProgramTest, public ::testing::WithParamInterface<SlideCase> {};

TEST_P(VolumeSlideTest, WritesThePercentageAndLeavesThePlayerAlone) {
    sim.slide(GetParam().position);
    EXPECT_EQ(w.标签4.caption(), GetParam().label);
    EXPECT_TRUE(program.takeCommands().empty());
}

INSTANTIATE_TEST_SUITE_P(Table, VolumeSlideTest,
                         ::testing::Values(SlideCase{0, "0%"}, SlideCase{37, "37%"},
                                           SlideCase{50, "50%"}, SlideCase{100, "100%"}));

}  // namespace
