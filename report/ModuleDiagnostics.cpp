#include "ModuleDiagnostics.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace report {

namespace {

std::string ExecutableFolder() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  const std::string exe(path, static_cast<std::size_t>(n));
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

}  // namespace

std::string DiagnosticFilePath() { return ExecutableFolder() + "/Logs/.log"; }

void Diagnose(const char* message, int code) {
  std::FILE* file = std::fopen(DiagnosticFilePath().c_str(), "a");
  if (file == nullptr) return;
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  std::fprintf(file, "[%u/%u/%u-%u:%u:%u] ", static_cast<unsigned>(t.tm_year + 1900),
               static_cast<unsigned>(t.tm_mon + 1), static_cast<unsigned>(t.tm_mday),
               static_cast<unsigned>(t.tm_hour), static_cast<unsigned>(t.tm_min),
               static_cast<unsigned>(t.tm_sec));
  std::fprintf(file, message, code);
  std::fclose(file);
}

}  // namespace report
