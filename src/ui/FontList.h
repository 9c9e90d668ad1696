#pragma once
// A window's numbered font list, as the skin declares it with Windows family
// names; each is drawn with the installed family that stands in for it.
#include <QFont>
#include <QString>
#include <QStringList>
#include <map>

namespace ui {

struct FontSpec {
  QString name;  // family as the skin writes it ("Tahoma")
  int pixelSize = 12;
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

class FontList {
 public:
  void Add(int id, const FontSpec& spec) { specs_[id] = spec; }
  bool Has(int id) const { return specs_.count(id) != 0; }
  int Count() const { return static_cast<int>(specs_.size()); }
  // The font for id; an unknown id gives the first font (or the default).
  QFont Font(int id) const;
  FontSpec Spec(int id) const;

 private:
  std::map<int, FontSpec> specs_;
};

// Installed families standing in for a Windows family, best first, followed
// by the script fallbacks so that every language finds its glyphs.
QStringList FamiliesFor(const QString& windowsFamily);

// CJK texts look right only in the font of their own region: the window's
// language picks which CJK family comes first among the fallbacks.
enum class CjkRegion { kJapanese,
                       kSimplifiedChinese,
                       kTraditionalChinese,
                       kKorean };
void SetPreferredCjkRegion(CjkRegion region);

// The CSS font-family value for a rich-text span.
QString CssFamilies(const QString& windowsFamily);

}  // namespace ui
