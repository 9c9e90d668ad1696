// UI language and region: the LANGID table and the POSIX locale mapping.
#include "FuntionImpl.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "Logger.h"

namespace {

struct LangRow {
  std::uint16_t id;
  const char* name;
  // POSIX locales that stand for this id, blank-separated: "ll_CC",
  // "ll_CC@modifier", or a bare "ll" on the row that a language without a
  // listed country falls back to.
  const char* locales;
};

// The 143 LANGIDs and names, exactly as the telemetry reports them.
constexpr LangRow kLangRows[] = {
    {0x0000, "Neutral_Neutral", ""},
    {0x0400, "Default_Default", ""},
    {0x0401, "Arabic_Saudi Arabia", "ar_SA ar"},
    {0x0402, "Bulgarian_Bulgaria", "bg_BG bg"},
    {0x0403, "Catalan_Spain", "ca_ES ca"},
    {0x0404, "Chinese_Taiwan", "zh_TW"},
    {0x0405, "Czech_Czech Republic", "cs_CZ cs"},
    {0x0406, "Danish_Denmark", "da_DK da"},
    {0x0407, "German_Germany", "de_DE de"},
    {0x0408, "Greek_Greece", "el_GR el"},
    {0x0409, "English_United States", "en_US en"},
    {0x040A, "Spanish_Spain (Traditional sort)", ""},
    {0x040B, "Finnish_Finland", "fi_FI fi"},
    {0x040C, "French_France", "fr_FR fr"},
    {0x040D, "Hebrew_Israel", "he_IL he iw_IL iw"},
    {0x040E, "Hungarian_Hungary", "hu_HU hu"},
    {0x040F, "Icelandic_Iceland", "is_IS is"},
    {0x0410, "Italian_Italy", "it_IT it"},
    {0x0411, "Japanese_Japan", "ja_JP ja"},
    {0x0412, "Korean_Korea", "ko_KR ko"},
    {0x0413, "Dutch_Netherlands", "nl_NL nl"},
    {0x0414, "Norwegian_Norway (Bokm?l)", "nb_NO nb no_NO no"},
    {0x0415, "Polish_Poland", "pl_PL pl"},
    {0x0416, "Portuguese_Brazil", "pt_BR pt"},
    {0x0418, "Romanian_Romania", "ro_RO ro"},
    {0x0419, "Russian_Russia", "ru_RU ru"},
    {0x041A, "Croatian_Croatia", "hr_HR hr"},
    {0x041B, "Slovak_Slovakia", "sk_SK sk"},
    {0x041C, "Albanian_Albania", "sq_AL sq"},
    {0x041D, "Swedish_Sweden", "sv_SE sv"},
    {0x041E, "Thai_Thailand", "th_TH th"},
    {0x041F, "Turkish_Turkey", "tr_TR tr"},
    {0x0420, "Urdu_Pakistan", "ur_PK ur"},
    {0x0421, "Indonesian_Indonesia (Bahasa)", "id_ID id"},
    {0x0422, "Ukrainian_Ukraine", "uk_UA uk"},
    {0x0423, "Belarusian_Belarus", "be_BY be"},
    {0x0424, "Slovenian_Slovenia", "sl_SI sl"},
    {0x0425, "Estonian_Estonia", "et_EE et"},
    {0x0426, "Latvian_Latvia", "lv_LV lv"},
    {0x0427, "Lithuanian_Lithuania", "lt_LT lt"},
    {0x0429, "Farsi_Iran", "fa_IR fa"},
    {0x042A, "Vietnamese_Viet Nam", "vi_VN vi"},
    {0x042B, "Armenian_Armenia", "hy_AM hy"},
    {0x042C, "Azeri_Azerbaijan (Latin)", "az_AZ az"},
    {0x042D, "Basque_Spain", "eu_ES eu"},
    {0x042F, "Macedonian (FYROM)_Macedonian (FYROM)", "mk_MK mk"},
    {0x0436, "Afrikaans_South Africa", "af_ZA af"},
    {0x0437, "Georgian_Georgia", "ka_GE ka"},
    {0x0438, "Faeroese_Faeroe Islands", "fo_FO fo"},
    {0x0439, "Hindi_India", "hi_IN hi"},
    {0x043E, "Malay_Malaysia", "ms_MY ms"},
    {0x043F, "Kazakh_Kazakstan", "kk_KZ kk"},
    {0x0440, "Kyrgyz_Kyrgyzstan", "ky_KG ky"},
    {0x0441, "Swahili_Kenya", "sw_KE sw"},
    {0x0443, "Uzbek_Uzbekistan (Latin)", "uz_UZ uz"},
    {0x0444, "Tatar_Tatarstan", "tt_RU tt"},
    {0x0445, "Bengali_India", "bn_IN bn"},
    {0x0446, "Punjabi_India (Gurmukhi script)", "pa_IN pa"},
    {0x0447, "Gujarati_India", "gu_IN gu"},
    {0x0448, "Oriya_India", "or_IN or"},
    {0x0449, "Tamil_India", "ta_IN ta"},
    {0x044A, "Telugu_India (Telugu script)", "te_IN te"},
    {0x044B, "Kannada_India (Kannada script)", "kn_IN kn"},
    {0x044C, "Malayalam_India", "ml_IN ml"},
    {0x044D, "Assamese_India", "as_IN as"},
    {0x044E, "Marathi_India", "mr_IN mr"},
    {0x044F, "Sanskrit_India", "sa_IN sa"},
    {0x0450, "Mongolian (Cyrillic)_Mongolia", "mn_MN mn"},
    {0x0456, "Galician_Spain", "gl_ES gl"},
    {0x0457, "Konkani_India", "kok_IN kok"},
    {0x045A, "Syriac_Syria", "syr_SY syr"},
    {0x0465, "Divehi_Maldives", "dv_MV dv"},
    {0x0801, "Arabic_Iraq", "ar_IQ"},
    {0x0804, "Chinese_PRC", "zh_CN zh"},
    {0x0807, "German_Switzerland", "de_CH"},
    {0x0809, "English_United Kingdom", "en_GB"},
    {0x080A, "Spanish_Mexico", "es_MX"},
    {0x080C, "French_Belgium", "fr_BE"},
    {0x0810, "Italian_Switzerland", "it_CH"},
    {0x0813, "Dutch_Belgium", "nl_BE"},
    {0x0814, "Norwegian_Norway (Nynorsk)", "nn_NO nn"},
    {0x0816, "Portuguese_Portugal", "pt_PT"},
    {0x081A, "Serbian_Serbia (Latin)", "sr_RS@latin"},
    {0x081D, "Swedish_Finland", "sv_FI"},
    {0x0820, "Urdu_India", "ur_IN"},
    {0x0827, "Classic Lithuanian_Lithuania", ""},
    {0x082C, "Azeri_Azerbaijan (Cyrillic)", "az_AZ@cyrillic"},
    {0x083E, "Malay_Brunei Darussalam", "ms_BN"},
    {0x0843, "Uzbek_Uzbekistan (Cyrillic)", "uz_UZ@cyrillic"},
    {0x0C01, "Arabic_Egypt", "ar_EG"},
    {0x0C04, "Chinese_Hong Kong SAR", "zh_HK"},
    {0x0C07, "German_Austria", "de_AT"},
    {0x0C09, "English_Australia", "en_AU"},
    {0x0C0A, "Spanish_Spain (International sort)", "es_ES es"},
    {0x0C0C, "French_Canada", "fr_CA"},
    {0x0C1A, "Serbian_Serbia (Cyrillic)", "sr_RS sr"},
    {0x1001, "Arabic_Libya", "ar_LY"},
    {0x1004, "Chinese_Singapore", "zh_SG"},
    {0x1007, "German_Luxembourg", "de_LU"},
    {0x1009, "English_Canada", "en_CA"},
    {0x100A, "Spanish_Guatemala", "es_GT"},
    {0x100C, "French_Switzerland", "fr_CH"},
    {0x1401, "Arabic_Algeria", "ar_DZ"},
    {0x1404, "Chinese_Macao SAR", "zh_MO"},
    {0x1407, "German_Liechtenstein", "de_LI"},
    {0x1409, "English_New Zealand", "en_NZ"},
    {0x140A, "Spanish_Costa Rica", "es_CR"},
    {0x140C, "French_Luxembourg", "fr_LU"},
    {0x1801, "Arabic_Morocco", "ar_MA"},
    {0x1809, "English_Ireland", "en_IE"},
    {0x180A, "Spanish_Panama", "es_PA"},
    {0x180C, "French_Monaco", "fr_MC"},
    {0x1C01, "Arabic_Tunisia", "ar_TN"},
    {0x1C09, "English_South Africa", "en_ZA"},
    {0x1C0A, "Spanish_Dominican Republic", "es_DO"},
    {0x2001, "Arabic_Oman", "ar_OM"},
    {0x2009, "English_Jamaica", "en_JM"},
    {0x200A, "Spanish_Venezuela", "es_VE"},
    {0x2401, "Arabic_Yemen", "ar_YE"},
    {0x2409, "English_Caribbean", ""},
    {0x240A, "Spanish_Colombia", "es_CO"},
    {0x2801, "Arabic_Syria", "ar_SY"},
    {0x2809, "English_Belize", "en_BZ"},
    {0x280A, "Spanish_Peru", "es_PE"},
    {0x2C01, "Arabic_Jordan", "ar_JO"},
    {0x2C09, "English_Trinidad", "en_TT"},
    {0x2C0A, "Spanish_Argentina", "es_AR"},
    {0x3001, "Arabic_Lebanon", "ar_LB"},
    {0x3009, "English_Zimbabwe", "en_ZW"},
    {0x300A, "Spanish_Ecuador", "es_EC"},
    {0x3401, "Arabic_Kuwait", "ar_KW"},
    {0x3409, "English_Philippines", "en_PH"},
    {0x340A, "Spanish_Chile", "es_CL"},
    {0x3801, "Arabic_U.A.E.", "ar_AE"},
    {0x380A, "Spanish_Uruguay", "es_UY"},
    {0x3C01, "Arabic_Bahrain", "ar_BH"},
    {0x3C0A, "Spanish_Paraguay", "es_PY"},
    {0x4001, "Arabic_Qatar", "ar_QA"},
    {0x400A, "Spanish_Bolivia", "es_BO"},
    {0x440A, "Spanish_El Salvador", "es_SV"},
    {0x480A, "Spanish_Honduras", "es_HN"},
    {0x4C0A, "Spanish_Nicaragua", "es_NI"},
    {0x500A, "Spanish_Puerto Rico", "es_PR"},
};

constexpr std::uint16_t kEnglishUnitedStates = 0x0409;

bool RowHasLocale(const LangRow& row, const std::string& locale) {
  std::istringstream names(row.locales);
  std::string name;
  while (names >> name) {
    if (name == locale) return true;
  }
  return false;
}

bool FindLangId(const std::string& locale, std::uint16_t& id) {
  for (const LangRow& row : kLangRows) {
    if (RowHasLocale(row, locale)) {
      id = row.id;
      return true;
    }
  }
  return false;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return text;
}

// language[_territory][.codeset][@modifier], split into its parts.
struct LocaleParts {
  std::string language;
  std::string territory;
  std::string modifier;
};

LocaleParts SplitLocale(const std::string& locale) {
  LocaleParts parts;
  const std::size_t at = locale.find('@');
  if (at != std::string::npos) parts.modifier = Lower(locale.substr(at + 1));
  const std::string head = locale.substr(0, std::min(at, locale.find('.')));
  const std::size_t underscore = head.find('_');
  parts.language = Lower(head.substr(0, underscore));
  if (underscore != std::string::npos) parts.territory = Upper(head.substr(underscore + 1));
  return parts;
}

}  // namespace

