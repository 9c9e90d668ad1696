// UI language names, the locale mapping and the region.
#include <gtest/gtest.h>

#include "FuntionImpl.h"
#include "platform/FakeSystemFacts.h"
#include "support/LogCapture.h"

namespace {

TEST(GetUILanguageName, NamesAsTelemetryReportsThem) {
  const std::pair<std::uint16_t, const char*> cases[] = {
      {0x0C0C, "French_Canada"},
      {0x0417, "0x0417_0x0417"},  // not listed
      {0xABCD, "0xabcd_0xabcd"},  // lower-case hex
      {0x0001, "0x0001_0x0001"},
      {0x0000, "Neutral_Neutral"},
      {0x0400, "Default_Default"},
      {0x0414, "Norwegian_Norway (Bokm?l)"},
      {0x042F, "Macedonian (FYROM)_Macedonian (FYROM)"},
      {0x0450, "Mongolian (Cyrillic)_Mongolia"},
      {0x0827, "Classic Lithuanian_Lithuania"},
      {0x3801, "Arabic_U.A.E."},
      {0x0409, "English_United States"},
      {0x0804, "Chinese_PRC"},
      {0x500A, "Spanish_Puerto Rico"},
  };
  for (const auto& [id, name] : cases) EXPECT_EQ(GetUILanguageName(id), name) << std::hex << id;
}

TEST(LangIdFromLocale, MapsPosixLocalesToTheTable) {
  const std::pair<const char*, std::uint16_t> cases[] = {
      {"ja_JP.UTF-8", 0x0411},
      {"en_US.UTF-8", 0x0409},
      {"zh_CN.UTF-8", 0x0804},
      {"zh_TW.UTF-8", 0x0404},
      {"zh_HK.UTF-8", 0x0C04},
      {"fr_CA", 0x0C0C},
      {"de_AT.ISO-8859-1", 0x0C07},
      {"de_DE.UTF-8@euro", 0x0407},
      {"en_GB", 0x0809},
      {"pt_PT", 0x0816},
      {"pt_BR", 0x0416},
      {"es_ES.UTF-8", 0x0C0A},
      {"nb_NO.UTF-8", 0x0414},
      {"sr_RS", 0x0C1A},
      {"sr_RS@latin", 0x081A},
      {"uz_UZ@cyrillic", 0x0843},
      {"fr_SN.UTF-8", 0x040C},  // country not listed: the language's main entry
      {"en_IN", 0x0409},
      {"ja", 0x0411},
      {"zh", 0x0804},
      {"JA_jp", 0x0411},
      {"C", 0x0409},
      {"C.UTF-8", 0x0409},
      {"POSIX", 0x0409},
      {"", 0x0409},
      {"eo.UTF-8", 0x0409},  // language not in the table
  };
  for (const auto& [locale, id] : cases) EXPECT_EQ(LangIdFromLocale(locale), id) << locale;
}

TEST(EffectiveLocale, LcAllThenLcMessagesThenLang) {
  const std::pair<platform::LocaleEnv, const char*> cases[] = {
      {{"de_DE", "ja_JP", "fr_FR"}, "de_DE"},
      {{"", "ja_JP", "fr_FR"}, "ja_JP"},
      {{"", "", "fr_FR"}, "fr_FR"},
      {{"", "", ""}, ""},
  };
  for (const auto& [env, locale] : cases) EXPECT_EQ(EffectiveLocale(env), locale);
}

TEST(GetUILanguageName, ComesFromTheUsersLocale) {
  FakeSystemFacts facts;
  facts.locale = {"", "fr_CA.UTF-8", "en_US.UTF-8"};
  EXPECT_EQ(GetUserDefaultUILanguage(), 0x0C0C);
  EXPECT_EQ(GetUILanguageName(), "French_Canada");
}

TEST(RegionFromLocale, TwoLetterCountry) {
  const std::pair<const char*, const char*> cases[] = {
      {"ja_JP.UTF-8", "JP"}, {"fr_ca", "CA"}, {"sr_RS@latin", "RS"}, {"ja", ""}, {"C", ""}, {"", ""}, {"es_419", ""},  // a region number is not an ISO country
  };
  for (const auto& [locale, region] : cases) EXPECT_EQ(RegionFromLocale(locale), region) << locale;
}

TEST(GetSystemRegion, LogsWhatItReturns) {
  FakeSystemFacts facts;
  facts.locale = {"", "", "pt_BR.UTF-8"};
  LogCapture log;
  EXPECT_EQ(GetSystemRegion(), "BR");
  EXPECT_NE(log.Text().find(" System Region info is : BR"), std::string::npos) << log.Text();
}

// A locale without a country (C.UTF-8, "en") leaves the region to the
// desktop's own setting.
TEST(GetSystemRegion, FallsBackToTheDesktopsRegionSetting) {
  FakeSystemFacts facts;
  const struct {
    platform::LocaleEnv env;
    const char* region;
  } cases[] = {
      {{"", "", "C.UTF-8", "de_DE.UTF-8"}, "DE"},
      {{"", "", "en_GB.UTF-8", "de_DE.UTF-8"}, "GB"},
      {{"fr", "", "en_GB.UTF-8", ""}, ""},
      {{"", "", "", ""}, ""},
  };
  for (const auto& c : cases) {
    facts.locale = c.env;
    EXPECT_EQ(GetSystemRegion(), c.region) << c.env.lang << " / " << c.env.desktopRegion;
  }
}

TEST(ParseKdeFormatsLocale, ReadsTheFormatsGroupOnly) {
  EXPECT_EQ(platform::ParseKdeFormatsLocale("[Translations]\nLANG=fr_FR\n[Formats]\nLANG=de_AT.UTF-8\n"),
            "de_AT.UTF-8");
  EXPECT_EQ(platform::ParseKdeFormatsLocale("[Translations]\nLANG=fr_FR\n"), "");
  EXPECT_EQ(platform::ParseKdeFormatsLocale(""), "");
}

}  // namespace
