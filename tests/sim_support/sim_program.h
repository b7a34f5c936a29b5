// A fixture for the program's handlers on the sim run time: a SimRuntime installed as the
// run time and the program started as at launch (main window created and shown).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "runtime/sim/sim.h"

namespace sim_support {

struct SongFile {
    std::string path;
    int32_t lengthMs = 0;  // < 0: a file the player cannot open and that measures 0
};

class SimProgram {
public:
    explicit SimProgram(rt::sim::Convention convention = rt::sim::Convention::GbkBackslash);
    ~SimProgram();
    SimProgram(const SimProgram&) = delete;
    SimProgram& operator=(const SimProgram&) = delete;

    rt::sim::SimRuntime sim;
    app::MainWindow& window() const;

    // Makes the songs known to the sim (openable and measurable, or neither) and imports
    // them through the dialog in one click.
    void importSongs(const std::vector<SongFile>& songs);
    // The media calls that command the player (queries left out), then forgets them all.
    std::vector<rt::sim::MediaCall> takeCommands();
};

// The fixture most tests use: one SimProgram per test.
class SimProgramTest : public ::testing::Test {
protected:
    SimProgram program;
    rt::sim::SimRuntime& sim = program.sim;
    app::MainWindow& w = program.window();
};

}  // namespace sim_support
