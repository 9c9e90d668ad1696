#pragma once
// Process-local named locks: every caller asking for the same name gets the
// same timed mutex, as a named mutex would give within one process.
#include <memory>
#include <mutex>
#include <string>

namespace platform {

std::shared_ptr<std::timed_mutex> NamedMutex(const std::string& name);

}  // namespace platform
