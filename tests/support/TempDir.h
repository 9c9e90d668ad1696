#pragma once
// A scratch folder that removes itself, for tests that need real files.
#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Writes a whole file, creating its folder.
  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;
  static std::string ReadAbsolute(const std::string& path);

 private:
  std::string path_;
};
