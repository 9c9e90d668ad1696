#pragma once
// The fixed facts of one install, filled by the window once when it starts a
// worker: they do not change while the worker runs, so the worker reads them
// without asking the window again from its own thread.
#include <string>

#include "CConfigure.h"

class CSingleUserLog;

struct InstallRequest {
  bool retry = false;                 // a second or later attempt of this window
  int downloaderId = 0;               // the "Downloader_id" label of the build
  int needStartFlag = 0;              // 1: start the product when installed
  std::string installPath;            // installation folder of the pre-install checks
  std::string installerLanguageCode;  // of the chosen language ("en", "ja", "jp", …)
  std::string productUrlLabel;        // the "product_url_…" label of that language
  // The invisible configuration labels (also the embedded fallback); owned by
  // the window and unchanged for its life.
  const IConfigItemSource* items = nullptr;
  // The telemetry queue the worker and its downloads report to; null: the
  // process's queue. Lent by the window for its life.
  CSingleUserLog* userLog = nullptr;
};
