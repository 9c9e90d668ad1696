#include "CollectorDocument.h"

#include <json/reader.h>

#include <memory>

namespace report {

namespace {

const Json::Value kEmptyText("");
const Json::Value kNull;

Json::Value Member(const Json::Value& input, const char* name, const Json::Value& fallback) {
  return input.isMember(name) ? input[name] : fallback;
}

Json::Value Common(const Json::Value& in, const CollectorFacts& facts) {
  Json::Value c(Json::objectValue);
  c["uid"] = facts.uid;
  c["session_id"] = facts.sessionId;
  c["pid"] = Member(in, "pid", Json::Value(0));
  for (const char* name : {"brand", "model", "channel"}) c[name] = Member(in, name, kEmptyText);
  c["is_new"] = Member(in, "is_new", Json::Value(0));
  c["mac"] = "";
  c["os"] = "Win";
  c["os_version"] = facts.osVersion;
  for (const char* name : {"product", "product_version", "email", "phone"}) {
    c[name] = Member(in, name, kEmptyText);
  }
  for (const char* name : {"is_vip", "is_login", "user_id", "cross_end_id", "source_type", "rnclid"}) {
    c[name] = Member(in, name, kNull);
  }
  for (const char* name : {"tools_version", "tools_lang", "kit_type"}) c[name] = Member(in, name, kEmptyText);
  return c;
}

Json::Value Monitor(const Json::Value& in) {
  const Json::Value zero64(static_cast<Json::Int64>(0));
  Json::Value ext(Json::objectValue);
  ext["parent_pid"] = Member(in, "monitor_main_pid", Json::Value(0));
  ext["pid"] = Member(in, "monitor_sub_pid", Json::Value(0));
  ext["ext_others"] = Member(in, "monitor_ext1", kEmptyText);
  Json::Value param(Json::objectValue);
  param["start_time"] = Member(in, "monitor_start_time", zero64);
  param["error_time"] = Member(in, "monitor_error_time", zero64);
  param["line_id"] = Member(in, "monitor_line_id", Json::Value(0));
  for (const char* name : {"error_code", "total_memory", "remain_memory", "user_ext"}) {
    param[name] = Member(in, (std::string("monitor_") + name).c_str(), kEmptyText);
  }
  param["ext"] = ext;
  Json::Value monitor(Json::objectValue);
  monitor["monitor_type"] = Member(in, "monitor_type", kEmptyText);
  monitor["guid"] = Member(in, "monitor_guid", kEmptyText);
  monitor["param"] = param;
  return monitor;
}

}  // namespace

Json::Value BuildCollectorDocument(const Json::Value& input, const CollectorFacts& facts) {
  Json::Value doc(Json::objectValue);
  doc["common"] = Common(input, facts);
  if (input.isMember("entry")) {
    Json::Value start(Json::objectValue);
    start["entry"] = input["entry"];
    doc["start"] = start;
  }
  doc["actions"] = Member(input, "actions", kNull);
  if (input.isMember("monitor_type")) doc["monitor"] = Monitor(input);
  doc["ts"] = static_cast<Json::Int64>(facts.ts);
  return doc;
}

Json::Value ParseInputDocument(const std::string& text) {
  Json::Value value;
  try {
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors) || !value.isObject()) {
      return Json::Value(Json::objectValue);
    }
  } catch (...) {
    return Json::Value(Json::objectValue);
  }
  return value;
}

}  // namespace report
