#pragma once
// The install worker's side of the window: the custom messages it posts
// (never sends) and the observer of its messages and progress. What the
// worker is asked to do comes in an InstallRequest; what it shares with the
// window lives in the window's InstallHandshake.
#include <cstdint>
#include <string>

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

// What the install worker tells the window: messages and progress. The
// window implements it; tests use a recording stand-in. Every call comes from
// the worker's thread (progress also from the download threads).
class IInstallObserver {
 public:
  virtual ~IInstallObserver() = default;

  // Queued for the window's thread.
  virtual void PostWorkerMessage(int message, std::intptr_t wParam) = 0;

  virtual void SetAdviceUrl(const std::string& url) = 0;
  virtual void SetStopProgressCreep(int value) = 0;
  virtual void SetInstallFinished(bool value) = 0;
  // Value of the "install_progress" bar, 0 to 100.
  virtual int InstallProgressValue() const = 0;
  virtual void OnDownloadProgress(std::int64_t done, std::int64_t total) = 0;

  // Remembers the chosen language for the product.
  virtual void WriteProductLanguage() = 0;
  virtual void OpenUrl(const std::string& url) = 0;
  // The worker's click on "start_app" after a finished installation: the
  // window's thread starts the product (behind the waiting window when it
  // has one); an unattended run starts it directly on the caller's thread.
  virtual void ClickStartApp() = 0;
  virtual void CloseWindow() = 0;
  // Lets a new instance start (unattended runs, before the window closes).
  virtual void ReleaseInstanceLock() = 0;
};
