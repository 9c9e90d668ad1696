#pragma once
// A skinned window that records what reaches it, for the toolkit tests.
#include <QApplication>
#include <QtCore/qtestsupport_core.h>
#include <functional>
#include <thread>
#include <vector>

#include "ui/WindowImplBase.h"

class RecordingWnd : public ui::WindowImplBase {
 public:
  explicit RecordingWnd(QString skin = "InstallMainWnd.xml") : skin_(std::move(skin)) {}
  QString GetWindowClassName() const override { return "QM_UI_Test"; }
  QString GetSkinFile() const override { return skin_; }
  void Notify(const ui::TNotifyUI& msg) override {
    notes.push_back(msg.sType + ":" + msg.senderName + ":" + QString::number(msg.wParam));
    ui::WindowImplBase::Notify(msg);
  }

  std::vector<QString> notes;
  std::vector<int> timerIds;
  std::vector<int> messages;
  std::vector<std::thread::id> messageThreads;

 protected:
  void OnTimer(int id) override { timerIds.push_back(id); }
  long HandleCustomMessage(int msg, std::intptr_t, std::intptr_t, bool& handled) override {
    messages.push_back(msg);
    messageThreads.push_back(std::this_thread::get_id());
    handled = true;
    return 0;
  }

 private:
  QString skin_;
};

// Runs the event loop until done() holds or boundMs passes; returns done().
inline bool PumpUntil(const std::function<bool()>& done, int boundMs = 120000) {
  return QTest::qWaitFor(done, boundMs);
}

// One application object and the embedded skin for every test.
void EnsureUiTestEnvironment();
