// Language tables, the 20 language files of the skin and the remembered language.
#include <gtest/gtest.h>

#include "Common/LanguageTexts.h"
#include "FuntionImpl.h"
#include "Language.h"
#include "UiTestSupport.h"
#include "platform/RegistryStore.h"
#include "support/ScopedTestProcess.h"
#include "support/TempDir.h"
#include "ui/ControlOps.h"

namespace {

const char* const kInstallKeys[] = {
    "select_language_text", "install_btn", "install_setting", "license_link", "browser_btn", "space_need",
    "space_free", "install_label", "install_path_text", "install_minbtn", "install_closebtn", "finish_label",
    "start_app", "agree_improvement", "extra_text", "text_fail_retry", "retry_btn", "text_fail_advice",
    "anima_text_1", "anima_text_2", "anima_text_3", "anima_text_4", "anima_text_5", "anima_text_6",
    "anima_text_7", "anima_text_8", "anima_text_9", "anima_text_10"};
const char* const kMessageKeys[] = {
    "ClickShortcutToLaunchText", "FinshDesText", "FinshQueText", "ReplaceDesText", "ReplaceQueText",
    "CancelDesText", "CancelQueText", "AppExistDesText", "AppExistQueText", "PathErrorDesText",
    "PathErrorQueText", "YesText", "NoText", "ReplaceText", "CancelText", "InstallRunTimeOutDesText",
    "InstallRunTimeOutQueText", "MD5FailDesText", "MD5FailQueText", "UrlFailDexText", "UrlFailQueText",
    "InternetFailDesText", "InternetFailQueText", "InternetTimeoutDesText", "InternetTimeoutQueText",
    "ConfirmText", "NoEnoughSpaceDesText", "OkButtonText", "NotSupportSystemDesText", "AgreeDesText",
    "AgreeInstallText", "NotAgreeText"};

bool HasKey(const std::vector<std::pair<std::string, std::string>>& items, const std::string& key) {
  for (const auto& item : items) {
    if (item.first == key) return true;
  }
  return false;
}

TEST(LanguageFiles, EveryFileParsesAndHoldsEveryKey) {
  EnsureUiTestEnvironment();
  for (int language = 0; language < kLanguageCount; ++language) {
    std::vector<std::pair<std::string, std::string>> install, message;
    ASSERT_TRUE(GetLanguagePage("install_page", language, install)) << language;
    ASSERT_TRUE(GetLanguagePage("message_page", language, message)) << language;
    for (const char* key : kInstallKeys) EXPECT_TRUE(HasKey(install, key)) << language << " " << key;
    for (const char* key : kMessageKeys) EXPECT_TRUE(HasKey(message, key)) << language << " " << key;
    const std::string label = GetLanguageText("install_page", "install_label", language);
    EXPECT_NE(label.find("%0.f%%"), std::string::npos) << language;
    EXPECT_NE(GetLanguageText("install_page", "space_free", language).find("%.1fGB"), std::string::npos) << language;
    EXPECT_NE(GetLanguageText("install_page", "finish_label", language).find("Vantor Mark Eraser"), std::string::npos);
    EXPECT_FALSE(GetLanguageText("message_page", "AgreeInstallText", language).empty()) << language;
  }
  EXPECT_EQ(GetLanguageText("install_page", "install_btn", kLangEnglish), "Install");
  EXPECT_EQ(GetLanguageText("install_page", "no_such_key", kLangEnglish), "");
  EXPECT_EQ(GetLanguageText("no_such_page", "install_btn", kLangEnglish), "");
}

TEST(LanguageTables, LangIdsMapToLanguages) {
  struct Row {
    std::uint16_t langId;
    int language;
  };
  const Row rows[] = {{4100, kLangEnglish}, {2052, kLangChinese}, {1028, kLangChineseTrad}, {3076, kLangChineseTrad}, {1041, kLangJapanese}, {1025, kLangArabic}, {2110, kLangMalay}, {20490, kLangSpanish}, {2070, kLangPortuguese}, {1081, kLangHindi}, {1045, kLangEnglish}, {0, kLangEnglish}};
  for (const Row& row : rows) EXPECT_EQ(LanguageFromLangId(row.langId), row.language) << row.langId;
}

TEST(LanguageTables, CodesFontsAndHeights) {
  EXPECT_EQ(CaptionFontFamily(kLangKorean), "batang");
  EXPECT_EQ(LicenseAreaHeight(kLangKorean, 61), 1345);
  EXPECT_EQ(LicenseAreaHeight(kLangChinese, 127), 2070);
  EXPECT_EQ(LicenseAreaHeight(kLangChinese, 61), 1265);
  EXPECT_EQ(LicenseAreaHeight(42, 61), 1935);
  EXPECT_EQ(CaptionFontFamily(42), "Microsoft YaHei");
  EXPECT_EQ(InstallerLanguageCode(kLangJapanese, 118), "jp");
  EXPECT_EQ(InstallerLanguageCode(kLangJapanese, 121), "ja");
  EXPECT_EQ(UninstallLanguageCode(kLangJapanese), "ja");
  EXPECT_EQ(WebLanguageCode(kLangChineseTrad), "zh-tw");
  EXPECT_EQ(WebLanguageCode(-1), "en");
  EXPECT_EQ(LanguageTelemetryName(kLangItaliano), "Italiano");
  EXPECT_EQ(LanguageFileName(kLangNederlands), "language_nederland.xml");
  EXPECT_EQ(LicenseControlName(kLangNederlands), "license_nederlands");
  EXPECT_EQ(ProductPageKey(kLangChinese), "product_url_chinesesimp");
  EXPECT_EQ(LanguageComboText(kLangCzech), " Čeština");
}

TEST(LanguageRegistry, RememberedLanguageGoesWhereTheProductReadsIt) {
  TempDir dir;
  ScopedTestProcess process;
  process.RegistryRoot(dir.path());
  struct Row {
    int id;
    int language;
    const char* hive;
    const char* key;
    const char* name;
    const char* value;
  };
  const Row rows[] = {
      {127, kLangJapanese, "HKLM", "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Vantor Mark Eraser}_is1", "Inno Setup: Language", "ja"},
      {104, kLangChinese, "HKCU", "Software\\Orchelvane\\Reel Morph Studio", "kCurrentLanguage", "Chinese"},
      {104, kLangKorean, "HKCU", "Software\\Orchelvane\\Reel Morph Studio", "kCurrentLanguage", "English"},
      {114, kLangChineseTrad, "HKCU", "Software\\Quillmarch\\Wayvix", "Lang", "zh_TW"},
      {115, kLangPortuguese, "HKCU", "Software\\Quillmarch\\Wayvix", "Lang", "pt_BR"},
      {113, kLangArabic, "HKCU", "Software\\Quillmarch\\Wayvix", "Lang", "en_US"},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(RememberLanguageForProduct(row.id, "Vantor Mark Eraser", row.language));
    const std::string stored = std::string(row.hive) == "HKLM" ? RegGetString(row.key, row.name) : RegGetStringUser(row.key, row.name);
    EXPECT_EQ(stored, row.value) << row.id;
  }
}

TEST(LanguageApply, TextsLicenceAndDirection) {
  EnsureUiTestEnvironment();
  RecordingWnd wnd;
  ASSERT_TRUE(wnd.Create(nullptr, "x", 600, 400));
  const LanguageFormats formats = ApplyLanguageTexts(&wnd, kLangKorean, 61, 12.34f, "2.3M");
  EXPECT_EQ(wnd.FindControl("license_text_layout")->property("qmHeight").toInt(), 1345);
  EXPECT_EQ(ui::GetText(wnd.FindControl("license_text")), ui::GetText(wnd.FindControl("license_korean")));
  EXPECT_EQ(ui::GetText(wnd.FindControl("install_btn")), QString::fromStdString(GetLanguageText("install_page", "install_btn", kLangKorean)));
  EXPECT_TRUE(ui::GetText(wnd.FindControl("space_free")).endsWith("12.3GB"));
  EXPECT_TRUE(formats.progress.contains("%0.f%%"));
  EXPECT_EQ(FormatWithDouble("%0.f%%", 45.0), "45%");
  // A language text that would make printf read what was never passed is
  // shown as written.
  for (const char* hostile : {"%s%n", "%.1f %.1f", "%d", "%*f", "%999999f", "%"}) {
    EXPECT_EQ(FormatWithDouble(hostile, 1.5), hostile);
    EXPECT_EQ(FormatWithString(hostile, "2.3M"), hostile);
  }
  EXPECT_EQ(FormatWithString("need %s", "2.3M"), "need 2.3M");
  EXPECT_EQ(wnd.layoutDirection(), Qt::LeftToRight);
  ApplyLanguageTexts(&wnd, kLangArabic, 61, 0, "");
  EXPECT_EQ(wnd.layoutDirection(), Qt::RightToLeft);
}

}  // namespace
