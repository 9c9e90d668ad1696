#pragma once
// The funnel input documents the telemetry queue posts, in the styled form
// (tab indentation, sorted keys, final line break).
#include <map>
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
