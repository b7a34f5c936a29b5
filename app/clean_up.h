// The clean-up slot: the routine run once at a normal end. Window thread only.
#pragma once

namespace app {

using CleanUp = void (*)();
// Filled by the start-up with releaseAtExit; emptied by the run-time error report.
extern CleanUp cleanUpSlot;

// Forgets the controls of an earlier window; the next mainWindow() looks them up anew.
void forgetMainWindow();

}  // namespace app
