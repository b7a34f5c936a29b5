// Standard MIDI Files (format 0, 1 and 2, also inside a RIFF RMID wrapper): the channel
// events in play order and the tempo map that turns ticks into time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

struct MidiEvent {
    uint64_t tick;
    uint8_t status;  // channel message status byte, 0x80..0xEF
    uint8_t data1;
    uint8_t data2;
};

struct MidiSong {
    struct TempoPoint {
        uint64_t tick;
        uint64_t usAtTick;  // time of this tick from the start
        uint32_t usPerQuarter;
    };
    std::vector<MidiEvent> events;  // sorted by tick; ties keep track order
    std::vector<TempoPoint> tempo;  // starts with tick 0
    uint32_t ticksPerQuarter = 0;   // set for metrical time
    uint32_t ticksPerSecond = 0;    // set for SMPTE time instead
    uint64_t endTick = 0;           // the last track end

    // Any thread. Microseconds from the start to the tick.
    uint64_t usAt(uint64_t tick) const;
    uint64_t endUs() const { return usAt(endTick); }
};

// Any thread. True when the bytes start like a MIDI file ("MThd" or a RIFF RMID).
bool looksLikeMidi(const uint8_t* data, size_t n);

// Any thread. Parses the whole file; withEvents false keeps only the tempo map and the
// end. A damaged track is read up to the damage. False when it is not a MIDI file or
// holds no track.
bool parseMidi(const uint8_t* data, size_t n, bool withEvents, MidiSong& out);

// Any thread. Reads and parses a file by path (regular files only).
bool loadMidiFile(const std::string& path, bool withEvents, MidiSong& out);

}  // namespace audio
