#include "audio/length.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/ffmpeg_source.h"
#include "audio/input_file.h"
#include "audio/midi_file.h"

namespace audio {
namespace {

// ---------------------------------------------------------------- MP3

struct MpegHeader {
    int version;  // 1, 2, or 25 for MPEG-2.5
    int layer;    // 1..3
    int rate;
    int channels;
    int frameBytes;
    int samples;  // per frame
};

const int bitrates[2][3][15] = {
    // MPEG-1: layer I, II, III
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    // MPEG-2 and 2.5
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};
const int sampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

// Free-format frames (bitrate index 0) are not recognised: their size is not in the header.
bool parseMpegHeader(const uint8_t* h, MpegHeader& out) {
    if (h[0] != 0xff || (h[1] & 0xe0) != 0xe0) return false;
    const int ver = (h[1] >> 3) & 3;
    const int layerBits = (h[1] >> 1) & 3;
    const int brIndex = h[2] >> 4;
    const int srIndex = (h[2] >> 2) & 3;
    if (ver == 1 || layerBits == 0 || brIndex == 0 || brIndex == 15 || srIndex == 3) return false;
    const int layer = 4 - layerBits;
    const bool mpeg1 = ver == 3;
    const int rateRow = mpeg1 ? 0 : (ver == 2 ? 1 : 2);
    out.version = mpeg1 ? 1 : (ver == 2 ? 2 : 25);
    out.layer = layer;
    out.rate = sampleRates[rateRow][srIndex];
    out.channels = (h[3] >> 6) == 3 ? 1 : 2;
    const int kbps = bitrates[mpeg1 ? 0 : 1][layer - 1][brIndex];
    const int pad = (h[2] >> 1) & 1;
    if (layer == 1) {
        out.samples = 384;
        out.frameBytes = (12 * kbps * 1000 / out.rate + pad) * 4;
    } else if (layer == 2 || mpeg1) {
        out.samples = 1152;
        out.frameBytes = 144 * kbps * 1000 / out.rate + pad;
    } else {
        out.samples = 576;
        out.frameBytes = 72 * kbps * 1000 / out.rate + pad;
    }
    return out.frameBytes >= 4;
}

bool sameStream(const MpegHeader& a, const MpegHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.rate == b.rate;
}

// A frame at off that is followed by a matching frame, or by the end of the data.
bool frameChainsAt(ByteWindow& w, int64_t off, int64_t end, MpegHeader& first) {
    const uint8_t* h = w.at(off, 4);
    if (!h || !parseMpegHeader(h, first)) return false;
    const int64_t next = off + first.frameBytes;
    if (next > end) return false;
    if (next + 4 > end) return true;
    MpegHeader second;
    const uint8_t* h2 = w.at(next, 4);
    return h2 && parseMpegHeader(h2, second) && sameStream(first, second);
}

// Size of the ID3v2 tags at the start, one after another.
int64_t skipId3v2(ByteWindow& w) {
    int64_t off = 0;
    for (;;) {
        const uint8_t* h = w.at(off, 10);
        if (!h || std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xff || h[4] == 0xff) return off;
        if ((h[6] | h[7] | h[8] | h[9]) & 0x80) return off;
        const int64_t size = int64_t{h[6]} << 21 | int64_t{h[7]} << 14 | int64_t{h[8]} << 7 | h[9];
        off += 10 + size + ((h[5] & 0x10) ? 10 : 0);  // footer flag
    }
}

struct InfoTag {
    bool found = false;  // Xing, Info or VBRI: the frame holds no audio
    uint32_t frames = 0;
    uint32_t bytes = 0;
    bool trims = false;  // the encoder wrote its delay and padding
    int delay = 0;
    int padding = 0;
};

InfoTag readInfoTag(ByteWindow& w, int64_t off, const MpegHeader& h) {
    InfoTag tag;
    if (h.layer != 3) return tag;
    const int sideInfo = h.version == 1 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    const uint8_t* f = w.at(off, size_t(h.frameBytes));
    if (!f) return tag;
    const int xing = 4 + sideInfo;
    if (xing + 8 <= h.frameBytes &&
        (std::memcmp(f + xing, "Xing", 4) == 0 || std::memcmp(f + xing, "Info", 4) == 0)) {
        tag.found = true;
        const uint32_t flags = readBe32(f + xing + 4);
        int p = xing + 8;
        if (flags & 1) {
            if (p + 4 > h.frameBytes) return tag;
            tag.frames = readBe32(f + p);
            p += 4;
        }
        if (flags & 2) {
            if (p + 4 > h.frameBytes) return tag;
            tag.bytes = readBe32(f + p);
            p += 4;
        }
        if (flags & 4) p += 100;  // seek table
        if (flags & 8) p += 4;    // quality
        // The encoder's tag: 9 bytes of version, then at +21 the delay and padding.
        if (p + 24 <= h.frameBytes) {
            const uint8_t* v = f + p;
            if (std::memcmp(v, "LAME", 4) == 0 || std::memcmp(v, "Lavf", 4) == 0 ||
                std::memcmp(v, "Lavc", 4) == 0) {
                const uint8_t* d = v + 21;
                tag.trims = true;
                tag.delay = (d[0] << 4) | (d[1] >> 4);
                tag.padding = ((d[1] & 0x0f) << 8) | d[2];
            }
        }
        return tag;
    }
    const int vbri = 4 + 32;
    if (vbri + 18 <= h.frameBytes && std::memcmp(f + vbri, "VBRI", 4) == 0) {
        tag.found = true;
        tag.bytes = readBe32(f + vbri + 10);
        tag.frames = readBe32(f + vbri + 14);
    }
    return tag;
}

// Frames from off to the end, resynchronising over damage and skipping trailing tags.
int64_t countFrames(ByteWindow& w, int64_t off, const MpegHeader& first) {
    const int64_t end = w.size();
    int64_t frames = 0;
    while (off + 4 <= end) {
        MpegHeader h;
        const uint8_t* p = w.at(off, 4);
        if (p && parseMpegHeader(p, h) && sameStream(h, first)) {
            // A last frame cut short still decodes (concealed) as a whole frame.
            ++frames;
            off += h.frameBytes;
            continue;
        }
        // Lost sync: the decoder resynchronises at the next chained frame.
        ++off;
        while (off + 4 <= end) {
            const uint8_t* q = w.at(off, 2);
            if (q && q[0] == 0xff && (q[1] & 0xe0) == 0xe0) {
                MpegHeader probe;
                if (frameChainsAt(w, off, end, probe) && sameStream(probe, first)) break;
            }
            ++off;
        }
    }
    return frames;
}

bool measureMp3(ByteWindow& w, int64_t start, SongLength& out) {
    const int64_t end = w.size();
    MpegHeader first;
    // The first frame must be near the start: a file that only contains sync-like bytes
    // somewhere is left to the general path.
    int64_t off = start;
    const int64_t searchEnd = std::min(end, start + 64 * 1024);
    while (off < searchEnd && !frameChainsAt(w, off, end, first)) ++off;
    if (off >= searchEnd) return false;

    const InfoTag tag = readInfoTag(w, off, first);
    const int64_t audioStart = tag.found ? off + first.frameBytes : off;
    int64_t frames = -1;
    // The tag's frame count stands when the file holds all the bytes it claims.
    if (tag.found && tag.frames > 0 && tag.bytes > 0 && off + int64_t(tag.bytes) <= end &&
        off + int64_t(tag.bytes) + 4096 >= end - 128) {
        frames = tag.frames;
    }
    if (frames < 0) frames = countFrames(w, audioStart, first);
    int64_t samples = frames * first.samples;
    if (tag.trims) {
        // The decoder drops delay + 529 samples at the start and, when the tag gives a
        // frame count, everything from (count * spf - padding + 529) on.
        const int64_t skip = tag.delay + 529;
        int64_t stopAt = samples;
        if (tag.frames > 0)
            stopAt = std::min(stopAt, int64_t(tag.frames) * first.samples - tag.padding + 529);
        samples = std::max<int64_t>(0, stopAt - skip);
    }
    out.kind = SongKind::Mp3;
    out.frames = samples;
    out.rate = first.rate;
    out.ms = framesToMs(samples, first.rate);
    return samples > 0;
}

// ---------------------------------------------------------------- WAV

bool measureWav(ByteWindow& w, SongLength& out) {
    const int64_t end = w.size();
    int64_t off = 12;
    uint16_t blockAlign = 0;
    uint32_t rate = 0;
    bool pcm = false;
    while (off + 8 <= end) {
        const uint8_t* c = w.at(off, 8);
        if (!c) return false;
        const uint32_t len = readLe32(c + 4);
        if (std::memcmp(c, "fmt ", 4) == 0) {
            const uint8_t* f = w.at(off + 8, std::min<uint32_t>(len, 40));
            if (!f || len < 16) return false;
            uint16_t tag = readLe16(f);
            if (tag == 0xfffe && len >= 40) tag = readLe16(f + 24);  // the sub-format GUID
            // Only sample formats whose frames are whole blocks; the rest go the general way.
            pcm = tag == 1 || tag == 3 || tag == 6 || tag == 7;
            rate = readLe32(f + 4);
            blockAlign = readLe16(f + 12);
        } else if (std::memcmp(c, "data", 4) == 0) {
            if (!pcm || blockAlign == 0 || rate == 0) return false;
            int64_t bytes = len;
            const int64_t avail = end - (off + 8);
            // A streaming writer leaves 0 or all ones; a cut file holds less than it says.
            if (len == 0 || len == 0xffffffffu || bytes > avail) bytes = avail;
            out.kind = SongKind::Wav;
            out.frames = bytes / blockAlign;
            out.rate = int32_t(rate);
            out.ms = framesToMs(out.frames, out.rate);
            return out.frames > 0;
        }
        off += 8 + int64_t(len) + (len & 1);
    }
    return false;
}

// ---------------------------------------------------------------- ASF (WMA)

const uint8_t asfHeaderGuid[16] = {0x30, 0x26, 0xb2, 0x75, 0x8e, 0x66, 0xcf, 0x11,
                                   0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c};
const uint8_t asfFilePropsGuid[16] = {0xa1, 0xdc, 0xab, 0x8c, 0x47, 0xa9, 0xcf, 0x11,
                                      0x8e, 0xe4, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65};

// The play duration less the preroll, as the demuxer reports it.
bool measureAsf(ByteWindow& w, SongLength& out) {
    const uint8_t* h = w.at(0, 30);
    if (!h) return false;
    const uint64_t headerSize = readLe64(h + 16);
    const uint32_t objects = readLe32(h + 24);
    int64_t off = 30;
    for (uint32_t i = 0; i < objects && off + 24 <= int64_t(headerSize); ++i) {
        const uint8_t* o = w.at(off, 24);
        if (!o) return false;
        const uint64_t size = readLe64(o + 16);
        if (size < 24) return false;
        if (std::memcmp(o, asfFilePropsGuid, 16) == 0) {
            const uint8_t* p = w.at(off, 104);
            if (!p) return false;
            // A file cut short plays less than its header says: count it instead.
            if (uint64_t(w.size()) < readLe64(p + 40)) return false;
            const uint64_t play100ns = readLe64(p + 64);
            const uint64_t prerollMs = readLe64(p + 80);
            const int64_t ms = int64_t(play100ns / 10000) - int64_t(prerollMs);
            if (ms <= 0 || ms > INT32_MAX) return false;
            out.kind = SongKind::Asf;
            out.ms = int32_t(ms);
            return true;
        }
        off += int64_t(size);
    }
    return false;
}

// ---------------------------------------------------------------- MIDI

bool measureMidi(const InputFile& file, SongLength& out) {
    if (file.size() > (64 << 20)) return false;
    std::vector<uint8_t> bytes(size_t(file.size()));
    if (file.readAt(0, bytes.data(), bytes.size()) != int64_t(bytes.size())) return false;
    MidiSong song;
    if (!parseMidi(bytes.data(), bytes.size(), false, song)) return false;
    out.kind = SongKind::Midi;
    out.midiEndUs = song.endUs();
    out.ms = int32_t(std::min<uint64_t>(out.midiEndUs / 1000, INT32_MAX));
    return out.ms > 0;
}

}  // namespace

int32_t framesToMs(int64_t frames, int32_t rate) {
    if (rate <= 0 || frames <= 0) return 0;
    return int32_t(std::min<int64_t>(frames * 1000 / rate, INT32_MAX));
}

bool measureSong(const std::string& path, SongLength& out) {
    out = SongLength{};
    auto file = InputFile::open(path);
    if (!file) return false;
    bool ok = false;
    {
        ByteWindow w(*file);
        const size_t headLen = size_t(std::min<int64_t>(file->size(), 16));
        const uint8_t* head = w.at(0, headLen);
        if (!head) return false;
        if (looksLikeMidi(head, headLen)) {
            ok = measureMidi(*file, out);
            if (!ok) out = SongLength{};
            return ok;  // FFmpeg does not read MIDI
        }
        if (headLen >= 12 && std::memcmp(head, "RIFF", 4) == 0 &&
            std::memcmp(head + 8, "WAVE", 4) == 0) {
            ok = measureWav(w, out);
        } else if (headLen >= 16 && std::memcmp(head, asfHeaderGuid, 16) == 0) {
            ok = measureAsf(w, out);
        } else {
            ok = measureMp3(w, skipId3v2(w), out);
        }
    }
    if (ok) return true;
    // Everything else: count what the decoder gives.
    out = SongLength{};
    int64_t frames = 0;
    int32_t rate = 0;
    if (!decodedFrameCount(path, frames, rate) || frames <= 0) return false;
    out.kind = SongKind::Other;
    out.frames = frames;
    out.rate = rate;
    out.ms = framesToMs(frames, rate);
    return out.ms > 0;
}

}  // namespace audio
