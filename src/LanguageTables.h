#pragma once
// The interface languages and everything indexed by them: combo texts,
// language files, licence controls, telemetry names, the codes handed to the
// product installer and web services, the caption font and the height of the
// licence area. Any value outside 0..19 is treated as English, except where a
// table names its own value for "other".
#include <cstdint>
#include <string>

enum EnumLanguage : int {
  kLangEnglish = 0,
  kLangJapanese,
  kLangChinese,
  kLangSpanish,
  kLangGerman,
  kLangFrench,
  kLangRussian,
  kLangPortuguese,
  kLangArabic,
  kLangItaliano,
  kLangChineseTrad,
  kLangKorean,
  kLangNederlands,
  kLangIndonesian,
  kLangTurkish,
  kLangHindi,
  kLangThai,
  kLangMalay,
  kLangSwedish,
  kLangCzech,
};
inline constexpr int kLanguageCount = 20;

bool IsKnownLanguage(int language);
std::string LanguageComboText(int language);      // " English", " 日本語", ...
std::string LanguageFileName(int language);       // "language_english.xml"
std::string LanguageFilePath(int language);       // "language/language_english.xml" in the skin archive
std::string LicenseControlName(int language);     // "license_english"
std::string ProductPageKey(int language);         // "product_url_english"
std::string LanguageTelemetryName(int language);  // "English"
// The "/LANG=" value: Japanese is "jp" for the downloader ids 117-120 and
// 122-125, "ja" otherwise.
std::string InstallerLanguageCode(int language, int downloaderId);
// The value remembered in the product's uninstall key ("ja" for Japanese).
std::string UninstallLanguageCode(int language);
std::string WebLanguageCode(int language);  // banner requests, funnel reports
// Height in pixels of the licence text area; simplified Chinese is taller on
// the sites 54, 93, 118, 127, 133 and 290.
int LicenseAreaHeight(int language, int siteId);
std::string CaptionFontFamily(int language);  // carousel captions
// The language for a Windows LANGID (interface language of the user).
int LanguageFromLangId(std::uint16_t langId);
