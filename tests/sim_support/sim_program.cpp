#include "tests/sim_support/sim_program.h"

#include "app/app.h"

namespace sim_support {

namespace {
// The skin engine as the sim offers it: takes every skin.
int32_t acceptSkin(const uint8_t*, int32_t, const char*, int32_t, int32_t, int32_t) {
    return 0;
}

std::string engineFileFor(rt::sim::Convention c) {
    return c == rt::sim::Convention::GbkBackslash ? "C:\\Tunaro\\TunaroSkin.dll"
                                                  : "/opt/tunaro/libtunaroskin.so";
}
}  // namespace

SimProgram::SimProgram(rt::sim::Convention convention) : sim(convention) {
    rt::install(&sim);
    sim.setLibraryForFile(engineFileFor(convention),
                          {{"TunaroSkin_AttachRes", reinterpret_cast<void*>(&acceptSkin)}});
    app::currentSongPath.clear();
    app::songLengthMs = 0;
    app::pausePositionMs = 0;
    app::startUp();
    sim.clearMediaCalls();
}

SimProgram::~SimProgram() {
    rt::install(nullptr);
}

app::MainWindow& SimProgram::window() const {
    return app::mainWindow();
}

void SimProgram::importSongs(const std::vector<SongFile>& songs) {
    std::vector<std::string> paths;
    for (const SongFile& s : songs) {
        if (s.lengthMs >= 0) sim.addSong(s.path, {s.lengthMs});
        paths.push_back(s.path);
    }
    sim.answerNextFileDialog({paths, 0});
    sim.click("按钮_导入MP3");
}

std::vector<rt::sim::MediaCall> SimProgram::takeCommands() {
    std::vector<rt::sim::MediaCall> out;
    for (const auto& c : sim.mediaCalls())
        if (c.op != "getState" && c.op != "getLength" && c.op != "getPosition") out.push_back(c);
    sim.clearMediaCalls();
    return out;
}

}  // namespace sim_support
