#include "support/PeakMemoryGrowth.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// A "Vm...:  N kB" field of /proc/self/status, in bytes.
std::int64_t StatusField(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(name, 0) == 0) return std::atoll(line.c_str() + name.size()) * 1024;
  }
  return 0;
}

}  // namespace

PeakMemoryGrowth::PeakMemoryGrowth() {
  // "5" resets the peak to the current size.
  std::ofstream("/proc/self/clear_refs") << "5";
  start_ = StatusField("VmRSS:");
  const std::int64_t peak = StatusField("VmHWM:");
  if (peak > start_) start_ = peak;
}

std::int64_t PeakMemoryGrowth::Bytes() const { return StatusField("VmHWM:") - start_; }
