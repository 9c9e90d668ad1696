#include "LanguageTables.h"

#include <algorithm>
#include <array>

namespace {

struct LanguageRow {
  const char* combo;
  const char* file;
  const char* license;
  const char* productPage;
  const char* telemetry;
  const char* installer;
  const char* web;
  int licenseHeight;
  const char* captionFont;
};

constexpr std::array<LanguageRow, kLanguageCount> kRows{{
    {" English", "language_english.xml", "license_english", "product_url_english", "English", "en", "en", 1540, "Microsoft YaHei"},
    {" 日本語", "language_japanese.xml", "license_japanese", "product_url_japanese", "Japanese", "ja", "ja", 1490, "Meiryo UI"},
    {" 简体中文", "language_chinese.xml", "license_chinese", "product_url_chinesesimp", "Chinese", "zhcn", "zh-cn", 1265, "Microsoft YaHei"},
    {" Español", "language_spanish.xml", "license_spanish", "product_url_spanish", "Spanish", "es", "es", 1610, "Times New Roman"},
    {" Deutsch", "language_german.xml", "license_german", "product_url_german", "German", "de", "de", 1655, "Times New Roman"},
    {" Français", "language_french.xml", "license_french", "product_url_french", "French", "fr", "fr", 1580, "Times New Roman"},
    {" Русский", "language_russian.xml", "license_russian", "product_url_russian", "Russian", "ru", "ru", 1615, "Times New Roman"},
    {" Português", "language_portuguese.xml", "license_portuguese", "product_url_portuguese", "Portuguese", "pt", "pt", 1465, "Times New Roman"},
    {" العربية", "language_arabic.xml", "license_arabic", "product_url_arabic", "Arabic", "ar", "ar", 1365, "Times New Roman"},
    {" Italiano", "language_italiano.xml", "license_italiano", "product_url_italiano", "Italiano", "it", "it", 1515, "Times New Roman"},
    {" 繁體中文", "language_chinesetrad.xml", "license_chinesetrad", "product_url_chinesetrad", "ChineseTrad", "zhtw", "zh-tw", 1265, "Microsoft YaHei"},
    {" 한국어", "language_korean.xml", "license_korean", "product_url_korean", "Korean", "ko", "ko", 1345, "batang"},
    {" Nederlands", "language_nederland.xml", "license_nederlands", "product_url_nederlands", "Nederlands", "nl", "nl", 1655, "Microsoft YaHei"},
    {" Bahasa Indonesia", "language_indonesian.xml", "license_indonesian", "product_url_indonesian", "Indonesian", "id", "id", 1540, "Microsoft YaHei"},
    {" Türkçe", "language_turkish.xml", "license_turkish", "product_url_turkish", "Turkish", "tr", "tr", 1540, "Microsoft YaHei"},
    {" हिंदी", "language_hindi.xml", "license_hindi", "product_url_hindi", "Hindi", "hi", "hi", 1540, "Microsoft YaHei"},
    {" ภาษาไทย", "language_thai.xml", "license_thai", "product_url_thai", "Thai", "th", "th", 1345, "Microsoft YaHei"},
    {" Bahasa Melayu", "language_malay.xml", "license_malay", "product_url_malay", "Malay", "my", "my", 1580, "Microsoft YaHei"},
    {" Svenska", "language_swedish.xml", "license_swedish", "product_url_swedish", "Swedish", "se", "se", 1580, "Microsoft YaHei"},
    {" Čeština", "language_czech.xml", "license_czech", "product_url_czech", "Czech", "cz", "cz", 1580, "Microsoft YaHei"},
}};

constexpr int kOtherLicenseHeight = 1935;
constexpr int kTallChineseSites[] = {54, 93, 118, 127, 133, 290};
constexpr int kTallChineseHeight = 2070;
constexpr int kJpDownloaderIds[] = {117, 118, 119, 120, 122, 123, 124, 125};

const LanguageRow& Row(int language) { return kRows[IsKnownLanguage(language) ? language : kLangEnglish]; }

template <std::size_t N>
bool Contains(const int (&values)[N], int value) {
  return std::find(std::begin(values), std::end(values), value) != std::end(values);
}

struct LangIdGroup {
  int language;
  std::initializer_list<int> ids;
};

const LangIdGroup kLangIdGroups[] = {
    {kLangArabic, {1025}},
    {kLangChineseTrad, {1028, 3076}},
    {kLangChinese, {2052}},
    {kLangCzech, {1029}},
    {kLangGerman, {1031, 2055, 3079, 4103, 5127}},
    {kLangEnglish, {1033, 2057, 3081, 4105, 5129, 6153, 7177, 8201, 9225, 10249, 11273}},
    {kLangSpanish, {1034, 2058, 3082, 4106, 5130, 6154, 7178, 8202, 9226, 10250, 11274, 12298, 13322, 14346, 15370, 16394, 17418, 18442, 19466, 20490}},
    {kLangFrench, {1036, 2060, 3084, 4108, 5132}},
    {kLangItaliano, {1040, 2064}},
    {kLangJapanese, {1041}},
    {kLangKorean, {1042, 2066}},
    {kLangNederlands, {1043, 2067}},
    {kLangPortuguese, {1046, 2070}},
    {kLangRussian, {1049}},
    {kLangSwedish, {1053, 2077}},
    {kLangThai, {1054}},
    {kLangTurkish, {1055}},
    {kLangIndonesian, {1057}},
    {kLangHindi, {1081}},
    {kLangMalay, {1086, 2110}},
};

}  // namespace

bool IsKnownLanguage(int language) { return language >= 0 && language < kLanguageCount; }
std::string LanguageComboText(int language) { return Row(language).combo; }
std::string LanguageFileName(int language) { return Row(language).file; }
std::string LanguageFilePath(int language) { return std::string("language/") + Row(language).file; }
std::string LicenseControlName(int language) { return Row(language).license; }
std::string ProductPageKey(int language) { return Row(language).productPage; }
std::string LanguageTelemetryName(int language) { return Row(language).telemetry; }
std::string UninstallLanguageCode(int language) { return Row(language).installer; }
std::string WebLanguageCode(int language) { return Row(language).web; }

std::string InstallerLanguageCode(int language, int downloaderId) {
  if (language == kLangJapanese && Contains(kJpDownloaderIds, downloaderId)) return "jp";
  return Row(language).installer;
}

int LicenseAreaHeight(int language, int siteId) {
  if (!IsKnownLanguage(language)) return kOtherLicenseHeight;
  if (language == kLangChinese && Contains(kTallChineseSites, siteId)) return kTallChineseHeight;
  return kRows[language].licenseHeight;
}

std::string CaptionFontFamily(int language) {
  return IsKnownLanguage(language) ? kRows[language].captionFont : "Microsoft YaHei";
}

int LanguageFromLangId(std::uint16_t langId) {
  for (const LangIdGroup& group : kLangIdGroups) {
    if (std::find(group.ids.begin(), group.ids.end(), langId) != group.ids.end()) return group.language;
  }
  return kLangEnglish;
}
