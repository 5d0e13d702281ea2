// The stack pointer is saved in a callee-saved register before the arguments
// are pushed; a stdcall callee leaves it there, a cdecl one 4 bytes per
// argument lower. It is restored either way, so a wrong callee cannot harm us.
#include "tests/host/checked_call.h"

asm(R"(
  .text
  .globl _SpiCallChecked
_SpiCallChecked:
  pushl %ebp
  movl %esp, %ebp
  pushl %esi
  pushl %edi
  pushl %ebx
  movl 12(%ebp), %esi
  movl 16(%ebp), %ecx
  movl %esp, %edi
1:
  testl %ecx, %ecx
  jz 2f
  decl %ecx
  pushl (%esi,%ecx,4)
  jmp 1b
2:
  call *8(%ebp)
  movl %esp, %ecx
  subl %edi, %ecx
  movl %edi, %esp
  movl 20(%ebp), %edx
  movl %ecx, (%edx)
  movl $0, 4(%edx)
  popl %ebx
  popl %edi
  popl %esi
  popl %ebp
  ret
)");
