// The sim run time's main window: controls built from the design, bound events.
#include <string>

#include "runtime/sim/sim_state.h"

namespace rt::sim {

SimWindow::SimWindow(SimRuntime::State& s, const WindowDesign& design,
                     std::span<const EventBinding> events)
    : s_(s) {
    for (const ControlDesign& d : design.controls) {
        Control c{d.kind, {}, {}, {}, {}, {}, {}};
        const Text text = d.text ? d.text : "";
        switch (d.kind) {
            case ControlKind::Label:
                c.label = std::make_unique<SimLabel>(text);
                break;
            case ControlKind::Button:
                c.button = std::make_unique<SimButton>(text);
                break;
            case ControlKind::SliderBar:
                c.slider = std::make_unique<SimSlider>(design.sliderMinimum, design.sliderMaximum,
                                                       design.sliderPosition);
                if (!slider_) {
                    slider_ = c.slider.get();
                    sliderName_ = d.name;
                }
                break;
            case ControlKind::Timer:
                c.timer = std::make_unique<SimTimer>(s_);
                break;
            case ControlKind::ListView:
                c.list = std::make_unique<SimListView>();
                c.list->setColumns({design.listColumns.begin(), design.listColumns.end()});
                if (!list_) {
                    list_ = c.list.get();
                    listName_ = d.name;
                }
                break;
            case ControlKind::MediaPlay:
                c.media = std::make_unique<SimMediaPlay>(s_);
                if (!media_) media_ = c.media.get();
                break;
        }
        order_.push_back(d.name);
        if (d.takesFocus) focusOrder_.push_back(d.name);
        controls_.emplace(d.name, std::move(c));
    }
    for (const EventBinding& b : events)
        handlers_[{b.control ? b.control : "", b.event}] = b.handler;
}

SimWindow::Control& SimWindow::find(std::string_view name, ControlKind kind) {
    const auto it = controls_.find(name);
    if (it == controls_.end() || it->second.kind != kind) {
        // What the run time does for a design that lacks a control the program names.
        s_.self->errorBox("错误",
                          "运行时出错!\r\n\r\n错误信息：找不到控件“" + std::string(name) + "”\r\n");
        s_.self->exitProcess(-1);
    }
    return it->second;
}

Label& SimWindow::label(std::string_view name) {
    return *find(name, ControlKind::Label).label;
}
Button& SimWindow::button(std::string_view name) {
    return *find(name, ControlKind::Button).button;
}
SliderBar& SimWindow::slider(std::string_view name) {
    return *find(name, ControlKind::SliderBar).slider;
}
Timer& SimWindow::timer(std::string_view name) {
    return *find(name, ControlKind::Timer).timer;
}
ListView& SimWindow::listView(std::string_view name) {
    return *find(name, ControlKind::ListView).list;
}
MediaPlay& SimWindow::mediaPlay(std::string_view name) {
    return *find(name, ControlKind::MediaPlay).media;
}

std::vector<SimTimer*> SimWindow::timers() const {
    std::vector<SimTimer*> out;
    for (const std::string& name : order_) {
        const Control& c = controls_.find(name)->second;
        if (c.timer) out.push_back(c.timer.get());
    }
    return out;
}

std::vector<std::string> SimWindow::timerNames() const {
    std::vector<std::string> out;
    for (const std::string& name : order_)
        if (controls_.find(name)->second.timer) out.push_back(name);
    return out;
}

void SimWindow::raise(const std::string& control, Event event) {
    const auto it = handlers_.find({control, event});
    if (it == handlers_.end() || !it->second) return;
    const Handler h = it->second;
    // An event still queued when the window goes is dropped with it.
    s_.post([this, h] {
        if (exists_) h();
    });
}

void SimWindow::requestDestroy() {
    if (destroyQueued_ || !exists_) return;
    destroyQueued_ = true;
    s_.post([this] { destroy(); });
}

void SimWindow::destroy() {
    if (!exists_) return;
    exists_ = false;
    // The controls stay readable for tests, but the timer never fires again and the
    // player has nothing open.
    for (SimTimer* t : timers()) t->halt();
    for (auto& [name, c] : controls_)
        if (c.media) c.media->closeWithWindow();
}

}  // namespace rt::sim
