#include "FunnelDocument.h"

#include <json/value.h>
#include <json/writer.h>

namespace {

std::string Styled(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "\t";
  builder["commentStyle"] = "None";
  return Json::writeString(builder, value) + "\n";
}

std::string WithAction(const TelemetryContext& c, const FunnelWindowFacts& window, Json::Value action) {
  Json::Value doc(Json::objectValue);
  doc["is_new"] = c.isNew ? 1 : 0;
  doc["brand"] = "PC";
  doc["model"] = "PC";
  doc["product"] = c.productName;
  doc["product_version"] = window.productVersion;
  doc["email"] = "";
  doc["phone"] = "";
  doc["cross_end_id"] = c.crossEndId;
  doc["rnclid"] = c.crossEndId;
  doc["source_type"] = "downloader";
  doc["tools_version"] = c.toolsVersion;
  doc["tools_lang"] = window.toolsLang;
  doc["kit_type"] = c.kitFlag ? 1 : 0;
  doc["actions"] = Json::Value(Json::arrayValue);
  doc["actions"].append(std::move(action));
  doc["pid"] = c.mainPid;
  return Styled(doc);
}

}  // namespace

FunnelWindowFacts WindowFacts(const ITelemetryWindow* window) {
  if (window == nullptr) return {};
  return {window->ProductVersion(), FunnelLanguageCode(window->LanguageId())};
}

std::string CoreFuncDocument(const TelemetryContext& context, const FunnelWindowFacts& window,
                             const std::string& eventType, const std::string& coreFuncName, int funcStep,
                             const std::string& category, const std::string& action,
                             const std::string& label) {
  Json::Value a(Json::objectValue);
  a["event_category"] = category;
  a["event_action"] = action;
  a["event_label"] = label;
  if (!coreFuncName.empty()) {
    a["core_func_name"] = coreFuncName;
    a["func_step"] = funcStep;
  }
  a["event_type"] = eventType.empty() ? "event" : eventType;
  return WithAction(context, window, std::move(a));
}

std::string FieldsDocument(const TelemetryContext& context, const FunnelWindowFacts& window,
                           const std::string& category, const std::string& action,
                           const std::map<std::string, std::string>& fields) {
  Json::Value a(Json::objectValue);
  a["event_type"] = "event";
  a["event_category"] = category;
  a["event_action"] = action;
  for (const auto& [key, value] : fields) {
    if (!key.empty()) a[key] = value;
  }
  return WithAction(context, window, std::move(a));
}

std::string FunnelEventDocument(const FunnelEvent& e) {
  static const TelemetryContext kNone;
  const TelemetryContext& context = e.context ? *e.context : kNone;
  if (e.coreFunc) {
    return CoreFuncDocument(context, e.window, e.eventType, e.coreFuncName, e.funcStep, e.category, e.action,
                            e.label);
  }
  return FieldsDocument(context, e.window, e.category, e.action, e.fields);
}
