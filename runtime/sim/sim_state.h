// The sim run time's inner state and its controls. Private to runtime/sim.
#pragma once

#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "runtime/sim/sim.h"

namespace rt::sim {

class SimWindow;

// Everything in here belongs to the one test thread that drives the sim.
struct SimRuntime::State {
    SimRuntime* self;
    Convention convention;
    CodePage codePage;
    char separator;

    // ---- the virtual clock and the event queue
    int64_t now = 0;
    uint32_t tickBase = 0;
    std::deque<std::function<void()>> queue;
    int queueDepth = 0;  // > 0 while the queue is being run (nested by modal loops)

    // ---- the machine
    Text executablePath;
    Text currentDirectory;
    std::map<Text, SimSong> songs;
    std::map<Text, int32_t> measuredLengths;
    int32_t measureDurationMs = 0;

    struct File {
        std::vector<uint8_t> bytes;
        bool hidden = false;
    };
    std::map<Text, File> files;
    std::set<Text> directories;
    std::set<Text> readOnlyFolders;
    std::optional<size_t> failNextWriteAfter;

    using Exports = std::map<std::string, void*>;
    std::map<Text, Exports> librariesByName;
    std::map<Text, Exports> librariesByFile;
    std::map<uintptr_t, Exports> loadedLibraries;
    uintptr_t nextLibraryHandle = 0x10000000;
    int loadCount = 0;
    std::vector<Text> loadAttempts;

    // ---- the window
    bool failWindowCreation = false;
    std::unique_ptr<SimWindow> window;
    // Windows of earlier createMainWindow calls: kept so that references into them stay
    // valid for the life of the run time.
    std::vector<std::unique_ptr<SimWindow>> pastWindows;
    std::vector<std::string> startupLog;
    int64_t windowShownAt = -1;

    // ---- dialogs and the message box
    std::deque<std::function<void()>> loopScripts;
    std::deque<DialogAnswer> dialogAnswers;
    std::vector<FileDialogOptions> fileDialogs;
    std::vector<MessageBoxRecord> messageBoxes;

    // ---- the media player's record
    std::vector<MediaCall> mediaCalls;
    int32_t mediaVolume[2] = {-1, -1};

    // ---- helpers shared by the platform and the controls
    // Runs queued events one at a time, each to its end, until none is left.
    void runQueue();
    void post(std::function<void()> event);
    // Moves the clock to now + ms, firing due timers in time order on the way.
    void advance(int64_t ms);
    Text parentOf(const Text& path) const;
    bool directoryExists(const Text& path) const;
    void addDirectoryChain(const Text& path);
};

// ---------------------------------------------------------------- controls

class SimLabel : public Label {
public:
    explicit SimLabel(Text text) : text_(std::move(text)) {}
    void setCaption(const Text& text) override { text_ = text; }
    Text caption() const override { return text_; }

private:
    Text text_;
};

class SimButton : public Button {
public:
    explicit SimButton(Text text) : text_(std::move(text)) {}
    Text caption() const override { return text_; }
    void setCaption(const Text& text) override { text_ = text; }

private:
    Text text_;
};

class SimSlider : public SliderBar {
public:
    SimSlider(int32_t minimum, int32_t maximum, int32_t position)
        : minimum_(minimum), maximum_(maximum), position_(position) {}
    int32_t position() const override { return position_; }
    // The user's move; clamped to the range as the native control does.
    void moveTo(int32_t p) { position_ = std::clamp(p, minimum_, maximum_); }
    int32_t minimum() const { return minimum_; }
    int32_t maximum() const { return maximum_; }

private:
    int32_t minimum_, maximum_, position_;
};

class SimTimer : public Timer {
public:
    int64_t nextFireAt() const { return nextFireAt_; }
    // Called by the clock when the timer has fired at `at`.
    void fired(int64_t at) { nextFireAt_ = at + interval_; }
    void halt() { nextFireAt_ = -1; }
    explicit SimTimer(SimRuntime::State& s) : s_(s) {}

protected:
    void startPeriodic(int32_t ms) override {
        interval_ = ms;
        nextFireAt_ = s_.now + ms;
    }
    void stopPeriodic() override { nextFireAt_ = -1; }

private:
    SimRuntime::State& s_;
    int32_t interval_ = 0;
    int64_t nextFireAt_ = -1;
};

class SimListView : public ListView {
public:
    int32_t rowCount() const override { return static_cast<int32_t>(rows_.size()); }
    int32_t appendRow() override {
        rows_.emplace_back();
        return rowCount() - 1;
    }
    int32_t selectedRow() const override { return selected_; }
    // What a mouse click or the keyboard does to the selection.
    void userSelect(int32_t row) { selected_ = row; }
    void setColumns(std::vector<ColumnDesign> columns) { columns_ = std::move(columns); }
    const std::vector<ColumnDesign>& columns() const { return columns_; }

protected:
    void storeCell(int32_t row, int32_t column, const Text& text) override {
        rows_[row][column] = text;
    }
    Text loadCell(int32_t row, int32_t column) const override { return rows_[row][column]; }
    void showSelection(int32_t row) override { selected_ = row; }

private:
    std::vector<std::array<Text, columnCount>> rows_;
    std::vector<ColumnDesign> columns_;
    int32_t selected_ = -1;
};

// The scripted player: songs added with addSong open, everything else fails. The
// position follows the virtual clock while playing and stops at the length.
class SimMediaPlay : public MediaPlay {
public:
    explicit SimMediaPlay(SimRuntime::State& s) : s_(s) {}
    bool open(const Text& path) override;
    bool close() override;
    MediaState getState() override;
    int32_t getLength() override;
    int32_t getPosition() override;
    bool stop() override;
    // Closes without recording a call of the program: the window's destruction.
    void closeWithWindow();

protected:
    bool startPlaying(int32_t from) override;
    bool pauseInPlace() override;
    bool resume() override;
    bool setChannelVolume(int channel, int32_t level) override;

private:
    void record(std::string op, std::string arg = {});
    // Brings a playing song that has reached its end to Stopped at its length.
    void settle();
    int32_t currentPosition() const;

