#include "platform/MinidumpWriter.h"

#include <cpuid.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <utility>

#include "platform/ElfBuildId.h"
#include "platform/MinidumpContext.h"
#include "platform/MinidumpFile.h"
#include "platform/MinidumpThreads.h"
#include "platform/ProcMaps.h"

namespace platform {

namespace {

constexpr std::size_t kMapsBytes = 2 << 20;
constexpr std::size_t kMaxEntries = 16384;
constexpr std::size_t kMaxModules = 2048;
constexpr std::size_t kMaxBuildId = 64;
// Stack bytes kept per thread, from the stack pointer upwards (the frames a
// backtrace needs are the innermost ones), and the red zone below it.
constexpr std::uint64_t kMaxStackBytes = 512 << 10;
constexpr std::uint64_t kRedZone = 128;

struct Arena {
  char maps[kMapsBytes];
  std::size_t mapsLength;
  MapsEntry entries[kMaxEntries];
  std::size_t entryCount;
  ModuleRange modules[kMaxModules];
  minidump::Module moduleRecords[kMaxModules];
  minidump::Directory directory[MinidumpFile::kMaxStreams];
  ThreadCapture threads[kMaxCapturedThreads];
  minidump::Thread threadRecords[kMaxCapturedThreads];
  minidump::MemoryDescriptor memory[kMaxCapturedThreads];
  std::uint8_t chunk[MinidumpFile::kChunkBytes];
};

Arena* g_arena = nullptr;

void ReadMaps(Arena& arena) {
  arena.mapsLength = 0;
  const int in = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (in >= 0) {
    while (arena.mapsLength < kMapsBytes) {
      const ssize_t got = read(in, arena.maps + arena.mapsLength, kMapsBytes - arena.mapsLength);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      arena.mapsLength += static_cast<std::size_t>(got);
    }
    close(in);
  }
  arena.entryCount = ParseMaps(arena.maps, arena.mapsLength, arena.entries, kMaxEntries);
}

std::uint32_t ParseVersionPart(const char*& at) {
  std::uint32_t value = 0;
  while (*at >= '0' && *at <= '9') value = value * 10 + static_cast<std::uint32_t>(*at++ - '0');
  if (*at == '.') ++at;
  return value;
}

void WriteSystemInfo(MinidumpFile& file, std::uint8_t* chunk) {
  minidump::SystemInfo info{};
  info.processorArchitecture = minidump::kCpuArchitectureAmd64;
  info.platformId = minidump::kPlatformLinux;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) != 0) {
    info.cpuVendorId[0] = ebx;
    info.cpuVendorId[1] = edx;
    info.cpuVendorId[2] = ecx;
  }
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0) {
    info.cpuVersionInformation = eax;
    info.cpuFeatureInformation = edx;
    info.processorLevel = static_cast<std::uint16_t>(((eax >> 8) & 0xf) + ((eax >> 20) & 0xff));
    info.processorRevision = static_cast<std::uint16_t>((((eax >> 4) & 0xf) << 8) | (eax & 0xf));
  }
  cpu_set_t cpus;
  if (sched_getaffinity(0, sizeof cpus, &cpus) == 0) {
    info.numberOfProcessors = static_cast<std::uint8_t>(CPU_COUNT(&cpus) > 255 ? 255 : CPU_COUNT(&cpus));
  }
  utsname names{};
  char description[sizeof names.release + sizeof names.version + 2] = {};
  if (uname(&names) == 0) {
    const char* at = names.release;
    info.majorVersion = ParseVersionPart(at);
    info.minorVersion = ParseVersionPart(at);
    info.buildNumber = ParseVersionPart(at);
    std::size_t length = 0;
    const char* const parts[] = {names.release, " ", names.version};
    for (const char* part : parts) {
      for (const char* c = part; *c != '\0' && length + 1 < sizeof description; ++c) description[length++] = *c;
    }
  }
  info.csdVersionRva = file.AppendString(description, std::strlen(description), chunk);
  file.AddStream(minidump::kSystemInfoStream, file.Append(&info, sizeof info), sizeof info);
}

