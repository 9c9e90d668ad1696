#pragma once
// Rules over package URLs shared by the configuration, the source selection
// and the download driver. All pure.
#include <string>
#include <vector>

// A CDN-style URL contains "//cdn." or "//dl." anywhere (plain, case-sensitive
// search); every other URL is served by the maker's own service host.
bool IsCdnUrl(const std::string& url);

// Host part in lower case: between the last "/" before the first "." and the
// first "/" after it; empty when either is missing.
std::string GetUrlHost(const std::string& url);

// Download address type of the statistics: 10 CDN or no host, 12 regional
// CDN or an "ali" host, 13 the secondary CDN, 11 anything else.
int GetDownloadAddressType(const std::string& url);

// An http:// or https:// address (scheme in any case): the only kind a
// server may have the desktop open for the user.
bool IsWebUrl(const std::string& url);

// Ends in ".exe" (case-sensitive); also true for texts of 3 characters or fewer.
bool IsExeUrl(const std::string& url);

// Local package name: last segment of extraUrl without its extension, "_",
// version, ".exe" or ".apk". Empty when the name would not stay a plain file
// name inside the download folder (both parts come from a server).
std::string InstallerFileNameFor(const std::string& extraUrl, const std::string& version);

// First service (non-CDN) URL of the list, or empty.
std::string FirstServiceUrl(const std::vector<std::string>& urls);
