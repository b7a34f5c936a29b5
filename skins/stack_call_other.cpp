// Architectures whose calling convention passes all six arguments in registers: there is
// no argument area on the stack that an export could leave unbalanced.
#if !defined(__x86_64__) && !defined(__i386__)
#include "skins/stack_call.h"

extern "C" bool tunaro_callAttachChecked(TunaroSkinAttachRes attach, const uint8_t* bytes,
                                         int32_t length, const char* text, int32_t* result) {
    *result = attach(bytes, length, text, 0, 0, 0);
    return true;
}
#endif
