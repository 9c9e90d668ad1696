#pragma once
// Log lines written from a signal handler: the logger's line format
// ("yyyy-mm-dd hh:mm:ss,mmm--[Thread](id) message") straight to standard
// output and the log file with write(2), without locks or allocation.
#include <cstddef>

namespace platform {

struct LocalTimeFields {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Remembers the local time zone offset; call at start-up (not signal-safe).
void PrepareSignalSafeTime();
// The local time with the offset prepared above. Async-signal-safe.
LocalTimeFields SignalSafeLocalTime();
// Civil date of a count of seconds since 1970 (pure).
LocalTimeFields CivilTimeFromSeconds(long long seconds, int millisecond);

// Where lines go besides standard output; empty for standard output only.
// Not signal-safe (copies into a reserved buffer).
void SetSignalSafeLogFile(const char* path);
const char* SignalSafeLogFile();

// Writes one line. Async-signal-safe.
void SignalSafeLogLine(const char* message, std::size_t length);

}  // namespace platform
