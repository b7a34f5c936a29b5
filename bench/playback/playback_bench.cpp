// Plays a 320 kbps MP3 in real time on the null output (decoding, resampling to the
// output rate, the decode and output threads) and reports the process CPU time per
// minute of audio; beside it, a bare decode of the same file flat out.
//
//   bench_playback [seconds]   (default 20 s of real-time play)
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "audio/ffmpeg_source.h"
#include "audio/player.h"
#include "audio/testing/song_writer.h"

namespace {

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 20;
    char tmpl[] = "/tmp/tunaro-playback-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string path = std::string(tmpl) + "/song.mp3";
    audio::testing::Tone tone;
    tone.seconds = seconds + 2;
    tone.amplitude = 0.7;
    if (!audio::testing::writeMp3(path, tone, 320)) return 1;

    audio::PlayerOptions options;
    options.nullOutput = true;
    audio::Player player(options);
    if (!player.open(path)) return 1;
    const double c0 = cpuSeconds();
    player.play(-1);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const int32_t playedMs = player.positionMs();
    const double c1 = cpuSeconds();
    player.close();

    const double c2 = cpuSeconds();
    int64_t frames = 0;
    int32_t rate = 0;
    audio::decodedFrameCount(path, frames, rate);
    const double c3 = cpuSeconds();

    const double perMinute = (c1 - c0) / (playedMs / 60000.0);
    const double decodePerMinute = (c3 - c2) / (double(frames) / rate / 60.0);
    std::printf(
        "playback: %.3f CPU-s per audio minute (bare decode of the same file: %.3f CPU-s per "
        "audio minute; output at %d Hz from %d Hz)\n",
        perMinute, decodePerMinute, player.outputRate(), rate);
    std::filesystem::remove_all(tmpl);
    return 0;
}
