#include "audio/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace audio {

std::unique_ptr<InputFile> InputFile::open(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return nullptr;
    struct stat st {};
    // stat first: opening a FIFO or a tape device could block or have side effects.
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    // The path may have been replaced between stat and open.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<InputFile>(new InputFile(fd, st.st_size));
}

InputFile::~InputFile() {
    ::close(fd_);
}

int64_t InputFile::readAt(int64_t offset, void* buffer, size_t n) const {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, out + done, n - done, offset + int64_t(done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? int64_t(done) : -1;
        }
        if (got == 0) break;
        done += size_t(got);
    }
    return int64_t(done);
}

const uint8_t* ByteWindow::at(int64_t offset, size_t n) {
    if (offset < 0 || n > capacity || offset + int64_t(n) > file_.size()) return nullptr;
    if (offset < start_ || offset + int64_t(n) > start_ + int64_t(filled_)) {
        const int64_t got = file_.readAt(offset, buf_.get(), capacity);
        if (got < int64_t(n)) {
            filled_ = 0;
            return nullptr;
        }
        start_ = offset;
        filled_ = size_t(got);
    }
    return buf_.get() + (offset - start_);
}

}  // namespace audio
