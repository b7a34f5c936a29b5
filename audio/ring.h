// A lock-free single-producer/single-consumer ring of interleaved stereo float frames.
// The decode thread writes, the output callback reads; indices only ever grow.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace audio {

class FrameRing {
public:
    // capacity: frames, a power of two.
    explicit FrameRing(size_t capacity)
        : buf_(std::make_unique<float[]>(capacity * 2)), capacity_(capacity) {}

    // Producer only.
    size_t writable() const {
        return capacity_ - size_t(write_.load(std::memory_order_relaxed) -
                                  read_.load(std::memory_order_acquire));
    }
    // Producer only. Copies up to frames, returns how many fitted.
    size_t write(const float* in, size_t frames) {
        const uint64_t w = write_.load(std::memory_order_relaxed);
        const size_t n = std::min(frames, writable());
        for (size_t i = 0; i < n; ++i) {
            const size_t at = size_t((w + i) & (capacity_ - 1)) * 2;
            buf_[at] = in[i * 2];
            buf_[at + 1] = in[i * 2 + 1];
        }
        write_.store(w + n, std::memory_order_release);
        return n;
    }
    // Producer, or any thread for a snapshot.
    uint64_t writeIndex() const { return write_.load(std::memory_order_acquire); }

    // Consumer only.
    uint64_t readIndex() const { return read_.load(std::memory_order_relaxed); }
    // Consumer only. Copies up to frames, returns how many there were.
    size_t read(float* out, size_t frames) {
        const uint64_t r = read_.load(std::memory_order_relaxed);
        const size_t avail = size_t(write_.load(std::memory_order_acquire) - r);
        const size_t n = std::min(frames, avail);
        for (size_t i = 0; i < n; ++i) {
            const size_t at = size_t((r + i) & (capacity_ - 1)) * 2;
            out[i * 2] = buf_[at];
            out[i * 2 + 1] = buf_[at + 1];
        }
        read_.store(r + n, std::memory_order_release);
        return n;
    }
    // Consumer only. Drops everything before index (which the producer has written).
    void skipTo(uint64_t index) { read_.store(index, std::memory_order_release); }

private:
    std::unique_ptr<float[]> buf_;
    const size_t capacity_;
    alignas(64) std::atomic<uint64_t> write_{0};  // producer's
    alignas(64) std::atomic<uint64_t> read_{0};   // consumer's
};

}  // namespace audio
