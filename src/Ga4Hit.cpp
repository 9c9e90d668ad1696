#include "Ga4Hit.h"

#include <algorithm>
#include <cctype>

namespace {

// The texts were formatted into 4096-byte buffers; longer ones are cut.
constexpr std::size_t kHitBufferLimit = 4095;

std::string Cut(std::string text) {
  if (text.size() > kHitBufferLimit) text.resize(kHitBufferLimit);
  return text;
}

struct ChannelRow {
  int siteId;
  const char* name;
  bool bing;    // "_bing_" / "_bing." select name + "-Bing"
  bool yahoo;   // "_yahoo_" / "_yahoo." select name + "-Yahoo"
  bool online;  // "_online" / "_online." select name + "Online"
};

// This build's channels.
constexpr ChannelRow kChannels[] = {
    {2, "GooglePPC", true, true, false},
    {8, "BingPPC", false, false, false},
    {54, "Baidu", false, false, false},
    {61, "Organic", true, true, true},
    {74, "Affiliate", false, false, true},
    {84, "Display", true, false, false},
    {93, "CNStore", false, false, false},
    {206, "YouTube", false, false, false},
    {290, "CNPartner", false, false, false},
    {293, "Social", false, true, false},
    {305, "Newsletter", false, false, true},
    {338, "Retarget", true, true, false},
    {354, "CNOrganic", false, false, true},
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
    return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
  });
  return text;
}

bool Has(const std::string& text, const char* marker) { return text.find(marker) != std::string::npos; }

}  // namespace

std::string SiteClass(int siteId) {
  switch (siteId) {
    case 54:
    case 93:
    case 290:
    case 354:
      return "CN";
    case 2:
    case 8:
    case 74:
    case 84:
    case 206:
    case 293:
    case 305:
    case 338:
      return "PPC";
    default:
      return "SEO";
  }
}

std::string ChannelName(int siteId, const std::string& downloadUrl) {
  const std::string url = Lower(downloadUrl);
  for (const auto& row : kChannels) {
    if (row.siteId != siteId) continue;
    const std::string name = row.name;
    if (row.bing && (Has(url, "_bing_") || Has(url, "_bing."))) return name + "-Bing";
    if (row.yahoo && (Has(url, "_yahoo_") || Has(url, "_yahoo."))) return name + "-Yahoo";
    if (row.online && (Has(url, "_online") || Has(url, "_online."))) return name + "Online";
    return name;
  }
  return std::to_string(siteId);
}

std::string CustomDimensionText(const TelemetryContext& c) {
  return Cut("&ep.cd1=" + c.toolsVersion + "&ep.cd2=" + SiteClass(c.siteId) + "&ep.cd3=" +
             ChannelName(c.siteId, c.downloadUrl) + "&ep.cd4=" + c.productName + "&ep.cd5=" +
             c.uiCountry + "&ep.cd6=" + c.uiLanguage + "&ep.cd7=" + c.osText +
             "&ep.cd8=" + (c.kitFlag ? "0" : "1"));
}

std::string Ga4HitText(const TelemetryContext& c, const std::string& measurementId,
                       const std::string& category, const std::string& action, const std::string& label) {
  return Cut("&tid=" + measurementId + "&ep.qm_productname=Downloader&ep.qm_productversion=" +
             c.toolsVersion + "&ep.qm_category=" + category + "&ep.qm_action=" + action +
             "&ep.qm_label=" + label + "&en=" + action + CustomDimensionText(c));
}
