// The run time: everything the program's own routines may use of the platform.
// Toolkit-neutral. One implementation per toolkit (runtime/qt, runtime/sim) is installed
// at start-up with install(); the program reaches it through platform() and through the
// controls of the main window. Every function here runs on the window thread only,
// unless its comment says otherwise.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rt {

// A text is bytes in the system code page (GBK or UTF-8, see codePage()).
using Text = std::string;

// ---------------------------------------------------------------- controls

class Label {
public:
    virtual ~Label() = default;
    // Replaces the text and repaints at once.
    virtual void setCaption(const Text& text) = 0;
    // For tests and the run time itself; the program never reads a label.
    virtual Text caption() const = 0;
};

class Button {
public:
    virtual ~Button() = default;
    virtual Text caption() const = 0;
    virtual void setCaption(const Text& text) = 0;
};

// The period rule lives here once; a backend only starts and stops a periodic timer.
class Timer {
public:
    virtual ~Timer() = default;
    int32_t period() const { return period_; }
    // Negative counts as 0; the same value changes nothing (a running timer keeps its
    // rhythm); any other value stops the timer and, if above 0, starts it anew.
    void setPeriod(int32_t v);

protected:
    // First periodic event ms after this call, then one every ms.
    virtual void startPeriodic(int32_t ms) = 0;
    virtual void stopPeriodic() = 0;

private:
    int32_t period_ = 0;
};

class SliderBar {
public:
    virtual ~SliderBar() = default;
    // 0..100: the position after the user's last move; 50 before any. Never written.
    virtual int32_t position() const = 0;
};

// Row and column checks live here once; a backend stores cells and draws the selection.
class ListView {
public:
    virtual ~ListView() = default;
    virtual int32_t rowCount() const = 0;
    // Adds a row with four empty cells after the last; returns its index. The selection
    // and the scroll position stay.
    virtual int32_t appendRow() = 0;
    // A missing row or column (0..3) is ignored.
    void setCellText(int32_t row, int32_t column, const Text& text);
    // A missing row or column gives the empty text.
    Text cellText(int32_t row, int32_t column) const;
    // -1 when no row is selected.
    virtual int32_t selectedRow() const = 0;
    // row >= 0 and < rowCount: selects it and gives it the focus mark; -1 or below:
    // clears the selection and the focus mark; rowCount or more: nothing. Never
    // scrolls and never raises the click event.
    void setSelectedRow(int32_t row);

    static constexpr int32_t columnCount = 4;

protected:
    virtual void storeCell(int32_t row, int32_t column, const Text& text) = 0;
    virtual Text loadCell(int32_t row, int32_t column) const = 0;
    // row is an existing row, or -1 to clear.
    virtual void showSelection(int32_t row) = 0;
};

enum class MediaState : int32_t { Other = 0, Playing = 1, Stopped = 2, Paused = 3 };

// The media player control. pausedMark and the volume rule live here once; a backend
// implements the rest. No operation shows a message; failures show only in results.
class MediaPlay {
public:
    virtual ~MediaPlay() = default;
    // Closes what was open, then opens without playing; synchronous. On failure nothing
    // is open.
    virtual bool open(const Text& path) = 0;
    virtual bool close() = 0;
    virtual MediaState getState() = 0;
    // 0 when nothing is open.
    virtual int32_t getLength() = 0;
    // -1 when nothing is open.
    virtual int32_t getPosition() = 0;
    // from -1: the current position; else from that many ms. Clears pausedMark.
    bool play(int32_t from);
    // pausedMark clear: pauses in place; set: resumes. Flips the mark either way.
    bool pause();
    // Stops and, only if that succeeded, seeks to 0.
    virtual bool stop() = 0;
    // Each channel's percentage x 10 onto 0..1000; a channel is set only when the
    // product lies in 0..1000, left before right; true only when both were set.
    bool setVolume(int32_t left, int32_t right);

    bool pausedMark() const { return pausedMark_; }

protected:
    virtual bool startPlaying(int32_t from) = 0;
    virtual bool pauseInPlace() = 0;
    virtual bool resume() = 0;
    // channel 0 left, 1 right; level 0..1000.
    virtual bool setChannelVolume(int channel, int32_t level) = 0;

private:
    bool pausedMark_ = false;
};

// ---------------------------------------------------------------- the main window

enum class ControlKind { Label, Button, SliderBar, Timer, ListView, MediaPlay };

enum class Align { Left, Center, Right };

// One control of the window's design, in creation order.
struct ControlDesign {
    const char* name;  // design name, e.g. "按钮_播放" (UTF-8 in the source)
    ControlKind kind;
    int left, top, width, height;
    const char* text;  // initial caption; nullptr for none
    bool takesFocus;
    bool shown;
    Align align;                         // labels only
    const char* accessibleName = nullptr;  // for a control without a caption: its role
};

