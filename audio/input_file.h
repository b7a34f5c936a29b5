// Safe read-only access to a song file by path: only regular, non-empty files are opened,
// and FIFOs, device nodes and directories are refused by stat before anything is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace audio {

class InputFile {
public:
    // Any thread. nullptr when the path is not a readable, non-empty regular file.
    static std::unique_ptr<InputFile> open(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    int64_t size() const { return size_; }
    // Any thread (pread keeps no file offset). Bytes read, 0 at the end, -1 on error.
    int64_t readAt(int64_t offset, void* buffer, size_t n) const;

private:
    InputFile(int fd, int64_t size) : fd_(fd), size_(size) {}
    int fd_;
    int64_t size_;
};

// Buffered random access over an InputFile for header parsing and frame scans: one
// 64 KB window, refilled when a request falls outside it. One thread at a time.
class ByteWindow {
public:
    explicit ByteWindow(const InputFile& file) : file_(file) {}
    // Pointer to n bytes at offset (n <= 64 KB), or nullptr when they run past the end.
    const uint8_t* at(int64_t offset, size_t n);
    int64_t size() const { return file_.size(); }

private:
    static constexpr size_t capacity = 64 * 1024;
    const InputFile& file_;
    std::unique_ptr<uint8_t[]> buf_ = std::make_unique<uint8_t[]>(capacity);
    int64_t start_ = 0;
    size_t filled_ = 0;
};

inline uint32_t readLe32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint16_t readLe16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
inline uint64_t readLe64(const uint8_t* p) {
    return uint64_t{readLe32(p)} | uint64_t{readLe32(p + 4)} << 32;
}
inline uint32_t readBe32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

}  // namespace audio
