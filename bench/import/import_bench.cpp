// The song import of many files in one click on the Qt run time with the audio engine:
// from the dialog's answer to the last row appended. Baseline, in the same run: the same
// files measured one after another on one thread. For comparison it also prints what
// opening each file in the media player (open, length, close) costs.
//
//   import_bench [files=1000] [rounds=5]
#include <QAbstractButton>
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "audio/testing/song_writer.h"
#include "playlist/playlist.h"
#include "runtime/audio/audio_media_play.h"
#include "runtime/forwarding_platform.h"
#include "runtime/qt/qt_runtime.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The Qt run time with the dialog answered by the bench: the clock starts at the answer.
class ScriptedDialogPlatform : public rt::ForwardingPlatform {
public:
    ScriptedDialogPlatform(rt::qt::QtRuntime& qt, std::vector<rt::Text> answer)
        : ForwardingPlatform(qt), qt_(qt), answer_(std::move(answer)) {}
    Clock::time_point answeredAt;
    double measureMs = 0;  // inside the import: the run time's length measurement

    std::vector<rt::Text> openFileDialog(const rt::FileDialogOptions&) override {
        answeredAt = Clock::now();
        return answer_;
    }
    std::vector<int32_t> measureSongLengths(const std::vector<rt::Text>& p) override {
        const auto start = Clock::now();
        auto lengths = qt_.measureSongLengths(p);
        measureMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        return lengths;
    }

private:
    rt::qt::QtRuntime& qt_;
    std::vector<rt::Text> answer_;
};

// A handful of source songs per format, of several lengths; the files to import link to them.
std::vector<fs::path> writeSourceSongs(const fs::path& dir) {
    namespace t = audio::testing;
    std::vector<fs::path> made;
    auto keep = [&](bool ok, const fs::path& p) {
        if (!ok) {
            std::fprintf(stderr, "import_bench: could not write %s\n", p.c_str());
            std::exit(1);
        }
        made.push_back(p);
    };
    const double seconds[] = {95.0, 181.0, 242.5};
    int n = 0;
    for (double s : seconds) {
        const t::Tone tone{44100, 2, s, 330.0 + 40 * n, 0.4};
        const fs::path base = dir / ("source" + std::to_string(n++));
        keep(t::writeMp3(base.string() + "-cbr.mp3", tone, 128), base.string() + "-cbr.mp3");
        keep(t::writeMp3(base.string() + "-vbr.mp3", tone, 0, 4), base.string() + "-vbr.mp3");
        // A VBR file without its info frame: its length takes a scan of every frame.
        const std::string bare = base.string() + "-bare.mp3";
        keep(t::writeMp3(bare, tone, 0, 4) && t::stripInfoFrame(bare), bare);
        keep(t::writeWav(base.string() + ".wav", tone, t::Pcm::S16), base.string() + ".wav");
        keep(t::writeWma(base.string() + ".wma", tone, 2), base.string() + ".wma");
        std::vector<t::MidiNote> notes;
        const uint32_t endTick = static_cast<uint32_t>(s * 2 * 480);  // 120 bpm
        for (uint32_t tick = 0; tick + 480 <= endTick; tick += 480)
            notes.push_back({tick, 240, static_cast<uint8_t>(60 + (tick / 480) % 12)});
        keep(t::writeMidi(base.string() + ".midi", 1, 480, {{0, 500000}, {endTick / 2, 400000}},
                          notes, endTick),
             base.string() + ".midi");
    }
    return made;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);

    char pattern[] = "/tmp/tunaro-import-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path dir = pattern;
    const std::vector<fs::path> sources = writeSourceSongs(dir);
    std::vector<rt::Text> paths;
    for (int i = 0; i < count; ++i) {
        const fs::path& from = sources[i % sources.size()];
        const fs::path to = dir / ("song " + std::to_string(i) + from.extension().string());
        // Hard links keep the disk small: each is a path of its own to open and read.
        std::error_code linkFailed;
        fs::create_hard_link(from, to, linkFailed);
        if (linkFailed) fs::copy_file(from, to);
        paths.push_back(to.string());
    }

    rt::qt::QtRuntime qt;
    ScriptedDialogPlatform platform(qt, paths);
    rt::install(&platform);
    // The main window's design with only the import bound: no skin, no transport.
    const rt::EventBinding events[] = {{"按钮_导入MP3", rt::Event::Click, playlist::onImportSongs}};
    if (!platform.createMainWindow(app::mainWindowDesign(), events)) return 1;

    // Both passes read warm files: one untimed pass first.
    for (const rt::Text& p : paths) (void)rt::audioSongLengthMs(p);

    // Rounds alternate between the baseline and the import, so that both see the same load
    // on the machine; the medians are printed.
    auto* button = qobject_cast<QAbstractButton*>(qt.controlWidget("按钮_导入MP3"));
    if (!button) return 1;
    std::vector<double> baselineMs, importMs, rowsMs;
    std::vector<int32_t> baseline(paths.size());
    int wrong = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto baselineStart = Clock::now();
        for (size_t i = 0; i < paths.size(); ++i) baseline[i] = rt::audioSongLengthMs(paths[i]);
        baselineMs.push_back(msSince(baselineStart));

        const int32_t firstRow = playlist::rowCount();
        button->click();  // the handler runs to its end inside
        importMs.push_back(msSince(platform.answeredAt));
        rowsMs.push_back(importMs.back() - platform.measureMs);

        // The rows must hold what the one-by-one measurement found.
        if (playlist::rowCount() != firstRow + count) wrong += count;
        for (int i = 0; i < count; ++i)
            wrong += playlist::cellText(firstRow + i, 3) != playlist::clockText(baseline[i]);
    }
    int unreadable = 0;
    for (int32_t ms : baseline) unreadable += ms == 0;

    // What an import through the media player would cost: open, length, close per file.
    const auto playerStart = Clock::now();
    rt::MediaPlay& player = app::mainWindow().媒体播放1;
    for (const rt::Text& p : paths) {
        player.open(p);
        (void)player.getLength();
        player.close();
    }
    const double playerMs = msSince(playerStart);

    const double importMedian = median(importMs);
    const double baselineMedian = median(baselineMs);
    std::printf("import: %d files, %.0f ms (median of %d; rows %.0f ms of it)\n", count,
                importMedian, rounds, median(rowsMs));
    std::printf("baseline (one after another, one thread): %d files, %.0f ms (median of %d)\n",
                count, baselineMedian, rounds);
    std::printf("ratio import/baseline: %.2f\n", importMedian / baselineMedian);
    std::printf("for comparison, open/length/close on 媒体播放1 one after another: %.0f ms\n",
                playerMs);
    std::printf("rows: %d, durations differing from the baseline: %d, unreadable: %d\n",
                playlist::rowCount(), wrong, unreadable);

    rt::install(nullptr);
    fs::remove_all(dir);
    return wrong == 0 && unreadable == 0 ? 0 : 1;
}
