// The exact length against a full decode, format by format.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>

#include "audio/ffmpeg_source.h"
#include "audio/length.h"
#include "audio/player.h"
#include "audio/testing/song_writer.h"
#include "tests/audio/fixtures.h"

namespace audio::testing {
namespace {

enum class Check { ExactFrames, WithinCodecFrame };

struct LengthCase {
    const char* name;
    std::function<bool(const std::string&)> write;
    Check check;
    int64_t encodedFrames;  // what went in, when the format keeps it exactly; else -1
};

Tone tone(int rate, int channels, double seconds) {
    Tone t;
    t.rate = rate;
    t.channels = channels;
    t.seconds = seconds;
    return t;
}

const LengthCase lengthCases[] = {
    {"mp3_cbr128_stereo.mp3", [](auto& p) { return writeMp3(p, tone(44100, 2, 1.3), 128); },
     Check::ExactFrames, 57330},
    {"mp3_cbr320_id3v1.mp3",
     [](auto& p) { return writeMp3(p, tone(48000, 2, 0.7), 320, -1, true); }, Check::ExactFrames,
     33600},
    {"mp3_mpeg2_mono.mp3", [](auto& p) { return writeMp3(p, tone(22050, 1, 1.1), 64); },
     Check::ExactFrames, 24255},
    {"mp3_mpeg25_8k.mp3", [](auto& p) { return writeMp3(p, tone(8000, 1, 0.9), 16); },
     Check::ExactFrames, 7200},
    {"mp3_vbr.mp3", [](auto& p) { return writeMp3(p, tone(44100, 2, 1.7), 0, 4); },
     Check::ExactFrames, 74970},
    {"mp3_vbr_headerless.mp3",
     [](auto& p) { return writeMp3(p, tone(44100, 2, 1.7), 0, 2) && stripInfoFrame(p); },
     Check::ExactFrames, -1},
    {"mp3_cbr_headerless.mp3",
     [](auto& p) { return writeMp3(p, tone(32000, 2, 0.8), 96) && stripInfoFrame(p); },
     Check::ExactFrames, -1},
    {"mp3_tagged_cut_short.mp3",
     [](auto& p) {
         if (!writeMp3(p, tone(44100, 2, 2.0), 128)) return false;
         auto b = readBytes(p);
         b.resize(b.size() * 3 / 5 + 77);  // mid-frame
         return writeBytes(p, b);
     },
     Check::ExactFrames, -1},
    {"wav_u8_mono.wav", [](auto& p) { return writeWav(p, tone(11025, 1, 0.5), Pcm::U8); },
     Check::ExactFrames, 5513},
    {"wav_s16_stereo.wav", [](auto& p) { return writeWav(p, tone(44100, 2, 0.75), Pcm::S16); },
     Check::ExactFrames, 33075},
    {"wav_s24_trailing_list.wav",
     [](auto& p) { return writeWav(p, tone(48000, 2, 0.6), Pcm::S24, false, true); },
     Check::ExactFrames, 28800},
    {"wav_s32.wav", [](auto& p) { return writeWav(p, tone(96000, 2, 0.3), Pcm::S32); },
     Check::ExactFrames, 28800},
    {"wav_f32_extensible_6ch.wav",
     [](auto& p) { return writeWav(p, tone(44100, 6, 0.4), Pcm::F32, true); }, Check::ExactFrames,
     17640},
    {"wav_s16_extensible_odd_rate.wav",
     [](auto& p) { return writeWav(p, tone(22222, 2, 0.5), Pcm::S16, true); }, Check::ExactFrames,
     11111},
    {"wma_v1.wma", [](auto& p) { return writeWma(p, tone(44100, 2, 1.2), 1); },
     Check::WithinCodecFrame, -1},
    {"wma_v2.wma", [](auto& p) { return writeWma(p, tone(44100, 2, 1.2), 2); },
     Check::WithinCodecFrame, -1},
    {"wma_v2_mono_22k.wma", [](auto& p) { return writeWma(p, tone(22050, 1, 0.9), 2, 32); },
     Check::WithinCodecFrame, -1},
};

class LengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(LengthTest, AgreesWithFullDecode) {
    const LengthCase& c = GetParam();
    const std::string path = fixturePath(c.name);
    ASSERT_TRUE(c.write(path));
    SongLength len;
    ASSERT_TRUE(measureSong(path, len));
    int64_t frames = 0;
    int32_t rate = 0;
    ASSERT_TRUE(decodedFrameCount(path, frames, rate));
    const int32_t decodedMs = framesToMs(frames, rate);
    if (c.check == Check::ExactFrames) {
        EXPECT_EQ(len.rate, rate);
        EXPECT_EQ(len.frames, frames);
        EXPECT_EQ(len.ms, decodedMs);
        if (c.encodedFrames >= 0) {
            EXPECT_EQ(frames, c.encodedFrames);
        }
    } else {
        const int frameMs = 2048 * 1000 / rate + 1;
        EXPECT_LE(std::abs(len.ms - decodedMs), frameMs) << len.ms << " vs " << decodedMs;
    }
    EXPECT_EQ(songLengthMs(path), len.ms);
}

INSTANTIATE_TEST_SUITE_P(Formats, LengthTest, ::testing::ValuesIn(lengthCases),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

// 480 ticks a quarter: 1 s at 120 bpm, then 0.25 s at 240 bpm, then 0.5 s at 60 bpm.
const std::vector<MidiTempo> tempoChanges = {{0, 500000}, {960, 250000}, {1440, 1000000}};
const std::vector<MidiNote> midiNotes = {{0, 480, 60}, {480, 480, 64}, {960, 600, 67}};

TEST(MidiLength, FollowsTheTempoMapToTheTrackEnd) {
    for (int format : {0, 1}) {
        const std::string path = fixturePath("tempo" + std::to_string(format) + ".mid");
        ASSERT_TRUE(writeMidi(path, format, 480, tempoChanges, midiNotes, 1680));
        EXPECT_EQ(songLengthMs(path), 1750) << "format " << format;
    }
}

TEST(MidiLength, RecognisedByContentWhateverTheName) {
    const std::string path = fixturePath("song.midi.dat");
    ASSERT_TRUE(writeMidi(path, 1, 96, {{0, 600000}}, {{0, 96, 60}}, 192));
    EXPECT_EQ(songLengthMs(path), 1200);
}

TEST(MidiLength, WithoutTempoEventsIs120Bpm) {
    const std::string path = fixturePath("no_tempo.mid");
    ASSERT_TRUE(writeMidi(path, 0, 120, {}, {{0, 120, 60}}, 360));
    EXPECT_EQ(songLengthMs(path), 1500);
}

}  // namespace
}  // namespace audio::testing
