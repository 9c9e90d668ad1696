#include "EmbeddedConfig.h"

#include <tinyxml2.h>

#include "platform/MemoryZip.h"

std::vector<std::pair<std::string, std::string>> ParseEmbeddedConfigItems(const std::string& xml) {
  std::vector<std::pair<std::string, std::string>> items;
  tinyxml2::XMLDocument doc;
  if (doc.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS) return items;
  const tinyxml2::XMLElement* root = doc.RootElement();
  const tinyxml2::XMLElement* group = root != nullptr ? root->FirstChildElement() : nullptr;
  if (group == nullptr) return items;
  for (const auto* item = group->FirstChildElement(); item != nullptr; item = item->NextSiblingElement()) {
    const tinyxml2::XMLAttribute* first = item->FirstAttribute();
    const tinyxml2::XMLAttribute* second = first != nullptr ? first->Next() : nullptr;
    if (first == nullptr) continue;
    items.emplace_back(first->Value(), second != nullptr ? second->Value() : "");
  }
  return items;
}

EmbeddedConfigItems::EmbeddedConfigItems(const std::string& xml) : items_(ParseEmbeddedConfigItems(xml)) {}

EmbeddedConfigItems EmbeddedConfigItems::FromResourceArchive() {
  std::string xml;
  platform::ReadResourceFile(kEmbeddedConfigName, xml);
  return EmbeddedConfigItems(xml);
}

bool EmbeddedConfigItems::GetItemText(const std::string& name, std::string& text) const {
  for (const auto& [itemName, value] : items_) {
    if (itemName == name) {
      text = value;
      return true;
    }
  }
  return false;
}
