// The shell on the sim run time: the start-up order and directory, the three ways of
// closing, the normal end and the run-time error report.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/app.h"
#include "app/main_window.h"
#include "runtime/sim/sim.h"
#include "skins/skins.h"

namespace {

using rt::sim::Convention;
using rt::sim::Key;
using rt::sim::ProcessExit;

int32_t acceptSkin(const uint8_t*, int32_t, const char*, int32_t, int32_t, int32_t) {
    return 0;
}

// A machine with the executable at exePath (its folder exists and takes the engine file),
// the program not started yet.
class Machine {
public:
    Machine(Convention c, const std::string& exePath, const std::string& exeFolder,
            const std::string& startFolder)
        : sim(c) {
        const std::string sep = c == Convention::GbkBackslash ? "\\" : "/";
        const std::string engine =
            c == Convention::GbkBackslash ? "TunaroSkin.dll" : "libtunaroskin.so";
        sim.addDirectory(exeFolder);
        sim.setExecutablePath(exePath);
        sim.setStartDirectory(startFolder);
        const std::string folderPrefix =
            exeFolder == sep ? std::string() : exeFolder;  // "/" holds "/libtunaroskin.so"
        sim.setLibraryForFile(folderPrefix + sep + engine,
                              {{"TunaroSkin_AttachRes", reinterpret_cast<void*>(&acceptSkin)}});
        rt::install(&sim);
        app::currentSongPath.clear();
    }
    explicit Machine(Convention c = Convention::GbkBackslash)
        : Machine(c,
                  c == Convention::GbkBackslash ? "C:\\Tunaro\\Tunaro.exe" : "/opt/tunaro/tunaro",
                  c == Convention::GbkBackslash ? "C:\\Tunaro" : "/opt/tunaro",
                  c == Convention::GbkBackslash ? "D:\\Elsewhere" : "/home/user") {}
    ~Machine() { rt::install(nullptr); }

