#include "Logger.h"

#include "platform/PrivateFiles.h"

INITIALIZE_EASYLOGGINGPP

namespace qmlog {

void EnsureDefaultLogger() {
  el::Loggers::getLogger("default", true);
  // A fatal entry is only a log line here; crash handling is our own.
  el::Loggers::addFlag(el::LoggingFlag::DisableApplicationAbortOnFatalLog);
  el::Loggers::removeFlag(el::LoggingFlag::LogDetailedCrashReason);
}

void ConfigureDefaultLogger(const std::string& logFilePath, bool toStandardOutput) {
  EnsureDefaultLogger();
  // The log is the user's own: created 0600 before the library appends to it.
  platform::PreparePrivateFile(logFilePath);
  el::Configurations conf;
  conf.setToDefault();
  conf.set(el::Level::Info, el::ConfigurationType::Format, kLineFormat);
  conf.set(el::Level::Info, el::ConfigurationType::Enabled, "true");
  conf.set(el::Level::Info, el::ConfigurationType::ToStandardOutput,
           toStandardOutput ? "true" : "false");
  conf.set(el::Level::Info, el::ConfigurationType::ToFile, "true");
  conf.set(el::Level::Info, el::ConfigurationType::Filename, logFilePath);
  el::Loggers::reconfigureLogger("default", conf);
}

}  // namespace qmlog
