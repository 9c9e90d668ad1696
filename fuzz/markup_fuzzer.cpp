// The skin's inline text markup, as labels and language files carry it.
#include <cstdint>

#include <QString>

#include "QtFuzzSupport.h"
#include "ui/FontList.h"
#include "ui/Markup.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietQtProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ui::FontList fonts = [] {
    ui::FontList list;
    list.Add(0, {"Tahoma", 12, false, false, false});
    list.Add(1, {"Tahoma", 14, true, false, false});
    list.Add(4, {"Microsoft YaHei", 16, false, true, true});
    return list;
  }();
  const QString markup = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  ui::MarkupStyle style;
  style.fonts = &fonts;
  ui::MarkupToHtml(markup, style);
  style.fonts = nullptr;
  ui::MarkupToHtml(markup, style);
  ui::MarkupToPlain(markup);
  return 0;
}
