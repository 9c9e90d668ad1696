// Screenshots of the real window in each of its states, taken while the
// window is driven through the flow. Runs only when QM_SCREENSHOT_DIR names
// the folder to write to (the README gives the command).
#include <cstdlib>
#include <optional>

#include "Common/MessageBoxWnd.h"
#include "WindowTestSupport.h"
#include "ui/ControlOps.h"
#include "support/ScopedEnv.h"

namespace {

struct Lang {
  const char* locale;
  const char* name;
};

class Screenshots : public MainWindowTest, public ::testing::WithParamInterface<Lang> {
 protected:
  void SetUp() override {
    const char* out = std::getenv("QM_SCREENSHOT_DIR");
    if (out == nullptr || *out == '\0') GTEST_SKIP() << "QM_SCREENSHOT_DIR is not set";
    out_ = out;
    lang_.emplace("LANG", GetParam().locale);
  }
  void Save(InstallUIMainWnd& w, const char* page) {
    QApplication::processEvents();
    const std::string file = out_ + "/main_" + page + "_" + GetParam().name + ".png";
    EXPECT_TRUE(w.grab().save(QString::fromStdString(file), "PNG")) << file;
  }
  std::string out_;
  std::optional<ScopedEnv> lang_;
};

}  // namespace

TEST_P(Screenshots, EveryStateOfTheRealWindow) {
  {
    InstallUIMainWnd& w = Open(StayOnFinishedPage());
    Save(w, "setting");
    ClickLink(w, "license_link");
    Save(w, "license");
    Click(w, "install_setting");
    Save(w, "settings");
    Click(w, "install_setting");
    ServeSetup();
    Click(w, "install_btn");
    ASSERT_TRUE(WaitFor([&] { return ui::IsVisible(w.FindControl("start_app")) && w.CloseMsgType() == kMsgPlain; }));
    Save(w, "finished");
    CloseAndJoin();
  }
  {
    // A slow package that fails its signature check: running, then failed.
    server_.ServeGenerated("/slow/markeraser_setup.exe", 32 << 20, ServeOptions{.bytesPerSecond = 4 << 20});
    BoxAnswerer answerer;
    auto options = Options();
    options.itemOverrides["Extra_download_url"] = server_.Url("/slow/markeraser_setup.exe");
    options.worker.timings.noProgressMs = 60000;
    InstallUIMainWnd& w = Open(std::move(options));
    Click(w, "install_btn");
    ASSERT_TRUE(WaitFor([&] { return w.InstallProgressValue() >= 20; }));
    Save(w, "running");
    ASSERT_TRUE(WaitFor([&] { return ui::IsVisible(w.FindControl("img_warning")) && w.CloseMsgType() == kMsgPlain; }));
    Save(w, "failed");
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, Screenshots,
                         ::testing::Values(Lang{"en_US.UTF-8", "english"}, Lang{"ar_SA.UTF-8", "arabic"},
                                           Lang{"ja_JP.UTF-8", "japanese"}),
                         [](const auto& shot) { return std::string(shot.param.name); });
