// Exact song lengths from headers and frame scans, without decoding where the format
// allows. "Exact" means: the number of sample frames the decoder outputs after its own
// trims (encoder delay and padding), which is also where the player ends.
#pragma once

#include <cstdint>
#include <string>

namespace audio {

enum class SongKind { Mp3, Wav, Asf, Midi, Other };

struct SongLength {
    SongKind kind = SongKind::Other;
    // Sample frames at rate; both 0 where the format gives only milliseconds (ASF, MIDI).
    int64_t frames = 0;
    int32_t rate = 0;
    // For MIDI: the time of the last track end, in microseconds.
    uint64_t midiEndUs = 0;
    int32_t ms = 0;
};

// Any thread, several at once. False (and out.ms 0) when the file cannot be read as audio.
bool measureSong(const std::string& path, SongLength& out);

// frames * 1000 / rate, rounded down and capped at the int32 range.
int32_t framesToMs(int64_t frames, int32_t rate);

}  // namespace audio
