#include "tests/audio/fixtures.h"

#include <stdlib.h>

#include <filesystem>
#include <thread>

namespace audio::testing {
namespace {

struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/tunaro-audio-XXXXXX";
        if (mkdtemp(tmpl)) path = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
};

}  // namespace

const std::string& fixtureDir() {
    static TempDir dir;
    return dir.path;
}

std::string fixturePath(const std::string& name) {
    return fixtureDir() + "/" + name;
}

bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace audio::testing
