#pragma once
// The pure rules of the start-up sequence: which items it reads from the
// embedded configuration, the start-up download URL, the log stem, the
// command-line forms and the single-instance lock name.
#include <string>
#include <utility>
#include <vector>

struct StartupValues {
  std::string downloaderIdText;
  int downloaderId = 0;
  int siteId = 0;
  std::string softwareName;
  std::string softwareVersion;
  // First of Download_url, Extra_download_url (document order) that is not a
  // CDN or "dl." host URL.
  std::string downloadUrl;
  int mainPid = 0;
  std::string support32System;
};

StartupValues ReadStartupValues(const std::vector<std::pair<std::string, std::string>>& items);

// Text strictly between the last "/" and the first "." after it; empty when
// either is missing ("…/name_x.exe" gives "name_x").
std::string LogStemFromUrl(const std::string& url);

struct CommandLine {
  enum class Mode { kNormal,
                    kCrashDump,
                    kClose };
  bool debug = false;  // the whole command line is exactly "debug"
  Mode mode = Mode::kNormal;
  std::string logFileName;
  std::string reason;  // "CrashDmp", or the close label ("close02")
};

// Parses the raw command-line tail (the arguments after the program name,
// joined by single blanks).
CommandLine ParseCommandLine(const std::string& tail);

// Joins argv[1..] the way the raw command-line tail reads.
std::string CommandLineTail(int argc, char** argv);

std::string InstanceLockName(int downloaderId);

// Window class of the main window: "QM_UI_Frame_" + Downloader_id text, or
// empty when the item is empty (the window then uses "QM_UI_Frame").
std::string WindowClassNameFor(const std::string& downloaderIdText);

bool KitFlagFor(int downloaderId);

// A build that does not support 32-bit systems refuses to start only on a
// system that is itself 32-bit; an empty setting never refuses.
bool ShouldRefuse32Bit(const std::string& support32System, bool systemIs32Bit);
