#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qmtest-XXXXXX").string();
  const char* made = mkdtemp(pattern.data());
  path_ = made != nullptr ? made : pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
  const std::filesystem::path file = std::filesystem::path(path_) / name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
}

std::string TempDir::Read(const std::string& name) const { return ReadAbsolute(path_ + "/" + name); }

std::string TempDir::ReadAbsolute(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
