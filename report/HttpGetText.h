#pragma once
// Small GET for the user and geolocation services: the fixed browser-like
// headers, the system's proxy configuration, 6 s to connect, at most 6 s
// without receiving and 30 s in all; http and https only, at most 5
// redirects. 0 with the body in text when the status is 200, else -1 (also for
// a body over 1 MiB after decoding). Exactly the bytes received are appended
// to text.
#include <atomic>
#include <string>

int HttpGetText(const std::string& url, std::string& text,
                const std::atomic<bool>* cancel = nullptr);
