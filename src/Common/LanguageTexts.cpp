#include "Common/LanguageTexts.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "Common/LanguageLook.h"
#include "Language.h"
#include "ui/ControlOps.h"
#include "ui/WindowImplBase.h"

namespace {

void ApplyLicense(ui::WindowImplBase* window, int language, int siteId) {
  QWidget* source = window->FindControl(QString::fromStdString(LicenseControlName(language)));
  if (source == nullptr) return;
  ui::SetText(window->FindControl("license_text"), ui::GetText(source));
  ui::SetFixedHeight(window->FindControl("license_text_layout"), LicenseAreaHeight(language, siteId));
}

// Index after up to two digits at i; -1 when a third follows (no width or
// precision that large is ever meant).
qsizetype SkipDigits(const QByteArray& format, qsizetype i) {
  qsizetype digits = 0;
  while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i, ++digits;
  return digits > 2 ? -1 : i;
}

// True when format holds at most one conversion, of one of the kinds
// allowed, with plain flags, width and precision ("%.1f", "%s"), and "%%"
// otherwise: a language file is never trusted to name what printf reads.
bool SafeFormat(const QByteArray& format, const char* allowed) {
  int conversions = 0;
  for (qsizetype i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (++i < format.size() && format[i] == '%') continue;
    while (i < format.size() && std::strchr("-+ #0", format[i]) != nullptr && format[i] != '\0') ++i;
    i = SkipDigits(format, i);
    if (i >= 0 && i < format.size() && format[i] == '.') i = SkipDigits(format, i + 1);
    if (i < 0) return false;
    if (i >= format.size() || format[i] == '\0' || std::strchr(allowed, format[i]) == nullptr) return false;
    ++conversions;
  }
  return conversions <= 1;
}

}  // namespace

QString FormatWithDouble(const QString& format, double value) {
  if (!SafeFormat(format.toUtf8(), "fFeEgG")) return format;
  std::vector<char> buffer(format.toUtf8().size() + 64);
  std::snprintf(buffer.data(), buffer.size(), format.toUtf8().constData(), value);
  return QString::fromUtf8(buffer.data());
}

QString FormatWithString(const QString& format, const QString& value) {
  if (!SafeFormat(format.toUtf8(), "s")) return format;
  const QByteArray utf8 = value.toUtf8();
  std::vector<char> buffer(format.toUtf8().size() + utf8.size() + 64);
  std::snprintf(buffer.data(), buffer.size(), format.toUtf8().constData(), utf8.constData());
  return QString::fromUtf8(buffer.data());
}

LanguageFormats ApplyLanguageTexts(ui::WindowImplBase* window, int language, int siteId, float freeSpaceGB,
                                   const QString& productSize) {
  LanguageFormats formats;
  ApplyLanguageLook(window, language);
  ApplyLicense(window, language, siteId);
  std::vector<std::pair<std::string, std::string>> items;
  GetLanguagePage("install_page", language, items);
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    const QString name = QString::fromStdString(it->first), text = QString::fromStdString(it->second);
    if (name == "install_label") formats.progress = text;
    if (name == "space_need") formats.spaceNeed = text;
    if (name == "space_free") formats.spaceFree = text;
    ui::SetText(window->FindControl(name), text);
  }
  ui::SetText(window->FindControl("space_free"), FormatWithDouble(formats.spaceFree, freeSpaceGB));
  ui::SetText(window->FindControl("space_need"), FormatWithString(formats.spaceNeed, productSize));
  ui::SetVisible(window->FindControl("install_setting"), true);
  ui::SetVisible(window->FindControl("license_link"), true);
  return formats;
}
