// Deploying the engine library beside the executable, binding its export, applying skins.
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "app/app.h"
#include "runtime/runtime.h"
#include "skins/skin_binding.h"
#include "skins/skins.h"
#include "skins/stack_call.h"

namespace skins {

namespace {

constexpr const char* exportName = "TunaroSkin_AttachRes";

// Bound at the first application and held for the rest of the run. Window thread only.
TunaroSkinAttachRes boundAttach = nullptr;

// The engine path first, then the bare name through the system's library search. A
// library that loads but lacks the export is released and the next name tried, so that a
// stray file at the engine path does not hide a proper engine on the search path.
TunaroSkinAttachRes bindEngine() {
    rt::Platform& platform = rt::platform();
    for (const std::string& name : {enginePath(), engineFileName()}) {
        const uintptr_t library = platform.loadLibrary(name);
        if (!library) continue;
        if (void* found = platform.findExport(library, exportName))
            return reinterpret_cast<TunaroSkinAttachRes>(found);
        platform.freeLibrary(library);
    }
    app::reportRuntimeError(
        0, "无法找到指定DLL库文件“" + engineFileName() + "”中的输出命令“" + exportName + "”");
}

}  // namespace

void forgetEngineBinding() {
    boundAttach = nullptr;
}

std::string engineFileName() {
    // The Windows convention (and its emulation) uses backslashes.
    return rt::platform().separator() == '\\' ? "TunaroSkin.dll" : "libtunaroskin.so";
}

std::string enginePath() {
    return app::executableDirectory() + rt::platform().separator() + engineFileName();
}

void ensureSkinEngine() {
    rt::Platform& platform = rt::platform();
    const std::string path = enginePath();
    // Whatever stands there (a file, another library, a directory) is left as it is.
    if (platform.pathExists(path)) return;
    // The write is atomic, so an interrupted one leaves no partial engine at the path.
    // Failures are silent: binding falls back on the library search.
    platform.writeWholeFile(path, skinEngineImage());
    platform.setHiddenAttribute(path);
}

void applySkin(int32_t n) {
    ensureSkinEngine();

    // The engine reads the bytes only during the call; it gets a copy of its own.
    const std::span<const uint8_t> entry = skinCatalogue(n);  // empty outside 1..33
    std::unique_ptr<uint8_t[]> copy;
    if (!entry.empty()) {
        copy.reset(new (std::nothrow) uint8_t[entry.size()]);
        if (!copy)
            app::reportRuntimeError(0, "分配 " + std::to_string(entry.size()) + " 字节内存失败!");
        std::memcpy(copy.get(), entry.data(), entry.size());
    }

    if (!boundAttach) boundAttach = bindEngine();
    int32_t result = 0;  // the engine's verdict is not ours to act on
    const bool balanced = tunaro_callAttachChecked(boundAttach, copy.get(),
                                                   static_cast<int32_t>(entry.size()), "", &result);
    if (!balanced) app::reportRuntimeError(6, "调用DLL命令后发现堆栈错误");
}

}  // namespace skins
