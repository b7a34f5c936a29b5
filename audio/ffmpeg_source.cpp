#include "audio/ffmpeg_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <mutex>
#include <vector>

#include "audio/input_file.h"
#include "audio/source.h"

namespace audio {
namespace {

// Damaged streams give many decode errors in a row; past this many the stream ends.
constexpr int maxErrorsInARow = 200;

// Reads go through our own descriptor: the file was checked to be a regular file, and
// FFmpeg never opens a path, a protocol or a second file by itself.
struct AvioFile {
    std::unique_ptr<InputFile> file;
    int64_t pos = 0;

    static int read(void* opaque, uint8_t* buf, int n) {
        auto* self = static_cast<AvioFile*>(opaque);
        const int64_t got = self->file->readAt(self->pos, buf, size_t(n));
        if (got < 0) return AVERROR(EIO);
        if (got == 0) return AVERROR_EOF;
        self->pos += got;
        return int(got);
    }
    static int64_t seek(void* opaque, int64_t offset, int whence) {
        auto* self = static_cast<AvioFile*>(opaque);
        const int64_t size = self->file->size();
        switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE:
                return size;
            case SEEK_SET:
                break;
            case SEEK_CUR:
                offset += self->pos;
                break;
            case SEEK_END:
                offset += size;
                break;
            default:
                return -1;
        }
        if (offset < 0) return -1;
        self->pos = offset;
        return offset;
    }
};

int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// One open file: demuxer, the best audio stream and its decoder. One thread at a time.
class Decoder {
public:
    ~Decoder() { reset(); }

    bool open(const std::string& path) {
        static std::once_flag quiet;
        // Damaged files make the decoders chatty; failures show in results, not on stderr.
        std::call_once(quiet, [] { av_log_set_level(AV_LOG_FATAL); });
        reset();
        io_.file = InputFile::open(path);
        if (!io_.file) return false;
        io_.pos = 0;
        constexpr int bufSize = 32 * 1024;
        auto* buf = static_cast<uint8_t*>(av_malloc(bufSize));
        if (!buf) return false;
        avio_ =
            avio_alloc_context(buf, bufSize, 0, &io_, &AvioFile::read, nullptr, &AvioFile::seek);
        if (!avio_) {
            av_free(buf);
            return false;
        }
        fmt_ = avformat_alloc_context();
        if (!fmt_) return false;
        fmt_->pb = avio_;
        fmt_->flags |= AVFMT_FLAG_CUSTOM_IO;
        fmt_->io_open = &refuseNestedOpen;
        // Bounded probing: junk must not make open read the whole file.
        fmt_->probesize = 1 << 20;
        fmt_->max_analyze_duration = 5 * AV_TIME_BASE;
        if (avformat_open_input(&fmt_, nullptr, nullptr, nullptr) < 0) {
            fmt_ = nullptr;  // freed by avformat_open_input
            return false;
        }
        if (avformat_find_stream_info(fmt_, nullptr) < 0) return false;
        const AVCodec* codec = nullptr;
        stream_ = av_find_best_stream(fmt_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream_ < 0 || !codec) return false;
        for (unsigned i = 0; i < fmt_->nb_streams; ++i) {
            if (int(i) != stream_) fmt_->streams[i]->discard = AVDISCARD_ALL;
        }
        ctx_ = avcodec_alloc_context3(codec);
        if (!ctx_) return false;
        if (avcodec_parameters_to_context(ctx_, fmt_->streams[stream_]->codecpar) < 0) return false;
        ctx_->thread_count = 1;
        if (avcodec_open2(ctx_, codec, nullptr) < 0) return false;
        if (ctx_->sample_rate <= 0 || ctx_->ch_layout.nb_channels <= 0) return false;
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        return packet_ && frame_;
    }

    int rate() const { return ctx_->sample_rate; }

