// Start-up, the normal end and the exit button.
#include "app/app.h"
#include "app/clean_up.h"
#include "app/main_window.h"
#include "runtime/runtime.h"

namespace app {

CleanUp cleanUpSlot = nullptr;

namespace {
std::string directory;  // the executable's directory; set once by startUp
}  // namespace

const std::string& executableDirectory() {
    return directory;
}

void startUp() {
    rt::Platform& p = rt::platform();
    const std::string exe = p.executablePath();
    const size_t sep = rt::lastSeparator(exe, p.separator(), p.codePage());
    directory = sep == std::string::npos ? std::string() : exe.substr(0, sep);
    // In the root the directory is empty (or a bare drive): the folder to enter is the
    // root itself. A path without any separator names no folder to enter.
    if (sep != std::string::npos)
        p.setCurrentDirectory(sep == 0 ? std::string(1, p.separator()) : directory);

    cleanUpSlot = releaseAtExit;

    forgetMainWindow();
    if (!p.createMainWindow(mainWindowDesign(), mainWindowEvents()))
        reportRuntimeError(0, "载入启动窗口失败");
}

void endNormally() {
    if (const CleanUp cleanUp = cleanUpSlot) {
        cleanUpSlot = nullptr;
        cleanUp();
    }
    rt::platform().releaseAll();
}

int programMain() {
    startUp();
    rt::platform().runEventLoop();
    forgetMainWindow();
    endNormally();
    return 0;
}

void onExit() {
    rt::platform().mainWindow().requestDestroy();
}

void releaseAtExit() {
    currentSongPath.clear();
    currentSongPath.shrink_to_fit();
}

}  // namespace app
