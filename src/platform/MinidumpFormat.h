#pragma once
// Record layouts of the published minidump format (MDMP), as debuggers and
// crash tools read them: little-endian, packed, offsets ("RVA") counted from
// the start of the file. Only the records this program writes are here.
#include <cstddef>
#include <cstdint>

namespace minidump {

inline constexpr std::uint32_t kSignature = 0x504d444d;  // "MDMP"
inline constexpr std::uint32_t kVersion = 0xa793;

enum StreamType : std::uint32_t {
  kThreadListStream = 3,
  kModuleListStream = 4,
  kMemoryListStream = 5,
  kExceptionStream = 6,
  kSystemInfoStream = 7,
  kMiscInfoStream = 15,
  // Linux streams: raw copies of the /proc files crash tools read.
  kLinuxCpuInfo = 0x47670003,
  kLinuxProcStatus = 0x47670004,
  kLinuxLsbRelease = 0x47670005,
  kLinuxCmdLine = 0x47670006,
  kLinuxEnviron = 0x47670007,
  kLinuxAuxv = 0x47670008,
  kLinuxMaps = 0x47670009,
};

inline constexpr std::uint16_t kCpuArchitectureAmd64 = 9;
inline constexpr std::uint32_t kPlatformLinux = 0x8201;
// CodeView record of an ELF module: this signature ("BpEL") followed by the
// module's whole build-id.
inline constexpr std::uint32_t kCvSignatureElfBuildId = 0x4270454c;

// AMD64 context: flags of the parts a record fills in.
inline constexpr std::uint32_t kContextAmd64 = 0x00100000;
inline constexpr std::uint32_t kContextControl = kContextAmd64 | 0x1;
inline constexpr std::uint32_t kContextInteger = kContextAmd64 | 0x2;
inline constexpr std::uint32_t kContextSegments = kContextAmd64 | 0x4;
inline constexpr std::uint32_t kContextFloatingPoint = kContextAmd64 | 0x8;
inline constexpr std::uint32_t kContextFull =
    kContextControl | kContextInteger | kContextSegments | kContextFloatingPoint;

#pragma pack(push, 4)

struct LocationDescriptor {
  std::uint32_t dataSize;
  std::uint32_t rva;
};

struct MemoryDescriptor {
  std::uint64_t startOfMemoryRange;
  LocationDescriptor memory;
};

struct Header {
  std::uint32_t signature;
  std::uint32_t version;
  std::uint32_t numberOfStreams;
  std::uint32_t streamDirectoryRva;
  std::uint32_t checksum;
  std::uint32_t timeDateStamp;
  std::uint64_t flags;
};

struct Directory {
  std::uint32_t streamType;
  LocationDescriptor location;
};

struct Thread {
  std::uint32_t threadId;
  std::uint32_t suspendCount;
  std::uint32_t priorityClass;
  std::uint32_t priority;
  std::uint64_t teb;
  MemoryDescriptor stack;
  LocationDescriptor threadContext;
};

struct FixedFileInfo {
  std::uint32_t words[13];
};

struct Module {
  std::uint64_t baseOfImage;
  std::uint32_t sizeOfImage;
  std::uint32_t checksum;
  std::uint32_t timeDateStamp;
  std::uint32_t moduleNameRva;
  FixedFileInfo versionInfo;
  LocationDescriptor cvRecord;
  LocationDescriptor miscRecord;
  std::uint64_t reserved0;
  std::uint64_t reserved1;
};

struct ExceptionRecord {
  std::uint32_t exceptionCode;   // the signal number
  std::uint32_t exceptionFlags;  // the signal's si_code
  std::uint64_t exceptionRecord;
  std::uint64_t exceptionAddress;  // the fault address
  std::uint32_t numberParameters;
  std::uint32_t unusedAlignment;
  std::uint64_t exceptionInformation[15];
};

struct ExceptionStream {
  std::uint32_t threadId;
  std::uint32_t alignment;
  ExceptionRecord exceptionRecord;
  LocationDescriptor threadContext;
};

struct SystemInfo {
  std::uint16_t processorArchitecture;
  std::uint16_t processorLevel;
  std::uint16_t processorRevision;
  std::uint8_t numberOfProcessors;
  std::uint8_t productType;
  std::uint32_t majorVersion;
  std::uint32_t minorVersion;
  std::uint32_t buildNumber;
  std::uint32_t platformId;
  std::uint32_t csdVersionRva;
  std::uint16_t suiteMask;
  std::uint16_t reserved2;
  std::uint32_t cpuVendorId[3];
  std::uint32_t cpuVersionInformation;
  std::uint32_t cpuFeatureInformation;
  std::uint32_t cpuAmdExtendedFeatures;
};

struct MiscInfo {
  std::uint32_t sizeOfInfo;
  std::uint32_t flags1;
  std::uint32_t processId;
  std::uint32_t processCreateTime;
  std::uint32_t processUserTime;
  std::uint32_t processKernelTime;
};
inline constexpr std::uint32_t kMiscInfoProcessId = 0x1;

struct Uint128 {
  std::uint64_t low;
  std::uint64_t high;
};

struct ContextAmd64 {
  std::uint64_t pHome[6];
  std::uint32_t contextFlags;
  std::uint32_t mxCsr;
  std::uint16_t cs, ds, es, fs, gs, ss;
  std::uint32_t eflags;
  std::uint64_t dr0, dr1, dr2, dr3, dr6, dr7;
  std::uint64_t rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi;
  std::uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
  std::uint64_t rip;
  std::uint8_t fxsave[512];  // the FXSAVE image: x87, MXCSR, XMM0-15
  Uint128 vectorRegister[26];
  std::uint64_t vectorControl;
  std::uint64_t debugControl;
  std::uint64_t lastBranchToRip;
  std::uint64_t lastBranchFromRip;
  std::uint64_t lastExceptionToRip;
  std::uint64_t lastExceptionFromRip;
};

#pragma pack(pop)

static_assert(sizeof(Header) == 32);
static_assert(sizeof(Directory) == 12);
static_assert(sizeof(Thread) == 48);
static_assert(sizeof(Module) == 108);
static_assert(sizeof(ExceptionStream) == 168);
static_assert(sizeof(SystemInfo) == 56);
static_assert(sizeof(MiscInfo) == 24);
static_assert(sizeof(ContextAmd64) == 1232);
static_assert(offsetof(ContextAmd64, rax) == 120);
static_assert(offsetof(ContextAmd64, rip) == 248);
static_assert(offsetof(ContextAmd64, fxsave) == 256);

}  // namespace minidump
