#include "platform/MinidumpContext.h"

#include <cstdint>
#include <cstring>

namespace platform {

void ContextFromUcontext(const ucontext_t& uc, minidump::ContextAmd64& out) {
  out = {};
  const greg_t* g = uc.uc_mcontext.gregs;
  out.contextFlags = minidump::kContextFull;
  out.rax = static_cast<std::uint64_t>(g[REG_RAX]);
  out.rbx = static_cast<std::uint64_t>(g[REG_RBX]);
  out.rcx = static_cast<std::uint64_t>(g[REG_RCX]);
  out.rdx = static_cast<std::uint64_t>(g[REG_RDX]);
  out.rsi = static_cast<std::uint64_t>(g[REG_RSI]);
  out.rdi = static_cast<std::uint64_t>(g[REG_RDI]);
  out.rbp = static_cast<std::uint64_t>(g[REG_RBP]);
  out.rsp = static_cast<std::uint64_t>(g[REG_RSP]);
  out.r8 = static_cast<std::uint64_t>(g[REG_R8]);
  out.r9 = static_cast<std::uint64_t>(g[REG_R9]);
  out.r10 = static_cast<std::uint64_t>(g[REG_R10]);
  out.r11 = static_cast<std::uint64_t>(g[REG_R11]);
  out.r12 = static_cast<std::uint64_t>(g[REG_R12]);
  out.r13 = static_cast<std::uint64_t>(g[REG_R13]);
  out.r14 = static_cast<std::uint64_t>(g[REG_R14]);
  out.r15 = static_cast<std::uint64_t>(g[REG_R15]);
  out.rip = static_cast<std::uint64_t>(g[REG_RIP]);
  out.eflags = static_cast<std::uint32_t>(g[REG_EFL]);
  // cs, gs, fs and ss packed into one word, 16 bits each.
  const auto segments = static_cast<std::uint64_t>(g[REG_CSGSFS]);
  out.cs = static_cast<std::uint16_t>(segments & 0xffff);
  out.gs = static_cast<std::uint16_t>((segments >> 16) & 0xffff);
  out.fs = static_cast<std::uint16_t>((segments >> 32) & 0xffff);
  out.ss = static_cast<std::uint16_t>((segments >> 48) & 0xffff);
  if (uc.uc_mcontext.fpregs != nullptr) {
    static_assert(sizeof(*uc.uc_mcontext.fpregs) == sizeof out.fxsave);
    std::memcpy(out.fxsave, uc.uc_mcontext.fpregs, sizeof out.fxsave);
    out.mxCsr = uc.uc_mcontext.fpregs->mxcsr;
  }
}

}  // namespace platform