// Where a thread's stack bytes are: from just below the stack pointer up to
// the end of its mapping (after an overflow the pointer sits in the guard
// page: the stack then starts at the next readable mapping above it).
bool StackRange(const Arena& arena, std::uint64_t sp, std::uint64_t& start, std::uint64_t& size) {
  const std::uint64_t low = sp > kRedZone ? sp - kRedZone : 0;
  long index = FindMapping(arena.entries, arena.entryCount, sp);
  if (index < 0 || !arena.entries[index].readable) {
    index = -1;
    for (std::size_t i = 0; i < arena.entryCount; ++i) {
      if (arena.entries[i].start > sp && arena.entries[i].readable) {
        index = static_cast<long>(i);
        break;
      }
    }
    if (index < 0) return false;
  }
  const MapsEntry& mapping = arena.entries[index];
  start = low < mapping.start ? mapping.start : low;
  const std::uint64_t end = mapping.end - start > kMaxStackBytes ? start + kMaxStackBytes : mapping.end;
  size = end - start;
  return true;
}

void WriteThreads(Arena& arena, std::size_t threadCount, MinidumpFile& file,
                  minidump::LocationDescriptor& crashContext) {
  std::uint32_t records = 0;
  for (std::size_t i = 0; i < threadCount; ++i) {
    const ThreadCapture& thread = arena.threads[i];
    minidump::Thread& record = arena.threadRecords[records];
    record = {};
    record.threadId = static_cast<std::uint32_t>(thread.tid);
    record.threadContext = {sizeof thread.context, file.Append(&thread.context, sizeof thread.context)};
    std::uint64_t start = 0, size = 0;
    if (StackRange(arena, thread.context.rsp, start, size)) {
      record.stack.startOfMemoryRange = start;
      record.stack.memory = {static_cast<std::uint32_t>(size), file.AppendMemory(start, size, arena.chunk)};
    }
    arena.memory[records] = record.stack;
    if (i == 0) crashContext = record.threadContext;
    ++records;
  }
  const std::uint32_t rva = file.AppendUnaligned(&records, sizeof records);
  file.Append(arena.threadRecords, records * sizeof(minidump::Thread));
  file.AddStream(minidump::kThreadListStream, rva,
                 static_cast<std::uint32_t>(sizeof records + records * sizeof(minidump::Thread)));

  // The stacks again as the memory list, where debuggers look memory up.
  std::uint32_t ranges = 0;
  for (std::uint32_t i = 0; i < records; ++i) {
    if (arena.memory[i].memory.dataSize > 0) arena.memory[ranges++] = arena.memory[i];
  }
  const std::uint32_t listRva = file.AppendUnaligned(&ranges, sizeof ranges);
  file.Append(arena.memory, ranges * sizeof(minidump::MemoryDescriptor));
  file.AddStream(minidump::kMemoryListStream, listRva,
                 static_cast<std::uint32_t>(sizeof ranges + ranges * sizeof(minidump::MemoryDescriptor)));
}

void WriteException(const CrashedThread& crash, const minidump::LocationDescriptor& context, MinidumpFile& file) {
  minidump::ExceptionStream stream{};
  stream.threadId = static_cast<std::uint32_t>(crash.tid);
  stream.exceptionRecord.exceptionCode = static_cast<std::uint32_t>(crash.signal);
  stream.exceptionRecord.exceptionFlags = static_cast<std::uint32_t>(crash.code);
  stream.exceptionRecord.exceptionAddress = crash.faultAddress;
  stream.threadContext = context;
  file.AddStream(minidump::kExceptionStream, file.Append(&stream, sizeof stream), sizeof stream);
}

