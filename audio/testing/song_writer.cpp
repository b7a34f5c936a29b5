#include "audio/testing/song_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>

namespace audio::testing {
namespace {

double sample(const Tone& t, int64_t i, int ch) {
    // A slightly different pitch per channel keeps the channels apart.
    const double f = t.frequency * (1.0 + 0.01 * ch);
    const double x = double(i) / t.rate;
    if (t.sweepTo > 0.0) {
        const double glide = (t.sweepTo - t.frequency) / t.seconds;
        return t.amplitude * std::sin(2.0 * M_PI * (f * x + glide * x * x / 2.0));
    }
    return t.amplitude * std::sin(2.0 * M_PI * f * x);
}

bool encode(const std::string& path, const char* muxer, const char* codecName, const Tone& tone,
            int bitrateKbps, int vbrQuality, bool id3v1) {
    const AVCodec* codec = avcodec_find_encoder_by_name(codecName);
    if (!codec) return false;
    AVFormatContext* oc = nullptr;
    if (avformat_alloc_output_context2(&oc, nullptr, muxer, path.c_str()) < 0) return false;
    AVStream* st = avformat_new_stream(oc, nullptr);
    AVCodecContext* c = avcodec_alloc_context3(codec);
    AVFrame* frame = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    bool ok = false;
    do {
        c->sample_rate = tone.rate;
        av_channel_layout_default(&c->ch_layout, tone.channels);
        c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == AV_SAMPLE_FMT_FLTP) c->sample_fmt = *f;
        if (vbrQuality >= 0) {
            c->flags |= AV_CODEC_FLAG_QSCALE;
            c->global_quality = vbrQuality * FF_QP2LAMBDA;
        } else {
            c->bit_rate = int64_t(bitrateKbps) * 1000;
        }
        c->time_base = AVRational{1, tone.rate};
        if (oc->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(c, codec, nullptr) < 0) break;
        if (avcodec_parameters_from_context(st->codecpar, c) < 0) break;
        st->time_base = c->time_base;
        if (avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) break;
        AVDictionary* opts = nullptr;
        if (id3v1) av_dict_set(&opts, "write_id3v1", "1", 0);
        const int hr = avformat_write_header(oc, &opts);
        av_dict_free(&opts);
        if (hr < 0) break;

        const int frameSize = c->frame_size > 0 ? c->frame_size : 1024;
        const int64_t total = int64_t(std::llround(tone.seconds * tone.rate));
        int64_t done = 0;
        bool failed = false;
        auto drain = [&]() {
            while (avcodec_receive_packet(c, pkt) == 0) {
                av_packet_rescale_ts(pkt, c->time_base, st->time_base);
                pkt->stream_index = st->index;
                if (av_interleaved_write_frame(oc, pkt) < 0) failed = true;
            }
        };
        while (done < total && !failed) {
            const int n = int(std::min<int64_t>(frameSize, total - done));
            av_frame_unref(frame);
            frame->nb_samples = (c->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) ||
                                        n == frameSize || done + n < total
                                    ? n
                                    : n;
            frame->format = c->sample_fmt;
            av_channel_layout_copy(&frame->ch_layout, &c->ch_layout);
            frame->sample_rate = c->sample_rate;
            // Encoders without small last frames get the last block padded with silence.
            if (n < frameSize && !(c->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) &&
                !(c->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
                frame->nb_samples = frameSize;
            if (av_frame_get_buffer(frame, 0) < 0) {
                failed = true;
                break;
            }
            for (int ch = 0; ch < tone.channels; ++ch) {
                for (int i = 0; i < frame->nb_samples; ++i) {
                    const double v = i < n ? sample(tone, done + i, ch) : 0.0;
                    if (c->sample_fmt == AV_SAMPLE_FMT_FLTP) {
                        reinterpret_cast<float*>(frame->extended_data[ch])[i] = float(v);
                    } else if (c->sample_fmt == AV_SAMPLE_FMT_S16P) {
                        reinterpret_cast<int16_t*>(frame->extended_data[ch])[i] =
                            int16_t(std::lrint(v * 32767));
                    } else if (c->sample_fmt == AV_SAMPLE_FMT_S16) {
                        reinterpret_cast<int16_t*>(
                            frame->extended_data[0])[i * tone.channels + ch] =
                            int16_t(std::lrint(v * 32767));
                    } else if (c->sample_fmt == AV_SAMPLE_FMT_FLT) {
                        reinterpret_cast<float*>(frame->extended_data[0])[i * tone.channels + ch] =
                            float(v);
                    } else {
                        failed = true;
                    }
                }
            }
            frame->pts = done;
            if (avcodec_send_frame(c, frame) < 0) failed = true;
            drain();
            done += n;
        }
        if (failed) break;
        avcodec_send_frame(c, nullptr);
        drain();
        if (failed || av_write_trailer(oc) < 0) break;
        ok = true;
    } while (false);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&c);
    if (oc->pb) avio_closep(&oc->pb);
    avformat_free_context(oc);
    return ok;
}

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}
void putTag(std::vector<uint8_t>& b, const char* tag) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(tag[i]));
}
void putBytes(std::vector<uint8_t>& b, std::initializer_list<uint8_t> bytes) {
    for (uint8_t v : bytes) b.push_back(v);
}

