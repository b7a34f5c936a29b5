#include "audio/player.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

#include "audio/length.h"
#include "audio/output.h"
#include "audio/ring.h"
#include "audio/source.h"

namespace audio {

float volumeGain(int32_t level) {
    if (level <= 0) return 0.0f;
    if (level >= 1000) return 1.0f;
    // Each halving of the level takes 10 dB off: loudness follows the level.
    return float(std::pow(double(level) / 1000.0, 10.0 / (20.0 * std::log10(2.0))));
}

int32_t songLengthMs(const std::string& path) {
    SongLength len;
    return measureSong(path, len) ? len.ms : 0;
}

// Every change of what should be heard (open, play from a point, stop, close) starts a new
// epoch. The decode thread restarts its source for the newest epoch and marks where in the
// ring that epoch's frames begin; the callback skips to that mark. So neither the window
// thread nor the callback ever waits for the other, and no lock is shared with the callback.
struct Player::Impl {
    explicit Impl(PlayerOptions o) : options(o) {
        gain[0].store(1.0f);
        gain[1].store(1.0f);
    }

    // ---------------------------------------------------------------- the callback side

    // Output thread. No lock, no allocation, no I/O: atomics and the ring only.
    static bool render(void* user, float* out, size_t frames) {
        return static_cast<Impl*>(user)->renderBlock(out, frames);
    }

    bool renderBlock(float* out, size_t frames) {
        const uint32_t want = cmdEpoch.load(std::memory_order_acquire);
        uint32_t mine = consEpoch.load(std::memory_order_relaxed);
        if (mine != want) {
            const uint64_t start = prodMark.load(std::memory_order_acquire);
            if (!markIs(start, want)) {
                std::fill_n(out, frames * 2, 0.0f);
                // The decode thread has not restarted yet.
                return playing.load(std::memory_order_relaxed);
            }
            ring.skipTo(markIndex(start));
            played.store(0, std::memory_order_relaxed);
            tailPlayed = 0;
            consEpoch.store(want, std::memory_order_release);
            mine = want;
        }
        if (!playing.load(std::memory_order_acquire)) {
            std::fill_n(out, frames * 2, 0.0f);
            return false;
        }
        const size_t n = ring.read(out, frames);
        std::fill(out + n * 2, out + frames * 2, 0.0f);
        int64_t advanced = int64_t(n);
        const uint64_t eos = eosMark.load(std::memory_order_acquire);
        const bool atEos = markIs(eos, mine) && ring.readIndex() == markIndex(eos);
        if (n < frames && atEos) {
            // Past the last frame: the frames still inside the device are heard while it
            // plays this silence.
            const int64_t lat = latency.load(std::memory_order_relaxed);
            const int64_t tail = std::min<int64_t>(int64_t(frames - n), lat - tailPlayed);
            if (tail > 0) {
                tailPlayed += tail;
                advanced += tail;
            }
            if (tailPlayed >= lat) endedEpoch.store(mine, std::memory_order_release);
        }
        played.fetch_add(advanced, std::memory_order_release);
        const float gl = gain[0].load(std::memory_order_relaxed);
        const float gr = gain[1].load(std::memory_order_relaxed);
        if (gl != 1.0f || gr != 1.0f) {
            for (size_t i = 0; i < n; ++i) {
                out[i * 2] *= gl;
                out[i * 2 + 1] *= gr;
            }
        }
        return n < frames && !atEos;
    }

    // A ring index and the epoch it belongs to in one atomic word, so that the callback
    // never pairs an index with the wrong epoch: the index above, the epoch's low 16 bits
    // below (no 65,536 commands come between two looks of the callback).
    static uint64_t mark(uint64_t index, uint32_t epoch) { return index << 16 | (epoch & 0xffff); }
    static bool markIs(uint64_t m, uint32_t epoch) { return (m & 0xffff) == (epoch & 0xffff); }
    static uint64_t markIndex(uint64_t m) { return m >> 16; }

    // ---------------------------------------------------------------- the decode thread

