// Audio outputs: the sound device through SDL2, and a null output that consumes frames in
// real time where no device opens or the device is lost. Both pull frames through the
// engine's render function on their own thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace audio {

// The output thread calls this for every block it plays. It must not lock, allocate or
// do I/O: it runs on the device's real-time thread. True when it is playing but had fewer
// frames than asked for (the decoder is still catching up): the null output then comes
// back sooner.
using RenderFn = bool (*)(void* user, float* out, size_t frames);

class Output {
public:
    virtual ~Output() = default;
    virtual int32_t rate() const = 0;
    // Frames between what render hands over and what is heard.
    virtual int32_t latencyFrames() const = 0;
    // Decode thread. True once the device has gone away (unplugged, server gone).
    virtual bool lost() = 0;
    virtual const char* name() const = 0;
    // Window thread. Playing has just started: an output that polls should look now.
    virtual void wake() {}
};

// How often the null output looks at the clock while playing steadily: the position it
// reports moves in steps of this size.
constexpr int nullOutputPeriodMs = 100;

// Window thread. The default sound device as stereo float, nullptr when none opens.
// why explains a failure.
std::unique_ptr<Output> openDeviceOutput(RenderFn render, void* user, std::string& why);

// Any thread. A real-time consumer without sound. sink, when set, receives every block
// after render, on the null output's thread (tests record what was played).
std::unique_ptr<Output> openNullOutput(RenderFn render, void* user, int32_t rate,
                                       std::function<void(const float*, size_t)> sink);

}  // namespace audio
