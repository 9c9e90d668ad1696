#include "platform/ElfBuildId.h"

#include <elf.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstring>

namespace platform {

namespace {

constexpr std::size_t kMaxProgramHeaders = 64;
constexpr std::size_t kMaxNoteBytes = 4096;

// Searches one PT_NOTE segment's bytes for the GNU build-id note.
std::size_t FindBuildIdNote(const std::uint8_t* notes, std::size_t size, std::uint8_t* out,
                            std::size_t capacity) {
  std::size_t at = 0;
  while (at + sizeof(Elf64_Nhdr) <= size) {
    Elf64_Nhdr header;
    std::memcpy(&header, notes + at, sizeof header);
    const std::size_t nameAt = at + sizeof header;
    const std::size_t descAt = nameAt + ((header.n_namesz + 3) & ~3u);
    const std::size_t next = descAt + ((header.n_descsz + 3) & ~3u);
    if (descAt > size || next > size) return 0;
    if (header.n_type == NT_GNU_BUILD_ID && header.n_namesz == 4 &&
        std::memcmp(notes + nameAt, "GNU", 4) == 0) {
      const std::size_t length = header.n_descsz < capacity ? header.n_descsz : capacity;
      std::memcpy(out, notes + descAt, length);
      return length;
    }
    at = next;
  }
  return 0;
}

}  // namespace

std::size_t ReadElfBuildId(std::uint64_t base, MemoryReadFn read, void* context, std::uint8_t* out,
                           std::size_t capacity) {
  Elf64_Ehdr header;
  if (!read(base, &header, sizeof header, context)) return 0;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) return 0;
  if (header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum == 0) return 0;
  Elf64_Phdr phdrs[kMaxProgramHeaders];
  const std::size_t phnum = header.e_phnum < kMaxProgramHeaders ? header.e_phnum : kMaxProgramHeaders;
  if (!read(base + header.e_phoff, phdrs, phnum * sizeof(Elf64_Phdr), context)) return 0;
  // Load bias: where the first loaded segment's file offset 0 ended up.
  std::uint64_t bias = 0;
  bool haveLoad = false;
  for (std::size_t i = 0; i < phnum && !haveLoad; ++i) {
    if (phdrs[i].p_type != PT_LOAD) continue;
    bias = base - (phdrs[i].p_vaddr - phdrs[i].p_offset);
    haveLoad = true;
  }
  if (!haveLoad) return 0;
  std::uint8_t notes[kMaxNoteBytes];
  for (std::size_t i = 0; i < phnum; ++i) {
    if (phdrs[i].p_type != PT_NOTE) continue;
    const std::size_t size = phdrs[i].p_memsz < kMaxNoteBytes ? phdrs[i].p_memsz : kMaxNoteBytes;
    if (!read(bias + phdrs[i].p_vaddr, notes, size, context)) continue;
    const std::size_t length = FindBuildIdNote(notes, size, out, capacity);
    if (length > 0) return length;
  }
  return 0;
}

bool ReadOwnMemory(std::uint64_t address, void* out, std::size_t size, void*) {
  if (size == 0) return true;
  iovec local{out, size};
  iovec remote{reinterpret_cast<void*>(address), size};
  const long copied = syscall(SYS_process_vm_readv, getpid(), &local, 1UL, &remote, 1UL, 0UL);
  return copied == static_cast<long>(size);
}

}  // namespace platform
