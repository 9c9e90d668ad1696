// "galog.json" as an earlier run (or a damaged disk) left it.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "GalogFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file = fuzz::ScratchDir() + "/galog.json";
  if (!fuzz::WriteBytes(file, data, size)) return 0;
  MarkRunDay(file, {2026, 12, 10});
  RecordVersion(file, "1.0.0.0");
  MarkRunDay(file, {2026, 12, 10});
  return 0;
}
