#pragma once
// The language files of the skin archive ("language/language_*.xml": a root
// layout, one child layout, and in it the layouts "install_page" and
// "message_page" of <Label name= text=> items), the user's language, and the
// language remembered for the installed product.
#include <string>
#include <utility>
#include <vector>

#include "LanguageTables.h"

// The language of the user's interface locale; logs it.
int GetLanguageByLocalSystem();

// The text of key on page of the language's file; empty when the file, the
// page or the key is missing.
std::string GetLanguageText(const std::string& page, const std::string& key, int language);

// Every (name, text) of a page in file order; false when the file or the
// page is missing.
bool GetLanguagePage(const std::string& page, int language, std::vector<std::pair<std::string, std::string>>& items);

// Writes the language where the product of downloaderId reads it (the
// product's own key for 104 and 113-115, else "Inno Setup: Language" in its
// uninstall key named after softwareName). True when the value was written.
bool RememberLanguageForProduct(int downloaderId, const std::string& softwareName, int language);

// Key path and value that RememberLanguageForProduct writes, for its callers'
// logs and tests. hive is "HKCU" or "HKLM".
struct LanguageRegistryValue {
  std::string hive, key, name, value;
};
LanguageRegistryValue LanguageRegistryValueFor(int downloaderId, const std::string& softwareName, int language);
