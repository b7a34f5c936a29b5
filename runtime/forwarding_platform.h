// A run time that passes every call on to another one. Benchmarks and tests derive from it
// to time or answer one or two services and leave the rest to the real run time.
#pragma once

#include <cstdlib>

#include "runtime/runtime.h"

namespace rt {

class ForwardingPlatform : public Platform {
public:
    explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

    CodePage codePage() const override { return inner_.codePage(); }
    char separator() const override { return inner_.separator(); }
    bool createMainWindow(const WindowDesign& d, std::span<const EventBinding> e) override {
        return inner_.createMainWindow(d, e);
    }
    Window& mainWindow() override { return inner_.mainWindow(); }
    void runEventLoop() override { inner_.runEventLoop(); }
    Text executablePath() override { return inner_.executablePath(); }
    Text currentDirectory() override { return inner_.currentDirectory(); }
    bool setCurrentDirectory(const Text& p) override { return inner_.setCurrentDirectory(p); }
    bool pathExists(const Text& p) override { return inner_.pathExists(p); }
    bool writeWholeFile(const Text& p, std::span<const uint8_t> b) override {
        return inner_.writeWholeFile(p, b);
    }
    bool setHiddenAttribute(const Text& p) override { return inner_.setHiddenAttribute(p); }
    uintptr_t loadLibrary(const Text& n) override { return inner_.loadLibrary(n); }
    void* findExport(uintptr_t l, const char* n) override { return inner_.findExport(l, n); }
    void freeLibrary(uintptr_t l) override { inner_.freeLibrary(l); }
    void releaseAll() override { inner_.releaseAll(); }
    uint32_t tickCount() override { return inner_.tickCount(); }
    void errorBox(const Text& t, const Text& x) override { inner_.errorBox(t, x); }
    std::vector<Text> openFileDialog(const FileDialogOptions& o) override {
        return inner_.openFileDialog(o);
    }
    int32_t songLengthMs(const Text& p) override { return inner_.songLengthMs(p); }
    std::vector<int32_t> measureSongLengths(const std::vector<Text>& p) override {
        return inner_.measureSongLengths(p);
    }
    [[noreturn]] void exitProcess(int s) override {
        inner_.exitProcess(s);
        std::abort();  // exitProcess does not return
    }

private:
    Platform& inner_;
};

}  // namespace rt