std::string GetUILanguageName(std::uint16_t langId) {
  for (const LangRow& row : kLangRows) {
    if (row.id == langId) return row.name;
  }
  char text[32];
  std::snprintf(text, sizeof text, "0x%.4x_0x%.4x", static_cast<unsigned>(langId), static_cast<unsigned>(langId));
  return text;
}

std::string GetUILanguageName() { return GetUILanguageName(GetUserDefaultUILanguage()); }

std::uint16_t LangIdFromLocale(const std::string& locale) {
  const LocaleParts parts = SplitLocale(locale);
  if (parts.language.empty() || parts.language == "c" || parts.language == "posix") return kEnglishUnitedStates;
  const std::string full = parts.language + "_" + parts.territory;
  std::uint16_t id = kEnglishUnitedStates;
  if (!parts.territory.empty() && !parts.modifier.empty() && FindLangId(full + "@" + parts.modifier, id)) return id;
  if (!parts.territory.empty() && FindLangId(full, id)) return id;
  if (FindLangId(parts.language, id)) return id;
  return kEnglishUnitedStates;
}

std::string EffectiveLocale(const platform::LocaleEnv& env) {
  if (!env.lcAll.empty()) return env.lcAll;
  if (!env.lcMessages.empty()) return env.lcMessages;
  return env.lang;
}

std::uint16_t GetUserDefaultUILanguage() {
  return LangIdFromLocale(EffectiveLocale(platform::SystemFacts().Locale()));
}

std::string RegionFromLocale(const std::string& locale) {
  const std::string territory = SplitLocale(locale).territory;
  const bool iso2 = territory.size() == 2 && territory[0] >= 'A' && territory[0] <= 'Z' &&
                    territory[1] >= 'A' && territory[1] <= 'Z';
  return iso2 ? territory : std::string();
}

std::string GetSystemRegion() {
  const platform::LocaleEnv env = platform::SystemFacts().Locale();
  std::string region = RegionFromLocale(EffectiveLocale(env));
  if (region.empty()) region = RegionFromLocale(env.desktopRegion);
  QMLOG(" System Region info is : " << region);
  return region;
}