    SimRuntime::State& s_;
    bool isOpen_ = false;
    Text path_;
    int32_t length_ = 0;
    MediaState state_ = MediaState::Other;
    int32_t position_ = 0;    // while not playing
    int32_t playedFrom_ = 0;  // while playing: position at playStartedAt_
    int64_t playStartedAt_ = 0;
    bool volumeCallOpen_ = false;  // a setVolume record waiting for its right channel
};

class SimWindow : public Window {
public:
    SimWindow(SimRuntime::State& s, const WindowDesign& design,
              std::span<const EventBinding> events);

    Label& label(std::string_view name) override;
    Button& button(std::string_view name) override;
    SliderBar& slider(std::string_view name) override;
    Timer& timer(std::string_view name) override;
    ListView& listView(std::string_view name) override;
    MediaPlay& mediaPlay(std::string_view name) override;
    void requestDestroy() override;
    bool exists() const override { return exists_; }

    // Queues the event of that control (empty name: the window) if a handler is bound.
    void raise(const std::string& control, Event event);
    void destroy();
    const std::vector<std::string>& focusOrder() const { return focusOrder_; }
    bool has(std::string_view name, ControlKind kind) const {
        const auto it = controls_.find(name);
        return it != controls_.end() && it->second.kind == kind;
    }

    SimListView* list() const { return list_; }
    std::string listName() const { return listName_; }
    SimSlider* sliderControl() const { return slider_; }
    std::string sliderName() const { return sliderName_; }
    std::vector<SimTimer*> timers() const;
    std::vector<std::string> timerNames() const;
    SimMediaPlay* media() const { return media_; }
    int focusIndex = 0;  // into focusOrder

private:
    struct Control {
        ControlKind kind;
        std::unique_ptr<Label> label;
        std::unique_ptr<Button> button;
        std::unique_ptr<SimSlider> slider;
        std::unique_ptr<SimTimer> timer;
        std::unique_ptr<SimListView> list;
        std::unique_ptr<SimMediaPlay> media;
    };
    Control& find(std::string_view name, ControlKind kind);

    SimRuntime::State& s_;
    std::vector<std::string> order_;  // creation order
    std::map<std::string, Control, std::less<>> controls_;
    std::map<std::pair<std::string, Event>, Handler> handlers_;
    std::vector<std::string> focusOrder_;
    SimListView* list_ = nullptr;
    std::string listName_;
    SimSlider* slider_ = nullptr;
    std::string sliderName_;
    SimMediaPlay* media_ = nullptr;
    bool exists_ = true;
    bool destroyQueued_ = false;
};

}  // namespace rt::sim
