// Measures the lengths of a generated set of songs twice in one run: with the engine's
// length function and with FFmpeg's probe path (open + stream info), and checks both
// against a full decode.
//
//   bench_lengths [copies]   (default 13 copies of each of 80 distinct songs: 1,040 files)
#include <stdlib.h>
#include <time.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/ffmpeg_source.h"
#include "audio/length.h"
#include "audio/player.h"
#include "audio/source.h"
#include "audio/testing/song_writer.h"

using namespace audio;
using namespace audio::testing;

namespace {

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct Song {
    std::string path;
    SongKind kind;
    bool checked;     // counts towards the error figures (MP3, WAV, MIDI)
    int32_t truthMs;  // from a full decode (MIDI: a full render through the synthesizer)
};

Tone tone(int rate, int channels, double seconds) {
    Tone t;
    t.rate = rate;
    t.channels = channels;
    t.seconds = seconds;
    t.frequency = 220.0 + 37.0 * seconds;
    return t;
}

int32_t renderedMs(const std::string& path) {
    SongLength len;
    if (!measureSong(path, len)) return 0;
    auto src = openMidiSource(path, SongLength{});
    if (!src || !src->start(44100, 0)) return 0;
    std::vector<float> buf(4096 * 2);
    int64_t frames = 0;
    while (size_t n = src->read(buf.data(), 4096)) frames += int64_t(n);
    return framesToMs(frames, 44100);
}

int32_t probeMs(const std::string& path) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return -1;
    int32_t ms = -1;
    if (avformat_find_stream_info(fmt, nullptr) >= 0 && fmt->duration != AV_NOPTS_VALUE)
        ms = int32_t(fmt->duration / 1000);
    avformat_close_input(&fmt);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int copies = argc > 1 ? std::max(1, atoi(argv[1])) : 13;
    av_log_set_level(AV_LOG_QUIET);
    char tmpl[] = "/tmp/tunaro-lengths-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string dir = tmpl;

    // 80 distinct songs: ten of each kind, 2 to 8 seconds.
    std::vector<Song> distinct;
    const int mp3Rates[] = {44100, 48000, 32000, 22050, 24000};
    for (int i = 0; i < 10; ++i) {
        const double secs = 2.0 + 0.6 * i;
        const int rate = mp3Rates[i % 5];
        const int ch = 1 + i % 2;
        const std::string n = dir + "/" + std::to_string(i);
        writeMp3(n + "_cbr.mp3", tone(rate, ch, secs), rate >= 32000 ? 128 + 32 * (i % 3) : 64);
        distinct.push_back({n + "_cbr.mp3", SongKind::Mp3, true, 0});
        writeMp3(n + "_vbr.mp3", tone(rate, ch, secs), 0, i % 10);
        distinct.push_back({n + "_vbr.mp3", SongKind::Mp3, true, 0});
        writeMp3(n + "_vbr_bare.mp3", tone(rate, ch, secs), 0, (i + 3) % 10);
        stripInfoFrame(n + "_vbr_bare.mp3");
        distinct.push_back({n + "_vbr_bare.mp3", SongKind::Mp3, true, 0});
        writeMp3(n + "_cbr_bare.mp3", tone(rate, ch, secs), rate >= 32000 ? 192 : 48);
        stripInfoFrame(n + "_cbr_bare.mp3");
        distinct.push_back({n + "_cbr_bare.mp3", SongKind::Mp3, true, 0});
        const Pcm pcm[] = {Pcm::U8, Pcm::S16, Pcm::S24, Pcm::S32, Pcm::F32};
        writeWav(n + ".wav", tone(8000 + 4410 * i, 1 + i % 6, secs), pcm[i % 5], i % 2, i % 3 == 0);
        distinct.push_back({n + ".wav", SongKind::Wav, true, 0});
        writeWma(n + "_v1.wma", tone(44100, 2, secs), 1);
        distinct.push_back({n + "_v1.wma", SongKind::Asf, false, 0});
        writeWma(n + "_v2.wma", tone(i % 2 ? 22050 : 44100, 1 + i % 2, secs), 2, 64);
        distinct.push_back({n + "_v2.wma", SongKind::Asf, false, 0});
        std::vector<MidiNote> notes;
        for (uint32_t k = 0; k < uint32_t(8 + 4 * i); ++k)
            notes.push_back({k * 240, 200, uint8_t(48 + (k * 7) % 36)});
        const uint32_t end = uint32_t(notes.size()) * 240;
        writeMidi(n + ".mid", i % 2, 480,
                  {{0, 500000}, {end / 3, 400000 + 10000u * i}, {end * 2 / 3, 700000}}, notes, end);
        distinct.push_back({n + ".mid", SongKind::Midi, true, 0});
    }
    for (Song& s : distinct) {
        if (s.kind == SongKind::Midi) {
            s.truthMs = renderedMs(s.path);
        } else {
            int64_t frames = 0;
            int32_t rate = 0;
            decodedFrameCount(s.path, frames, rate);
            s.truthMs = framesToMs(frames, rate);
        }
    }
    // The measured set: copies of each, under names of their own.
    std::vector<Song> all;
    for (int c = 0; c < copies; ++c) {
        for (const Song& s : distinct) {
            Song copy = s;
            copy.path = s.path + "." + std::to_string(c) +
                        std::filesystem::path(s.path).extension().string();
            std::filesystem::copy_file(s.path, copy.path);
            all.push_back(copy);
        }
    }

    std::vector<int32_t> ours(all.size()), probe(all.size());
    const double t0 = nowMs();
    for (size_t i = 0; i < all.size(); ++i) ours[i] = songLengthMs(all[i].path);
    const double t1 = nowMs();
    for (size_t i = 0; i < all.size(); ++i) probe[i] = probeMs(all[i].path);
    const double t2 = nowMs();

    int errOurs = 0, errProbe = 0, probeFailed = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (!all[i].checked) continue;
        errOurs = std::max(errOurs, std::abs(ours[i] - all[i].truthMs));
        if (probe[i] < 0) {
            ++probeFailed;
            continue;
        }
        errProbe = std::max(errProbe, std::abs(probe[i] - all[i].truthMs));
    }
    const double x = t1 - t0, y = t2 - t1;
    std::printf(
        "lengths: %zu files, ours %.1f ms, probe %.1f ms, ratio Y/X %.1f, max error ours %d ms, "
        "probe %d ms\n",
        all.size(), x, y, y / x, errOurs, errProbe);
    std::fprintf(stderr,
                 "(the probe path read no length from %d MIDI files; left out of its error)\n",
                 probeFailed);
    std::filesystem::remove_all(dir);
    return 0;
}
