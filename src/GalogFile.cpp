#include "GalogFile.h"

#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/AtomicFile.h"

namespace {

Json::Value ReadObject(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string content = text.str();
  Json::Value value;
  try {
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream stream(content);
    if (Json::parseFromStream(builder, stream, &value, &errors) && value.isObject()) return value;
  } catch (...) {
  }
  return Json::Value(Json::objectValue);
}

void WriteObject(const std::string& path, const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "\t";
  builder["commentStyle"] = "None";
  platform::ReplaceFileContent(path, Json::writeString(builder, value) + "\n");
}

bool HoldsInt(const Json::Value& object, const char* name, int expected) {
  const Json::Value& member = object[name];
  return member.isInt() && member.asInt() == expected;
}

}  // namespace

CalendarDay LocalToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

bool MarkRunDay(const std::string& path, const CalendarDay& today) {
  const bool exists = std::filesystem::exists(path);
  Json::Value object = exists ? ReadObject(path) : Json::Value(Json::objectValue);
  if (exists && HoldsInt(object, "year", today.year) && HoldsInt(object, "month", today.month) &&
      HoldsInt(object, "day", today.day)) {
    return false;
  }
  object["year"] = today.year;
  object["month"] = today.month;
  object["day"] = today.day;
  WriteObject(path, object);
  return true;
}

void RecordVersion(const std::string& path, const std::string& version) {
  const bool exists = std::filesystem::exists(path);
  Json::Value object = exists ? ReadObject(path) : Json::Value(Json::objectValue);
  const Json::Value& stored = object["version"];
  if (exists && stored.isString() && stored.asString() == version) return;
  object["version"] = version;
  WriteObject(path, object);
}
