#include "audio/midi_file.h"

#include <algorithm>
#include <cstring>

#include "audio/input_file.h"

namespace audio {
namespace {

constexpr size_t maxMidiBytes = 64u << 20;

struct TrackReader {
    const uint8_t* p;
    const uint8_t* end;
    bool ok = true;

    uint8_t byte() {
        if (p >= end) {
            ok = false;
            return 0;
        }
        return *p++;
    }
    uint32_t varLen() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const uint8_t b = byte();
            v = (v << 7) | (b & 0x7f);
            if (!(b & 0x80)) return v;
        }
        ok = false;  // more than four bytes is damage
        return v;
    }
    void skip(uint32_t n) {
        if (uint64_t(end - p) < n) {
            ok = false;
            p = end;
        } else {
            p += n;
        }
    }
};

struct TempoChange {
    uint64_t tick;
    uint32_t usPerQuarter;
};

// Reads one track; returns its end tick. Stops quietly at damage.
uint64_t readTrack(const uint8_t* data, size_t n, bool withEvents, std::vector<MidiEvent>& events,
                   std::vector<TempoChange>& tempos) {
    TrackReader r{data, data + n};
    uint64_t tick = 0;
    uint64_t lastGoodTick = 0;
    uint8_t running = 0;
    while (r.ok && r.p < r.end) {
        tick += r.varLen();
        if (!r.ok) break;
        uint8_t status = r.byte();
        if (!r.ok) break;
        if (status < 0x80) {
            if (running == 0) break;  // data byte without a status: damage
            --r.p;
            status = running;
        }
        if (status == 0xff) {
            const uint8_t type = r.byte();
            const uint32_t len = r.varLen();
            if (!r.ok || uint64_t(r.end - r.p) < len) break;
            if (type == 0x51 && len == 3) {
                const uint32_t us = uint32_t{r.p[0]} << 16 | uint32_t{r.p[1]} << 8 | r.p[2];
                if (us > 0) tempos.push_back({tick, us});
            }
            r.skip(len);
            lastGoodTick = tick;
            if (type == 0x2f) return tick;
            continue;
        }
        if (status == 0xf0 || status == 0xf7) {
            const uint32_t len = r.varLen();
            r.skip(len);
            if (!r.ok) break;
            lastGoodTick = tick;
            continue;
        }
        if (status >= 0xf0) break;  // system messages do not belong in a file
        running = status;
        const uint8_t kind = status & 0xf0;
        const uint8_t d1 = r.byte();
        const uint8_t d2 = (kind == 0xc0 || kind == 0xd0) ? 0 : r.byte();
        if (!r.ok) break;
        if (withEvents) events.push_back({tick, status, uint8_t(d1 & 0x7f), uint8_t(d2 & 0x7f)});
        lastGoodTick = tick;
    }
    return lastGoodTick;
}

}  // namespace

uint64_t MidiSong::usAt(uint64_t tick) const {
    if (ticksPerSecond) return tick * 1000000 / ticksPerSecond;
    // The last tempo point at or before the tick.
    auto it = std::upper_bound(tempo.begin(), tempo.end(), tick,
                               [](uint64_t t, const TempoPoint& p) { return t < p.tick; });
    const TempoPoint& p = *std::prev(it);
    return p.usAtTick + (tick - p.tick) * p.usPerQuarter / ticksPerQuarter;
}

bool looksLikeMidi(const uint8_t* data, size_t n) {
    if (n >= 4 && std::memcmp(data, "MThd", 4) == 0) return true;
    return n >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "RMID", 4) == 0;
}

bool parseMidi(const uint8_t* data, size_t n, bool withEvents, MidiSong& out) {
    out = MidiSong{};
    if (n >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "RMID", 4) == 0) {
        // Find the "data" chunk that holds the standard file.
        size_t off = 12;
        bool found = false;
        while (off + 8 <= n) {
            const uint32_t len = readLe32(data + off + 4);
            if (std::memcmp(data + off, "data", 4) == 0) {
                data += off + 8;
                n = std::min<size_t>(len, n - off - 8);
                found = true;
                break;
            }
            off += 8 + size_t(len) + (len & 1);
        }
        if (!found) return false;
    }
    if (n < 14 || std::memcmp(data, "MThd", 4) != 0) return false;
    const uint32_t headerLen = readBe32(data + 4);
    if (headerLen < 6 || headerLen > n - 8) return false;
    const uint16_t format = uint16_t(data[8] << 8 | data[9]);
    const uint16_t division = uint16_t(data[12] << 8 | data[13]);
    if (format > 2 || division == 0) return false;
    if (division & 0x8000) {
        const int fps = -int8_t(division >> 8);
        const int sub = division & 0xff;
        if (fps <= 0 || sub == 0) return false;
        // 29 stands for 29.97 drop-frame; its real-time rate is near enough 30 frames.
        out.ticksPerSecond = uint32_t((fps == 29 ? 30 : fps) * sub);
    } else {
        out.ticksPerQuarter = division;
    }

    std::vector<TempoChange> tempos;
    size_t off = 8 + headerLen;
    int tracks = 0;
    uint64_t formatTwoOffset = 0;  // format 2 tracks play one after another
    while (off + 8 <= n) {
        const uint32_t len = readBe32(data + off + 4);
        const size_t avail = std::min<size_t>(len, n - off - 8);
        if (std::memcmp(data + off, "MTrk", 4) == 0) {
            const size_t first = out.events.size();
            const size_t firstTempo = tempos.size();
            uint64_t end = readTrack(data + off + 8, avail, withEvents, out.events, tempos);
            if (format == 2) {
                for (size_t i = first; i < out.events.size(); ++i)
                    out.events[i].tick += formatTwoOffset;
                for (size_t i = firstTempo; i < tempos.size(); ++i)
                    tempos[i].tick += formatTwoOffset;
                end += formatTwoOffset;
                formatTwoOffset = end;
            }
            out.endTick = std::max(out.endTick, end);
            ++tracks;
        }
        if (avail < len) break;
        off += 8 + size_t(len);
    }
    if (tracks == 0) return false;

    std::stable_sort(out.events.begin(), out.events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.tick < b.tick; });
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    // 120 beats per minute until the first tempo event.
    out.tempo.push_back({0, 0, 500000});
    for (const TempoChange& t : tempos) {
        MidiSong::TempoPoint& last = out.tempo.back();
        if (t.tick == last.tick) {
            last.usPerQuarter = t.usPerQuarter;
            continue;
        }
        const uint64_t us = last.usAtTick + (t.tick - last.tick) * last.usPerQuarter /
                                                (out.ticksPerQuarter ? out.ticksPerQuarter : 1);
        out.tempo.push_back({t.tick, us, t.usPerQuarter});
    }
    return true;
}

bool loadMidiFile(const std::string& path, bool withEvents, MidiSong& out) {
    auto file = InputFile::open(path);
    if (!file || file->size() > int64_t(maxMidiBytes)) return false;
    std::vector<uint8_t> bytes(size_t(file->size()));
    const int64_t got = file->readAt(0, bytes.data(), bytes.size());
    if (got <= 0) return false;
    return parseMidi(bytes.data(), size_t(got), withEvents, out);
}

}  // namespace audio
