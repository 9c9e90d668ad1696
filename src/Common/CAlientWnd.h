#pragma once
// The waiting animation shown while the installed product starts: a 320 x 320
// transparent pop-up that loops 21 frames every 50 ms, starts the product on
// its own thread and closes itself after the configured seconds. When the
// product cannot be started it reports DL019, tells the user to use the
// shortcut, and closes. When the desktop asks for reduced motion
// (ui::ReducedMotion) it shows frame 0 still, and otherwise behaves the same.
#include <QString>
#include <atomic>
#include <string>
#include <thread>

#include "ui/WindowImplBase.h"

class CAlientWnd : public ui::WindowImplBase {
  Q_OBJECT
 public:
  static constexpr int kFrameTimerId = 1000;
  static constexpr int kFrameIntervalMs = 50;
  static constexpr int kFrameCount = 21;
  static constexpr int kCloseTimerId = 1001;
  // Posted by the start thread with the start's result in wParam.
  static constexpr int kMsgProductStarted = 2960;

  CAlientWnd(int adminFlag, std::string quotedPath, std::string productName, std::string productVersion,
             int seconds, int language);
  ~CAlientWnd() override;  // joins the start thread

  QString GetWindowClassName() const override { return "CALIENTWND_UI_Frame"; }
  QString GetSkinFile() const override { return "transWnd.xml"; }

  // Creates the pop-up centred over owner (may be null) and runs it modally
  // until it closes.
  int ShowModal(QWidget* owner);

  // Frames shown by every waiting window of the process so far.
  static int FrameCounter() { return frameCounter_.load(); }
  // The frame on show (0..20), set on the window's thread.
  int ShownFrame() const { return shownFrame_; }
  // Result of the product start: 0 started, -1 failed, 1 not yet known.
  int StartResult() const { return startResult_.load(); }

 protected:
  void InitWindow() override;
  void OnClick(const ui::TNotifyUI& msg) override;
  void OnTimer(int id) override;
  long HandleCustomMessage(int msg, std::intptr_t wParam, std::intptr_t lParam, bool& handled) override;
  void OnClose() override;

 private:
  void ShowNextFrame();
  void ShowFrame(int frame);
  void ReportStartFailure();
  void JoinStartThread();

  int adminFlag_;
  std::string quotedPath_;
  std::string productName_;
  std::string productVersion_;
  int seconds_;
  int language_;
  int shownFrame_ = -1;
  std::thread startThread_;
  std::atomic<int> startResult_{1};
  static std::atomic<int> frameCounter_;
};

// The plain system box of a failed product start ("ClickShortcutToLaunchText",
// empty caption, OK), the same whether or not the waiting window showed.
void ShowStartFailureBox(QWidget* owner, int language);
