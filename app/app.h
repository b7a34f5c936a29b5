// The application shell: program-wide values, start-up, shutdown, the error report.
#pragma once

#include <cstdint>
#include <string>

namespace app {

// Program-wide values, alive from start to exit. Window thread only.
extern std::string currentSongPath;
extern int32_t songLengthMs;
extern int32_t pausePositionMs;

// The executable's directory, worked out once at start-up (no trailing separator).
const std::string& executableDirectory();

// The whole program: start-up, event loop, normal end. Returns the exit code (0).
int programMain();

// The pieces of programMain, for tests that drive the window in between.
void startUp();        // steps 1-3: directory, clean-up slot, window (created, shown)
void endNormally();    // clean-up slot, run-time releases; returns the exit code 0

void onExit();
void releaseAtExit();

// Shows the composed report, empties the clean-up slot, releases the run time's
// holdings and ends the process with status -1 (255).
[[noreturn]] void reportRuntimeError(int32_t code, const std::string& message);

// "运行时出错!" CR LF CR LF ["错误代码：" code CR LF CR LF] ["错误信息：" message CR LF]
std::string composeRuntimeError(int32_t code, const std::string& message);

}  // namespace app