    // The next decoded frame, or nullptr at the end of the stream.
    AVFrame* next() {
        int errors = 0;
        while (!ended_) {
            const int r = avcodec_receive_frame(ctx_, frame_);
            if (r == 0) {
                if (frame_->nb_samples > 0) return frame_;
                continue;
            }
            if (r == AVERROR_EOF) break;
            if (r != AVERROR(EAGAIN) && ++errors > maxErrorsInARow) break;
            if (draining_) break;
            const int rr = av_read_frame(fmt_, packet_);
            if (rr < 0) {
                // End of file or a read error: drain what the decoder holds.
                draining_ = true;
                avcodec_send_packet(ctx_, nullptr);
                continue;
            }
            if (packet_->stream_index == stream_) {
                if (avcodec_send_packet(ctx_, packet_) < 0 && ++errors > maxErrorsInARow) {
                    av_packet_unref(packet_);
                    break;
                }
            }
            av_packet_unref(packet_);
        }
        ended_ = true;
        return nullptr;
    }

private:
    void reset() {
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&ctx_);
        if (fmt_) avformat_close_input(&fmt_);
        if (avio_) {
            av_freep(&avio_->buffer);
            avio_context_free(&avio_);
        }
        io_.file.reset();
        stream_ = -1;
        ended_ = draining_ = false;
    }

    AvioFile io_;
    AVIOContext* avio_ = nullptr;
    AVFormatContext* fmt_ = nullptr;
    AVCodecContext* ctx_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    bool ended_ = false;
    bool draining_ = false;
};

class FfmpegSource final : public Source {
public:
    explicit FfmpegSource(std::string path) : path_(std::move(path)) {}
    ~FfmpegSource() override {
        swr_free(&swr_);
        av_channel_layout_uninit(&inLayout_);
    }

    bool openDecoder(const SongLength& length) {
        if (!dec_.open(path_)) return false;
        nativeRate_ = dec_.rate();
        // Formats measured in ms alone (ASF) end at the first frame at or past the length.
        total_ = length.frames > 0 && length.rate == nativeRate_
                     ? length.frames
                     : (int64_t(length.ms) * nativeRate_ + 999) / 1000;
        return total_ > 0;
    }

    bool start(int32_t outRate, int32_t ms) override {
        outRate_ = outRate;
        pending_.clear();
        pendingRead_ = 0;
        finished_ = false;
        swr_free(&swr_);
        // Always from the top, decoding and dropping up to the target: the demuxers' own
        // seeking lands tens of ms off in VBR MP3 and WMA, counting lands on the sample,
        // and decoding runs at a thousand times real time or more.
        if (!dec_.open(path_)) {
            finished_ = true;
            return false;
        }
        pos_ = 0;
        skipTo_ = std::min<int64_t>(int64_t(std::max(ms, 0)) * nativeRate_ / 1000, total_);
        return true;
    }

    size_t read(float* out, size_t maxFrames) override {
        // Drop what was read before: the leftover is less than one decoded frame, so the
        // buffer stays the size of one read.
        pending_.erase(pending_.begin(), pending_.begin() + long(pendingRead_ * 2));
        pendingRead_ = 0;
        while (pendingFrames() < maxFrames && !finished_) {
            if (interrupted && interrupted()) break;
            decodeMore();
        }
        const size_t n = std::min(maxFrames, pendingFrames());
        std::copy_n(pending_.data(), n * 2, out);
        pendingRead_ = n;
        return n;
    }

private:
    size_t pendingFrames() const { return pending_.size() / 2 - pendingRead_; }

    void decodeMore() {
        AVFrame* f = pos_ < total_ ? dec_.next() : nullptr;
        if (!f) {
            finish();
            return;
        }
        int64_t first = 0;  // samples of this frame to drop
        int64_t n = f->nb_samples;
        if (skipTo_ > pos_) {
            // Towards the start position: count samples exactly.
            const int64_t drop = std::min<int64_t>(n, skipTo_ - pos_);
            pos_ += drop;
            first = drop;
            if (first == n) return;
        }
        n -= first;
        n = std::min<int64_t>(n, total_ - pos_);
        if (n <= 0) {
            finish();
            return;
        }
        convert(f, int(first), int(n));
        pos_ += n;
    }

