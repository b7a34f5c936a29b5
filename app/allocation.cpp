// The program's operator new: a failed allocation ends in the run-time error report with
// the size that was asked for. Linked into the executable (and its own test) only.
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

#include "app/app.h"

namespace {

// Given back when an allocation fails, so that composing and showing the report can
// still allocate.
void* reserve = std::malloc(256 * 1024);
std::atomic<bool> reporting{false};
const std::thread::id windowThread = std::this_thread::get_id();  // static init runs on main

[[noreturn]] void allocationFailed(std::size_t size) {
    char text[96];
    std::snprintf(text, sizeof text, "分配 %zu 字节内存失败!", size);
    // A second failure while reporting, or a failure off the window thread (which may
    // not show a window), ends the process without the box.
    if (reporting.exchange(true) || std::this_thread::get_id() != windowThread) {
        const ssize_t ignored = ::write(STDERR_FILENO, text, std::char_traits<char>::length(text));
        (void)ignored;
        ::_exit(255);
    }
    std::free(reserve);
    reserve = nullptr;
    app::reportRuntimeError(0, text);
}

void* allocate(std::size_t size, std::size_t alignment) {
    const std::size_t asked = size;
    if (size == 0) size = 1;
    for (;;) {
        void* p = nullptr;
        if (alignment <= alignof(std::max_align_t)) {
            p = std::malloc(size);
        } else if (::posix_memalign(&p, alignment, size) != 0) {
            p = nullptr;
        }
        if (p) return p;
        const std::new_handler handler = std::get_new_handler();
        if (!handler) allocationFailed(asked);
        handler();
    }
}

void* tryAllocate(std::size_t size, std::size_t alignment) noexcept {
    if (size == 0) size = 1;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
    void* p = nullptr;
    return ::posix_memalign(&p, alignment, size) == 0 ? p : nullptr;
}

}  // namespace

void* operator new(std::size_t size) {
    return allocate(size, 0);
}
void* operator new[](std::size_t size) {
    return allocate(size, 0);
}
void* operator new(std::size_t size, std::align_val_t a) {
    return allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return allocate(size, static_cast<std::size_t>(a));
}
// The nothrow forms keep their promise: the caller is told by a null pointer.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return tryAllocate(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return tryAllocate(size, 0);
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return tryAllocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return tryAllocate(size, static_cast<std::size_t>(a));
}

void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(p);
}
