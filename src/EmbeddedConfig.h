#pragma once
// The product configuration file inside the skin archive,
// "configure/configure.xml": a root layout whose first child holds one element
// per item. The first attribute of an item is its name, the second its value
// (the file writes them as name and text).
#include <string>
#include <utility>
#include <vector>

#include "CConfigure.h"

inline constexpr const char* kEmbeddedConfigName = "configure/configure.xml";

// Items of the file in document order; empty when it cannot be parsed or has
// no root or no first child.
std::vector<std::pair<std::string, std::string>> ParseEmbeddedConfigItems(const std::string& xml);

// Item source over the parsed file: stands in for the main window's invisible
// configuration labels wherever no window exists.
class EmbeddedConfigItems : public IConfigItemSource {
 public:
  explicit EmbeddedConfigItems(const std::string& xml);
  // Reads configure/configure.xml from the process's resource archive.
  static EmbeddedConfigItems FromResourceArchive();

  bool GetItemText(const std::string& name, std::string& text) const override;

 private:
  std::vector<std::pair<std::string, std::string>> items_;
};
