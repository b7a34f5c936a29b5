// The main window as the program's routines see it: its controls by design name.
#pragma once

#include "runtime/runtime.h"

namespace app {

struct MainWindow {
    rt::Label& 标签4;
    rt::Label& 标签3;
    rt::SliderBar& 滑块条1;
    rt::Timer& 时钟1;
    rt::Label& 标签2;
    rt::MediaPlay& 媒体播放1;
    rt::Button& 按钮_下一曲;
    rt::Button& 按钮_上一曲;
    rt::ListView& 超级列表框1;
    rt::Button& 按钮_换肤;
    rt::Button& 按钮_退出;
    rt::Button& 按钮_停止;
    rt::Button& 按钮_播放;
    rt::Button& 按钮_导入MP3;
    rt::Label& 标签1;
};

// Valid from the created event until the window is destroyed.
MainWindow& mainWindow();

// The design (fifteen controls in creation order) and the event table.
const rt::WindowDesign& mainWindowDesign();
std::span<const rt::EventBinding> mainWindowEvents();

}  // namespace app
