// The scripted media player of the sim run time.
#include <algorithm>
#include <string>

#include "runtime/sim/sim_state.h"

namespace rt::sim {

void SimMediaPlay::record(std::string op, std::string arg) {
    volumeCallOpen_ = false;
    s_.mediaCalls.push_back({std::move(op), std::move(arg)});
}

void SimMediaPlay::settle() {
    if (state_ != MediaState::Playing) return;
    const int64_t reached = playedFrom_ + (s_.now - playStartedAt_);
    if (reached >= length_) {
        // The natural end: playback stops by itself and the position stays at the length.
        state_ = MediaState::Stopped;
        position_ = length_;
    }
}

int32_t SimMediaPlay::currentPosition() const {
    if (state_ != MediaState::Playing) return position_;
    const int64_t reached = playedFrom_ + (s_.now - playStartedAt_);
    return static_cast<int32_t>(std::min<int64_t>(reached, length_));
}

bool SimMediaPlay::open(const Text& path) {
    record("open", path);
    isOpen_ = false;
    state_ = MediaState::Other;
    length_ = 0;
    position_ = 0;
    path_.clear();
    const auto it = s_.songs.find(path);
    if (it == s_.songs.end()) return false;
    isOpen_ = true;
    path_ = path;
    length_ = std::max<int32_t>(0, it->second.lengthMs);
    state_ = MediaState::Stopped;
    return true;
}

bool SimMediaPlay::close() {
    record("close");
    const bool wasOpen = isOpen_;
    isOpen_ = false;
    state_ = MediaState::Other;
    length_ = 0;
    position_ = 0;
    path_.clear();
    return wasOpen;
}

void SimMediaPlay::closeWithWindow() {
    close();
}

MediaState SimMediaPlay::getState() {
    record("getState");
    if (!isOpen_) return MediaState::Other;
    settle();
    return state_;
}

int32_t SimMediaPlay::getLength() {
    record("getLength");
    return isOpen_ ? length_ : 0;
}

int32_t SimMediaPlay::getPosition() {
    record("getPosition");
    if (!isOpen_) return -1;
    settle();
    return currentPosition();
}

bool SimMediaPlay::stop() {
    record("stop");
    if (!isOpen_) return false;
    state_ = MediaState::Stopped;
    position_ = 0;
    return true;
}

bool SimMediaPlay::startPlaying(int32_t from) {
    record("play", std::to_string(from));
    if (!isOpen_) return false;
    settle();
    int32_t start = 0;
    if (from == -1) {
        start = currentPosition();
    } else if (from >= 0 && from <= length_) {
        start = from;
    } else {
        return false;  // a seek outside the file is refused and changes nothing
    }
    state_ = MediaState::Playing;
    playedFrom_ = start;
    playStartedAt_ = s_.now;
    settle();
    return true;
}

bool SimMediaPlay::pauseInPlace() {
    record("pause");
    if (!isOpen_) return false;
    settle();
    if (state_ != MediaState::Playing) return false;
    position_ = currentPosition();
    state_ = MediaState::Paused;
    return true;
}

bool SimMediaPlay::resume() {
    record("resume");
    if (!isOpen_ || state_ != MediaState::Paused) return false;
    state_ = MediaState::Playing;
    playedFrom_ = position_;
    playStartedAt_ = s_.now;
    settle();
    return true;
}

bool SimMediaPlay::setChannelVolume(int channel, int32_t level) {
    // One program call, setVolume(l, r), becomes one record "l,r" in percent; a channel
    // left out for being out of range shows as an empty field.
    const std::string percent = std::to_string(level / 10);
    if (channel == 0) {
        record("setVolume", percent + ",");
        volumeCallOpen_ = true;
    } else if (volumeCallOpen_) {
        s_.mediaCalls.back().arg += percent;
        volumeCallOpen_ = false;
    } else {
        record("setVolume", "," + percent);
    }
    if (!isOpen_) return false;
    s_.mediaVolume[channel] = level;
    return true;
}

}  // namespace rt::sim
