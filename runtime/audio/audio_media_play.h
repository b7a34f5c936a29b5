// The media player control and the length measurement over the audio engine: the
// Linux implementation of 媒体播放1, used by the Qt run time.
#pragma once

#include <memory>
#include <vector>

#include "runtime/runtime.h"

namespace rt {

// Window thread only. Destroying it closes the open file.
std::unique_ptr<MediaPlay> makeAudioMediaPlay();

// Tests: players made from now on skip the sound device and play through the null output,
// recording what it plays when capture is set. Window thread only.
void setAudioOutputForTest(bool nullOutput, bool capture);
// Tests: the interleaved stereo samples media's null output played since the last call;
// empty for a media player that does not come from makeAudioMediaPlay.
std::vector<float> takeCapturedForTest(MediaPlay& media);

// The audio engine's exact length of a song file in ms; 0 when it cannot be read.
// Safe on any thread, several at once.
int32_t audioSongLengthMs(const Text& path);

}  // namespace rt
