#include "Geolocation.h"

#include <vector>

namespace report {

namespace {

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const auto comma = line.find(',', start);
    fields.push_back(line.substr(start, comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

std::string FirstLine(const std::string& text) {
  const auto end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace

bool ParseGeolocation(const std::string& answer, Location& location) {
  if (answer.find("success") == std::string::npos) return false;
  const auto fields = SplitFields(FirstLine(answer));
  location.country = fields.size() > 1 ? fields[1] : "";
  location.city = fields.size() > 5 ? fields[5] : "";
  location.publicAddress = fields.size() > 1 ? fields.back() : "";
  return true;
}

}  // namespace report
