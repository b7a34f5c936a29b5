#include "runtime/qt/posix_services.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <iostream>

namespace rt::qt::posix {

Text executablePath() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) return Text(buffer.data(), n);
        buffer.resize(buffer.size() * 2);  // cut short: try again with more room
    }
}

Text currentDirectory() {
    std::vector<char> buffer(PATH_MAX);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    return Text(buffer.data());
}

bool setCurrentDirectory(const Text& path) {
    return ::chdir(path.empty() ? "/" : path.c_str()) == 0;
}

bool pathExists(const Text& path) {
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

namespace {

bool writeAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Moves from into to unless to exists by then. renameat2 where the file system has it,
// else a hard link (which fails on an existing name) and the removal of the temporary.
bool moveIntoPlace(const Text& from, const Text& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace

bool writeWholeFile(const Text& path, std::span<const uint8_t> bytes) {
    const size_t slash = path.rfind('/');
    const Text name = slash == Text::npos ? path : path.substr(slash + 1);
    if (name.empty()) return false;
    const Text prefix = slash == Text::npos ? Text{} : path.substr(0, slash + 1);
    Text temp = prefix + "." + name + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && moveIntoPlace(temp, path);
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The file's bytes are on disk before its name is, so no crash leaves a partial file
    // at the path. The folder is not synced: a name lost to a power cut only means the
    // file is written again next time.
    return true;
}

bool setHiddenAttribute(const Text& path) {
    return ::chmod(path.c_str(), 0644) == 0;
}

uint32_t tickCount() {
    timespec ts{};
    ::clock_gettime(CLOCK_BOOTTIME, &ts);
    const uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

uintptr_t Libraries::load(const Text& pathOrBareName) {
    void* handle = ::dlopen(pathOrBareName.c_str(), RTLD_NOW);
    if (!handle) return 0;
    handles_.push_back(handle);
    return reinterpret_cast<uintptr_t>(handle);
}

void* Libraries::find(uintptr_t library, const char* name) const {
    if (library == 0) return nullptr;
    return ::dlsym(reinterpret_cast<void*>(library), name);
}

void Libraries::free(uintptr_t library) {
    void* handle = reinterpret_cast<void*>(library);
    const auto it = std::find(handles_.begin(), handles_.end(), handle);
    if (it == handles_.end()) return;  // not ours, or freed already
    handles_.erase(it);
    ::dlclose(handle);
}

void Libraries::releaseAll() {
    // Newest first, as a library loaded later may use an earlier one.
    while (!handles_.empty()) {
        ::dlclose(handles_.back());
        handles_.pop_back();
    }
}

void exitProcess(int status) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    ::_exit(status);
}

}  // namespace rt::qt::posix
