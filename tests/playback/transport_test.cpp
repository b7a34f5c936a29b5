// The transport handlers over the playlist and the scripted player.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "app/app.h"
#include "playlist/playlist.h"
#include "tests/sim_support/sim_program.h"

namespace {

using rt::MediaState;
using rt::sim::MediaCall;
using sim_support::SimProgramTest;

const char* const welcome = "欢迎使用Tunaro！";

class TransportTest : public SimProgramTest {
protected:
    // Rows r0..r(n-1): "C:\\m\\rK.mp3", each 60 s long.
    void importRows(int n) {
        std::vector<sim_support::SongFile> songs;
        for (int k = 0; k < n; ++k) songs.push_back({path(k), 60000});
        program.importSongs(songs);
        program.takeCommands();
    }
    static std::string path(int k) { return "C:\\m\\r" + std::to_string(k) + ".mp3"; }
    // The state of a song that was just started at row `row`.
    void expectStarted(int row) {
        EXPECT_EQ(app::currentSongPath, path(row));
        EXPECT_EQ(playlist::selectedRow(), row);
        EXPECT_EQ(w.媒体播放1.getState(), MediaState::Playing);
        EXPECT_EQ(w.按钮_播放.caption(), "||");
        EXPECT_EQ(w.时钟1.period(), 500);
        EXPECT_EQ(w.标签1.caption(), "r" + std::to_string(row) + ".mp3");
        EXPECT_EQ(app::songLengthMs, 60000);
    }
    void play() { sim.click("按钮_播放"); }
    void next() { sim.click("按钮_下一曲"); }
    void previous() { sim.click("按钮_上一曲"); }
    void stop() { sim.click("按钮_停止"); }
};

TEST_F(TransportTest, WithAnEmptyPlaylistTheButtonsChangeNothing) {
    for (const char* button : {"按钮_播放", "按钮_上一曲", "按钮_下一曲"}) {
        sim.click(button);
        EXPECT_EQ(w.按钮_播放.caption(), ">") << button;
        EXPECT_EQ(w.标签1.caption(), welcome) << button;
        EXPECT_EQ(w.时钟1.period(), 0) << button;
        EXPECT_EQ(app::currentSongPath, "") << button;
    }
    EXPECT_TRUE(program.takeCommands().empty());
}

TEST_F(TransportTest, FirstPlayStartsRowZero) {
    importRows(3);
    play();
    expectStarted(0);
    EXPECT_EQ(program.takeCommands(), (std::vector<MediaCall>{{"open", path(0)}, {"play", "-1"}}));
}

TEST_F(TransportTest, PauseSavesThePositionAndPlayResumesThere) {
    importRows(2);
    play();
    sim.advance(1300);
    program.takeCommands();
    play();
    EXPECT_EQ(app::pausePositionMs, 1300);
    EXPECT_EQ(w.按钮_播放.caption(), ">");
    EXPECT_EQ(w.时钟1.period(), 0);
    EXPECT_EQ(w.媒体播放1.getState(), MediaState::Paused);
    sim.advance(5000);
    EXPECT_EQ(w.媒体播放1.getPosition(), 1300);
    play();
    EXPECT_EQ(w.按钮_播放.caption(), "||");
    EXPECT_EQ(w.时钟1.period(), 500);
    EXPECT_EQ(program.takeCommands(), (std::vector<MediaCall>{{"pause", ""}, {"play", "1300"}}));
    sim.advance(200);
    EXPECT_EQ(w.媒体播放1.getPosition(), 1500);
}

struct StepCase {
    const char* name;
    int startRow;  // -1: no current song
    bool forward;
    int expectedRow;
    friend std::ostream& operator<<(std::ostream& os, const StepCase& c) { return os << c.name; }
};

class TransportStepTest : public TransportTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(TransportStepTest, StepsWrapAround) {
    importRows(3);
    if (GetParam().startRow >= 0) sim.doubleClickRow(GetParam().startRow);
    program.takeCommands();
    GetParam().forward ? next() : previous();
    expectStarted(GetParam().expectedRow);
    EXPECT_EQ(program.takeCommands(),
              (std::vector<MediaCall>{{"open", path(GetParam().expectedRow)}, {"play", "-1"}}));
}

INSTANTIATE_TEST_SUITE_P(Table, TransportStepTest,
                         ::testing::Values(StepCase{"NextFromLastIsFirst", 2, true, 0},
                                           StepCase{"NextFromMiddle", 1, true, 2},
                                           StepCase{"NextWithoutCurrentIsFirst", -1, true, 0},
                                           StepCase{"PreviousFromFirstIsLast", 0, false, 2},
                                           StepCase{"PreviousFromMiddle", 1, false, 0},
                                           // With no current song the last row plays
                                           // directly, not a missing row -2.
                                           StepCase{"PreviousWithoutCurrentIsLast", -1, false, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransportTest, DuplicatePathsCountAsTheUpperRow) {
    program.importSongs({{"C:\\a.mp3", 60000}, {"C:\\b.mp3", 60000}, {"C:\\a.mp3", 60000}});
    sim.doubleClickRow(1);
    next();
    EXPECT_EQ(playlist::selectedRow(), 0);
    EXPECT_EQ(app::currentSongPath, "C:\\a.mp3");
    next();
    EXPECT_EQ(playlist::selectedRow(), 1);
    EXPECT_EQ(app::currentSongPath, "C:\\b.mp3");
    // Double-clicking row 2 plays A, but the steps count from row 0.
    sim.doubleClickRow(2);
    next();
    EXPECT_EQ(playlist::selectedRow(), 1);
}

TEST_F(TransportTest, ClickingARowMakesItCurrentWithoutDisturbingTheSong) {
    importRows(5);
    sim.doubleClickRow(1);
    sim.advance(2000);
    program.takeCommands();
    sim.clickRow(3);
    EXPECT_EQ(app::currentSongPath, path(3));
    EXPECT_EQ(w.标签1.caption(), "r1.mp3");
    EXPECT_TRUE(program.takeCommands().empty());
    play();  // pauses row 1's song
    EXPECT_EQ(w.媒体播放1.getState(), MediaState::Paused);
    EXPECT_EQ(app::pausePositionMs, 2000);
    play();  // resumes it where it stopped
    EXPECT_EQ(program.takeCommands(), (std::vector<MediaCall>{{"pause", ""}, {"play", "2000"}}));
    EXPECT_EQ(w.标签1.caption(), "r1.mp3");
    next();  // counts from the clicked row
    expectStarted(4);
}

TEST_F(TransportTest, ClicksBelowTheRowsAndKeyboardMovesLeaveTheCurrentSong) {
    importRows(3);
    sim.doubleClickRow(1);
    program.takeCommands();
    sim.clickBelowLastRow();
    sim.doubleClickBelowLastRow();
    sim.keyboardSelectRow(2);
    EXPECT_EQ(app::currentSongPath, path(1));
    EXPECT_TRUE(program.takeCommands().empty());
    next();
    expectStarted(2);
}

TEST_F(TransportTest, DoubleClickPlaysTheRowWithoutWritingTheSelection) {
    importRows(3);
    sim.doubleClickRow(2);
    expectStarted(2);
    EXPECT_EQ(program.takeCommands(), (std::vector<MediaCall>{{"open", path(2)}, {"play", "-1"}}));
}

TEST_F(TransportTest, StopThenPlayRestartsTheSameSong) {
    importRows(2);
    sim.doubleClickRow(1);
    sim.advance(3000);
    program.takeCommands();
    stop();
    EXPECT_EQ(w.按钮_播放.caption(), ">");
    EXPECT_EQ(w.标签1.caption(), welcome);
    EXPECT_EQ(w.媒体播放1.getPosition(), 0);
    EXPECT_EQ(app::currentSongPath, path(1));
    play();
    expectStarted(1);
    EXPECT_EQ(program.takeCommands(),
              (std::vector<MediaCall>{{"stop", ""}, {"open", path(1)}, {"play", "-1"}}));
}

TEST_F(TransportTest, StopHaltsTheTickAndShowsTheStartOverTheLength) {
    importRows(2);
    play();
    sim.advance(3200);
    stop();
    EXPECT_EQ(w.时钟1.period(), 0);
    EXPECT_EQ(w.标签2.caption(), "0:0:0/0:1:0");
    program.takeCommands();
    sim.advance(120000);
    EXPECT_TRUE(program.takeCommands().empty());
    EXPECT_EQ(app::currentSongPath, path(0));
}

TEST_F(TransportTest, StopOnAShortOrUnopenableSongDoesNotMoveOn) {
    program.importSongs({{"C:\\short.wav", 300}, {"C:\\bad.mp3", -1}, {"C:\\c.mp3", 60000}});
    for (int row : {0, 1}) {
        sim.doubleClickRow(row);
        stop();
        program.takeCommands();
        sim.advance(2000);
        EXPECT_TRUE(program.takeCommands().empty()) << row;
        EXPECT_EQ(playlist::findRow(app::currentSongPath), row);
    }
}

TEST_F(TransportTest, StopWithNothingOpenStillResetsTheLabels) {
    importRows(1);
    stop();
    EXPECT_EQ(w.按钮_播放.caption(), ">");
    EXPECT_EQ(w.标签1.caption(), welcome);
    EXPECT_EQ(w.标签2.caption(), "0:0:0/0:0:0");
}

TEST_F(TransportTest, TheCaptionTogglesBlindlyWhenThePlayerWasClosedBehindItsBack) {
    importRows(2);
    play();
    w.媒体播放1.close();  // "||" shows, nothing is open
    program.takeCommands();
    play();
    EXPECT_EQ(w.按钮_播放.caption(), ">");
    EXPECT_EQ(w.媒体播放1.getState(), MediaState::Playing);
    EXPECT_EQ(program.takeCommands(), (std::vector<MediaCall>{{"open", path(0)}, {"play", "-1"}}));
    play();
    EXPECT_EQ(w.按钮_播放.caption(), "||");
    EXPECT_EQ(w.媒体播放1.getState(), MediaState::Paused);
}

TEST_F(TransportTest, AnUnopenableSongIsStartedLikeAnyOther) {
    program.importSongs({{"C:\\m\\bad.mp3", -1}, {"C:\\m\\ok.mp3", 60000}});
    play();
    EXPECT_EQ(app::songLengthMs, 0);
    EXPECT_EQ(w.媒体播放1.getState(), MediaState::Other);
    EXPECT_EQ(w.按钮_播放.caption(), "||");
    EXPECT_EQ(w.时钟1.period(), 500);
    EXPECT_EQ(w.标签1.caption(), "bad.mp3");
}

}  // namespace
