// A small window design for the run-time tests, and counters for its events.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/runtime.h"

namespace runtime_test {

// What the bound handlers saw. Reset before each test.
struct Seen {
    int clicks = 0;
    int listClicks = 0;
    int doubleClicks = 0;
    int ticks = 0;
    std::vector<int32_t> slides;  // the slider's position at each event
    int created = 0;
    int existedAfterRequest = -1;  // exists() just after requestDestroy, in the handler
};
extern Seen seen;
void resetSeen();

// 322 x 501 outer; a button, a label, a slider 0..100 at 50, a timer, a list of four
// columns (50/150/0/85) and a button after the list (which destroys the window), in that
// creation order.
const rt::WindowDesign& testDesign();
std::span<const rt::EventBinding> testEvents();

// Names in the test design.
inline constexpr const char* buttonName = "按钮_一";
inline constexpr const char* labelName = "标签一";
inline constexpr const char* sliderName = "滑块条一";
inline constexpr const char* timerName = "时钟一";
inline constexpr const char* listName = "列表一";
inline constexpr const char* lastButtonName = "按钮_二";

}  // namespace runtime_test
