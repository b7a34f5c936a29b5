// The main window's fifteen controls as plain Qt widgets at their design places, for the
// engine's tests and the contact sheet, which need no run time.
#pragma once

#include <QPushButton>
#include <QWidget>
#include <memory>
#include <vector>

#include "runtime/runtime.h"

namespace skins::testing {

struct StandInWindow {
    std::unique_ptr<QWidget> window;
    std::vector<QWidget*> controls;  // the shown controls, in creation order
    std::vector<QPushButton*> buttons;
};

// Built from the design: labels, buttons, the slider and a four-column list with a
// few rows; the timer and the media player have nothing to draw.
StandInWindow buildStandInWindow(const rt::WindowDesign& design);

}  // namespace skins::testing
