// The configuration service's reply: its <Downloader> element cut out of the
// body and merged into the product configuration record.
#include <cstdint>
#include <string>

#include "CConfigure.h"
#include "ConfigurationService.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  CConfigure config(1, 0, 0);
  config.downloadInfoXml = ExtractDownloaderElement(reply);
  config.parseDownloadInfoXml();
  config.printContent();
  // The whole body as the stored element as well: the parser must not rely
  // on the cut.
  config.downloadInfoXml = reply;
  config.parseDownloadInfoXml();
  return 0;
}
