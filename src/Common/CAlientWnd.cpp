#include "Common/CAlientWnd.h"

#include <QMessageBox>
#include <QTimer>

#include "FuntionImpl.h"
#include "Language.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "TestSettings.h"
#include "ui/ControlOps.h"
#include "ui/ReducedMotion.h"
#include "platform/ThreadStart.h"

namespace {
constexpr int kAutoConfirmMs = 1000;  // unattended runs confirm the box themselves
}

std::atomic<int> CAlientWnd::frameCounter_{0};

CAlientWnd::CAlientWnd(int adminFlag, std::string quotedPath, std::string productName, std::string productVersion,
                       int seconds, int language)
    : adminFlag_(adminFlag),
      quotedPath_(std::move(quotedPath)),
      productName_(std::move(productName)),
      productVersion_(std::move(productVersion)),
      seconds_(seconds),
      language_(language) {}

CAlientWnd::~CAlientWnd() { JoinStartThread(); }

int CAlientWnd::ShowModal(QWidget* owner) {
  if (!Create(owner, "Alient", 320, 320)) return 0;
  CenterWindow();
  return WindowImplBase::ShowModal();
}

void CAlientWnd::InitWindow() {
  // Its close button takes the focus, and Escape presses it.
  SetEscapeButtons({"closebtn"});
  SetFocusButtons({"closebtn"});
  if (ui::ReducedMotion()) {
    ShowFrame(0);  // one still frame; the window still waits and starts the product
  } else {
    SetTimer(kFrameTimerId, kFrameIntervalMs);
    ShowNextFrame();
  }
  const std::string path = quotedPath_;
  const int flag = adminFlag_;
  startThread_ = platform::StartThread([this, path, flag] {
    const int result = FuntionImpl::StartTargetMainExe(path, flag);
    startResult_ = result == 0 ? 0 : -1;
    ui::WindowImplBase::PostMessage(this, kMsgProductStarted, result, 0);
  });
}

void CAlientWnd::ShowNextFrame() { ShowFrame(frameCounter_.fetch_add(1) % kFrameCount); }

void CAlientWnd::ShowFrame(int frame) {
  shownFrame_ = frame;
  ui::SetBkImage(FindControl("foreImage"), QString::asprintf("skin/gif/bg%.2d.png", frame));
}

void CAlientWnd::OnTimer(int id) {
  if (id == kFrameTimerId) {
    ShowNextFrame();
  } else if (id == kCloseTimerId) {
    KillTimer(kCloseTimerId);
    Close();
  }
}

long CAlientWnd::HandleCustomMessage(int msg, std::intptr_t wParam, std::intptr_t, bool& handled) {
  if (msg != kMsgProductStarted) return WindowImplBase::HandleCustomMessage(msg, wParam, 0, handled);
  handled = true;
  JoinStartThread();
  if (wParam != 0) {
    ReportStartFailure();
    Close();
  } else {
    SetTimer(kCloseTimerId, std::max(seconds_, 0) * 1000);
  }
  return 0;
}

void CAlientWnd::ReportStartFailure() {
  QMLOG(" Start product failed: " << quotedPath_);
  CSingleUserLog::GetInstance()->AddUserLog("Other", "FlowError", "DL019", false);
  ShowStartFailureBox(this, language_);
}

void ShowStartFailureBox(QWidget* owner, int language) {
  const QString text = QString::fromStdString(GetLanguageText("message_page", "ClickShortcutToLaunchText", language));
  QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, owner);
  box.setObjectName("ClickShortcutToLaunchBox");
  if (IsAutoRun()) QTimer::singleShot(kAutoConfirmMs, &box, &QMessageBox::accept);
  box.exec();
}

void CAlientWnd::OnClick(const ui::TNotifyUI& msg) {
  if (msg.senderName == "closebtn") Close();
  else if (msg.senderName == "minbtn") Minimize();
}

void CAlientWnd::OnClose() {
  KillTimer(kFrameTimerId);
  KillTimer(kCloseTimerId);
}

void CAlientWnd::JoinStartThread() {
  if (startThread_.joinable()) startThread_.join();
}
