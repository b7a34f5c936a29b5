// The main window's design, its event table, and the program's view of its controls.
#include "app/main_window.h"

#include <optional>

#include "app/app.h"
#include "app/clean_up.h"
#include "playback/playback.h"
#include "playlist/playlist.h"
#include "skins/skins.h"

namespace app {

namespace {

using rt::Align;
using rt::ControlKind;

// In creation order; places are in the client area. The slider and the list have no
// caption, so they carry their role for accessibility.
constexpr rt::ControlDesign controls[] = {
    {"标签4", ControlKind::Label, 248, 96, 24, 24, "50%", false, true, Align::Left},
    {"标签3", ControlKind::Label, 99, 96, 26, 24, "音量", false, true, Align::Left},
    {"滑块条1", ControlKind::SliderBar, 139, 96, 105, 23, nullptr, true, true, Align::Left, "音量"},
    {"时钟1", ControlKind::Timer, 280, 32, 26, 26, nullptr, false, false, Align::Left},
    {"标签2", ControlKind::Label, 17, 32, 192, 22, "00:00/00:00", false, true, Align::Right},
    {"媒体播放1", ControlKind::MediaPlay, 280, 56, 26, 26, nullptr, false, false, Align::Left},
    {"按钮_下一曲", ControlKind::Button, 128, 56, 56, 32, ">|", true, true, Align::Center},
    {"按钮_上一曲", ControlKind::Button, 24, 56, 56, 32, "|<", true, true, Align::Center},
    {"超级列表框1", ControlKind::ListView, 8, 136, 301, 328, nullptr, true, true, Align::Left,
     "播放列表"},
    {"按钮_换肤", ControlKind::Button, 233, 2, 63, 24, "随机换肤", true, true, Align::Center},
    {"按钮_退出", ControlKind::Button, 232, 56, 48, 32, "退出", true, true, Align::Center},
    {"按钮_停止", ControlKind::Button, 184, 56, 48, 32, "■", true, true, Align::Center},
    {"按钮_播放", ControlKind::Button, 80, 56, 48, 32, ">", true, true, Align::Center},
    {"按钮_导入MP3", ControlKind::Button, 23, 95, 65, 32, "导入歌曲", true, true, Align::Center},
    {"标签1", ControlKind::Label, 19, 10, 192, 22, "欢迎使用Tunaro！", false, true, Align::Center},
};

constexpr rt::ColumnDesign columns[] = {
    {"序号", 50},
    {"歌曲名", 150},
    {"路径", 0},
    {"时长", 85},
};

constexpr rt::WindowDesign design = {"Tunaro", 322, 501, controls, columns, 0, 100, 50};

std::optional<MainWindow> current;
const rt::Window* currentSource = nullptr;  // the run-time window that current was read from

void readMainWindow() {
    rt::Window& w = rt::platform().mainWindow();
    current.reset();
    current.emplace(MainWindow{
        w.label("标签4"),
        w.label("标签3"),
        w.slider("滑块条1"),
        w.timer("时钟1"),
        w.label("标签2"),
        w.mediaPlay("媒体播放1"),
        w.button("按钮_下一曲"),
        w.button("按钮_上一曲"),
        w.listView("超级列表框1"),
        w.button("按钮_换肤"),
        w.button("按钮_退出"),
        w.button("按钮_停止"),
        w.button("按钮_播放"),
        w.button("按钮_导入MP3"),
        w.label("标签1"),
    });
    currentSource = &w;
}

// The created event: the controls are looked up first, so that the first skin (and
// anything else the handler does) can reach them.
void onCreated() {
    readMainWindow();
    skins::onWindowCreated();
}

constexpr rt::EventBinding events[] = {
    {nullptr, rt::Event::Created, onCreated},
    {"按钮_导入MP3", rt::Event::Click, playlist::onImportSongs},
    {"按钮_播放", rt::Event::Click, playback::onPlayPause},
    {"按钮_上一曲", rt::Event::Click, playback::onPrevious},
    {"按钮_下一曲", rt::Event::Click, playback::onNext},
    {"按钮_停止", rt::Event::Click, playback::onStop},
    {"按钮_退出", rt::Event::Click, onExit},
    {"按钮_换肤", rt::Event::Click, skins::onRandomSkin},
    {"超级列表框1", rt::Event::ListClick, playback::onPlaylistClick},
    {"超级列表框1", rt::Event::DoubleClick, playback::onPlaylistDoubleClick},
    {"滑块条1", rt::Event::PositionChanged, playback::onVolumeSlide},
    {"时钟1", rt::Event::Periodic, playback::onTick},
};

}  // namespace

MainWindow& mainWindow() {
    if (!current || currentSource != &rt::platform().mainWindow()) readMainWindow();
    return *current;
}

void forgetMainWindow() {
    current.reset();
    currentSource = nullptr;
}

const rt::WindowDesign& mainWindowDesign() {
    return design;
}

std::span<const rt::EventBinding> mainWindowEvents() {
    return events;
}

}  // namespace app
