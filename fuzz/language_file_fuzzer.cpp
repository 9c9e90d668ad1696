// A language file of the skin archive: its pages, a text looked up by key,
// and the two texts that the window formats with a number and a size.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <QString>

#include "QtFuzzSupport.h"
#include "Common/LanguageTexts.h"
#include "Language.h"
#include "LanguageTables.h"
#include "platform/MemoryZip.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietQtProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  const std::string zip = fuzz::StoredZip({{LanguageFilePath(kLangEnglish), file}});
  platform::SetResourceArchive(reinterpret_cast<const unsigned char*>(zip.data()), zip.size());
  for (const char* page : {"install_page", "message_page"}) {
    std::vector<std::pair<std::string, std::string>> items;
    GetLanguagePage(page, kLangEnglish, items);
    for (const auto& [name, text] : items) {
      const QString format = QString::fromStdString(text);
      if (name == "space_free") FormatWithDouble(format, 12.5);
      if (name == "space_need") FormatWithString(format, "2.3M");
    }
  }
  GetLanguageText("install_page", "install_label", kLangEnglish);
  platform::SetResourceArchive(nullptr, 0);
  return 0;
}
