// The Qt 6 Widgets run time: the Linux desktop implementation of rt::Platform and of the
// controls. The entry creates one QtRuntime, installs it with rt::install() and hands
// control to the program. Every function here runs on the window thread (the thread that
// created the QtRuntime) unless its comment says otherwise.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "runtime/runtime.h"

class QWidget;

namespace rt::qt {

// Where the entry's resources put the application icon: one PNG per size, e.g.
// ":/tunaro/icons/48.png". Sizes that are missing are left out of the window icon.
inline constexpr const char* iconResourcePrefix = ":/tunaro/icons/";
inline constexpr int iconSizes[] = {32, 48, 64, 72, 96, 128};

class QtRuntime : public Platform {
public:
    // Creates the QApplication when none exists yet, with the program name as its only
    // argument: the command line never reaches the toolkit. A test that made its own
    // QApplication keeps it.
    QtRuntime();
    ~QtRuntime() override;

    CodePage codePage() const override { return CodePage::Utf8; }
    char separator() const override { return '/'; }

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

    // ---- for tests: the widgets behind the window and its controls (nullptr when the
    // window does not exist or has no shown control of that name).
    QWidget* windowWidget() const;
    QWidget* controlWidget(std::string_view name) const;

    struct State;

private:
    std::unique_ptr<State> s_;
};

// Runs measure over every path on a few worker threads and returns the results in the
// paths' order. Meanwhile the calling (window) thread keeps its event loop running for
// timers and painting, but not for user input; past progressAfterMs a modal progress
// dialog shows how many files are done. Window thread only; measure must be safe on any
// thread.
std::vector<int32_t> measureInParallel(const std::vector<Text>& paths,
                                       const std::function<int32_t(const Text&)>& measure,
                                       int progressAfterMs = 500);

// "desc|patterns|desc|patterns" as Qt name filters, e.g. "MP3 (*.mp3)"; the patterns of
// a pair are separated by ';'. Any thread.
std::vector<Text> nameFiltersOf(const Text& filter);

// Text with every CR LF as LF, for Qt's plain-text labels. Any thread.
Text withUnixLineBreaks(const Text& text);

}  // namespace rt::qt
