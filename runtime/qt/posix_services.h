// The platform services that need no toolkit, over POSIX: files, the process, shared
// libraries and the clock. Any thread unless a comment says otherwise.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/runtime.h"

namespace rt::qt::posix {

// The running executable's full path (from /proc/self/exe); empty when unreadable.
Text executablePath();
Text currentDirectory();
// An empty path (the directory of an executable in the root) means the root itself.
bool setCurrentDirectory(const Text& path);
// The entry itself, as a directory listing would show it: a dangling link counts.
bool pathExists(const Text& path);
// Writes the bytes to a temporary in the same folder, syncs it and moves it into place
// without replacing an entry that is there by then. The temporary never stays behind.
bool writeWholeFile(const Text& path, std::span<const uint8_t> bytes);
// Linux has no hidden attribute: the nearest plain state is rw-r--r--.
bool setHiddenAttribute(const Text& path);
// Milliseconds since boot, suspend included (CLOCK_BOOTTIME), wrapping at 2^32.
uint32_t tickCount();

// Shared libraries, remembered until freed: dlopen(RTLD_NOW). 0 on failure.
// Window thread only.
class Libraries {
public:
    ~Libraries() { releaseAll(); }
    uintptr_t load(const Text& pathOrBareName);
    void* find(uintptr_t library, const char* name) const;
    void free(uintptr_t library);
    void releaseAll();

private:
    std::vector<void*> handles_;  // window thread only
};

// Flushes the C and C++ streams and ends the process at once with that status.
[[noreturn]] void exitProcess(int status);

}  // namespace rt::qt::posix
