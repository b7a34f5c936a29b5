// The song import: the dialog, the rows it appends, and what it leaves alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "playlist/playlist.h"
#include "tests/sim_support/sim_program.h"

namespace {

using sim_support::SimProgram;
using sim_support::SimProgramTest;
using sim_support::SongFile;

struct Row {
    std::string number, name, path, duration;
    bool operator==(const Row&) const = default;
};

std::vector<Row> rows() {
    std::vector<Row> out;
    for (int32_t r = 0; r < playlist::rowCount(); ++r)
        out.push_back({playlist::cellText(r, 0), playlist::cellText(r, 1), playlist::cellText(r, 2),
                       playlist::cellText(r, 3)});
    return out;
}

using ImportTest = SimProgramTest;

TEST_F(ImportTest, DialogSettingsAndItsFolderIsTheCurrentDirectoryAtTheClick) {
    sim.setCurrentDirectory("C:\\Users\\Public");
    sim.click("按钮_导入MP3");
    ASSERT_EQ(sim.fileDialogs().size(), 1u);
    const rt::FileDialogOptions& d = sim.fileDialogs()[0];
    EXPECT_EQ(d.title, "请选择音乐文件（可多选）");
    EXPECT_EQ(d.filter,
              "MP3文件（*.mp3）|*.mp3|WAV文件（*.wav）|*.wav|WMA文件（*.wma）|*.wma|MIDI文件（*."
              "midi）|*.midi|所有音频文件(*.MP3;*.wav;*.wma;*.midi)|*.MP3;*.wav;*.wma;*.midi");
    EXPECT_EQ(d.initialFolder, "C:\\Users\\Public");
    EXPECT_TRUE(d.multiSelect);
}

TEST_F(ImportTest, AConfirmedSelectionMovesTheNextDialogToItsFolder) {
    program.importSongs({{"D:\\\xB8\xE8\\a.mp3", 1000}});
    EXPECT_EQ(sim.currentDirectory(), "D:\\\xB8\xE8");
    sim.click("按钮_导入MP3");
    EXPECT_EQ(sim.fileDialogs().back().initialFolder, "D:\\\xB8\xE8");
}

TEST_F(ImportTest, CancelAddsNothingAndLeavesPlaybackAlone) {
    program.importSongs({{"C:\\m\\a.mp3", 60000}});
    sim.click("按钮_播放");
    sim.advance(1000);
    program.takeCommands();
    sim.click("按钮_导入MP3");  // no answer scripted: cancelled
    EXPECT_EQ(playlist::rowCount(), 1);
    EXPECT_TRUE(program.takeCommands().empty());
    EXPECT_EQ(w.媒体播放1.getState(), rt::MediaState::Playing);
    EXPECT_EQ(w.媒体播放1.getPosition(), 1000);
}

TEST_F(ImportTest, RowsFollowOnInTheDialogsOrder) {
    program.importSongs({{"C:\\m\\c.mp3", 221000}, {"C:\\m\\a.wav", 5500}, {"C:\\b.midi", 0}});
    program.importSongs({{"C:\\m\\a.wav", 5500}, {"C:\\m\\bad.wma", -1}});
    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "c.mp3", "C:\\m\\c.mp3", "0:3:41"},
                                        {"2", "a.wav", "C:\\m\\a.wav", "0:0:5"},
                                        {"3", "b.midi", "C:\\b.midi", "0:0:0"},
                                        {"4", "a.wav", "C:\\m\\a.wav", "0:0:5"},
                                        {"5", "bad.wma", "C:\\m\\bad.wma", "0:0:0"}}));
    EXPECT_EQ(playlist::findRow("C:\\m\\a.wav"), 1);
}

TEST_F(ImportTest, ADoubleByteNameKeepsItsWholeNameInColumnOne) {
    program.importSongs({{"C:\\m\\\x95\x5C\xB8\xE8.mp3", 1000}});
    EXPECT_EQ(playlist::cellText(0, 1), "\x95\x5C\xB8\xE8.mp3");
}

