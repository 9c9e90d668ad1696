#pragma once
// Text of a GA4 hit: measurement id, product parameters, the event's
// category, action and label, and eight custom dimensions. Values go in raw;
// the reporting object escapes the whole text.
#include <string>

#include "TelemetryContext.h"

// "CN", "PPC" or "SEO".
std::string SiteClass(int siteId);
// Channel of this build's site ids, with the URL's marker variants; the site
// id in decimal when it is not listed.
std::string ChannelName(int siteId, const std::string& downloadUrl);
// "&ep.cd1=...&ep.cd8=%d", at most 4095 bytes.
std::string CustomDimensionText(const TelemetryContext& context);
// "&tid=<id>&ep.qm_productname=Downloader...", at most 4095 bytes.
std::string Ga4HitText(const TelemetryContext& context, const std::string& measurementId,
                       const std::string& category, const std::string& action, const std::string& label);
