// bool tunaro_callAttachChecked(attach, bytes, length, text, result): see stack_call.h.
// The expected stack pointer is kept relative to the frame pointer, which the callee must
// preserve; a guard gap below the saved registers means an export that removes a few
// bytes too many eats padding, not our saved state.

#if defined(__x86_64__)
    .intel_syntax noprefix
    .text
    .p2align 4
    .globl tunaro_callAttachChecked
    .hidden tunaro_callAttachChecked
    .type tunaro_callAttachChecked, @function
// rdi attach, rsi bytes, edx length, rcx text, r8 result.
tunaro_callAttachChecked:
    .cfi_startproc
    push rbp
    .cfi_def_cfa_offset 16
    .cfi_offset rbp, -16
    mov rbp, rsp
    .cfi_def_cfa_register rbp
    push r12
    .cfi_offset r12, -24
    sub rsp, 24                 // guard gap; rsp is 16-byte aligned at the call
    mov r12, r8
    mov rax, rdi
    mov rdi, rsi                // bytes
    mov esi, edx                // length
    mov rdx, rcx                // text
    xor ecx, ecx                // the three zeros
    xor r8d, r8d
    xor r9d, r9d
    call rax
    mov dword ptr [r12], eax
    lea rcx, [rbp - 32]         // where rsp stood before the call
    xor eax, eax
    cmp rsp, rcx
    sete al
    mov r12, qword ptr [rbp - 8]
    mov rsp, rbp
    pop rbp
    .cfi_def_cfa rsp, 8
    ret
    .cfi_endproc
    .size tunaro_callAttachChecked, . - tunaro_callAttachChecked

#elif defined(__i386__)
    .intel_syntax noprefix
    .text
    .p2align 4
    .globl tunaro_callAttachChecked
    .hidden tunaro_callAttachChecked
    .type tunaro_callAttachChecked, @function
// cdecl: [ebp+8] attach, [ebp+12] bytes, [ebp+16] length, [ebp+20] text, [ebp+24] result.
// The export is __stdcall (tunaroskin.h): it removes its own 24 bytes of arguments, so
// after the call esp must be back where it was before the six pushes.
tunaro_callAttachChecked:
    .cfi_startproc
    push ebp
    .cfi_def_cfa_offset 8
    .cfi_offset ebp, -8
    mov ebp, esp
    .cfi_def_cfa_register ebp
    push esi
    .cfi_offset esi, -12
    sub esp, 12                 // guard gap; esp is 16-byte aligned at the call
    mov esi, dword ptr [ebp + 24]
    mov eax, dword ptr [ebp + 8]
    push 0
    push 0
    push 0
    push dword ptr [ebp + 20]   // text
    push dword ptr [ebp + 16]   // length
    push dword ptr [ebp + 12]   // bytes
    call eax
    mov dword ptr [esi], eax
    lea ecx, [ebp - 16]         // where esp stood before the pushes
    xor eax, eax
    cmp esp, ecx
    sete al
    mov esi, dword ptr [ebp - 4]
    mov esp, ebp
    pop ebp
    .cfi_def_cfa esp, 4
    ret
    .cfi_endproc
    .size tunaro_callAttachChecked, . - tunaro_callAttachChecked
#endif

#if defined(__ELF__)
    .section .note.GNU-stack, "", @progbits
#endif
