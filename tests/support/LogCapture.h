#pragma once
// Points the logger "default" at a scratch file for the lifetime of the object
// so a test can read the lines written meanwhile.
#include <string>
#include <vector>

#include "support/TempDir.h"

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  std::vector<std::string> Lines() const;
  std::string Text() const;
  const std::string& FilePath() const { return file_; }

 private:
  TempDir dir_;
  std::string file_;
};