void putVarLen(std::vector<uint8_t>& b, uint32_t v) {
    uint8_t tmp[5];
    int n = 0;
    tmp[n++] = v & 0x7f;
    while (v >>= 7) tmp[n++] = uint8_t(0x80 | (v & 0x7f));
    while (n) b.push_back(tmp[--n]);
}
void putBe32(std::vector<uint8_t>& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

}  // namespace

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

bool writeMp3(const std::string& path, const Tone& tone, int bitrateKbps, int vbrQuality,
              bool id3v1) {
    return encode(path, "mp3", "libmp3lame", tone, bitrateKbps, vbrQuality, id3v1);
}

bool writeWma(const std::string& path, const Tone& tone, int version, int bitrateKbps) {
    return encode(path, "asf", version == 1 ? "wmav1" : "wmav2", tone, bitrateKbps, -1, false);
}

bool stripInfoFrame(const std::string& path) {
    std::vector<uint8_t> b = readBytes(path);
    size_t off = 0;
    if (b.size() > 10 && std::memcmp(b.data(), "ID3", 3) == 0)
        off = 10 + (size_t(b[6]) << 21 | size_t(b[7]) << 14 | size_t(b[8]) << 7 | b[9]);
    // The info frame is the first frame; the next sync word starts the audio.
    for (size_t i = off + 4; i + 40 < b.size(); ++i) {
        if (b[i] == 0xff && (b[i + 1] & 0xe0) == 0xe0) {
            const uint8_t* f = b.data() + off;
            bool info = false;
            for (int at : {13, 21, 36})
                if (std::memcmp(f + at, "Xing", 4) == 0 || std::memcmp(f + at, "Info", 4) == 0)
                    info = true;
            if (!info) return false;
            b.erase(b.begin() + long(off), b.begin() + long(i));
            return writeBytes(path, b);
        }
    }
    return false;
}

