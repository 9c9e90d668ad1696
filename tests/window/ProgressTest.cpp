// The progress bar: never backwards, the three bands, the timers that move it
// while nothing else does, and the handshake that ends its animation.
#include <thread>

#include "WindowTestSupport.h"
#include "ui/ControlOps.h"

namespace {

class Progress : public MainWindowTest {
 protected:
  void SetUp() override {
    Open();
    QObject::connect(window_.get(), &InstallUIMainWnd::progressChanged, [this](int v) { values_.push_back(v); });
  }
  int Bar() const { return ui::GetValue(window_->FindControl("install_progress")); }
  void Post(int message) { ui::WindowImplBase::PostMessage(window_.get(), message); }
  std::vector<int> values_;
};

}  // namespace

TEST_F(Progress, ALowerValueIsIgnored) {
  window_->SetProgress(40);
  window_->SetProgress(30);
  window_->SetProgress(40);
  EXPECT_EQ(Bar(), 40);
  EXPECT_EQ(values_, std::vector<int>{40});
  EXPECT_TRUE(ui::GetText(window_->FindControl("install_label")).contains("40"));
}

TEST_F(Progress, DownloadThreadsFillTheFirstBandThroughTheWindowThread) {
  std::thread download([this] {
    window_->OnDownloadProgress(1 << 20, 2 << 20);
    window_->OnDownloadProgress(2 << 20, 2 << 20);
  });
  download.join();
  ASSERT_TRUE(WaitFor([&] { return Bar() == 85; }));
  EXPECT_EQ(values_, (std::vector<int>{42, 85}));
  EXPECT_EQ(window_->RecordedPackageSize(), 2 << 20);
  EXPECT_EQ(Count(TakeActions(), "PackageSize:2.00MB"), 1);
}

TEST_F(Progress, VerificationCreepStopsAtNinetyUntilTheInstallerRuns) {
  Post(kMsgVerifyStart);
  ASSERT_TRUE(WaitFor([&] { return Bar() == 90 && !window_->HasTimer(kTimerVerifyCreep); }));
  EXPECT_EQ(values_, (std::vector<int>{85, 86, 87, 88, 89, 90}));
  Post(kMsgInstallStarted);
  ASSERT_TRUE(WaitFor([&] { return Bar() >= 92; }));
  EXPECT_EQ(values_[6], 91);
}

TEST_F(Progress, VerificationCreepStopsWhenTheWorkerSaysSo) {
  window_->SetStopProgressCreep(1);
  Post(kMsgVerifyStart);
  ASSERT_TRUE(WaitFor([&] { return Bar() == 85 && !window_->HasTimer(kTimerVerifyCreep); }));
  EXPECT_EQ(values_, std::vector<int>{85});
}

TEST_F(Progress, InstallerEndingAt95CountsTo100AndThenSignals) {
  window_->SetProgress(95);
  window_->SetInstallFinished(true);
  Post(kMsgInstallStarted);
  ASSERT_TRUE(WaitFor([&] { return window_->Handshake().progressFinished.IsSet(); }));
  EXPECT_EQ(values_, (std::vector<int>{95, 96, 97, 98, 99, 100}));
  EXPECT_FALSE(window_->HasTimer(kTimerLastProgress));
  EXPECT_FALSE(window_->HasTimer(kTimerInstallCreep));
}

TEST_F(Progress, InstallerEndingAt98SignalsAtOnce) {
  window_->SetProgress(98);
  window_->SetInstallFinished(true);
  Post(kMsgInstallStarted);
  ASSERT_TRUE(WaitFor([&] { return window_->Handshake().progressFinished.IsSet(); }));
  EXPECT_EQ(Bar(), 98);
  EXPECT_FALSE(window_->HasTimer(kTimerLastProgress));
}

TEST_F(Progress, InstallCreepWaitsBelowOneHundredForTheInstaller) {
  Post(kMsgInstallStarted);
  ASSERT_TRUE(WaitFor([&] { return Bar() == 99 && !window_->HasTimer(kTimerInstallCreep); }));
  EXPECT_FALSE(window_->Handshake().progressFinished.IsSet());
}
