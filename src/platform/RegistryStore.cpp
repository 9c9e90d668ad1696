#include "platform/RegistryStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <json/json.h>

#include <cerrno>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace platform {
namespace fs = std::filesystem;

namespace {

// An advisory lock held for the lifetime of the object; closing the
// descriptor releases it.
class FileLock {
 public:
  FileLock(const std::string& path, int operation)
      : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)) {
    if (!fd_.valid()) return;
    int rc = 0;
    do {
      rc = flock(fd_.get(), operation);
    } while (rc != 0 && errno == EINTR);
    locked_ = rc == 0;
  }
  bool Locked() const { return locked_; }

 private:
  UniqueFd fd_;
  bool locked_ = false;
};

std::string LockPath(const std::string& file) { return file + ".lock"; }

// The hive as an object; anything missing or unparsable reads as empty.
Json::Value ReadHive(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return Json::Value(Json::objectValue);
  std::ostringstream text;
  text << in.rdbuf();
  const std::string data = text.str();
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  builder["failIfExtra"] = true;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  bool parsed = false;
  try {
    parsed = reader->parse(data.data(), data.data() + data.size(), &root, &errors);
  } catch (const std::exception&) {
    parsed = false;  // the parser gives up on absurd nesting by throwing
  }
  return parsed && root.isObject() ? root : Json::Value(Json::objectValue);
}

std::string Serialise(const Json::Value& root) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "  ";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, root) + "\n";
}

std::mutex g_rootMutex;
std::string g_testRoot;

std::string TestRoot() {
  std::lock_guard<std::mutex> lock(g_rootMutex);
  return g_testRoot;
}

}  // namespace

RegistryStore::RegistryStore(std::string file) : file_(std::move(file)) {}

std::string RegistryStore::Get(const std::string& key, const std::string& name) const {
  try {
    std::error_code ec;
    if (!fs::exists(file_, ec)) return {};
    // Readers work without the lock when it cannot be had (a read-only
    // folder): the atomic replacement already keeps them from half files.
    const FileLock lock(LockPath(file_), LOCK_SH);
    const Json::Value root = ReadHive(file_);
    const Json::Value* values = root.find(key.data(), key.data() + key.size());
    if (values == nullptr || !values->isObject()) return {};
    const Json::Value* value = values->find(name.data(), name.data() + name.size());
    return value != nullptr && value->isString() ? value->asString() : std::string();
  } catch (...) {
    return {};
  }
}

bool RegistryStore::Set(const std::string& key, const std::string& name, const std::string& value) const {
  try {
    std::error_code ec;
    const fs::path folder = fs::path(file_).parent_path();
    if (!folder.empty()) fs::create_directories(folder, ec);
    const FileLock lock(LockPath(file_), LOCK_EX);
    if (!lock.Locked()) return false;
    Json::Value root = ReadHive(file_);
    if (!root[key].isObject()) root[key] = Json::Value(Json::objectValue);
    root[key][name] = value;
    return ReplaceFileContent(file_, Serialise(root));
  } catch (...) {
    return false;
  }
}

std::string MachineHivePath() {
  const std::string testRoot = TestRoot();
  if (!testRoot.empty()) return testRoot + "/registry-hklm";
  const std::string systemFolder = "/var/lib/quillmarch";
  std::error_code ec;
  fs::create_directories(systemFolder, ec);
  if (access(systemFolder.c_str(), W_OK) == 0) return systemFolder + "/registry-hklm";
  return DataHome() + "/quillmarch/registry-hklm";
}

std::string UserHivePath() {
  const std::string testRoot = TestRoot();
  if (!testRoot.empty()) return testRoot + "/registry-hkcu";
  return ConfigHome() + "/quillmarch/registry-hkcu";
}

void SetRegistryRootForTesting(const std::string& dir) {
  std::lock_guard<std::mutex> lock(g_rootMutex);
  g_testRoot = dir;
}

}  // namespace platform
