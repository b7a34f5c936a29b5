// The skin engine's one export, as the player calls it.
//
// TunaroSkin_AttachRes(bytes, length, text, 0, 0, 0) restyles the whole application with
// the ".TSK" skin in bytes[0..length) (see tsk_format.h): the application's palette and
// style sheet, so every window and dialog takes it. (null, 0) restores the look the
// application had before the first skin. The bytes are read only during the call. The
// text and the three integers are reserved; the player passes "", 0, 0, 0.
// Returns 0 when the skin was taken, else a skins::tsk::Status value; a refused skin
// changes nothing. Call it on the application's thread.
//
// Calling convention: the platform's C convention on x86-64; __stdcall on i386 (the callee
// removes its 24 bytes of arguments), the same on Linux and on Windows, so the player's
// stack check has one rule there: the stack stands where it stood before the pushes.
#pragma once

#include <cstdint>

#if defined(__i386__)
#define TUNAROSKIN_CALL __attribute__((stdcall))
#else
#define TUNAROSKIN_CALL
#endif

extern "C" {
using TunaroSkinAttachRes = int32_t(TUNAROSKIN_CALL*)(const uint8_t* bytes, int32_t length,
                                                      const char* text, int32_t, int32_t, int32_t);

__attribute__((visibility("default"))) int32_t TUNAROSKIN_CALL
TunaroSkin_AttachRes(const uint8_t* bytes, int32_t length, const char* text, int32_t reserved1,
                     int32_t reserved2, int32_t reserved3);
}
