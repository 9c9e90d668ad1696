#pragma once
// The program's one logger, "default", over easylogging++.
//
// QMLOG(" Label: " << value) writes an information-level line whose message
// carries the calling function's full signature and its source file, followed
// by the text (which by convention begins with a blank and a label).
#include <string>

#include <easylogging++.h>

#define QMLOG(stream_expr) \
  CLOG(INFO, "default") << __PRETTY_FUNCTION__ << " " << __FILE__ << stream_expr

namespace qmlog {

// Line format of every information-level entry.
inline constexpr const char* kLineFormat = "%datetime--[Thread](%thread) %msg";

// Makes sure the logger "default" exists with the library defaults (standard
// output, no file). Safe to call more than once and from any thread.
void EnsureDefaultLogger();

// Configures "default": information level in kLineFormat, to standard output
// when toStandardOutput, and to the file at logFilePath. Fatal entries never
// end the process.
void ConfigureDefaultLogger(const std::string& logFilePath, bool toStandardOutput);

}  // namespace qmlog
