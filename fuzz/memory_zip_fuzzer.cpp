// The in-memory zip reader that serves the skin archive.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "platform/MemoryZip.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::MemoryZip zip;
  if (!zip.Open(data, size)) return 0;
  std::string out;
  for (const std::string& name : zip.FileNames()) zip.ReadFile(name, out);
  zip.ReadFile("/configure\\configure.xml", out);
  return 0;
}
