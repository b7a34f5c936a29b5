// The program's skin routines on the sim run time: deployment of the engine file, binding,
// the stack check and the handlers, under both path conventions.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/app.h"
#include "runtime/sim/sim.h"
#include "skins/engine/tunaroskin.h"
#include "skins/skin_binding.h"
#include "skins/skins.h"

namespace {

using rt::sim::Convention;
using rt::sim::ProcessExit;
using rt::sim::SimRuntime;

// ---- engines the sim's libraries hand out

struct AttachCall {
    std::optional<std::vector<uint8_t>> bytes;  // nullopt: a null pointer
    const uint8_t* pointer;
    int32_t length;
    std::optional<std::string> text;
    int32_t a, b, c;
};
std::vector<AttachCall> calls;

extern "C" int32_t TUNAROSKIN_CALL fakeAttach(const uint8_t* bytes, int32_t length,
                                              const char* text, int32_t a, int32_t b, int32_t c) {
    AttachCall call{std::nullopt, bytes, length, std::nullopt, a, b, c};
    if (bytes) call.bytes.emplace(bytes, bytes + (length > 0 ? length : 0));
    if (text) call.text = text;
    calls.push_back(call);
    return 0;
}

// Exports that leave the stack pointer off by 8 bytes either way, as an export built with
// the wrong calling convention would.
extern "C" int32_t popsTooMuch(const uint8_t*, int32_t, const char*, int32_t, int32_t, int32_t);
extern "C" int32_t leavesTooMuch(const uint8_t*, int32_t, const char*, int32_t, int32_t, int32_t);
#if defined(__x86_64__)
asm(R"(
    .text
    .intel_syntax noprefix
popsTooMuch:
    xor eax, eax
    ret 8
leavesTooMuch:
    pop rcx
    sub rsp, 8
    push rcx
    xor eax, eax
    ret
    .att_syntax prefix
)");
#elif defined(__i386__)
// A balanced __stdcall export ends with "ret 24".
asm(R"(
    .text
    .intel_syntax noprefix
popsTooMuch:
    xor eax, eax
    ret 32
leavesTooMuch:
    xor eax, eax
    ret
    .att_syntax prefix
)");
#endif

const std::string exportName = "TunaroSkin_AttachRes";

struct Machine {
    Convention convention;
    std::string exe, dir, engine, bare;
};
void PrintTo(const Machine& m, std::ostream* os) {
    *os << m.exe;
}

const Machine windows{Convention::GbkBackslash, "C:\\Tunaro\\Tunaro.exe", "C:\\Tunaro",
                      "C:\\Tunaro\\TunaroSkin.dll", "TunaroSkin.dll"};
const Machine linuxBox{Convention::Utf8Slash, "/opt/tunaro/tunaro", "/opt/tunaro",
                       "/opt/tunaro/libtunaroskin.so", "libtunaroskin.so"};
// In the root the directory is a bare drive or empty: one separator, never two.
const Machine windowsRoot{Convention::GbkBackslash, "C:\\Tunaro.exe", "C:", "C:\\TunaroSkin.dll",
                          "TunaroSkin.dll"};
const Machine linuxRoot{Convention::Utf8Slash, "/tunaro", "", "/libtunaroskin.so",
                        "libtunaroskin.so"};

std::string bindingFailure(const Machine& m) {
    return app::composeRuntimeError(
        0, "无法找到指定DLL库文件“" + m.bare + "”中的输出命令“" + exportName + "”");
}

class SkinRoutines : public ::testing::TestWithParam<Machine> {
protected:
    void SetUp() override { prepare(sim); }
    // A machine of this kind with the program's folder, installed, nothing bound yet.
    void prepare(SimRuntime& s) {
        calls.clear();
        skins::forgetEngineBinding();
        s.setExecutablePath(m.exe);
        s.addDirectory(m.dir);
        rt::install(&s);
    }
    void TearDown() override { rt::install(nullptr); }

    void engineLoadsFromItsFile() {
        sim.setLibraryForFile(m.engine, {{exportName, (void*)fakeAttach}});
    }
    void engineOnSearchPath() { sim.addLibrary(m.bare, {{exportName, (void*)fakeAttach}}); }

    // Start-up to the shown window; the created event applies skin 2.
    void startUp() { app::startUp(); }
    // Start-up that must end in the run-time error report: the status it ends with.
    std::optional<int> startUpEnds() {
        try {
            app::startUp();
        } catch (const ProcessExit& e) {
            return e.status;
        }
        return std::nullopt;
    }

    int32_t appliedNumber(size_t i) const {
        const auto& bytes = *calls.at(i).bytes;
        return bytes[6] | (bytes[7] << 8);
    }

