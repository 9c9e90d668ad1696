#pragma once
// Puts a language into a skinned window: the licence text and the height of
// its area, the texts of "install_page" on the controls of the same names,
// the space labels, and the reading direction. Returns the formats that the
// window keeps for later updates.
#include <QString>

namespace ui {
class WindowImplBase;
}

struct LanguageFormats {
  QString progress;   // "install_label"
  QString spaceNeed;  // "space_need"
  QString spaceFree;  // "space_free"
};

LanguageFormats ApplyLanguageTexts(ui::WindowImplBase* window, int language, int siteId, float freeSpaceGB,
                                   const QString& productSize);

// printf-style formatting of a language text with one double or one string.
QString FormatWithDouble(const QString& format, double value);
QString FormatWithString(const QString& format, const QString& value);
