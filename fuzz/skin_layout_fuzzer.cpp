// A window layout of the skin archive built into controls; the archive also
// holds the layout under a second name so that <Include> finds it.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <QWidget>

#include "QtFuzzSupport.h"
#include "platform/MemoryZip.h"
#include "ui/LayoutBuilder.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietQtProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string layout(reinterpret_cast<const char*>(data), size);
  const std::string zip = fuzz::StoredZip({{"Main.xml", layout}, {"Part.xml", layout}});
  platform::SetResourceArchive(reinterpret_cast<const unsigned char*>(zip.data()), zip.size());
  {
    QWidget top;
    ui::WindowSkin skin;
    ui::LayoutBuilder builder;
    builder.Build("Main.xml", &top, skin);
  }
  platform::SetResourceArchive(nullptr, 0);
  return 0;
}
