#include "ui/FontList.h"

#include <atomic>

namespace ui {
namespace {

std::atomic<CjkRegion> g_cjkRegion{CjkRegion::kSimplifiedChinese};

struct FamilyMap {
  const char* windows;
  const char* installed;
};

// The skin's Windows families and their Debian stand-ins (fonts-noto-core,
// fonts-noto-cjk). Sizes stay in pixels, so metrics stay close.
constexpr FamilyMap kFamilies[] = {
    {"tahoma", "Noto Sans"},
    {"times new roman", "Noto Serif"},
    {"microsoft yahei", "Noto Sans CJK SC"},
    {"meiryo ui", "Noto Sans CJK JP"},
    {"batang", "Noto Serif CJK KR"},
};

QString CjkFamily() {
  switch (g_cjkRegion.load()) {
    case CjkRegion::kJapanese: return "Noto Sans CJK JP";
    case CjkRegion::kTraditionalChinese: return "Noto Sans CJK TC";
    case CjkRegion::kKorean: return "Noto Sans CJK KR";
    case CjkRegion::kSimplifiedChinese: break;
  }
  return "Noto Sans CJK SC";
}

}  // namespace

void SetPreferredCjkRegion(CjkRegion region) { g_cjkRegion = region; }

QStringList FamiliesFor(const QString& windowsFamily) {
  QStringList families;
  const QString key = windowsFamily.toLower();
  for (const FamilyMap& row : kFamilies) {
    if (key == row.windows) families << row.installed;
  }
  if (families.isEmpty() && !windowsFamily.isEmpty()) families << windowsFamily;
  // A CJK family first would also draw Latin text in its own style; it goes
  // first only where the skin asked for a CJK family.
  const bool cjkAsked = !families.isEmpty() && families.first().contains("CJK");
  if (cjkAsked) families.first() = CjkFamily();
  families << "Noto Sans"
           << "Noto Sans Arabic"
           << "Noto Sans Devanagari"
           << "Noto Sans Thai" << CjkFamily()
           << "DejaVu Sans";
  families.removeDuplicates();
  return families;
}

QString CssFamilies(const QString& windowsFamily) {
  QStringList quoted;
  for (const QString& family : FamiliesFor(windowsFamily)) quoted << "'" + family + "'";
  return quoted.join(',');
}

FontSpec FontList::Spec(int id) const {
  auto it = specs_.find(id);
  if (it == specs_.end()) it = specs_.begin();
  return it == specs_.end() ? FontSpec{"Tahoma", 12} : it->second;
}

QFont FontList::Font(int id) const {
  const FontSpec spec = Spec(id);
  QFont font;
  font.setFamilies(FamiliesFor(spec.name));
  font.setPixelSize(spec.pixelSize);
  font.setBold(spec.bold);
  font.setItalic(spec.italic);
  font.setUnderline(spec.underline);
  return font;
}

}  // namespace ui
