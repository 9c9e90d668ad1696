// A registry store file as another process (or a damaged disk) left it:
// reading a value, writing one over it, and reading back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "platform/RegistryStore.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file = fuzz::ScratchDir() + "/registry-hklm";
  if (!fuzz::WriteBytes(file, data, size)) return 0;
  const platform::RegistryStore store(file);
  store.Get("SOFTWARE\\Quillmarch", "RequestTooMuchTimes");
  store.Get("", "");
  if (store.Set("SOFTWARE\\Quillmarch", "GA_PC", "1") && store.Get("SOFTWARE\\Quillmarch", "GA_PC") != "1") {
    std::abort();  // a value written must read back
  }
  return 0;
}
