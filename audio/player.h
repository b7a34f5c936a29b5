// The audio engine's public face: one player that holds at most one open song and plays
// it in the background, and the exact length of a song file.
//
// Threads: the owner's thread (the window thread) calls every Player function; a decode
// thread per open song fills a lock-free buffer; the output's thread drains it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace audio {

enum class State { Closed, Stopped, Playing, Paused };

struct PlayerOptions {
    // Skip the sound device and play through the null output (tests, benchmarks).
    bool nullOutput = false;
    // Record what reached the null output; see Player::takeCaptured.
    bool capture = false;
};

class Player {
public:
    // Owner's thread. Opens no device yet: that happens at the first play.
    explicit Player(PlayerOptions options = {});
    // Owner's thread. Closes the open song and the output.
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Owner's thread. Closes what was open, then opens path without playing; the length is
    // known on return. False (and nothing open) when it cannot be played.
    bool open(const std::string& path);
    // Owner's thread. False when nothing was open.
    bool close();
    // Owner's thread.
    State state();
    // Owner's thread. 0 when nothing is open.
    int32_t lengthMs();
    // Owner's thread. What is heard, in ms; -1 when nothing is open. At the natural end it
    // stays at lengthMs.
    int32_t positionMs();
    // Owner's thread. fromMs -1: from the current position (resumes in place when paused).
    bool play(int32_t fromMs);
    // Owner's thread. Only while playing.
    bool pause();
    // Owner's thread. Only while paused.
    bool resume();
    // Owner's thread. Stops and goes back to 0.
    bool stop();
    // Owner's thread. channel 0 left, 1 right; level 0..1000 (perceptual: 500 is -10 dB).
    bool setChannelVolume(int channel, int32_t level);

    // Owner's thread. "device", "null", or "" before the first play.
    std::string outputName();
    // Owner's thread. Interleaved stereo samples the null output played since the last call.
    std::vector<float> takeCaptured();
    // Owner's thread. The output's rate, 0 before the first play.
    int32_t outputRate();
    // Owner's thread. Makes the device count as lost (tests of the fallback).
    void loseDeviceForTest();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Any thread, several at once. Exact length of a song file in ms; 0 when it cannot be read.
int32_t songLengthMs(const std::string& path);

// Any thread. The gain for a volume level 0..1000.
float volumeGain(int32_t level);

}  // namespace audio
