#include "audio/output.h"

#include <SDL2/SDL.h>
#include <pthread.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
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
        (void)self->render_(self->user_, reinterpret_cast<float*>(stream),
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
        thread_ = std::thread([this] {
            pthread_setname_np(pthread_self(), "audio-null-out");
            run();
        });
    }
    ~NullOutput() override {
        {
            std::lock_guard lock(lock_);
            quit_ = true;
        }
        cv_.notify_one();
        thread_.join();
    }

    void wake() override {
        {
            std::lock_guard lock(lock_);
            kicked_ = true;
        }
        cv_.notify_one();
    }

    int32_t rate() const override { return rate_; }
    int32_t latencyFrames() const override { return 0; }
    bool lost() override { return false; }
    const char* name() const override { return "null"; }

private:
    // Wakes every nullOutputPeriodMs and consumes as many frames as real time says have
    // passed: few wake-ups keep it cheap. When playing starts, and while the engine has less
    // than it was asked for, it wakes every 5 ms so that playing starts at once.
    void run() {
        constexpr size_t block = 8192;
        std::vector<float> buf(block * 2);
        const int64_t startNs = monotonicNs();
        int64_t done = 0;
        bool hungry = false;
        for (;;) {
            bool kicked = false;
            {
                std::unique_lock lock(lock_);
                cv_.wait_for(lock, std::chrono::milliseconds(hungry ? 5 : nullOutputPeriodMs),
                             [&] { return quit_ || kicked_; });
                if (quit_) return;
                kicked = std::exchange(kicked_, false);
            }
            hungry = false;
            int64_t due = (monotonicNs() - startNs) * rate_ / 1000000000 - done;
            if (kicked) {
                // The time since the last look passed before playing started.
                done += due;
                due = 0;
                hungry = true;
            }
            // After a long stall (a suspended machine), skip ahead instead of racing.
            int64_t left = std::min<int64_t>(due, rate_ / 2);
            if (due > rate_ / 2) done += due - rate_ / 2;
            while (left > 0) {
                const size_t n = size_t(std::min<int64_t>(left, block));
                hungry |= render_(user_, buf.data(), n);
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
    std::mutex lock_;  // guards quit_ and kicked_; never held while rendering
    std::condition_variable cv_;
    bool quit_ = false;
    bool kicked_ = false;
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
