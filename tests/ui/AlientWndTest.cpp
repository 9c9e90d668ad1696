// The waiting animation window: frames, the product start on its own thread,
// the close after its seconds, and the failure box.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <set>

#include "Common/CAlientWnd.h"
#include "Language.h"
#include "LanguageTables.h"
#include "SingleUserLog.h"
#include "UiTestSupport.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "ui/Container.h"
#include "ui/ImageCache.h"

namespace {

std::string Script(const TempDir& dir, const std::string& name, const std::string& body) {
  dir.Write(name, "#!/bin/sh\n" + body + "\n");
  const std::string path = dir / name;
  chmod(path.c_str(), 0755);
  return path;
}

// Reaps the product the window started (it ends by itself at once).
void ReapChildren() {
  WaitUntil([] { return waitpid(-1, nullptr, WNOHANG) == -1; });
}

QMessageBox* OpenBox() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) return box;
  }
  return nullptr;
}

class AlientWnd : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureUiTestEnvironment();
    CSingleUserLog::GetInstance()->TakeRecordedEvents();
  }
  std::vector<std::string> FlowErrors() {
    std::vector<std::string> codes;
    for (const auto& e : CSingleUserLog::GetInstance()->TakeRecordedEvents()) {
      if (e.action == "FlowError") codes.push_back(e.label);
    }
    return codes;
  }
  TempDir dir_;
};

}  // namespace

TEST_F(AlientWnd, StartsTheProductAnimatesAndClosesAfterItsSeconds) {
  const std::string product = Script(dir_, "product", "pwd > started");
  CAlientWnd wnd(0, "\"" + product + "\"", "Vantor Mark Eraser", "1.0.0.0", 1, kLangEnglish);
  const int framesBefore = CAlientWnd::FrameCounter();
  std::vector<QString> images;
  QSize size;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (auto* fore = wnd.FindControl<ui::Container>("foreImage")) {
      if (images.empty() || images.back() != fore->BkImage()) images.push_back(fore->BkImage());
    }
    size = wnd.size();
  });
  probe.start(10);
  QElapsedTimer clock;
  clock.start();
  wnd.ShowModal(nullptr);  // returns when the window closes itself
  const qint64 shownMs = clock.elapsed();
  probe.stop();

  EXPECT_EQ(wnd.StartResult(), 0);
  EXPECT_TRUE(WaitUntil([&] { return !dir_.Read("started").empty(); }));
  EXPECT_EQ(dir_.Read("started"), dir_.path() + "\n");
  EXPECT_GE(shownMs, 950);  // stayed its second (window timers may fire 5 % early)
  EXPECT_EQ(size, QSize(320, 320));
  EXPECT_EQ(wnd.objectName(), "CALIENTWND_UI_Frame");
  EXPECT_TRUE(wnd.testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_GT(CAlientWnd::FrameCounter() - framesBefore, 2);
  ASSERT_GE(images.size(), 2u);
  for (const QString& image : images) EXPECT_TRUE(image.startsWith("skin/gif/bg")) << image.toStdString();
  EXPECT_TRUE(FlowErrors().empty());
  ReapChildren();
}

TEST_F(AlientWnd, FramesLoopThroughTwentyOnePictures) {
  for (int i = 0; i <= 20; ++i) {
    EXPECT_TRUE(ui::ImageCache::Instance().Load(QString::asprintf("skin/gif/bg%.2d.png", i))) << i;
  }
  const std::string product = Script(dir_, "product", "true");
  CAlientWnd wnd(0, "\"" + product + "\"", "p", "v", 600, kLangEnglish);
  std::set<QString> seen;
  QTimer::singleShot(0, &wnd, [&] {
    auto* fore = wnd.FindControl<ui::Container>("foreImage");
    auto* watch = new QTimer(&wnd);
    QObject::connect(watch, &QTimer::timeout, [&, fore] {
      seen.insert(fore->BkImage());
      if (seen.size() == CAlientWnd::kFrameCount) wnd.Close();
    });
    watch->start(5);
  });
  wnd.ShowModal(nullptr);
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(CAlientWnd::kFrameCount));
  EXPECT_EQ(seen.count("skin/gif/bg20.png"), 1u);
  ReapChildren();
}

TEST_F(AlientWnd, ProductThatCannotStartGivesDL019AndTheBox) {
  CAlientWnd wnd(0, "\"" + dir_ / "missing" + "\"", "p", "v", 600, kLangJapanese);
  QString boxText;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (QMessageBox* box = OpenBox()) {
      boxText = box->text();
      EXPECT_TRUE(box->windowTitle().isEmpty());
      box->button(QMessageBox::Ok)->click();
    }
  });
  closer.start(20);
  wnd.ShowModal(nullptr);  // closes with the box, long before its seconds
  closer.stop();
  EXPECT_EQ(wnd.StartResult(), -1);
  EXPECT_EQ(boxText.toStdString(), GetLanguageText("message_page", "ClickShortcutToLaunchText", kLangJapanese));
  EXPECT_FALSE(boxText.isEmpty());
  const std::vector<std::string> codes = FlowErrors();
  EXPECT_NE(std::find(codes.begin(), codes.end(), "DL019"), codes.end());
}

TEST_F(AlientWnd, ReducedMotionShowsOneStillFrameAndStillStartsTheProduct) {
  ScopedEnv still("QT_ANIMATION_DURATION_FACTOR", "0");
  const std::string product = Script(dir_, "product", "pwd > started");
  CAlientWnd wnd(0, "\"" + product + "\"", "p", "v", 1, kLangEnglish);
  const int framesBefore = CAlientWnd::FrameCounter();
  std::set<QString> seen;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (auto* fore = wnd.FindControl<ui::Container>("foreImage")) seen.insert(fore->BkImage());
  });
  probe.start(10);
  QElapsedTimer clock;
  clock.start();
  wnd.ShowModal(nullptr);  // still closes by itself after its second
  const qint64 shownMs = clock.elapsed();
  probe.stop();
  EXPECT_GE(shownMs, 950);  // its whole second (window timers may fire 5 % early)
  EXPECT_EQ(wnd.StartResult(), 0);
  EXPECT_TRUE(WaitUntil([&] { return !dir_.Read("started").empty(); }));
  EXPECT_EQ(wnd.ShownFrame(), 0);
  EXPECT_EQ(CAlientWnd::FrameCounter(), framesBefore);
  EXPECT_EQ(seen, std::set<QString>{"skin/gif/bg00.png"});
  ReapChildren();
}
