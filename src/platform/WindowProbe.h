#pragma once
// Finding the first instance's main window. The window listens on a local
// socket named after its window class; another instance that finds it asks it
// to come to the front.
#include <string>

namespace platform {

// Socket path of the window class in the user's private runtime folder
// (empty when there is none).
std::string WindowSocketPath(const std::string& windowClassName);

// True when a window of that class answers; it is then asked to raise itself.
bool RaiseWindowOfClass(const std::string& windowClassName);

inline constexpr const char* kRaiseRequest = "raise\n";

}  // namespace platform
