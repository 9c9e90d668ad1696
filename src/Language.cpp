#include "Language.h"

#include <tinyxml2.h>

#include "FuntionImpl.h"
#include "Logger.h"
#include "platform/MemoryZip.h"

namespace {

const tinyxml2::XMLElement* FindPage(const tinyxml2::XMLDocument& doc, const std::string& page) {
  const tinyxml2::XMLElement* root = doc.RootElement();
  const tinyxml2::XMLElement* holder = root ? root->FirstChildElement() : nullptr;
  for (auto* e = holder ? holder->FirstChildElement() : nullptr; e; e = e->NextSiblingElement()) {
    const char* name = e->Attribute("name");
    if (name != nullptr && page == name) return e;
  }
  return nullptr;
}

bool LoadLanguageFile(int language, tinyxml2::XMLDocument& doc) {
  std::string xml;
  if (!platform::ReadResourceFile(LanguageFilePath(language), xml)) return false;
  return doc.Parse(xml.data(), xml.size()) == tinyxml2::XML_SUCCESS;
}

const char* WayvixLocale(int language) {
  static const char* const kLocales[] = {"en_US", "ja_JP", "zh_CN", "es_ES", "de_DE", "fr_FR", "ru_RU", "pt_BR"};
  if (language >= 1 && language <= 7) return kLocales[language];
  return language == kLangChineseTrad ? "zh_TW" : "en_US";
}

}  // namespace

int GetLanguageByLocalSystem() {
  const std::uint16_t langId = GetUserDefaultUILanguage();
  QMLOG(" GetLanguageByLocalSystem: " << langId);
  return LanguageFromLangId(langId);
}

bool GetLanguagePage(const std::string& page, int language, std::vector<std::pair<std::string, std::string>>& items) {
  tinyxml2::XMLDocument doc;
  if (!LoadLanguageFile(language, doc)) return false;
  const tinyxml2::XMLElement* pageElement = FindPage(doc, page);
  if (pageElement == nullptr) return false;
  for (auto* e = pageElement->FirstChildElement(); e; e = e->NextSiblingElement()) {
    const char* name = e->Attribute("name");
    const char* text = e->Attribute("text");
    items.emplace_back(name ? name : "", text ? text : "");
  }
  return true;
}

std::string GetLanguageText(const std::string& page, const std::string& key, int language) {
  std::vector<std::pair<std::string, std::string>> items;
  if (!GetLanguagePage(page, language, items)) return {};
  for (const auto& [name, text] : items) {
    if (name == key) return text;
  }
  return {};
}

LanguageRegistryValue LanguageRegistryValueFor(int downloaderId, const std::string& softwareName, int language) {
  if (downloaderId == 104) {
    return {"HKCU", "Software\\Orchelvane\\Reel Morph Studio", "kCurrentLanguage",
            language == kLangChinese ? "Chinese" : "English"};
  }
  if (downloaderId >= 113 && downloaderId <= 115) {
    return {"HKCU", "Software\\Quillmarch\\Wayvix", "Lang", WayvixLocale(language)};
  }
  // The store has no 32-bit view: the first of the two uninstall keys (the
  // one a 32-bit installer writes on a 64-bit system) always opens.
  return {"HKLM", "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{" + softwareName + "}_is1",
          "Inno Setup: Language", UninstallLanguageCode(language)};
}

bool RememberLanguageForProduct(int downloaderId, const std::string& softwareName, int language) {
  const LanguageRegistryValue v = LanguageRegistryValueFor(downloaderId, softwareName, language);
  if (v.hive == "HKCU") return RegSetStringUser(v.key, v.name, v.value);
  return RegSetString(v.key, v.name, v.value);
}
