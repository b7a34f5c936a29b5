// The media player control and the length measurement over the audio engine: the
// Linux implementation of 媒体播放1, used by the Qt run time.
#pragma once

#include <memory>

#include "runtime/runtime.h"

namespace rt {

// Window thread only. Destroying it closes the open file.
std::unique_ptr<MediaPlay> makeAudioMediaPlay();

// The audio engine's exact length of a song file in ms; 0 when it cannot be read.
// Safe on any thread, several at once.
int32_t audioSongLengthMs(const Text& path);

}  // namespace rt
