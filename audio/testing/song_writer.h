// Deterministic song files for tests and benchmarks: tones encoded through the same
// FFmpeg libraries the engine decodes with, PCM WAV variants written byte by byte, and
// MIDI files with tempo changes. Any thread; each call writes one file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace audio::testing {

struct Tone {
    int rate = 44100;
    int channels = 2;
    double seconds = 1.0;
    double frequency = 440.0;
    double amplitude = 0.5;
    // When above 0, the pitch glides linearly from frequency to this over the tone, so
    // that every moment sounds different (tests of where playing starts).
    double sweepTo = 0.0;
};

// MP3 through libmp3lame, with the muxer's Xing/Info frame and encoder tag. bitrateKbps
// for CBR; vbrQuality 0..9 instead when >= 0.
bool writeMp3(const std::string& path, const Tone& tone, int bitrateKbps, int vbrQuality = -1,
              bool id3v1 = false);
// Removes the Xing/Info frame of an MP3 written above: a header-less VBR file.
bool stripInfoFrame(const std::string& path);
// WMA version 1 or 2 in ASF.
bool writeWma(const std::string& path, const Tone& tone, int version, int bitrateKbps = 128);

enum class Pcm { U8, S16, S24, S32, F32 };
// A WAV of the tone; extensible uses WAVE_FORMAT_EXTENSIBLE; a LIST chunk after the data
// when trailingChunk.
bool writeWav(const std::string& path, const Tone& tone, Pcm format, bool extensible = false,
              bool trailingChunk = false);

struct MidiNote {
    uint32_t tick;
    uint32_t length;
    uint8_t key;
};
struct MidiTempo {
    uint32_t tick;
    uint32_t usPerQuarter;
};
// A MIDI file: format 0 (one track) or 1 (tempo track plus a note track), ending at
// endTick.
bool writeMidi(const std::string& path, int format, uint16_t ticksPerQuarter,
               const std::vector<MidiTempo>& tempos, const std::vector<MidiNote>& notes,
               uint32_t endTick);

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readBytes(const std::string& path);

}  // namespace audio::testing
