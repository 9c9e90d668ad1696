#include "Common/LanguageLook.h"

#include <QWidget>

#include "LanguageTables.h"
#include "ui/FontList.h"

void ApplyLanguageLook(QWidget* window, int language) {
  switch (language) {
    case kLangJapanese: ui::SetPreferredCjkRegion(ui::CjkRegion::kJapanese); break;
    case kLangChineseTrad: ui::SetPreferredCjkRegion(ui::CjkRegion::kTraditionalChinese); break;
    case kLangKorean: ui::SetPreferredCjkRegion(ui::CjkRegion::kKorean); break;
    default: ui::SetPreferredCjkRegion(ui::CjkRegion::kSimplifiedChinese); break;
  }
  if (window != nullptr) window->setLayoutDirection(language == kLangArabic ? Qt::RightToLeft : Qt::LeftToRight);
}