TEST_F(ImportTest, ALargeSelectionImportsEveryFile) {
    // Far past what a 61,440-byte selection buffer would hold.
    std::vector<SongFile> songs;
    for (int i = 0; i < 5000; ++i)
        songs.push_back(
            {"C:\\a rather long folder name\\song number " + std::to_string(i) + ".mp3", 1000 * i});
    program.importSongs(songs);
    ASSERT_EQ(playlist::rowCount(), 5000);
    EXPECT_EQ(playlist::cellText(4999, 0), "5000");
    EXPECT_EQ(playlist::cellText(4999, 2), songs[4999].path);
    EXPECT_EQ(playlist::cellText(4999, 3), "1:23:19");
}

TEST_F(ImportTest, AppendingLeavesTheSelectionWhereItWas) {
    program.importSongs({{"C:\\a.mp3", 1000}, {"C:\\b.mp3", 1000}});
    sim.clickRow(1);
    program.importSongs({{"C:\\c.mp3", 1000}});
    EXPECT_EQ(playlist::selectedRow(), 1);
}

// Importing measures lengths without the media player: the song that plays or is paused
// stays as it is, and so do the values and the timer of the transport.
struct Snapshot {
    std::string currentSongPath;
    int32_t songLengthMs, pausePositionMs, period;
    rt::MediaState state;
    int32_t position;
    std::string playCaption, title, clock;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(SimProgram& p) {
    app::MainWindow& w = p.window();
    return {app::currentSongPath,  app::songLengthMs,      app::pausePositionMs,
            w.时钟1.period(),      w.媒体播放1.getState(), w.媒体播放1.getPosition(),
            w.按钮_播放.caption(), w.标签1.caption(),      w.标签2.caption()};
}

TEST_F(ImportTest, ImportWhilePlayingDoesNotTouchPlayback) {
    program.importSongs({{"C:\\a.mp3", 60000}, {"C:\\b.mp3", 60000}});
    sim.click("按钮_播放");
    sim.advance(1200);
    program.takeCommands();
    const Snapshot before = snapshot(program);
    sim.setSongLength("C:\\new.mp3", 3000);
    sim.answerNextFileDialog({{"C:\\new.mp3"}, 0});
    sim.click("按钮_导入MP3");
    EXPECT_EQ(snapshot(program), before);
    EXPECT_TRUE(program.takeCommands().empty());
    // The next tick finds the song going on and does not move on.
    sim.advance(500);
    EXPECT_EQ(app::currentSongPath, "C:\\a.mp3");
    EXPECT_EQ(w.标签2.caption(), "0:0:1/0:1:0");
}

TEST_F(ImportTest, ImportWhilePausedLetsPlayResumeWhereItPaused) {
    program.importSongs({{"C:\\a.mp3", 60000}});
    sim.click("按钮_播放");
    sim.advance(2300);
    sim.click("按钮_播放");  // pause at 2300
    const Snapshot before = snapshot(program);
    program.importSongs({{"C:\\b.mp3", 1000}});
    EXPECT_EQ(snapshot(program), before);
    sim.click("按钮_播放");
    EXPECT_EQ(w.媒体播放1.getPosition(), 2300);
    EXPECT_EQ(w.媒体播放1.getState(), rt::MediaState::Playing);
}

TEST_F(ImportTest, TicksGoOnWhileTheDialogIsOpenAndWhileMeasuring) {
    program.importSongs({{"C:\\a.mp3", 60000}});
    sim.click("按钮_播放");
    sim.setSongLength("C:\\b.mp3", 1000);
    sim.setMeasureDurationMs(1000);
    sim.answerNextFileDialog({{"C:\\b.mp3"}, 1000});
    sim.click("按钮_导入MP3");
    EXPECT_EQ(sim.now(), 2000);
    EXPECT_EQ(w.标签2.caption(), "0:0:2/0:1:0");  // the tick at 2000 ran
    EXPECT_EQ(playlist::rowCount(), 2);
}

TEST(ImportUtf8Test, SlashPathsGiveTheirFileNames) {
    SimProgram program(rt::sim::Convention::Utf8Slash);
    program.importSongs({{"/home/user/音乐/夜曲.mp3", 226000}, {"/home/user/a\\b.wav", 1000}});
    EXPECT_EQ(rows(), (std::vector<Row>{{"1", "夜曲.mp3", "/home/user/音乐/夜曲.mp3", "0:3:46"},
                                        {"2", "a\\b.wav", "/home/user/a\\b.wav", "0:0:1"}}));
    EXPECT_EQ(program.sim.currentDirectory(), "/home/user/音乐");
}

}  // namespace
