#include "tests/runtime/test_window.h"

namespace runtime_test {

Seen seen;
void resetSeen() {
    seen = Seen{};
}

namespace {

using rt::Align;
using rt::ControlKind;

constexpr rt::ControlDesign controls[] = {
    {buttonName, ControlKind::Button, 10, 10, 60, 30, "一", true, true, Align::Center},
    {labelName, ControlKind::Label, 80, 10, 100, 22, "标签", false, true, Align::Right},
    {sliderName, ControlKind::SliderBar, 10, 50, 105, 23, nullptr, true, true, Align::Left, "音量"},
    {timerName, ControlKind::Timer, 280, 32, 26, 26, nullptr, false, false, Align::Left},
    {listName, ControlKind::ListView, 8, 136, 301, 200, nullptr, true, true, Align::Left,
     "播放列表"},
    {lastButtonName, ControlKind::Button, 200, 10, 60, 30, "二", true, true, Align::Center},
};

constexpr rt::ColumnDesign columns[] = {{"序号", 50}, {"歌曲名", 150}, {"路径", 0}, {"时长", 85}};

constexpr rt::WindowDesign design = {"Tunaro", 322, 501, controls, columns, 0, 100, 50};

void onCreated() {
    ++seen.created;
}
void onClick() {
    ++seen.clicks;
}
void onListClick() {
    ++seen.listClicks;
}
void onDoubleClick() {
    ++seen.doubleClicks;
}
void onTick() {
    ++seen.ticks;
}
void onDestroyClick() {
    rt::platform().mainWindow().requestDestroy();
    seen.existedAfterRequest = rt::platform().mainWindow().exists();
}
void onSlide() {
    seen.slides.push_back(rt::platform().mainWindow().slider(sliderName).position());
}

constexpr rt::EventBinding events[] = {
    {nullptr, rt::Event::Created, onCreated},
    {buttonName, rt::Event::Click, onClick},
    {lastButtonName, rt::Event::Click, onDestroyClick},
    {listName, rt::Event::ListClick, onListClick},
    {listName, rt::Event::DoubleClick, onDoubleClick},
    {sliderName, rt::Event::PositionChanged, onSlide},
    {timerName, rt::Event::Periodic, onTick},
};

}  // namespace

const rt::WindowDesign& testDesign() {
    return design;
}
std::span<const rt::EventBinding> testEvents() {
    return events;
}

}  // namespace runtime_test
