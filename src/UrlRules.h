#pragma once
// Rules over package URLs shared by the configuration, the source selection
// and the download driver.
#include <string>

// A CDN-style URL contains "//cdn." or "//dl." anywhere (plain, case-sensitive
// search); every other URL is served by the maker's own service host.
bool IsCdnUrl(const std::string& url);
