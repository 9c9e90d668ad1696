#pragma once
// The funnel input documents the telemetry queue posts, in the styled form
// (tab indentation, sorted keys, final line break).
#include <map>
#include <memory>
#include <string>

#include "TelemetryContext.h"

// What the main window adds; both empty before the window exists.
struct FunnelWindowFacts {
  std::string productVersion;
  std::string toolsLang;
};

FunnelWindowFacts WindowFacts(const ITelemetryWindow* window);

// Core-function form: "core_func_name" and "func_step" only with a name;
// "event_type" is "event" when eventType is empty.
std::string CoreFuncDocument(const TelemetryContext& context, const FunnelWindowFacts& window,
                             const std::string& eventType, const std::string& coreFuncName, int funcStep,
                             const std::string& category, const std::string& action,
                             const std::string& label);
// Fields form: one text member per field with a non-empty key; a key equal
// to a fixed member replaces it.
std::string FieldsDocument(const TelemetryContext& context, const FunnelWindowFacts& window,
                           const std::string& category, const std::string& action,
                           const std::map<std::string, std::string>& fields);

// One funnel event as plain values taken at the call: the context snapshot,
// the window's facts and the arguments. Building its document later gives
// the document of that moment, whatever changed since.
struct FunnelEvent {
  std::shared_ptr<const TelemetryContext> context;
  FunnelWindowFacts window;
  bool coreFunc = true;  // core-function form; false: fields form
  std::string eventType;
  std::string coreFuncName;
  int funcStep = 0;
  std::string category;
  std::string action;
  std::string label;
  std::map<std::string, std::string> fields;
};

// The document of the event, in the form its call asked for.
std::string FunnelEventDocument(const FunnelEvent& event);