    void convert(AVFrame* f, int first, int n) {
        if (!swr_ || f->format != inFormat_ || f->sample_rate != inRate_ ||
            av_channel_layout_compare(&f->ch_layout, &inLayout_) != 0) {
            if (!configure(f)) {
                finished_ = true;
                return;
            }
        }
        const int bps = av_get_bytes_per_sample(AVSampleFormat(f->format));
        const bool planar = av_sample_fmt_is_planar(AVSampleFormat(f->format));
        const int ch = f->ch_layout.nb_channels;
        const uint8_t* in[AV_NUM_DATA_POINTERS] = {};
        if (planar) {
            for (int c = 0; c < ch && c < AV_NUM_DATA_POINTERS; ++c)
                in[c] = f->extended_data[c] + size_t(first) * bps;
        } else {
            in[0] = f->extended_data[0] + size_t(first) * bps * ch;
        }
        appendConverted(in, n);
    }

    void appendConverted(const uint8_t** in, int n) {
        const int room = swr_get_out_samples(swr_, n);
        if (room <= 0) return;
        const size_t old = pending_.size();
        pending_.resize(old + size_t(room) * 2);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(pending_.data() + old)};
        const int got = swr_convert(swr_, out, room, in, n);
        pending_.resize(old + size_t(std::max(got, 0)) * 2);
    }

    bool configure(const AVFrame* f) {
        swr_free(&swr_);
        av_channel_layout_uninit(&inLayout_);
        AVChannelLayout in{};
        if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || f->ch_layout.nb_channels <= 0)
            av_channel_layout_default(&in, std::max(1, f->ch_layout.nb_channels));
        else
            av_channel_layout_copy(&in, &f->ch_layout);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        const int r = swr_alloc_set_opts2(&swr_, &stereo, AV_SAMPLE_FMT_FLT, outRate_, &in,
                                          AVSampleFormat(f->format), f->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        if (r < 0 || !swr_) return false;
        if (f->ch_layout.nb_channels == 1) {
            // A mono source plays at full level on both sides.
            av_opt_set_double(swr_, "center_mix_level", 1.0, 0);
        }
        if (swr_init(swr_) < 0) {
            swr_free(&swr_);
            return false;
        }
        inFormat_ = f->format;
        inRate_ = f->sample_rate;
        av_channel_layout_copy(&inLayout_, &f->ch_layout);
        return true;
    }

    void finish() {
        if (finished_) return;
        finished_ = true;
        if (swr_) appendConverted(nullptr, 0);  // the resampler's tail
        // A decoder that ends short of the measured length is filled with silence, at most
        // one second, so that the end of play and the length agree.
        if (pos_ < total_) {
            const int64_t pad = std::min<int64_t>(total_ - pos_, nativeRate_);
            const int64_t outPad = pad * outRate_ / nativeRate_;
            pending_.resize(pending_.size() + size_t(outPad) * 2, 0.0f);
            pos_ += pad;
        }
    }

    std::string path_;
    Decoder dec_;
    SwrContext* swr_ = nullptr;
    int inFormat_ = -1;
    int inRate_ = 0;
    AVChannelLayout inLayout_{};
    int32_t nativeRate_ = 0;
    int32_t outRate_ = 0;
    int64_t total_ = 0;   // native frames to play from the start
    int64_t pos_ = 0;     // native frames passed so far
    int64_t skipTo_ = 0;  // native frames to drop before output resumes
    bool finished_ = false;
    std::vector<float> pending_;  // converted, not yet read
    size_t pendingRead_ = 0;
};

}  // namespace

bool decodedFrameCount(const std::string& path, int64_t& frames, int32_t& rate) {
    frames = 0;
    rate = 0;
    Decoder dec;
    if (!dec.open(path)) return false;
    rate = dec.rate();
    while (AVFrame* f = dec.next()) frames += f->nb_samples;
    return true;
}

std::unique_ptr<Source> openFfmpegSource(const std::string& path, const SongLength& length) {
    auto s = std::make_unique<FfmpegSource>(path);
    if (!s->openDecoder(length)) return nullptr;
    return s;
}

}  // namespace audio
