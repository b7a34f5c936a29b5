#include "runtime/audio/audio_media_play.h"

#include "audio/player.h"

namespace rt {
namespace {

// What setAudioOutputForTest asked for; the sound device unless a test said otherwise.
audio::PlayerOptions playerOptions;

// 媒体播放1 over the audio engine. Window thread only, like every control.
class AudioMediaPlay final : public MediaPlay {
public:
    explicit AudioMediaPlay(audio::PlayerOptions options) : player_(options) {}

    bool open(const Text& path) override { return player_.open(path); }
    bool close() override { return player_.close(); }

    MediaState getState() override {
        switch (player_.state()) {
            case audio::State::Playing:
                return MediaState::Playing;
            case audio::State::Stopped:
                return MediaState::Stopped;
            case audio::State::Paused:
                return MediaState::Paused;
            case audio::State::Closed:
                break;
        }
        return MediaState::Other;
    }

    std::vector<float> takeCaptured() { return player_.takeCaptured(); }

    int32_t getLength() override { return player_.lengthMs(); }
    int32_t getPosition() override { return player_.positionMs(); }
    bool stop() override { return player_.stop(); }

protected:
    bool startPlaying(int32_t from) override { return player_.play(from); }
    bool pauseInPlace() override { return player_.pause(); }
    bool resume() override { return player_.resume(); }
    bool setChannelVolume(int channel, int32_t level) override {
        return player_.setChannelVolume(channel, level);
    }

private:
    audio::Player player_;  // destroying it closes the file
};

}  // namespace

std::unique_ptr<MediaPlay> makeAudioMediaPlay() {
    return std::make_unique<AudioMediaPlay>(playerOptions);
}

void setAudioOutputForTest(bool nullOutput, bool capture) {
    playerOptions.nullOutput = nullOutput;
    playerOptions.capture = capture;
}

std::vector<float> takeCapturedForTest(MediaPlay& media) {
    auto* m = dynamic_cast<AudioMediaPlay*>(&media);
    return m ? m->takeCaptured() : std::vector<float>{};
}

int32_t audioSongLengthMs(const Text& path) {
    return audio::songLengthMs(path);
}

}  // namespace rt