    rt::sim::SimRuntime sim;
};

TEST(StartUp, CreatedEventRunsBeforeTheWindowIsShown) {
    Machine m;
    app::startUp();
    const std::vector<std::string> log = m.sim.startupLog();
    const auto created = std::find(log.begin(), log.end(), "created-event");
    const auto shown = std::find(log.begin(), log.end(), "shown");
    ASSERT_NE(created, log.end());
    ASSERT_NE(shown, log.end());
    EXPECT_LT(created, shown);
    EXPECT_EQ(m.sim.loadCount(), 1) << "the first skin bound the engine in the created event";
    EXPECT_TRUE(m.sim.windowExists());
}

TEST(StartUp, TheWindowAsDesigned) {
    Machine m;
    app::startUp();
    app::MainWindow& w = app::mainWindow();
    EXPECT_EQ(w.标签1.caption(), "欢迎使用Tunaro！");
    EXPECT_EQ(w.标签2.caption(), "00:00/00:00");
    EXPECT_EQ(w.标签3.caption(), "音量");
    EXPECT_EQ(w.标签4.caption(), "50%");
    EXPECT_EQ(w.按钮_播放.caption(), ">");
    EXPECT_EQ(w.按钮_停止.caption(), "■");
    EXPECT_EQ(w.滑块条1.position(), 50);
    EXPECT_EQ(w.时钟1.period(), 0);
    EXPECT_EQ(w.超级列表框1.rowCount(), 0);
    EXPECT_EQ(w.超级列表框1.selectedRow(), -1);
    const rt::WindowDesign& d = app::mainWindowDesign();
    EXPECT_EQ(d.controls.size(), 15u);
    EXPECT_EQ(d.outerWidth, 322);
    EXPECT_EQ(d.outerHeight, 501);
    EXPECT_EQ(m.sim.focusOrder().size(), 9u);
}

// The current directory is the executable's, wherever the program was started from.
TEST(StartUp, DirectoryOfTheExecutable) {
    struct Case {
        const char* what;
        Convention convention;
        std::string exe, folder, start, directory, current;
    };
    const Case cases[] = {
        {"windows", Convention::GbkBackslash, "C:\\Tunaro\\Tunaro.exe", "C:\\Tunaro", "D:\\X",
         "C:\\Tunaro", "C:\\Tunaro"},
        // 0x81 0x5C is one GBK character whose second byte is a backslash.
        {"gbk trail byte", Convention::GbkBackslash, "C:\\A\x81\x5c\\Tunaro.exe", "C:\\A\x81\x5c",
         "D:\\X", "C:\\A\x81\x5c", "C:\\A\x81\x5c"},
        {"drive root", Convention::GbkBackslash, "C:\\Tunaro.exe", "C:", "D:\\X", "C:", "C:"},
        {"linux", Convention::Utf8Slash, "/opt/音乐/tunaro", "/opt/音乐", "/home/u", "/opt/音乐",
         "/opt/音乐"},
        {"linux root", Convention::Utf8Slash, "/tunaro", "/", "/home/u", "", "/"},
        {"no folder at all", Convention::Utf8Slash, "tunaro", "/", "/home/u", "", "/home/u"},
    };
    for (const Case& c : cases) {
        Machine m(c.convention, c.exe, c.folder, c.start);
        app::startUp();
        EXPECT_EQ(app::executableDirectory(), c.directory) << c.what;
        EXPECT_EQ(m.sim.currentDirectory(), c.current) << c.what;
        EXPECT_TRUE(m.sim.windowExists()) << c.what;
    }
}

// Each way of closing ends the loop; the normal end runs the clean-up once.
TEST(Ending, ThreeWaysOfClosingEndNormally) {
    struct Case {
        const char* what;
        void (*close)(rt::sim::SimRuntime&);
    };
    const Case cases[] = {
        {"exit button", [](rt::sim::SimRuntime& s) { s.click("按钮_退出"); }},
        {"close box", [](rt::sim::SimRuntime& s) { s.requestClose(); }},
        {"Esc", [](rt::sim::SimRuntime& s) { s.pressKey(Key::Escape); }},
    };
    for (const Case& c : cases) {
        Machine m;
        app::startUp();
        app::currentSongPath = "C:\\歌\\a.mp3";
        c.close(m.sim);
        EXPECT_FALSE(m.sim.windowExists()) << c.what;
        m.sim.runEventLoop();  // returns at once: no window is left
        app::endNormally();
        EXPECT_EQ(app::currentSongPath, "") << c.what << ": releaseAtExit did not run";
        app::currentSongPath = "kept";
        app::endNormally();
        EXPECT_EQ(app::currentSongPath, "kept") << c.what << ": the clean-up ran twice";
    }
}

TEST(Ending, ExitButtonDestroysOnlyAfterItsHandler) {
    Machine m;
    app::startUp();
    app::onExit();  // called directly: nothing runs the queue yet
    EXPECT_TRUE(m.sim.windowExists());
    m.sim.runEventLoop();
    EXPECT_FALSE(m.sim.windowExists());
}

TEST(Ending, ProgramMainEndsNormallyWithZero) {
    Machine m;
    app::currentSongPath = "left over";
    // The sim's loop returns once nothing is queued.
    EXPECT_EQ(app::programMain(), 0);
    EXPECT_EQ(app::currentSongPath, "");
    EXPECT_TRUE(m.sim.messageBoxes().empty());
}

TEST(RuntimeError, ComposedText) {
    struct Case {
        int32_t code;
        std::string message, text;
    };
    const Case cases[] = {
        {6, "调用DLL命令后发现堆栈错误",
         "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n"},
        {0, "载入启动窗口失败", "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"},
        {-3, "", "运行时出错!\r\n\r\n错误代码：-3\r\n\r\n"},
        {0, "", "运行时出错!\r\n\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::composeRuntimeError(c.code, c.message), c.text) << c.code << c.message;
}

TEST(RuntimeError, BoxThenStatusMinusOneWithoutTheCleanUp) {
    Machine m;
    app::startUp();
    app::currentSongPath = "kept";
    try {
        app::reportRuntimeError(6, "调用DLL命令后发现堆栈错误");
        FAIL() << "reportRuntimeError returned";
    } catch (const ProcessExit& e) {
        EXPECT_EQ(e.status & 0xff, 255);
    }
    ASSERT_EQ(m.sim.messageBoxes().size(), 1u);
    EXPECT_EQ(m.sim.messageBoxes()[0].title, "错误");
    EXPECT_EQ(m.sim.messageBoxes()[0].text,
              "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n");
    app::endNormally();  // the slot is empty now
    EXPECT_EQ(app::currentSongPath, "kept");
}

TEST(RuntimeError, WindowThatCannotBeCreated) {
    Machine m;
    m.sim.failWindowCreation(true);
    try {
        app::startUp();
        FAIL() << "start-up went on";
    } catch (const ProcessExit& e) {
        EXPECT_EQ(e.status & 0xff, 255);
    }
    ASSERT_EQ(m.sim.messageBoxes().size(), 1u);
    EXPECT_EQ(m.sim.messageBoxes()[0].text, "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
}

}  // namespace
