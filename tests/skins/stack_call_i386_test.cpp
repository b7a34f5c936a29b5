// The stack check of the 32-bit x86 build, built with -m32 beside the 64-bit tests (no
// GoogleTest there): a __stdcall export passes, one that removes too few or too many
// bytes of its arguments does not.
#include <cstdio>
#include <cstring>

#include "skins/stack_call.h"

#if !defined(__i386__)
#error "build with -m32"
#endif

extern "C" {
int32_t removesNone(const uint8_t*, int32_t, const char*, int32_t, int32_t, int32_t);
int32_t removesTooMany(const uint8_t*, int32_t, const char*, int32_t, int32_t, int32_t);
}
// A cdecl export leaves its 24 bytes for the caller; one that pops 28 takes too much.
asm(R"(
    .text
    .intel_syntax noprefix
removesNone:
    mov eax, 7
    ret
removesTooMany:
    mov eax, 7
    ret 28
    .att_syntax prefix
)");

struct Seen {
    const uint8_t* bytes;
    int32_t length;
    const char* text;
    int32_t a, b, c;
} seen;

extern "C" int32_t TUNAROSKIN_CALL balanced(const uint8_t* bytes, int32_t length, const char* text,
                                            int32_t a, int32_t b, int32_t c) {
    seen = {bytes, length, text, a, b, c};
    return 42;
}

int main() {
    int failures = 0;
    auto expect = [&](bool ok, const char* what) {
        if (!ok) {
            std::printf("FAILED: %s\n", what);
            ++failures;
        }
    };
    const uint8_t skin[] = {'.', 'T', 'S', 'K'};
    int32_t result = 0;
    expect(tunaro_callAttachChecked(balanced, skin, 4, "", &result), "a stdcall export balances");
    expect(result == 42, "its result comes back");
    expect(seen.bytes == skin && seen.length == 4 && seen.text && !std::strcmp(seen.text, "") &&
               seen.a == 0 && seen.b == 0 && seen.c == 0,
           "the six arguments arrive in order");

    auto noneFn = reinterpret_cast<TunaroSkinAttachRes>(reinterpret_cast<void*>(removesNone));
    auto manyFn = reinterpret_cast<TunaroSkinAttachRes>(reinterpret_cast<void*>(removesTooMany));
    expect(!tunaro_callAttachChecked(noneFn, nullptr, 0, "", &result),
           "an export that leaves its arguments is caught");
    expect(result == 7, "and its result still comes back");
    expect(!tunaro_callAttachChecked(manyFn, nullptr, 0, "", &result),
           "an export that removes too much is caught");
    std::printf("%s\n", failures ? "stack check i386: FAILED" : "stack check i386: passed");
    return failures ? 1 : 0;
}
