#pragma once
// The GNU build-id of an ELF image loaded in memory, read through a caller's
// memory reader so that unreadable addresses fail instead of faulting.
#include <cstddef>
#include <cstdint>

namespace platform {

// Copies size bytes at address into out; false when any of them is unreadable.
using MemoryReadFn = bool (*)(std::uint64_t address, void* out, std::size_t size, void* context);

// Reads the build-id of the image whose ELF header is at base. Returns its
// length (0 when there is none or the header is not a 64-bit ELF); at most
// capacity bytes are copied.
std::size_t ReadElfBuildId(std::uint64_t base, MemoryReadFn read, void* context, std::uint8_t* out,
                           std::size_t capacity);

// This process's own memory, failing on unreadable addresses (process_vm_readv
// on itself). Async-signal-safe.
bool ReadOwnMemory(std::uint64_t address, void* out, std::size_t size, void* context);

}  // namespace platform