    const Machine& m = GetParam();
    SimRuntime sim{GetParam().convention};
};

std::vector<uint8_t> imageBytes() {
    const auto image = skins::skinEngineImage();
    return {image.begin(), image.end()};
}

TEST_P(SkinRoutines, NamesTheEngineByTheConvention) {
    EXPECT_EQ(skins::engineFileName(), m.bare);
    engineLoadsFromItsFile();
    app::startUp();
    EXPECT_EQ(skins::enginePath(), m.engine);
}

TEST_P(SkinRoutines, MissingEngineIsWrittenHiddenAndBoundAtTheFirstSkin) {
    engineLoadsFromItsFile();
    startUp();
    EXPECT_EQ(sim.fileBytes(m.engine), imageBytes());
    EXPECT_TRUE(sim.isHidden(m.engine));
    EXPECT_EQ(sim.loadAttempts(), std::vector<std::string>{m.engine});
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(appliedNumber(0), 2);
    EXPECT_GE(sim.windowShownAt(), 0);
}

TEST(SkinImage, IsTheEngineLibrary) {
    const auto image = skins::skinEngineImage();
    ASSERT_GT(image.size(), 4u);
    EXPECT_EQ(std::memcmp(image.data(),
                          "\x7f"
                          "ELF",
                          4),
              0);
    const std::string bytes(image.begin(), image.end());
    EXPECT_NE(bytes.find("TunaroSkin_AttachRes"), std::string::npos);
}

struct Standing {
    const char* what;
    void (*place)(SimRuntime&, const Machine&);
    bool starts;  // whether a proper engine on the search path is then used
};

const Standing standing[] = {
    {"a file that is no library",
     [](SimRuntime& s, const Machine& m) {
         s.addFile(m.engine, {1, 2, 3});
     },
     true},
    {"a directory", [](SimRuntime& s, const Machine& m) { s.addDirectory(m.engine); }, true},
    // The search finds the executable's folder first, and with it the same stray library.
    {"another library",
     [](SimRuntime& s, const Machine& m) {
         s.addFile(m.engine, {7, 7});
         s.setLibraryForFile(m.engine, {{"SomethingElse", (void*)fakeAttach}});
     },
     false},
};

TEST_P(SkinRoutines, AnEntryAtTheEnginePathIsNeverReplaced) {
    for (const Standing& st : standing) {
        SCOPED_TRACE(st.what);
        SimRuntime fresh(m.convention);
        prepare(fresh);
        st.place(fresh, m);
        fresh.addLibrary(m.bare, {{exportName, (void*)fakeAttach}});
        const auto before = fresh.fileBytes(m.engine);

        const std::optional<int> ended = startUpEnds();
        EXPECT_EQ(fresh.fileBytes(m.engine), before);
        EXPECT_FALSE(fresh.isHidden(m.engine));
        EXPECT_TRUE(fresh.pathExists(m.engine));
        EXPECT_EQ(fresh.loadAttempts(), (std::vector<std::string>{m.engine, m.bare}));
        if (st.starts) {
            EXPECT_FALSE(ended);
            EXPECT_EQ(calls.size(), 1u);
        } else {
            EXPECT_EQ(ended, -1);
            ASSERT_EQ(fresh.messageBoxes().size(), 1u);
            EXPECT_EQ(fresh.messageBoxes()[0].text, bindingFailure(m));
            EXPECT_EQ(fresh.loadedLibraryCount(), 0) << "the stray library is released";
        }
    }
    rt::install(&sim);
}

TEST_P(SkinRoutines, UnwritableFolderFallsBackOnTheSearchPath) {
    sim.setFolderWritable(m.dir, false);
    engineOnSearchPath();
    startUp();
    EXPECT_FALSE(sim.pathExists(m.engine));
    EXPECT_EQ(sim.loadAttempts(), (std::vector<std::string>{m.engine, m.bare}));
    EXPECT_EQ(calls.size(), 1u);
}

struct Failure {
    const char* what;
    void (*arrange)(SimRuntime&, const Machine&);
};

const Failure bindingFailures[] = {
    {"unwritable folder, nothing on the search path",
     [](SimRuntime& s, const Machine& m) { s.setFolderWritable(m.dir, false); }},
    {"the written engine lacks the export",
     [](SimRuntime& s, const Machine& m) {
         s.setLibraryForFile(m.engine, {{"TunaroSkin_Other", (void*)fakeAttach}});
     }},
    {"the write breaks off, nothing on the search path",
     [](SimRuntime& s, const Machine&) { s.failWritesAfter(1000); }},
};

TEST_P(SkinRoutines, NoEngineEndsTheProgramBeforeTheWindowIsShown) {
    for (const Failure& f : bindingFailures) {
        SCOPED_TRACE(f.what);
        SimRuntime fresh(m.convention);
        prepare(fresh);
        f.arrange(fresh, m);
        const std::optional<int> ended = startUpEnds();
        EXPECT_EQ(ended, -1);  // 255 as a process status
        ASSERT_EQ(fresh.messageBoxes().size(), 1u);
        EXPECT_EQ(fresh.messageBoxes()[0].title, "错误");
        EXPECT_EQ(fresh.messageBoxes()[0].text, bindingFailure(m));
        EXPECT_EQ(fresh.windowShownAt(), -1);
        EXPECT_TRUE(calls.empty());
        EXPECT_EQ(fresh.loadedLibraryCount(), 0);
    }
    rt::install(&sim);
}

TEST_P(SkinRoutines, AnInterruptedWriteLeavesNoEngineAndTheNextSkinWritesItWhole) {
    sim.failWritesAfter(1000);
    engineOnSearchPath();
    startUp();
    EXPECT_FALSE(sim.pathExists(m.engine));
    EXPECT_EQ(calls.size(), 1u);

    sim.click("按钮_换肤");
    EXPECT_EQ(sim.fileBytes(m.engine), imageBytes());
    EXPECT_TRUE(sim.isHidden(m.engine));
}

TEST_P(SkinRoutines, BindsOnceButLooksForTheFileAtEverySkin) {
    sim.setFolderWritable(m.dir, false);
    engineOnSearchPath();
    startUp();
    ASSERT_FALSE(sim.pathExists(m.engine));

    // The folder becomes writable: the next skin writes the engine, and still the library
    // is neither loaded nor looked up again.
    sim.setFolderWritable(m.dir, true);
    for (int i = 0; i < 5; ++i) sim.click("按钮_换肤");
    EXPECT_EQ(sim.fileBytes(m.engine), imageBytes());
    EXPECT_EQ(sim.loadCount(), 1);
    EXPECT_EQ(sim.loadAttempts().size(), 2u);  // the engine path, then the search
    EXPECT_EQ(calls.size(), 6u);
}

TEST_P(SkinRoutines, UnbalancedEngineEndsWithErrorSix) {
    for (void* unbalanced : {(void*)popsTooMuch, (void*)leavesTooMuch}) {
        SimRuntime fresh(m.convention);
        fresh.setExecutablePath(m.exe);
        fresh.addDirectory(m.dir);
        rt::install(&fresh);
        skins::forgetEngineBinding();
        fresh.setLibraryForFile(m.engine, {{exportName, unbalanced}});
        std::optional<int> ended;
        try {
            app::startUp();
        } catch (const ProcessExit& e) {
            ended = e.status;
        }
        EXPECT_EQ(ended, -1);
        ASSERT_EQ(fresh.messageBoxes().size(), 1u);
        EXPECT_EQ(fresh.messageBoxes()[0].text,
                  app::composeRuntimeError(6, "调用DLL命令后发现堆栈错误"));
        EXPECT_EQ(fresh.windowShownAt(), -1);
    }
    rt::install(&sim);
}

TEST_P(SkinRoutines, PassesAFreshCopyOfTheEntryOrNullForNumbersOutside) {
    engineLoadsFromItsFile();
    startUp();
    for (int32_t n : {1, 17, 33, 0, 34, -1, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(n);
        calls.clear();
        skins::applySkin(n);
        ASSERT_EQ(calls.size(), 1u);
        const AttachCall& c = calls[0];
        const auto entry = skins::skinCatalogue(n);
        if (n >= 1 && n <= skins::skinCount) {
            ASSERT_TRUE(c.bytes);
            EXPECT_EQ(*c.bytes, std::vector<uint8_t>(entry.begin(), entry.end()));
            EXPECT_EQ(c.length, int32_t(entry.size()));
            EXPECT_NE(c.pointer, entry.data()) << "the engine gets a copy, not the catalogue";
        } else {
            EXPECT_FALSE(c.bytes);
            EXPECT_EQ(c.length, 0);
        }
        EXPECT_EQ(c.text, "");
        EXPECT_EQ(c.a, 0);
        EXPECT_EQ(c.b, 0);
        EXPECT_EQ(c.c, 0);
    }
}

TEST_P(SkinRoutines, RandomSkinsAreSeededByTheTickCount) {
    auto draws = [&](uint32_t tick, int count) {
        SimRuntime fresh(m.convention);
        fresh.setExecutablePath(m.exe);
        fresh.addDirectory(m.dir);
        fresh.setTickCount(tick);
        fresh.setLibraryForFile(m.engine, {{exportName, (void*)fakeAttach}});
        rt::install(&fresh);
        skins::forgetEngineBinding();
        calls.clear();
        app::startUp();
        for (int i = 0; i < count; ++i) fresh.click("按钮_换肤");
        std::vector<int32_t> numbers;
        for (size_t i = 1; i < calls.size(); ++i) numbers.push_back(appliedNumber(i));
        rt::install(&sim);
        return numbers;
    };
    // The generator's first draws from seed 1 are 41, 18467 and 6334.
    EXPECT_EQ(draws(1, 3), (std::vector<int32_t>{9, 21, 32}));

    const auto many = draws(123456, 2000);
    EXPECT_EQ(many, draws(123456, 2000));
    EXPECT_NE(many, draws(123457, 2000));
    std::vector<int> seen(skins::skinCount + 2, 0);
    for (int32_t n : many) {
        ASSERT_GE(n, 1);
        ASSERT_LE(n, skins::skinCount);
        ++seen[n];
    }
    for (int n = 1; n <= skins::skinCount; ++n) EXPECT_GT(seen[n], 0) << n;
}

std::string machineName(const ::testing::TestParamInfo<Machine>& info) {
    static const char* const names[] = {"Windows", "Linux", "WindowsRoot", "LinuxRoot"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(Conventions, SkinRoutines,
                         ::testing::Values(windows, linuxBox, windowsRoot, linuxRoot), machineName);

}  // namespace
