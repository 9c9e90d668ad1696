#pragma once
// The per-machine count of downloads that failed on CDN hosts, kept as the
// value "RequestTooMuchTimes" under the product's uninstall key of the
// machine hive. Four or more failures veto CDN locations.
#include <string>

std::string ProductUninstallKey(const std::string& softwareName);

bool GetRequestTooMuchTimes(const std::string& softwareName, std::string& text);
bool SetRequestTooMuchTimes(const std::string& softwareName, const std::string& text);
// Adds one failure: v + 1 when the stored count v is at least 1, else 1.
void AddRequestTooMuchTimes(const std::string& softwareName);
// True when the stored count is greater than 3; unreadable counts as 0.
bool isForbidCDN(const std::string& softwareName);