    void decodeLoop() {
        constexpr size_t chunk = 4096;
        std::vector<float> buf(chunk * 2);
        uint32_t mine = prodEpoch;
        bool atEnd = false;
        bool filling = true;  // topping the ring up; else waiting for it to drain by half
        while (!quit.load(std::memory_order_acquire)) {
            checkDevice();
            const uint32_t want = cmdEpoch.load(std::memory_order_acquire);
            if (want != mine) {
                source->start(rate, seekMs.load(std::memory_order_acquire));
                atEnd = false;
                prodMark.store(mark(ring.writeIndex(), want), std::memory_order_release);
                prodEpoch = mine = want;
                continue;
            }
            const size_t room = ring.writable();
            if (consEpoch.load(std::memory_order_acquire) != mine) {
                // The callback has yet to drop the frames of the epoch before; the ring
                // empties as soon as it does.
                std::unique_lock lock(wakeLock);
                wake.wait_for(lock, std::chrono::milliseconds(5),
                              [&] { return quit.load() || cmdEpoch.load() != mine; });
                filling = true;
                continue;
            }
            if (atEnd || (room < ringFrames / 2 && !filling)) {
                // Sleep until half the ring has drained (or a command comes), then fill it
                // up in one go: few wake-ups keep playback cheap, and the ring still holds
                // over half a second.
                const int64_t ms = atEnd ? 250 : int64_t(ringFrames / 2 - room) * 1000 / rate + 1;
                std::unique_lock lock(wakeLock);
                wake.wait_for(lock, std::chrono::milliseconds(std::clamp<int64_t>(ms, 1, 400)),
                              [&] { return quit.load() || cmdEpoch.load() != mine; });
                continue;
            }
            if (room < chunk / 4) {
                filling = false;
                continue;
            }
            filling = true;
            const size_t n = source->read(buf.data(), std::min(room, chunk));
            if (n == 0 && (quit.load() || cmdEpoch.load() != mine)) continue;  // cut short
            if (n == 0) {
                eosMark.store(mark(ring.writeIndex(), mine), std::memory_order_release);
                atEnd = true;
                continue;
            }
            ring.write(buf.data(), n);
        }
    }

    // Decode thread. Swaps a lost device for the null output; the position carries on.
    void checkDevice() {
        const bool forced = forceLoss.exchange(false);
        std::lock_guard lock(outputLock);
        if (!output || output->name() != std::string_view("device")) return;
        if (!forced && !output->lost()) return;
        output.reset();
        std::fprintf(stderr, "audio: the sound device was lost; playing on silently\n");
        startNull();
    }

    // outputLock held.
    void startNull() {
        std::function<void(const float*, size_t)> sink;
        if (options.capture) {
            sink = [this](const float* p, size_t n) {
                std::lock_guard lock(captureLock);
                captured.insert(captured.end(), p, p + n * 2);
            };
        }
        latency.store(0, std::memory_order_relaxed);
        output = openNullOutput(&Impl::render, this, rate, std::move(sink));
    }

    // ---------------------------------------------------------------- the window thread

    void ensureOutput() {
        std::lock_guard lock(outputLock);
        if (output) return;
        if (!options.nullOutput) {
            std::string why;
            output = openDeviceOutput(&Impl::render, this, why);
            if (output) {
                rate = output->rate();
                latency.store(output->latencyFrames(), std::memory_order_relaxed);
                return;
            }
            std::fprintf(stderr, "audio: no sound device (%s); playing on silently\n", why.c_str());
        }
        rate = 48000;
        startNull();
    }

    void wakeOutput() {
        std::lock_guard lock(outputLock);
        if (output) output->wake();
    }

    void ensureDecoder() {
        if (decoder.joinable()) return;
        quit.store(false);
        decoder = std::thread([this] {
            pthread_setname_np(pthread_self(), "audio-decode");
            decodeLoop();
        });
    }

    void stopDecoder() {
        if (!decoder.joinable()) return;
        {
            std::lock_guard lock(wakeLock);
            quit.store(true, std::memory_order_release);
        }
        wake.notify_all();
        decoder.join();
    }

    // Starts a new epoch at ms; the callback drops everything queued before it.
    void restartAt(int32_t ms) {
        startMs = ms;
        atEndMark = false;
        {
            std::lock_guard lock(wakeLock);
            seekMs.store(ms, std::memory_order_release);
            cmdEpoch.fetch_add(1, std::memory_order_acq_rel);
        }
        wake.notify_all();
    }

    void noticeEnd() {
        if (state == State::Playing &&
            endedEpoch.load(std::memory_order_acquire) == cmdEpoch.load()) {
            state = State::Stopped;
            atEndMark = true;
            playing.store(false, std::memory_order_release);
        }
    }

    int32_t position() {
        noticeEnd();
        if (atEndMark) return length.ms;
        const uint32_t want = cmdEpoch.load(std::memory_order_acquire);
        if (consEpoch.load(std::memory_order_acquire) != want || rate <= 0) return startMs;
        const int64_t heard = std::max<int64_t>(
            0, played.load(std::memory_order_acquire) - latency.load(std::memory_order_relaxed));
        const int64_t ms = startMs + heard * 1000 / rate;
        return int32_t(std::min<int64_t>(ms, length.ms));
    }

    PlayerOptions options;

    // Window thread only.
    State state = State::Closed;
    SongLength length;
    int32_t startMs = 0;     // where the current epoch began
    bool atEndMark = false;  // stopped by itself at the end: the position is the length
    std::thread decoder;

    // Window thread writes while the decode thread is not running; then the decode thread.
    std::unique_ptr<Source> source;
    int32_t rate = 0;  // the output's; fixed once the output is open
    // The epoch the decode thread last restarted for; the next decode thread carries on
    // from it.
    uint32_t prodEpoch = 0;

    // outputLock: the output (the window thread opens it, the decode thread may swap it).
    std::mutex outputLock;
    std::unique_ptr<Output> output;
    std::atomic<bool> forceLoss{false};

