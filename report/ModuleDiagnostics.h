#pragma once
// The module's diagnostic file: "Logs/.log" beside the program's executable.
// Each message is appended as one line prefixed with the local time
// "[y/m/d-h:m:s] "; the file is opened for every message and the message is
// dropped when it cannot be opened (for example when "Logs" does not exist).
#include <string>

namespace report {

// Formats message (one "%d") with code and appends it.
void Diagnose(const char* message, int code);
std::string DiagnosticFilePath();

}  // namespace report
