// The callee-saved registers (RBX, RBP, RDI, RSI, R12-R15, XMM6-XMM15) are
// saved, filled with known values for the call and compared afterwards. The
// stack pointer the call was made with is kept just above the argument area,
// so a callee that returns with RSP moved shows as a stack delta.
//
// Frame, from RSP up: 64 bytes of arguments (shadow area and stack
// arguments), the expected RSP, our RBP, XMM6-XMM15, the check's address,
// padding, then the pushed registers.
#include "tests/host/checked_call.h"

asm(R"(
  .macro SPI_SET_XMM n, value
  movabsq $\value, %rcx
  movq %rcx, %xmm\n
  punpcklqdq %xmm\n, %xmm\n
  .endm

  .macro SPI_CHECK_GPR reg, value, bit
  movabsq $\value, %rcx
  cmpq %rcx, %\reg
  je 9f
  orl $\bit, %r10d
9:
  .endm

  .macro SPI_CHECK_XMM n, value, bit
  movabsq $\value, %rcx
  movq %xmm\n, %rax
  cmpq %rcx, %rax
  jne 8f
  movhlps %xmm\n, %xmm0
  movq %xmm0, %rax
  cmpq %rcx, %rax
  je 9f
8:
  orl $\bit, %r10d
9:
  .endm

  .text
  .globl SpiCallChecked
SpiCallChecked:
  pushq %rbp
  movq %rsp, %rbp
  pushq %rbx
  pushq %rsi
  pushq %rdi
  pushq %r12
  pushq %r13
  pushq %r14
  pushq %r15
  subq $264, %rsp
  movups %xmm6, 80(%rsp)
  movups %xmm7, 96(%rsp)
  movups %xmm8, 112(%rsp)
  movups %xmm9, 128(%rsp)
  movups %xmm10, 144(%rsp)
  movups %xmm11, 160(%rsp)
  movups %xmm12, 176(%rsp)
  movups %xmm13, 192(%rsp)
  movups %xmm14, 208(%rsp)
  movups %xmm15, 224(%rsp)
  movq %r9, 240(%rsp)
  movq %rsp, 64(%rsp)
  movq %rbp, 72(%rsp)
  xorl %r10d, %r10d
1:
  cmpq %r8, %r10
  jge 2f
  movq (%rdx,%r10,8), %r11
  movq %r11, (%rsp,%r10,8)
  incq %r10
  jmp 1b
2:
  movq %rcx, %rax
  movabsq $0x5B5B00000000B0B1, %rbx
  movabsq $0x5B5B00000000B0B2, %rbp
  movabsq $0x5B5B00000000B0B3, %rdi
  movabsq $0x5B5B00000000B0B4, %rsi
  movabsq $0x5B5B00000000B0B5, %r12
  movabsq $0x5B5B00000000B0B6, %r13
  movabsq $0x5B5B00000000B0B7, %r14
  movabsq $0x5B5B00000000B0B8, %r15
  SPI_SET_XMM 6, 0x7C7C00000000C0C6
  SPI_SET_XMM 7, 0x7C7C00000000C0C7
  SPI_SET_XMM 8, 0x7C7C00000000C0C8
  SPI_SET_XMM 9, 0x7C7C00000000C0C9
  SPI_SET_XMM 10, 0x7C7C00000000C0CA
  SPI_SET_XMM 11, 0x7C7C00000000C0CB
  SPI_SET_XMM 12, 0x7C7C00000000C0CC
  SPI_SET_XMM 13, 0x7C7C00000000C0CD
  SPI_SET_XMM 14, 0x7C7C00000000C0CE
  SPI_SET_XMM 15, 0x7C7C00000000C0CF
  movq 0(%rsp), %rcx
  movq 8(%rsp), %rdx
  movq 16(%rsp), %r8
  movq 24(%rsp), %r9
  call *%rax
  movq %rax, %r11
  xorl %r10d, %r10d
  SPI_CHECK_GPR rbx, 0x5B5B00000000B0B1, 0x1
  SPI_CHECK_GPR rbp, 0x5B5B00000000B0B2, 0x2
  SPI_CHECK_GPR rdi, 0x5B5B00000000B0B3, 0x4
  SPI_CHECK_GPR rsi, 0x5B5B00000000B0B4, 0x8
  SPI_CHECK_GPR r12, 0x5B5B00000000B0B5, 0x10
  SPI_CHECK_GPR r13, 0x5B5B00000000B0B6, 0x20
  SPI_CHECK_GPR r14, 0x5B5B00000000B0B7, 0x40
  SPI_CHECK_GPR r15, 0x5B5B00000000B0B8, 0x80
  SPI_CHECK_XMM 6, 0x7C7C00000000C0C6, 0x100
  SPI_CHECK_XMM 7, 0x7C7C00000000C0C7, 0x200
  SPI_CHECK_XMM 8, 0x7C7C00000000C0C8, 0x400
  SPI_CHECK_XMM 9, 0x7C7C00000000C0C9, 0x800
  SPI_CHECK_XMM 10, 0x7C7C00000000C0CA, 0x1000
  SPI_CHECK_XMM 11, 0x7C7C00000000C0CB, 0x2000
  SPI_CHECK_XMM 12, 0x7C7C00000000C0CC, 0x4000
  SPI_CHECK_XMM 13, 0x7C7C00000000C0CD, 0x8000
  SPI_CHECK_XMM 14, 0x7C7C00000000C0CE, 0x10000
  SPI_CHECK_XMM 15, 0x7C7C00000000C0CF, 0x20000
  movq %rsp, %rax
  subq 64(%rsp), %rax
  movq 72(%rsp), %rbp
  movq 240(%rsp), %rcx
  movq %rax, 0(%rcx)
  movl %r10d, 8(%rcx)
  movq %r11, %rax
  movups 80(%rsp), %xmm6
  movups 96(%rsp), %xmm7
  movups 112(%rsp), %xmm8
  movups 128(%rsp), %xmm9
  movups 144(%rsp), %xmm10
  movups 160(%rsp), %xmm11
  movups 176(%rsp), %xmm12
  movups 192(%rsp), %xmm13
  movups 208(%rsp), %xmm14
  movups 224(%rsp), %xmm15
  leaq -56(%rbp), %rsp
  popq %r15
  popq %r14
  popq %r13
  popq %r12
  popq %rdi
  popq %rsi
  popq %rbx
  popq %rbp
  ret
)");
