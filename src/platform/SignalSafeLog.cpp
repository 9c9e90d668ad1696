#include "platform/SignalSafeLog.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>

#include "platform/FixedText.h"

namespace platform {

namespace {

std::atomic<long> g_utcOffsetSeconds{0};
char g_logFile[4096];
std::atomic<bool> g_haveLogFile{false};

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

}  // namespace

void PrepareSignalSafeTime() {
  const time_t now = time(nullptr);
  tm local{};
  if (localtime_r(&now, &local) != nullptr) g_utcOffsetSeconds = local.tm_gmtoff;
}

LocalTimeFields CivilTimeFromSeconds(long long seconds, int millisecond) {
  long long days = seconds / 86400;
  long long rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Days since 1970-01-01 to year, month, day (proleptic Gregorian calendar).
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long dayOfEra = days - era * 146097;
  const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long long monthIndex = (5 * dayOfYear + 2) / 153;
  LocalTimeFields fields;
  fields.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  fields.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  fields.year = static_cast<int>(yearOfEra + era * 400 + (fields.month <= 2 ? 1 : 0));
  fields.hour = static_cast<int>(rest / 3600);
  fields.minute = static_cast<int>(rest % 3600 / 60);
  fields.second = static_cast<int>(rest % 60);
  fields.millisecond = millisecond;
  return fields;
}

LocalTimeFields SignalSafeLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return CivilTimeFromSeconds(static_cast<long long>(now.tv_sec) + g_utcOffsetSeconds.load(),
                              static_cast<int>(now.tv_nsec / 1000000));
}

void SetSignalSafeLogFile(const char* path) {
  g_haveLogFile = false;
  FixedText text(g_logFile, sizeof g_logFile);
  text.Append(path);
  g_haveLogFile = text.size() > 0;
}

const char* SignalSafeLogFile() { return g_haveLogFile.load() ? g_logFile : ""; }

void SignalSafeLogLine(const char* message, std::size_t length) {
  char buffer[8192];
  FixedText line(buffer, sizeof buffer);
  const LocalTimeFields t = SignalSafeLocalTime();
  line.AppendUnsigned(static_cast<unsigned>(t.year), 4).AppendChar('-').AppendUnsigned(static_cast<unsigned>(t.month), 2);
  line.AppendChar('-').AppendUnsigned(static_cast<unsigned>(t.day), 2).AppendChar(' ');
  line.AppendUnsigned(static_cast<unsigned>(t.hour), 2).AppendChar(':').AppendUnsigned(static_cast<unsigned>(t.minute), 2);
  line.AppendChar(':').AppendUnsigned(static_cast<unsigned>(t.second), 2).AppendChar(',');
  line.AppendUnsigned(static_cast<unsigned>(t.millisecond), 3);
  line.Append("--[Thread](").AppendUnsigned(static_cast<std::uint64_t>(pthread_self())).Append(") ");
  line.Append(message, length).AppendChar('\n');
  WriteAll(STDOUT_FILENO, line.c_str(), line.size());
  if (!g_haveLogFile.load()) return;
  const int fd = open(g_logFile, O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return;
  WriteAll(fd, line.c_str(), line.size());
  close(fd);
}

}  // namespace platform
