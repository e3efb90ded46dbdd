#include "plugin/testhost/stdcall_check.h"

#include "plugin/testhost/host_state.h"

#if defined(__i386__)
// The pushes, the call and the measurement in one place, so that no code the
// compiler arranges sits between them. ESI, which every stdcall callee
// preserves, holds the stack pointer from before the pushes.
extern "C" std::uint32_t TesthostCallStdcall(const void* function, const std::uint32_t* words,
                                              int count, int* imbalance);
asm(R"(
    .text
    .globl _TesthostCallStdcall
_TesthostCallStdcall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl %esp, %esi
    movl 16(%ebp), %ecx
    movl 12(%ebp), %edx
1:  testl %ecx, %ecx
    jz 2f
    pushl -4(%edx,%ecx,4)
    decl %ecx
    jmp 1b
2:  call *8(%ebp)
    movl %esp, %ecx
    subl %esi, %ecx
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    movl %esi, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");


namespace fromsel::testhost {

std::uint32_t CallStdcallMeasured(const void* function, const std::uint32_t* words, int count,
                                  int& imbalance) {
  return TesthostCallStdcall(function, words, count, &imbalance);
}

void StopOnStackFault(const char* name, int pushed, int imbalance) {
  Report("stack: FAILED %s popped %d argument bytes, the host pushed %d", name,
         pushed + imbalance, pushed);
  ExitProcess(kExitStackFault);
}

}  // namespace fromsel::testhost
#endif
