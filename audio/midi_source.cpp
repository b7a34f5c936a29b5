// MIDI through FluidSynth: our own sequencer feeds the synthesizer from the tempo map, so
// the output ends at the last track end to the frame (the synthesizer's own file player
// reports its end only after the last notes have died away).
#include <fluidsynth.h>
#include <sys/stat.h>

#include <algorithm>
#include <mutex>

#include "audio/midi_file.h"
#include "audio/source.h"

namespace audio {
namespace {

void quietLog(int, const char*, void*) {}

void silenceFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Its warnings (unknown soundfont chunks and the like) are not ours to print.
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, quietLog, nullptr);
    });
}

class MidiSource final : public Source {
public:
    ~MidiSource() override { teardown(); }

    bool load(const std::string& path, const SongLength& length) {
        if (!loadMidiFile(path, true, song_)) return false;
        endUs_ = length.midiEndUs ? length.midiEndUs : song_.endUs();
        soundfont_ = midiSoundfontPath();
        return !soundfont_.empty() && endUs_ > 0;
    }

    bool start(int32_t outRate, int32_t ms) override {
        if (!synth_ || outRate != outRate_) {
            teardown();
            outRate_ = outRate;
            if (!setup()) return false;
        }
        fluid_synth_system_reset(synth_);
        const uint64_t fromUs = std::min<uint64_t>(uint64_t(std::max(ms, 0)) * 1000, endUs_);
        frame_ = framesAt(fromUs);
        total_ = framesAt(endUs_);
        next_ = 0;
        // Bring controllers and programs up to the start point; notes before it stay silent.
        while (next_ < song_.events.size() && frameOf(song_.events[next_]) < frame_) {
            const MidiEvent& e = song_.events[next_++];
            const uint8_t kind = e.status & 0xf0;
            if (kind != 0x90 && kind != 0x80 && kind != 0xa0) send(e);
        }
        return true;
    }

    size_t read(float* out, size_t maxFrames) override {
        if (!synth_) return 0;
        size_t done = 0;
        while (done < maxFrames && frame_ < total_) {
            while (next_ < song_.events.size() && frameOf(song_.events[next_]) <= frame_)
                send(song_.events[next_++]);
            int64_t until = total_;
            if (next_ < song_.events.size()) until = std::min(until, frameOf(song_.events[next_]));
            const int64_t n = std::min<int64_t>(until - frame_, int64_t(maxFrames - done));
            if (n <= 0) continue;
            float* p = out + done * 2;
            fluid_synth_write_float(synth_, int(n), p, 0, 2, p, 1, 2);
            done += size_t(n);
            frame_ += n;
        }
        return done;
    }

private:
    int64_t framesAt(uint64_t us) const { return int64_t(us * uint64_t(outRate_) / 1000000); }
    int64_t frameOf(const MidiEvent& e) const { return framesAt(song_.usAt(e.tick)); }

    bool setup() {
        silenceFluidLog();
        settings_ = new_fluid_settings();
        if (!settings_) return false;
        fluid_settings_setnum(settings_, "synth.sample-rate", outRate_);
        // Only the decode thread touches the synthesizer.
        fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
        fluid_settings_setint(settings_, "synth.cpu-cores", 1);
        fluid_settings_setnum(settings_, "synth.gain", 0.5);
        synth_ = new_fluid_synth(settings_);
        if (!synth_) return false;
        if (fluid_synth_sfload(synth_, soundfont_.c_str(), 1) == FLUID_FAILED) {
            teardown();
            return false;
        }
        return true;
    }

    void teardown() {
        if (synth_) delete_fluid_synth(synth_);
        if (settings_) delete_fluid_settings(settings_);
        synth_ = nullptr;
        settings_ = nullptr;
    }

    void send(const MidiEvent& e) {
        const int ch = e.status & 0x0f;
        switch (e.status & 0xf0) {
            case 0x80:
                fluid_synth_noteoff(synth_, ch, e.data1);
                break;
            case 0x90:
                if (e.data2 == 0)
                    fluid_synth_noteoff(synth_, ch, e.data1);
                else
                    fluid_synth_noteon(synth_, ch, e.data1, e.data2);
                break;
            case 0xa0:
                fluid_synth_key_pressure(synth_, ch, e.data1, e.data2);
                break;
            case 0xb0:
                fluid_synth_cc(synth_, ch, e.data1, e.data2);
                break;
            case 0xc0:
                fluid_synth_program_change(synth_, ch, e.data1);
                break;
            case 0xd0:
                fluid_synth_channel_pressure(synth_, ch, e.data1);
                break;
            case 0xe0:
                fluid_synth_pitch_bend(synth_, ch, e.data1 | (e.data2 << 7));
                break;
        }
    }

    MidiSong song_;
    uint64_t endUs_ = 0;
    std::string soundfont_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    int32_t outRate_ = 0;
    int64_t frame_ = 0;  // output frames rendered from the song's start
    int64_t total_ = 0;
    size_t next_ = 0;  // next event to send
};

}  // namespace

std::string midiSoundfontPath() {
    static const char* const candidates[] = {
        "/usr/share/sounds/sf2/TimGM6mb.sf2",   "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/soundfonts/default.sf2",
        "/usr/share/soundfonts/FluidR3_GM.sf2",
    };
    for (const char* p : candidates) {
        struct stat st {};
        if (::stat(p, &st) == 0 && S_ISREG(st.st_mode)) return p;
    }
    return {};
}

std::unique_ptr<Source> openMidiSource(const std::string& path, const SongLength& length) {
    auto s = std::make_unique<MidiSource>();
    if (!s->load(path, length)) return nullptr;
    return s;
}

}  // namespace audio