    // captureLock: what the null output played, for tests.
    std::mutex captureLock;
    std::vector<float> captured;

    // wakeLock: wakes the decode thread; never taken by the callback.
    std::mutex wakeLock;
    std::condition_variable wake;
    std::atomic<bool> quit{false};

    // Shared with the callback: atomics only.
    static constexpr size_t ringFrames = 1 << 16;  // 1.37 s at 48 kHz
    FrameRing ring{ringFrames};
    std::atomic<uint32_t> cmdEpoch{0};      // window thread writes
    std::atomic<int32_t> seekMs{0};         // window thread writes, before cmdEpoch
    std::atomic<bool> playing{false};       // window thread writes
    std::atomic<float> gain[2];             // window thread writes
    std::atomic<int32_t> latency{0};        // window or decode thread, with the output
    std::atomic<uint64_t> prodMark{0};      // decode thread writes: where its epoch starts
    std::atomic<uint64_t> eosMark{~0ull};   // decode thread writes: where its epoch ends
    std::atomic<uint32_t> consEpoch{0};     // callback writes
    std::atomic<int64_t> played{0};         // callback writes: frames of this epoch heard
    std::atomic<uint32_t> endedEpoch{~0u};  // callback writes: the epoch played to its end
    int64_t tailPlayed = 0;                 // callback only
};

Player::Player(PlayerOptions options) : impl_(std::make_unique<Impl>(options)) {}

Player::~Player() {
    close();
    std::lock_guard lock(impl_->outputLock);
    impl_->output.reset();
}

bool Player::open(const std::string& path) {
    close();
    SongLength len;
    if (!measureSong(path, len) || len.ms <= 0) return false;
    std::unique_ptr<Source> src =
        len.kind == SongKind::Midi ? openMidiSource(path, len) : openFfmpegSource(path, len);
    if (!src) return false;
    Impl& m = *impl_;
    src->interrupted = [&m] {
        return m.quit.load(std::memory_order_relaxed) ||
               m.cmdEpoch.load(std::memory_order_relaxed) != m.prodEpoch;
    };
    m.source = std::move(src);
    m.length = len;
    m.state = State::Stopped;
    m.playing.store(false);
    m.restartAt(0);
    return true;
}

bool Player::close() {
    Impl& m = *impl_;
    if (m.state == State::Closed) return false;
    m.playing.store(false);
    m.stopDecoder();
    m.restartAt(0);  // what is still queued is never played
    m.source.reset();
    m.length = SongLength{};
    m.state = State::Closed;
    return true;
}

State Player::state() {
    impl_->noticeEnd();
    return impl_->state;
}

int32_t Player::lengthMs() {
    return impl_->state == State::Closed ? 0 : impl_->length.ms;
}

int32_t Player::positionMs() {
    return impl_->state == State::Closed ? -1 : impl_->position();
}

bool Player::play(int32_t fromMs) {
    Impl& m = *impl_;
    m.noticeEnd();
    if (m.state == State::Closed) return false;
    if (fromMs == -1 && m.state == State::Paused) return resume();
    // A play from the paused position (read just before the pause) continues in place:
    // no new decode from the top, so a resume is instant however deep into the song.
    if (m.state == State::Paused && fromMs >= 0 && std::abs(fromMs - m.position()) <= 2)
        return resume();
    if (fromMs == -1 && m.state == State::Playing) return true;
    const int32_t at = fromMs == -1 ? m.position() : std::clamp(fromMs, 0, m.length.ms);
    m.ensureOutput();
    m.ensureDecoder();
    m.restartAt(at);
    m.state = State::Playing;
    m.playing.store(true, std::memory_order_release);
    m.wakeOutput();
    return true;
}

bool Player::pause() {
    Impl& m = *impl_;
    m.noticeEnd();
    if (m.state != State::Playing) return false;
    m.playing.store(false, std::memory_order_release);
    m.state = State::Paused;
    return true;
}

bool Player::resume() {
    Impl& m = *impl_;
    if (m.state != State::Paused) return false;
    m.state = State::Playing;
    m.playing.store(true, std::memory_order_release);
    m.wakeOutput();
    return true;
}

bool Player::stop() {
    Impl& m = *impl_;
    if (m.state == State::Closed) return false;
    m.playing.store(false, std::memory_order_release);
    m.state = State::Stopped;
    m.restartAt(0);
    return true;
}

bool Player::setChannelVolume(int channel, int32_t level) {
    if (channel < 0 || channel > 1 || level < 0 || level > 1000) return false;
    impl_->gain[channel].store(volumeGain(level), std::memory_order_relaxed);
    return true;
}

std::string Player::outputName() {
    std::lock_guard lock(impl_->outputLock);
    return impl_->output ? impl_->output->name() : "";
}

std::vector<float> Player::takeCaptured() {
    std::lock_guard lock(impl_->captureLock);
    return std::exchange(impl_->captured, {});
}

int32_t Player::outputRate() {
    return impl_->rate;
}

void Player::loseDeviceForTest() {
    impl_->forceLoss.store(true);
}

}  // namespace audio
