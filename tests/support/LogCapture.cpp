#include "support/LogCapture.h"

#include <fstream>
#include <sstream>

#include "Logger.h"

LogCapture::LogCapture() : file_(dir_ / "capture.log") { qmlog::ConfigureDefaultLogger(file_, false); }

LogCapture::~LogCapture() {
  // Back to the library defaults: standard output, no file.
  el::Configurations conf;
  conf.setToDefault();
  el::Loggers::reconfigureLogger("default", conf);
}

std::string LogCapture::Text() const {
  el::Loggers::getLogger("default")->flush();
  std::ifstream in(file_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> LogCapture::Lines() const {
  std::istringstream in(Text());
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
