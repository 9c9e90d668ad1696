#pragma once
// What the install worker sees of the main window: custom messages it posts
// (never sends), a few shared flags, the "ProgressFinish100" event, the
// configuration record and the embedded item labels. The main window
// implements it; tests use a recording stand-in.
#include <atomic>
#include <memory>
#include <cstdint>
#include <string>

#include "CConfigure.h"
#include "platform/Event.h"

// Custom messages from worker threads to the main window (wParam in brackets).
enum WorkerMessage : int {
  kMsgMessageBoxResult = 2943,  // a message box of types 6 and 7 closed
  kMsgDownloadFailed = 2944,    // [14 (no URL) or the download result]
  kMsgNotInstaller = 2945,      // downloaded; the package is not an installer
  kMsgVerifyStart = 2946,       // download complete, verification starts
  kMsgInstallStarted = 2947,    // setup program started
  kMsgInstallTimeout = 2948,    // setup program did not finish in time
  kMsgInstalled = 2949,         // setup finished and the progress animation ended
  kMsgSignatureFailed = 2950,   // the package failed its signature check
};

class IInstallWindow {
 public:
  virtual ~IInstallWindow() = default;

  // Thread-safe: queued for the window's thread.
  virtual void PostWorkerMessage(int message, std::intptr_t wParam) = 0;

  virtual CConfigure& Config() = 0;
  // The invisible configuration labels (also the embedded fallback).
  virtual const IConfigItemSource& ConfigItems() const = 0;
  virtual std::atomic<bool>& AsyncQueryAbandoned() = 0;

  virtual bool IsRetry() const = 0;
  virtual void SetAdviceUrl(const std::string& url) = 0;
  virtual std::string AdviceUrl() const = 0;
  virtual int DownloaderId() const = 0;
  virtual int NeedStartFlag() const = 0;
  virtual void SetStopProgressCreep(int value) = 0;
  virtual void SetInstallFinished(bool value) = 0;
  virtual platform::Event& ProgressFinishEvent() = 0;
  // Value of the "install_progress" bar, 0 to 100.
  virtual int InstallProgressValue() const = 0;

  // Installation folder of the pre-install checks.
  virtual std::string GetInstallPath() const = 0;
  // Installer language code of the chosen language ("en", "ja", "jp", …).
  virtual std::string InstallerLanguageCode() const = 0;
  // Name of the "product_url_…" label of the product's language.
  virtual std::string ProductUrlLabel() const = 0;
  // Remembers the chosen language for the product.
  virtual void WriteProductLanguage() = 0;

  // Download progress bookkeeping of the window.
  virtual void ResetDownloadProgress() = 0;
  virtual void OnDownloadProgress(std::int64_t done, std::int64_t total) = 0;
  virtual std::int64_t RecordedPackageSize() const = 0;

  virtual void OpenUrl(const std::string& url) = 0;
  // The worker's click on "start_app" after a finished installation: the
  // window's thread starts the product (behind the waiting window when it
  // has one); an unattended run starts it directly on the caller's thread.
  virtual void ClickStartApp() = 0;
  virtual void CloseWindow() = 0;
  // Lets a new instance start (unattended runs, before the window closes).
  virtual void ReleaseInstanceLock() = 0;
  // True once the user has closed the window: the worker stops before its
  // next round and never installs what the user cancelled.
  virtual bool WindowClosed() const { return false; }
  // Set when the window closes (empty: a window that never closes): the
  // download watches it and stops its transfers at once.
  virtual std::shared_ptr<const std::atomic<bool>> CloseSignal() const { return nullptr; }
};
