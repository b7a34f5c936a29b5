// The engine's export called with the stack pointer checked around the call.
#pragma once

#include <cstdint>

#include "skins/engine/tunaroskin.h"

extern "C" {
// Calls attach(bytes, length, text, 0, 0, 0), stores its result in *result, and returns
// whether the stack pointer stands after the call where it stood before the arguments
// were pushed. Written in assembly (stack_call.S) on x86-64 and i386; elsewhere no
// argument travels on the stack and the check always holds.
bool tunaro_callAttachChecked(TunaroSkinAttachRes attach, const uint8_t* bytes, int32_t length,
                              const char* text, int32_t* result);
}