struct ColumnDesign {
    const char* title;
    int width;
};

struct WindowDesign {
    const char* title;
    int outerWidth, outerHeight;
    std::span<const ControlDesign> controls;
    std::span<const ColumnDesign> listColumns;
    int sliderMinimum, sliderMaximum, sliderPosition;
};

enum class Event { Created, Click, ListClick, DoubleClick, PositionChanged, Periodic };

using Handler = void (*)();

// control is nullptr for the window's own events.
struct EventBinding {
    const char* control;
    Event event;
    Handler handler;
};

class Window {
public:
    virtual ~Window() = default;
    // The control of that design name and kind; the run time ends the program with the
    // run-time error report when there is none.
    virtual Label& label(std::string_view name) = 0;
    virtual Button& button(std::string_view name) = 0;
    virtual SliderBar& slider(std::string_view name) = 0;
    virtual Timer& timer(std::string_view name) = 0;
    virtual ListView& listView(std::string_view name) = 0;
    virtual MediaPlay& mediaPlay(std::string_view name) = 0;
    // Queues the window's destruction; carried out when the event loop takes it up.
    virtual void requestDestroy() = 0;
    virtual bool exists() const = 0;
};

// ---------------------------------------------------------------- platform services

enum class CodePage { Gbk, Utf8 };

struct FileDialogOptions {
    Text title;
    Text filter;         // "desc|patterns|desc|patterns..."; patterns separated by ';'
    Text initialFolder;  // empty: the platform's default
    bool multiSelect = true;
};

class Platform {
public:
    virtual ~Platform() = default;

    virtual CodePage codePage() const = 0;
    // '\\' on Windows and its emulation, '/' on Linux.
    virtual char separator() const = 0;

    // Builds the window hidden from its design, binds the events, raises Created, then
    // shows and activates it. Returns false when the window cannot be created.
    virtual bool createMainWindow(const WindowDesign& design,
                                  std::span<const EventBinding> events) = 0;
    virtual Window& mainWindow() = 0;
    // Runs until the last window is destroyed; returns at once when there is none.
    virtual void runEventLoop() = 0;

    virtual Text executablePath() = 0;
    virtual Text currentDirectory() = 0;
    virtual bool setCurrentDirectory(const Text& path) = 0;
    // A directory search for exactly that path: a file or a directory, hidden or not.
    virtual bool pathExists(const Text& path) = 0;
    // Writes the whole file atomically: a temporary in the same folder, then renamed
    // into place; the temporary is removed on failure. Never leaves a partial file.
    virtual bool writeWholeFile(const Text& path, std::span<const uint8_t> bytes) = 0;
    // Hidden alone on Windows; mode 0644 on Linux.
    virtual bool setHiddenAttribute(const Text& path) = 0;

    // Library loading. A handle is 0 on failure. The run time remembers what it loaded
    // and releases it all in releaseAll().
    virtual uintptr_t loadLibrary(const Text& pathOrBareName) = 0;
    virtual void* findExport(uintptr_t library, const char* name) = 0;
    virtual void freeLibrary(uintptr_t library) = 0;
    // Releases everything the run time holds (loaded libraries among it).
    virtual void releaseAll() = 0;

    // Milliseconds since the system started.
    virtual uint32_t tickCount() = 0;

    // A modal message box with the error icon and one OK button, owned by no window.
    // Timer events keep coming while it is open.
    virtual void errorBox(const Text& title, const Text& text) = 0;
    // The modal open-file dialog: full paths in the dialog's order; empty when cancelled.
    // After a confirmed selection the current directory is the chosen files' folder.
    // Timer events keep coming while it is open.
    virtual std::vector<Text> openFileDialog(const FileDialogOptions& options) = 0;

    // Length of a song file in ms, 0 when it cannot be read. Safe on any thread.
    virtual int32_t songLengthMs(const Text& path) = 0;
    // The lengths of many files, in their order, measured on several threads at once.
    // Past about half a second a modal progress dialog shows how far it is; meanwhile
    // the window repaints and timer events keep coming.
    virtual std::vector<int32_t> measureSongLengths(const std::vector<Text>& paths) = 0;

    // Ends the process with that status at once (no clean-up of the program).
    [[noreturn]] virtual void exitProcess(int status) = 0;
};

// The installed run time. install() is called once, by the entry or a test.
Platform& platform();
void install(Platform* p);

// ---------------------------------------------------------------- shared helpers

// Byte offset of the last `sep` in text that is a character of its own under the code
// page (never the trailing byte of a multi-byte character); npos when none.
size_t lastSeparator(std::string_view text, char sep, CodePage cp);

// The C library's generator, the same sequence on every platform:
// x = x * 214013 + 2531011, draw (x >> 16) & 0x7fff.
void seedRandom(uint32_t seed);
int32_t nextRandom();  // 0..32767

}  // namespace rt
