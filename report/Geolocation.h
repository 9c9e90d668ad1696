#pragma once
// The geolocation service's answer: one line of comma-separated fields that
// begins with "success"; field 2 is the country, field 6 the city, the last
// field the public address.
#include <string>

namespace report {

struct Location {
  std::string country;
  std::string city;
  std::string publicAddress;
};

// False (location untouched) when the answer does not contain "success".
bool ParseGeolocation(const std::string& answer, Location& location);

}  // namespace report
