// The launcher-entry signal on a private session bus: a dbus-daemon of the
// test's own and dbus-monitor listening for "Update", the real window
// installing behind them.
#include <filesystem>

#include "WindowTestSupport.h"
#include "support/ScopedEnv.h"
#include "support/Subprocess.h"

namespace {

// A private session bus and a monitor of the launcher-entry signals on it.
class PrivateSessionBus {
 public:
  explicit PrivateSessionBus(const TempDir& dir) : dir_(dir) {
    daemon_ = Subprocess::Start({"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"},
                                {}, dir_ / "bus.txt");
    EXPECT_TRUE(WaitFor([&] { return Address().find("unix:") == 0; })) << "dbus-daemon gave no address";
    monitor_ = Subprocess::Start({"/usr/bin/dbus-monitor", "--address", Address(),
                                  "type='signal',interface='com.canonical.Unity.LauncherEntry'"},
                                 {}, dir_ / "monitor.txt");
    // The monitor reports its own name once it listens.
    EXPECT_TRUE(WaitFor([&] { return Monitor().find("NameAcquired") != std::string::npos; })) << Monitor();
  }

  std::string Address() const {
    const std::string text = std::filesystem::exists(dir_ / "bus.txt") ? dir_.Read("bus.txt") : "";
    return text.substr(0, text.find('\n'));
  }
  std::string Monitor() const {
    return std::filesystem::exists(dir_ / "monitor.txt") ? dir_.Read("monitor.txt") : "";
  }

 private:
  const TempDir& dir_;
  Subprocess daemon_, monitor_;
};

}  // namespace

TEST_F(MainWindowTest, LauncherEntryProgressRisesToOneAndAFailureAsksForAttention) {
  PrivateSessionBus bus(dir_);
  ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.Address());
  ServeSetup();
  InstallUIMainWnd& w = Open(StayOnFinishedPage());
  Click(w, "install_btn");
  ASSERT_TRUE(WaitFor([&] { return bus.Monitor().find("double 1\n") != std::string::npos; })) << bus.Monitor();
  const std::string installed = bus.Monitor();
  EXPECT_NE(installed.find("string \"application://qm_downloader.desktop\""), std::string::npos);
  EXPECT_NE(installed.find("string \"progress-visible\""), std::string::npos);
  EXPECT_EQ(installed.find("boolean true\n", installed.find("\"urgent\"")), std::string::npos) << installed;
  CloseAndJoin();

  server_.ServeBytes(kPackagePath, "", ServeOptions{.errorStatus = 404, .errorBody = "not here"});
  BoxAnswerer answerer;  // the failure box
  InstallUIMainWnd& again = Open(StayOnFinishedPage());
  Click(again, "install_btn");
  ASSERT_TRUE(WaitFor([&] {
    const std::string text = bus.Monitor();
    const auto urgent = text.find("string \"urgent\"", installed.size());
    return urgent != std::string::npos && text.find("boolean true", urgent) != std::string::npos;
  })) << bus.Monitor();
}