void WriteModules(Arena& arena, MinidumpFile& file) {
  const std::size_t count = CollectModules(arena.entries, arena.entryCount, arena.modules, kMaxModules);
  std::uint8_t buildId[4 + kMaxBuildId];
  for (std::size_t i = 0; i < count; ++i) {
    const ModuleRange& range = arena.modules[i];
    const MapsEntry& entry = arena.entries[range.firstEntry];
    minidump::Module& record = arena.moduleRecords[i];
    record = {};
    record.baseOfImage = range.base;
    record.sizeOfImage = static_cast<std::uint32_t>(range.end - range.base);
    record.moduleNameRva = file.AppendString(entry.path, entry.pathLength, arena.chunk);
    const std::size_t idLength = ReadElfBuildId(range.base, &ReadOwnMemory, nullptr, buildId + 4, kMaxBuildId);
    if (idLength > 0) {
      const std::uint32_t signature = minidump::kCvSignatureElfBuildId;
      std::memcpy(buildId, &signature, 4);
      record.cvRecord = {static_cast<std::uint32_t>(4 + idLength), file.Append(buildId, 4 + idLength)};
    }
  }
  const auto modules = static_cast<std::uint32_t>(count);
  const std::uint32_t rva = file.AppendUnaligned(&modules, sizeof modules);
  file.Append(arena.moduleRecords, count * sizeof(minidump::Module));
  file.AddStream(minidump::kModuleListStream, rva,
                 static_cast<std::uint32_t>(sizeof modules + count * sizeof(minidump::Module)));
}

void WriteLinuxStreams(Arena& arena, MinidumpFile& file) {
  file.AddStream(minidump::kLinuxMaps, file.Append(arena.maps, arena.mapsLength),
                 static_cast<std::uint32_t>(arena.mapsLength));
  const std::pair<std::uint32_t, const char*> files[] = {
      {minidump::kLinuxProcStatus, "/proc/self/status"},
      {minidump::kLinuxCmdLine, "/proc/self/cmdline"},
      {minidump::kLinuxAuxv, "/proc/self/auxv"},
      {minidump::kLinuxCpuInfo, "/proc/cpuinfo"},
      {minidump::kLinuxLsbRelease, "/etc/os-release"},
  };
  for (const auto& [type, path] : files) {
    std::uint32_t size = 0;
    const std::uint32_t rva = file.AppendFile(path, arena.chunk, size);
    if (size > 0) file.AddStream(type, rva, size);
  }
}

}  // namespace

bool MinidumpWriter::Reserve() {
  if (g_arena != nullptr) return true;
  // Every page is backed now (MAP_POPULATE, zero-filled by the kernel in one
  // go, cheaper than touching each) so that a crash under memory pressure
  // still has it.
  void* memory = mmap(nullptr, sizeof(Arena), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (memory == MAP_FAILED) return false;
  g_arena = static_cast<Arena*>(memory);
  return true;
}

bool MinidumpWriter::Write(int fd, const CrashedThread& crash) {
  Arena* arena = g_arena;
  if (arena == nullptr || crash.context == nullptr) return false;
  ReadMaps(*arena);
  arena->threads[0].tid = crash.tid;
  ContextFromUcontext(*crash.context, arena->threads[0].context);
  const std::size_t threadCount =
      1 + CaptureOtherThreads(crash.tid, arena->threads + 1, kMaxCapturedThreads - 1);

  MinidumpFile file(fd, arena->directory);
  WriteSystemInfo(file, arena->chunk);
  minidump::LocationDescriptor crashContext{};
  WriteThreads(*arena, threadCount, file, crashContext);
  WriteException(crash, crashContext, file);
  WriteModules(*arena, file);
  minidump::MiscInfo misc{};
  misc.sizeOfInfo = sizeof misc;
  misc.flags1 = minidump::kMiscInfoProcessId;
  misc.processId = static_cast<std::uint32_t>(getpid());
  file.AddStream(minidump::kMiscInfoStream, file.Append(&misc, sizeof misc), sizeof misc);
  WriteLinuxStreams(*arena, file);
  return file.Finish(static_cast<std::uint32_t>(time(nullptr)));
}

}  // namespace platform
