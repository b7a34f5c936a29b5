#include "audio/output.h"

#include <SDL2/SDL.h>
#include <time.h>

#include <atomic>
#include <thread>
#include <vector>

namespace audio {
namespace {

int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// ---------------------------------------------------------------- SDL device

class DeviceOutput final : public Output {
public:
    DeviceOutput(RenderFn render, void* user) : render_(render), user_(user) {}
    ~DeviceOutput() override {
        if (dev_) SDL_CloseAudioDevice(dev_);  // waits for the callback to return
        if (inited_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool open(std::string& why) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            why = SDL_GetError();
            return false;
        }
        inited_ = true;
        SDL_AudioSpec want{};
        want.freq = 48000;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = &DeviceOutput::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // SDL converts format and channels; the rate we take as the device gives it.
        dev_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
        if (dev_ == 0) {
            why = SDL_GetError();
            return false;
        }
        rate_ = have.freq;
        latency_ = have.samples;
        lastCallbackNs_.store(monotonicNs(), std::memory_order_relaxed);
        SDL_PauseAudioDevice(dev_, 0);
        return true;
    }

    int32_t rate() const override { return rate_; }
    int32_t latencyFrames() const override { return latency_; }
    const char* name() const override { return "device"; }

    bool lost() override {
        if (SDL_GetAudioDeviceStatus(dev_) == SDL_AUDIO_STOPPED) return true;
        // A device whose callback has not run for two seconds is as good as gone.
        const int64_t idle = monotonicNs() - lastCallbackNs_.load(std::memory_order_relaxed);
        return idle > 2000000000LL;
    }

private:
    // SDL's audio thread. No lock, allocation or I/O here (render obeys the same rule);
    // clock_gettime on CLOCK_MONOTONIC is a vDSO read.
    static void callback(void* user, Uint8* stream, int len) {
        auto* self = static_cast<DeviceOutput*>(user);
        self->lastCallbackNs_.store(monotonicNs(), std::memory_order_relaxed);
        self->render_(self->user_, reinterpret_cast<float*>(stream),
                      size_t(len) / (2 * sizeof(float)));
    }

    RenderFn render_;
    void* user_;
    SDL_AudioDeviceID dev_ = 0;
    bool inited_ = false;
    int32_t rate_ = 0;
    int32_t latency_ = 0;
    std::atomic<int64_t> lastCallbackNs_{0};  // written by SDL's audio thread
};

// ---------------------------------------------------------------- null output

class NullOutput final : public Output {
public:
    NullOutput(RenderFn render, void* user, int32_t rate,
               std::function<void(const float*, size_t)> sink)
        : render_(render), user_(user), rate_(rate), sink_(std::move(sink)) {
        thread_ = std::thread([this] { run(); });
    }
    ~NullOutput() override {
        quit_.store(true, std::memory_order_relaxed);
        thread_.join();
    }

    int32_t rate() const override { return rate_; }
    int32_t latencyFrames() const override { return 0; }
    bool lost() override { return false; }
    const char* name() const override { return "null"; }

private:
    // Wakes every 5 ms and consumes as many frames as real time says have passed.
    void run() {
        constexpr size_t block = 512;
        std::vector<float> buf(block * 2);
        const int64_t startNs = monotonicNs();
        int64_t done = 0;
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        while (!quit_.load(std::memory_order_relaxed)) {
            next.tv_nsec += 5000000;
            if (next.tv_nsec >= 1000000000) {
                next.tv_nsec -= 1000000000;
                ++next.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
            const int64_t due = (monotonicNs() - startNs) * rate_ / 1000000000 - done;
            // After a long stall (a suspended machine), skip ahead instead of racing.
            int64_t left = std::min<int64_t>(due, rate_ / 2);
            if (due > rate_ / 2) done += due - rate_ / 2;
            while (left > 0) {
                const size_t n = size_t(std::min<int64_t>(left, block));
                render_(user_, buf.data(), n);
                if (sink_) sink_(buf.data(), n);
                left -= int64_t(n);
                done += int64_t(n);
            }
        }
    }

    RenderFn render_;
    void* user_;
    const int32_t rate_;
    std::function<void(const float*, size_t)> sink_;
    std::atomic<bool> quit_{false};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<Output> openDeviceOutput(RenderFn render, void* user, std::string& why) {
    auto out = std::make_unique<DeviceOutput>(render, user);
    if (!out->open(why)) return nullptr;
    return out;
}

std::unique_ptr<Output> openNullOutput(RenderFn render, void* user, int32_t rate,
                                       std::function<void(const float*, size_t)> sink) {
    return std::make_unique<NullOutput>(render, user, rate, std::move(sink));
}

}  // namespace audio
