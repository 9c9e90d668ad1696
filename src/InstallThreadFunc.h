#pragma once
// The install worker: one installation from the click to the started product,
// on its own thread. Configuration, URL, up to 12 download rounds,
// verification, the silent setup run, and the hand-over for the product start.
// It is given an InstallRequest, shares the window's InstallHandshake, and
// tells the window what happens through IInstallObserver.
#include <chrono>

#include "DownloadTimings.h"
#include "InstallHandshake.h"
#include "InstallRequest.h"
#include "InstallWindow.h"

struct InstallWorkerOptions {
  int rounds = 12;
  DownloadTimings timings;                        // the engine's limits
  std::chrono::milliseconds setupWaitUnit{1000};  // one wait of the setup run
  std::int64_t autoRunExitPauseMs = 2000;
  float osVersion = -1;  // below 0: the system's own value
};

// 0 when the setup program finished, 1 when the package is not an installer
// and was only downloaded, -1 on any failure.
int InstallThreadFunc(const InstallRequest& request, InstallHandshake& shared, IInstallObserver& window,
                      const InstallWorkerOptions& options = {});

// Deletes the package, its task-info file and its marker file.
void ClearAPPData(const std::string& packagePath);

// Reads the verified-package marker: keeps package and task-info file when it
// names this version and an accepted digest, deletes them otherwise; the
// marker itself is always deleted. Nothing happens without a marker.
void ApplyVerifiedMarker(const std::string& packagePath, const CConfigure& config);
