// A complete run time without a screen, for tests: a virtual clock and an event queue,
// scripted user actions and dialog answers, a recorded message box, an in-memory file
// system, scripted libraries and a scripted media player whose position follows the
// virtual clock. Nothing here sleeps: time moves only through advance().
// Threads: every function here, and every control of its window, is called on the one
// thread that drives the sim (the test's), which stands for the window thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/runtime.h"

namespace rt::sim {

// Thrown by exitProcess(); a test catches it where a real process would have ended.
struct ProcessExit {
    int status;
};

enum class Convention {
    GbkBackslash,  // the Windows convention: '\\' and GBK double-byte characters
    Utf8Slash,     // the Linux convention: '/' and UTF-8
};

enum class Key { Escape, Tab, Enter, F1, AltF4, Left, Right, PageUp, PageDown, Home, End };

// A file the scripted media player can open, and what it reports.
struct SimSong {
    int32_t lengthMs = 0;
};

// One recorded media-player call, e.g. {"open", "C:\\a.mp3"}, {"play", "-1"},
// {"setVolume", "50,50"}.
struct MediaCall {
    std::string op;
    std::string arg;
    bool operator==(const MediaCall&) const = default;
};

struct DialogAnswer {
    std::vector<Text> paths;  // full paths; empty: cancelled
    int32_t openForMs = 0;    // virtual time that passes while the dialog is open
                              // (timers fire inside it)
};

struct MessageBoxRecord {
    Text title;
    Text text;
};

class SimRuntime : public Platform {
public:
    explicit SimRuntime(Convention convention = Convention::GbkBackslash);
    ~SimRuntime() override;

    // ---- scripting the machine
    void setExecutablePath(const Text& path);  // default "C:\\Tunaro\\Tunaro.exe" or
                                               // "/opt/tunaro/tunaro"
    void setStartDirectory(const Text& path);
    void setTickCount(uint32_t ms);                // the clock's reading at virtual 0
    void addSong(const Text& path, SimSong song);  // openable by 媒体播放1; other paths fail
    void setSongLength(const Text& path, int32_t measuredMs);  // songLengthMs() answer;
                                                               // addSong sets it too
    void setMeasureDurationMs(int32_t ms);  // virtual time a batch measurement takes
                                            // (timers fire meanwhile)
    void addFile(const Text& path, std::vector<uint8_t> bytes = {});
    void addDirectory(const Text& path);
    void setFolderWritable(const Text& folder, bool writable);
    // The next write of more than that many bytes breaks off there: it fails and leaves
    // what stood at the path before (nothing, for a new file). Applies to one write.
    void failWritesAfter(size_t bytes);
    // A library that loadLibrary(path or bare name) yields, with its exports.
    void addLibrary(const Text& pathOrBareName, std::map<std::string, void*> exports);
    // The library yielded for whatever file stands at that path (so a written engine
    // file becomes loadable): exports keyed by name.
    void setLibraryForFile(const Text& path, std::map<std::string, void*> exports);
    void failWindowCreation(bool fail);

    // ---- user actions: each queues its events and runs the queue to the end
    void click(const std::string& control);  // a button
    // Selection follows, then list click; a row that does not exist counts as the empty
    // area below the last row.
    void clickRow(int32_t row);
    void clickBelowLastRow();
    void doubleClickRow(int32_t row);  // as a mouse does: list click, then double-click
    void doubleClickBelowLastRow();
    void keyboardSelectRow(int32_t row);  // selection moves, no event
    void slide(int32_t position);         // one user move of the slider
    void pressKey(Key key);               // Esc and Alt+F4 close the window
    void requestClose();                  // the close box
    void answerNextFileDialog(DialogAnswer answer);
    // What the user does once runEventLoop() runs (for a test of the whole program, such as
    // programMain): each script runs in turn while the window exists.
    void duringEventLoop(std::function<void()> script);

    // ---- time
    int64_t now() const;       // virtual ms since construction
    void advance(int32_t ms);  // fires due timers in order

    // ---- inspection
    const std::vector<FileDialogOptions>& fileDialogs() const;
    const std::vector<MessageBoxRecord>& messageBoxes() const;
    const std::vector<MediaCall>& mediaCalls() const;
    void clearMediaCalls();
    int32_t mediaVolume(int channel) const;  // 0..1000 as the player was told; -1 before
                                             // any volume reached an open file
    std::optional<std::vector<uint8_t>> fileBytes(const Text& path) const;
    bool isHidden(const Text& path) const;
    int loadCount() const;                        // successful loadLibrary calls
    std::vector<Text> loadAttempts() const;       // every name loadLibrary was given
    int64_t windowShownAt() const;                // -1 until shown; order of start-up
    std::vector<std::string> startupLog() const;  // "created-event", "shown"
    std::vector<std::string> focusOrder() const;  // controls Tab visits, in order
    std::string focusedControl() const;           // the control with the focus (Tab moves it)
    int loadedLibraryCount() const;               // loaded and not yet released
    std::vector<Text> listColumnTitles() const;   // the list view's headers, left to right
    int queuedEventCount() const;                 // events waiting in the queue
    bool windowExists() const;
    int32_t timerPeriod() const;
    int64_t timerNextFireAt() const;  // -1 when stopped

    // ---- Platform
    CodePage codePage() const override;
    char separator() const override;
    bool createMainWindow(const WindowDesign& design,
                          std::span<const EventBinding> events) override;
    Window& mainWindow() override;
    void runEventLoop() override;
    Text executablePath() override;
    Text currentDirectory() override;
    bool setCurrentDirectory(const Text& path) override;
    bool pathExists(const Text& path) override;
    bool writeWholeFile(const Text& path, std::span<const uint8_t> bytes) override;
    bool setHiddenAttribute(const Text& path) override;
    uintptr_t loadLibrary(const Text& pathOrBareName) override;
    void* findExport(uintptr_t library, const char* name) override;
    void freeLibrary(uintptr_t library) override;
    void releaseAll() override;
    uint32_t tickCount() override;
    void errorBox(const Text& title, const Text& text) override;
    std::vector<Text> openFileDialog(const FileDialogOptions& options) override;
    int32_t songLengthMs(const Text& path) override;
    std::vector<int32_t> measureSongLengths(const std::vector<Text>& paths) override;
    [[noreturn]] void exitProcess(int status) override;

    struct State;

private:
    std::unique_ptr<State> s_;
};

}  // namespace rt::sim
