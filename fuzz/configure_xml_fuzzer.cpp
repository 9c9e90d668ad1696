// "configure/configure.xml" of the skin archive, read into the product
// configuration record as the install worker's last resort.
#include <cstdint>
#include <string>

#include "CConfigure.h"
#include "EmbeddedConfig.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const EmbeddedConfigItems items(std::string(reinterpret_cast<const char*>(data), size));
  CConfigure config(1, 0, 0);
  config.loadFromLayout(items, true);
  config.printContent();
  return 0;
}
