// A source of stereo float frames at the output rate for the decode thread: FFmpeg for
// sampled formats, FluidSynth for MIDI. Each stops after exactly its measured length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/length.h"

namespace audio {

class Source {
public:
    virtual ~Source() = default;
    // Decode thread only (after open). Readies output at outRate and restarts at ms from
    // the start. False when the source cannot run; it then gives no frames.
    virtual bool start(int32_t outRate, int32_t ms) = 0;
    // Decode thread only. Up to maxFrames interleaved stereo frames; 0 at the end, or
    // fewer when interrupted() turned true (a long way to a start position is cut short
    // when a new command or the close comes).
    virtual size_t read(float* out, size_t maxFrames) = 0;

    // Set once by the owner before the decode thread starts.
    std::function<bool()> interrupted;
};

// Window thread (open). nullptr when the file cannot be decoded. The length is the one
// measured for the file; the source ends exactly there.
std::unique_ptr<Source> openFfmpegSource(const std::string& path, const SongLength& length);
std::unique_ptr<Source> openMidiSource(const std::string& path, const SongLength& length);

// Any thread. The General MIDI soundfont in use, empty when none is installed.
std::string midiSoundfontPath();

}  // namespace audio