bool writeWav(const std::string& path, const Tone& tone, Pcm format, bool extensible,
              bool trailingChunk) {
    const int bytes = format == Pcm::U8 ? 1 : format == Pcm::S16 ? 2 : format == Pcm::S24 ? 3 : 4;
    const int64_t frames = int64_t(std::llround(tone.seconds * tone.rate));
    std::vector<uint8_t> data;
    data.reserve(size_t(frames * tone.channels * bytes));
    for (int64_t i = 0; i < frames; ++i) {
        for (int ch = 0; ch < tone.channels; ++ch) {
            const double v = sample(tone, i, ch);
            switch (format) {
                case Pcm::U8:
                    data.push_back(uint8_t(std::lrint(128 + v * 127)));
                    break;
                case Pcm::S16:
                    put16(data, uint16_t(int16_t(std::lrint(v * 32767))));
                    break;
                case Pcm::S24: {
                    const int32_t s = int32_t(std::lrint(v * 8388607));
                    data.push_back(uint8_t(s));
                    data.push_back(uint8_t(s >> 8));
                    data.push_back(uint8_t(s >> 16));
                    break;
                }
                case Pcm::S32:
                    put32(data, uint32_t(int32_t(std::lrint(v * 2147483647.0))));
                    break;
                case Pcm::F32: {
                    const float f = float(v);
                    uint32_t u;
                    std::memcpy(&u, &f, 4);
                    put32(data, u);
                    break;
                }
            }
        }
    }
    const uint16_t tag = format == Pcm::F32 ? 3 : 1;
    std::vector<uint8_t> b;
    putTag(b, "RIFF");
    put32(b, 0);  // patched below
    putTag(b, "WAVE");
    putTag(b, "fmt ");
    put32(b, extensible ? 40 : 16);
    put16(b, extensible ? 0xfffe : tag);
    put16(b, uint16_t(tone.channels));
    put32(b, uint32_t(tone.rate));
    put32(b, uint32_t(tone.rate * tone.channels * bytes));
    put16(b, uint16_t(tone.channels * bytes));
    put16(b, uint16_t(bytes * 8));
    if (extensible) {
        put16(b, 22);
        put16(b, uint16_t(bytes * 8));
        put32(b, tone.channels == 1 ? 0x4 : tone.channels == 2 ? 0x3 : (1u << tone.channels) - 1);
        // KSDATAFORMAT_SUBTYPE_PCM / _IEEE_FLOAT
        const uint8_t guidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};
        put16(b, tag);
        b.insert(b.end(), guidTail, guidTail + 14);
    }
    putTag(b, "data");
    put32(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1) b.push_back(0);
    if (trailingChunk) {
        putTag(b, "LIST");
        put32(b, 16);
        putTag(b, "INFO");
        putTag(b, "ISFT");
        put32(b, 4);
        putTag(b, "test");
    }
    const uint32_t riff = uint32_t(b.size() - 8);
    std::memcpy(b.data() + 4, &riff, 4);  // little-endian machine
    return writeBytes(path, b);
}

bool writeMidi(const std::string& path, int format, uint16_t ticksPerQuarter,
               const std::vector<MidiTempo>& tempos, const std::vector<MidiNote>& notes,
               uint32_t endTick) {
    // Events per track as (tick, bytes); the track end is written last.
    std::multimap<uint32_t, std::vector<uint8_t>> tempoTrack, noteTrack;
    for (const MidiTempo& t : tempos) {
        tempoTrack.insert({t.tick,
                           {0xff, 0x51, 0x03, uint8_t(t.usPerQuarter >> 16),
                            uint8_t(t.usPerQuarter >> 8), uint8_t(t.usPerQuarter)}});
    }
    noteTrack.insert({0, {0xc0, 0x00}});  // piano
    for (const MidiNote& n : notes) {
        noteTrack.insert({n.tick, {0x90, n.key, 100}});
        noteTrack.insert({n.tick + n.length, {0x80, n.key, 0}});
    }
    auto track = [&](const std::multimap<uint32_t, std::vector<uint8_t>>& events) {
        std::vector<uint8_t> t;
        uint32_t last = 0;
        for (const auto& [tick, bytes] : events) {
            putVarLen(t, tick - last);
            t.insert(t.end(), bytes.begin(), bytes.end());
            last = tick;
        }
        putVarLen(t, endTick - last);
        putBytes(t, {0xff, 0x2f, 0x00});
        std::vector<uint8_t> chunk;
        putTag(chunk, "MTrk");
        putBe32(chunk, uint32_t(t.size()));
        chunk.insert(chunk.end(), t.begin(), t.end());
        return chunk;
    };
    std::vector<uint8_t> b;
    putTag(b, "MThd");
    putBe32(b, 6);
    const int tracks = format == 0 ? 1 : 2;
    putBytes(b, {0, uint8_t(format), 0, uint8_t(tracks), uint8_t(ticksPerQuarter >> 8),
                 uint8_t(ticksPerQuarter)});
    if (format == 0) {
        auto all = tempoTrack;
        all.insert(noteTrack.begin(), noteTrack.end());
        auto t = track(all);
        b.insert(b.end(), t.begin(), t.end());
    } else {
        auto t0 = track(tempoTrack);
        auto t1 = track(noteTrack);
        b.insert(b.end(), t0.begin(), t0.end());
        b.insert(b.end(), t1.begin(), t1.end());
    }
    return writeBytes(path, b);
}

}  // namespace audio::testing
