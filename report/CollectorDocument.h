#pragma once
// The funnel collector's document, made from a funnel input document.
#include <json/value.h>

#include <string>

namespace report {

struct CollectorFacts {
  std::string uid;  // machine id
  std::string sessionId;
  std::string osVersion;  // "<name> x64" / "<name> x32"
  long long ts = 0;       // local milliseconds since the epoch
};

// Members absent from input take their defaults; "start" and "monitor" appear
// only when input has "entry" / "monitor_type".
Json::Value BuildCollectorDocument(const Json::Value& input, const CollectorFacts& facts);

// Parses a funnel input document (comments allowed); a text that does not
// parse, or is not an object, gives an empty object.
Json::Value ParseInputDocument(const std::string& text);

}  // namespace report
