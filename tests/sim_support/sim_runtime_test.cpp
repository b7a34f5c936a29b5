// The sim run time's own behaviour, on a small window of this test's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/sim/sim.h"

namespace {

using rt::sim::Convention;
using rt::sim::SimRuntime;

// What the handlers saw, in order: "tick@1500", "click@0", ...
std::vector<std::string> journal;
SimRuntime* current = nullptr;

void note(const std::string& what) {
    journal.push_back(what + "@" + std::to_string(current->now()));
}

void onCreated() {
    note("created");
    journal.push_back(current->windowShownAt() == -1 ? "hidden" : "visible");
}
void onTick() {
    note("tick");
}
void onGo() {
    note("go");
    current->mainWindow().timer("clock").setPeriod(500);
}
void onHalt() {
    note("halt");
    current->mainWindow().timer("clock").setPeriod(0);
}
void onSlow() {
    // A handler that re-writes the period from inside a tick: later ticks follow it.
    note("slow");
    current->mainWindow().timer("clock").setPeriod(300);
}
void onDialog() {
    note("dialog");
    const auto paths = current->openFileDialog({"t", "f", "", true});
    note("dialog-closed:" + std::to_string(paths.size()));
}
void onListClick() {
    note("list:" + std::to_string(current->mainWindow().listView("list").selectedRow()));
}
void onListDouble() {
    note("double:" + std::to_string(current->mainWindow().listView("list").selectedRow()));
}
void onSlide() {
    note("slide:" + std::to_string(current->mainWindow().slider("slider").position()));
}
void onQuit() {
    current->mainWindow().requestDestroy();
    note("quit-returned");
}

constexpr rt::ControlDesign controls[] = {
    {"slider", rt::ControlKind::SliderBar, 0, 0, 10, 10, nullptr, true, true, rt::Align::Left},
    {"clock", rt::ControlKind::Timer, 0, 0, 1, 1, nullptr, false, false, rt::Align::Left},
    {"title", rt::ControlKind::Label, 0, 0, 10, 10, "hello", false, true, rt::Align::Center},
    {"player", rt::ControlKind::MediaPlay, 0, 0, 1, 1, nullptr, false, false, rt::Align::Left},
    {"go", rt::ControlKind::Button, 0, 0, 10, 10, ">", true, true, rt::Align::Left},
    {"halt", rt::ControlKind::Button, 0, 0, 10, 10, "x", true, true, rt::Align::Left},
    {"dialog", rt::ControlKind::Button, 0, 0, 10, 10, "...", true, true, rt::Align::Left},
    {"quit", rt::ControlKind::Button, 0, 0, 10, 10, "q", true, true, rt::Align::Left},
    {"list", rt::ControlKind::ListView, 0, 0, 10, 10, nullptr, true, true, rt::Align::Left},
};
constexpr rt::ColumnDesign columns[] = {{"a", 10}, {"b", 10}, {"c", 0}, {"d", 10}};
const rt::WindowDesign design{"test", 100, 100, controls, columns, 0, 100, 50};

std::vector<rt::EventBinding> bindings(rt::Handler tick = onTick) {
    return {
        {nullptr, rt::Event::Created, onCreated},
        {"clock", rt::Event::Periodic, tick},
        {"go", rt::Event::Click, onGo},
        {"halt", rt::Event::Click, onHalt},
        {"dialog", rt::Event::Click, onDialog},
        {"quit", rt::Event::Click, onQuit},
        {"list", rt::Event::ListClick, onListClick},
        {"list", rt::Event::DoubleClick, onListDouble},
        {"slider", rt::Event::PositionChanged, onSlide},
    };
}

class SimRuntimeTest : public ::testing::Test {
protected:
    explicit SimRuntimeTest(Convention c = Convention::GbkBackslash) : sim(c) {
        journal.clear();
        current = &sim;
    }
    void start(rt::Handler tick = onTick) {
        events = bindings(tick);
        ASSERT_TRUE(sim.createMainWindow(design, events));
        journal.clear();
    }
    SimRuntime sim;
    std::vector<rt::EventBinding> events;
};

TEST_F(SimRuntimeTest, CreatedEventRunsWhileHiddenThenTheWindowShows) {
    events = bindings();
    ASSERT_TRUE(sim.createMainWindow(design, events));
    EXPECT_EQ(journal, (std::vector<std::string>{"created@0", "hidden"}));
    EXPECT_EQ(sim.startupLog(), (std::vector<std::string>{"created-event", "shown"}));
    EXPECT_EQ(sim.windowShownAt(), 0);
    EXPECT_EQ(sim.focusOrder(),
              (std::vector<std::string>{"slider", "go", "halt", "dialog", "quit", "list"}));
    EXPECT_EQ(sim.listColumnTitles(), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(sim.mainWindow().label("title").caption(), "hello");
    EXPECT_EQ(sim.mainWindow().slider("slider").position(), 50);
}

TEST_F(SimRuntimeTest, FailedWindowCreationReturnsFalse) {
    sim.failWindowCreation(true);
    events = bindings();
    EXPECT_FALSE(sim.createMainWindow(design, events));
    EXPECT_FALSE(sim.windowExists());
    EXPECT_TRUE(journal.empty());
}

TEST_F(SimRuntimeTest, AMissingControlEndsWithTheErrorReport) {
    start();
    EXPECT_THROW(sim.mainWindow().button("title"), rt::sim::ProcessExit);
    ASSERT_EQ(sim.messageBoxes().size(), 1u);
    EXPECT_EQ(sim.messageBoxes()[0].title, "错误");
}

TEST_F(SimRuntimeTest, TimerFiresPeriodAfterTheWriteThenEveryPeriod) {
    start();
    sim.advance(100);
    sim.click("go");  // period 500 written at 100
    sim.advance(1400);
    EXPECT_EQ(journal, (std::vector<std::string>{"go@100", "tick@600", "tick@1100"}));
    EXPECT_EQ(sim.now(), 1500);
    EXPECT_EQ(sim.timerNextFireAt(), 1600);
}

TEST_F(SimRuntimeTest, RewritingTheSamePeriodKeepsTheRhythmAndZeroThenAgainRestarts) {
    start();
    sim.click("go");  // 500 at 0: ticks at 500, 1000, ...
    sim.advance(700);
    sim.click("go");  // 500 again at 700: no change
    sim.advance(300);
    EXPECT_EQ(journal.back(), "tick@1000");
    sim.advance(200);  // 1200
    sim.click("halt");
    sim.click("go");  // restarted at 1200
    sim.advance(600);
    EXPECT_EQ(journal, (std::vector<std::string>{"go@0", "tick@500", "go@700", "tick@1000",
                                                 "halt@1200", "go@1200", "tick@1700"}));
}

TEST_F(SimRuntimeTest, APeriodWrittenInsideATickTakesEffectForLaterTicks) {
    start(onSlow);
    sim.click("go");
    sim.advance(1200);
    // 500: first tick re-writes 300; then 800, 1100.
    EXPECT_EQ(journal, (std::vector<std::string>{"go@0", "slow@500", "slow@800", "slow@1100"}));
}

TEST_F(SimRuntimeTest, TimerEventsRunInsideAnOpenDialogAndEachHandlerRunsToItsEnd) {
    start();
    sim.click("go");
    sim.answerNextFileDialog({{"C:\\music\\a.mp3", "C:\\music\\b.mp3"}, 1200});
    sim.advance(100);
    sim.click("dialog");
    EXPECT_EQ(journal, (std::vector<std::string>{"go@0", "dialog@100", "tick@500", "tick@1000",
                                                 "dialog-closed:2@1300"}));
    EXPECT_EQ(sim.currentDirectory(), "C:\\music");
    ASSERT_EQ(sim.fileDialogs().size(), 1u);
    EXPECT_EQ(sim.fileDialogs()[0].title, "t");
}

TEST_F(SimRuntimeTest, DialogWithoutAnAnswerIsCancelledAndLeavesTheDirectory) {
    start();
    const auto before = sim.currentDirectory();
    sim.click("dialog");
    EXPECT_EQ(journal.back(), "dialog-closed:0@0");
    EXPECT_EQ(sim.currentDirectory(), before);
}

TEST_F(SimRuntimeTest, DialogInADriveRootLeavesTheRootAsDirectory) {
    start();
    sim.answerNextFileDialog({{"D:\\a.mp3"}, 0});
    sim.click("dialog");
    EXPECT_EQ(sim.currentDirectory(), "D:\\");
}

TEST_F(SimRuntimeTest, ListClicksMoveTheSelectionBeforeTheirEvent) {
    start();
    auto& list = sim.mainWindow().listView("list");
    for (int i = 0; i < 3; ++i) list.appendRow();
    sim.clickRow(1);
    sim.keyboardSelectRow(2);
    EXPECT_EQ(list.selectedRow(), 2);
    list.setSelectedRow(0);
    sim.clickBelowLastRow();
    sim.doubleClickRow(2);
    sim.doubleClickBelowLastRow();
    EXPECT_EQ(journal, (std::vector<std::string>{"list:1@0", "list:-1@0", "list:2@0", "double:2@0",
                                                 "list:-1@0", "double:-1@0"}));
}

TEST_F(SimRuntimeTest, SliderMovesByMouseAndKeysEachRaiseTheEvent) {
    start();
    sim.slide(80);
    sim.slide(150);  // the control keeps to its range
    sim.pressKey(rt::sim::Key::Left);
    sim.pressKey(rt::sim::Key::PageUp);
    sim.pressKey(rt::sim::Key::Home);
    sim.pressKey(rt::sim::Key::Home);  // unchanged, raised all the same
    sim.pressKey(rt::sim::Key::Tab);   // the focus leaves the slider
    sim.pressKey(rt::sim::Key::End);
    EXPECT_EQ(journal, (std::vector<std::string>{"slide:80@0", "slide:100@0", "slide:99@0",
                                                 "slide:94@0", "slide:0@0", "slide:0@0"}));
    EXPECT_EQ(sim.focusedControl(), "go");
}

TEST_F(SimRuntimeTest, DestroyIsQueuedAndStopsTimerAndPlayer) {
    start();
    sim.addSong("C:\\a.mp3", {10000});
    auto& player = sim.mainWindow().mediaPlay("player");
    player.open("C:\\a.mp3");
    player.play(-1);
    sim.click("go");
    sim.click("quit");
    EXPECT_EQ(journal, (std::vector<std::string>{"go@0", "quit-returned@0"}));
    EXPECT_FALSE(sim.windowExists());
    EXPECT_EQ(sim.timerNextFireAt(), -1);
    EXPECT_EQ(sim.mediaCalls().back(), (rt::sim::MediaCall{"close", ""}));
    EXPECT_EQ(player.getState(), rt::MediaState::Other);
    sim.advance(5000);
    EXPECT_EQ(journal.size(), 2u);
    sim.runEventLoop();  // returns at once: no window
}

TEST_F(SimRuntimeTest, TheEventLoopRunsTheUsersScriptUntilTheWindowIsGone) {
    start();
    sim.duringEventLoop([&] { sim.click("go"); });
    sim.duringEventLoop([&] { sim.advance(1000); });
    sim.duringEventLoop([&] { sim.click("quit"); });
    sim.duringEventLoop([&] { note("never"); });
    sim.runEventLoop();
    EXPECT_EQ(journal,
              (std::vector<std::string>{"go@0", "tick@500", "tick@1000", "quit-returned@1000"}));
    EXPECT_FALSE(sim.windowExists());
}

TEST_F(SimRuntimeTest, EscapeAndAltF4CloseTheWindowLikeTheCloseBox) {
    for (auto key : {rt::sim::Key::Escape, rt::sim::Key::AltF4}) {
        start();
        sim.pressKey(key);
        EXPECT_FALSE(sim.windowExists());
    }
}

TEST_F(SimRuntimeTest, PlayerPositionFollowsTheClockAndStopsAtTheEnd) {
    start();
    sim.addSong("C:\\a.mp3", {2000});
    auto& p = sim.mainWindow().mediaPlay("player");
    EXPECT_FALSE(p.open("C:\\missing.mp3"));
    EXPECT_EQ(p.getState(), rt::MediaState::Other);
    EXPECT_EQ(p.getLength(), 0);
    EXPECT_EQ(p.getPosition(), -1);
    ASSERT_TRUE(p.open("C:\\a.mp3"));
    EXPECT_EQ(p.getState(), rt::MediaState::Stopped);
    p.play(-1);
    sim.advance(700);
    EXPECT_EQ(p.getPosition(), 700);
    p.pause();
    sim.advance(500);
    EXPECT_EQ(p.getState(), rt::MediaState::Paused);
    EXPECT_EQ(p.getPosition(), 700);
    p.pause();  // the mark is set: resumes
    sim.advance(300);
    EXPECT_EQ(p.getPosition(), 1000);
    p.play(1500);
    EXPECT_EQ(p.getState(), rt::MediaState::Playing);
    sim.advance(900);
    EXPECT_EQ(p.getState(), rt::MediaState::Stopped);
    EXPECT_EQ(p.getPosition(), 2000);
    EXPECT_TRUE(p.stop());
    EXPECT_EQ(p.getPosition(), 0);
    EXPECT_TRUE(p.setVolume(30, 70));
    EXPECT_EQ(sim.mediaVolume(0), 300);
    EXPECT_EQ(sim.mediaVolume(1), 700);
    EXPECT_EQ(sim.mediaCalls().back(), (rt::sim::MediaCall{"setVolume", "30,70"}));
    EXPECT_TRUE(p.close());
    EXPECT_FALSE(p.stop());
}

TEST_F(SimRuntimeTest, TickCountFollowsTheVirtualClock) {
    sim.setTickCount(0xFFFFFF00u);
    sim.advance(0x200);
    EXPECT_EQ(sim.tickCount(), 0x100u);  // wraps as a 32-bit count does
}

TEST_F(SimRuntimeTest, MeasuringAdvancesTheClockWithTimersFiring) {
    start();
    sim.addSong("C:\\a.mp3", {1234});
    sim.setSongLength("C:\\b.wav", 99);
    sim.setMeasureDurationMs(1100);
    sim.click("go");
    EXPECT_EQ(sim.measureSongLengths({"C:\\a.mp3", "C:\\x.mp3", "C:\\b.wav"}),
              (std::vector<int32_t>{1234, 0, 99}));
    EXPECT_EQ(journal, (std::vector<std::string>{"go@0", "tick@500", "tick@1000"}));
}

// ---------------------------------------------------------------- files and libraries

struct FileCase {
    Convention convention;
    const char* folder;
    const char* file;
};

class SimFilesTest : public ::testing::TestWithParam<FileCase> {
protected:
    SimFilesTest() : sim(GetParam().convention) {}
    SimRuntime sim;
    const std::vector<uint8_t> bytes{1, 2, 3, 4, 5};
};

TEST_P(SimFilesTest, WholeFileWritesAreAtomic) {
    const std::string folder = GetParam().folder;
    const std::string path = GetParam().file;
    EXPECT_FALSE(sim.writeWholeFile(path, bytes));  // no such folder
    sim.addDirectory(folder);
    EXPECT_TRUE(sim.pathExists(folder));
    sim.failWritesAfter(3);
    EXPECT_FALSE(sim.writeWholeFile(path, bytes));
    EXPECT_FALSE(sim.pathExists(path));
    EXPECT_TRUE(sim.writeWholeFile(path, bytes));  // the failure was for one write
    EXPECT_EQ(sim.fileBytes(path), bytes);
    EXPECT_FALSE(sim.isHidden(path));
    EXPECT_TRUE(sim.setHiddenAttribute(path));
    EXPECT_TRUE(sim.isHidden(path));
    EXPECT_TRUE(sim.pathExists(path));
    sim.setFolderWritable(folder, false);
    EXPECT_FALSE(sim.writeWholeFile(path, std::vector<uint8_t>{9}));
    EXPECT_EQ(sim.fileBytes(path), bytes);
}

TEST_P(SimFilesTest, LibrariesLoadFromFilesAndNames) {
    static int marker;
    const std::string path = GetParam().file;
    sim.addDirectory(GetParam().folder);
    sim.setLibraryForFile(path, {{"f", &marker}});
    EXPECT_EQ(sim.loadLibrary(path), 0u);  // nothing stands there yet
    ASSERT_TRUE(sim.writeWholeFile(path, bytes));
    const uintptr_t h = sim.loadLibrary(path);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(sim.findExport(h, "f"), &marker);
    EXPECT_EQ(sim.findExport(h, "g"), nullptr);
    sim.addLibrary("engine", {{"f", &marker}});
    EXPECT_NE(sim.loadLibrary("engine"), 0u);
    EXPECT_EQ(sim.loadCount(), 2);
    EXPECT_EQ(sim.loadAttempts(), (std::vector<std::string>{path, path, "engine"}));
    EXPECT_EQ(sim.loadedLibraryCount(), 2);
    sim.releaseAll();
    EXPECT_EQ(sim.loadedLibraryCount(), 0);
    EXPECT_EQ(sim.findExport(h, "f"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    BothConventions, SimFilesTest,
    ::testing::Values(FileCase{Convention::GbkBackslash, "C:\\Prog", "C:\\Prog\\x.dll"},
                      FileCase{Convention::Utf8Slash, "/opt/prog", "/opt/prog/x.so"}));

TEST(SimConventionTest, DefaultsFollowTheConvention) {
    SimRuntime gbk(Convention::GbkBackslash);
    SimRuntime utf8(Convention::Utf8Slash);
    EXPECT_EQ(gbk.separator(), '\\');
    EXPECT_EQ(gbk.codePage(), rt::CodePage::Gbk);
    EXPECT_EQ(gbk.executablePath(), "C:\\Tunaro\\Tunaro.exe");
    EXPECT_EQ(utf8.separator(), '/');
    EXPECT_EQ(utf8.codePage(), rt::CodePage::Utf8);
    EXPECT_EQ(utf8.executablePath(), "/opt/tunaro/tunaro");
    EXPECT_TRUE(utf8.setCurrentDirectory("/opt/tunaro"));
    EXPECT_FALSE(utf8.setCurrentDirectory("/nowhere"));
    EXPECT_THROW(utf8.exitProcess(255), rt::sim::ProcessExit);
}

}  // namespace
