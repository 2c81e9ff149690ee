#include "stack_probe.h"

#include <vector>

// ProbeCall(function, arguments, count, &removed): pushes the count arguments right to left,
// calls the function, and stores how many of the pushed bytes were gone when it returned. The
// stack pointer is then restored whatever the function did, and EDX:EAX is handed back as the
// result.
extern "C" ULONGLONG ProbeCall(FARPROC function, const DWORD* arguments, DWORD count,
                               DWORD* removed);

asm(R"(
    .text
    .globl _ProbeCall
    .def _ProbeCall; .scl 2; .type 32; .endef
_ProbeCall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl %esp, %esi          # the stack pointer before the arguments
    movl 16(%ebp), %ecx
    movl 12(%ebp), %edi
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edi,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    movl %esi, %ecx
    subl %esp, %ecx          # argument bytes still on the stack
    movl %esi, %esp
    movl 16(%ebp), %ebx
    shll $2, %ebx
    subl %ecx, %ebx          # argument bytes the function removed
    movl 20(%ebp), %edi
    movl %ebx, (%edi)
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

ProbedCall CallAndMeasure(FARPROC function, std::initializer_list<DWORD> arguments) {
  const std::vector<DWORD> slots(arguments);
  ProbedCall call;
  call.result =
      ProbeCall(function, slots.data(), static_cast<DWORD>(slots.size()), &call.bytesRemoved);
  return call;
}
