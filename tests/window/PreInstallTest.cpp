// The checks before an installation starts: the rules over injected facts,
// and the window's answer to each failure (message box, flow error, page).
#include <QTest>
#include <filesystem>
#include <fstream>

#include "Common/MessageBoxWnd.h"
#include "ConfigurationService.h"
#include "PreInstallRules.h"
#include "WindowTestSupport.h"
#include "support/StandInServer.h"
#include "platform/SystemFacts.h"
#include "ui/ControlOps.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kSize = 1000;

// Download folder on filesystem "A"; the install folder on "A" or "B".
PreInstallFacts Facts(std::uint64_t downloadFree, std::uint64_t installFree, bool sameDrive) {
  PreInstallFacts facts;
  facts.freeSpace = [=](const std::string& path, platform::FreeSpace& space) {
    space.available = path.rfind("/dl", 0) == 0 ? downloadFree : installFree;
    space.total = space.available;
    return true;
  };
  facts.filesystemOf = [=](const std::string& path) { return path.rfind("/dl", 0) == 0 || sameDrive ? "A" : "B"; };
  return facts;
}

}  // namespace

TEST(PreInstallRules, FreeSpaceTable) {
  struct Row {
    std::uint64_t download, install;
    bool same;
    int result;
    std::uint64_t free;
  };
  const Row rows[] = {
      {kSize, 1 << 20, true, -1, kSize},       // equal to the package: not enough
      {kSize + 1, 3 * kSize + 1, true, 1, 0},  // same drive: more than three times
      {kSize + 1, 3 * kSize, true, -2, 3 * kSize},
      {kSize + 1, 2 * kSize + 1, false, 1, 0},  // other drive: more than twice
      {kSize + 1, 2 * kSize, false, -2, 2 * kSize},
      {kSize + 1, 2 * kSize + 1, true, -2, 2 * kSize + 1},
  };
  for (const Row& row : rows) {
    const SpaceVerdict v = CheckFreeSpace(Facts(row.download, row.install, row.same), "/dl", "/inst/Vantor", kSize);
    EXPECT_EQ(v.result, row.result) << row.download << " " << row.install << " " << row.same;
    EXPECT_EQ(v.free, row.free) << row.download << " " << row.install;
  }
  EXPECT_EQ(CheckFreeSpace(Facts(0, 0, true), "/dl", "/inst", 0).result, 1);  // size unknown
  PreInstallFacts unreadable = Facts(0, 0, true);
  unreadable.freeSpace = [](const std::string&, platform::FreeSpace&) { return false; };
  EXPECT_EQ(CheckFreeSpace(unreadable, "/dl", "/inst", kSize).result, 1);
}

TEST(PreInstallRules, PathsAndProcessNames) {
  EXPECT_EQ(BrowsedInstallPath("/srv/Tools"), "/srv/Tools/Vantor");
  EXPECT_EQ(BrowsedInstallPath("/"), "/Vantor");
  EXPECT_EQ(BrowsedInstallPath("/srv/Vantor Apps"), "/srv/Vantor Apps");
  EXPECT_EQ(NormaliseInstallPath("/srv\\Tools\\Vantor", "Vantor Mark Eraser"), "/srv/Tools/Vantor/Vantor Mark Eraser");
  EXPECT_EQ(NormaliseInstallPath("/opt/Vantor Mark Eraser/x", "Vantor Mark Eraser"), "/opt/Vantor Mark Eraser/x");
  const std::vector<platform::ProcessEntry> list = {{7, "markeraser.exe"}, {9, "MarkEraser.exe"}};
  EXPECT_EQ(FindProcessByName(list, "MarkEraser.exe"), 9);
  EXPECT_EQ(FindProcessByName({{7, "markeraser.exe"}}, "MarkEraser.exe"), -1);
  EXPECT_EQ(platform::ExeNameFromLinkTarget("/usr/bin/MarkEraser.exe (deleted)"), "MarkEraser.exe");
}

TEST(PreInstallRules, TheRealMachine) {
  const auto processes = platform::ListProcesses();
  EXPECT_GE(FindProcessByName(processes, "qm_window_tests"), 1);
  TempDir dir;
  platform::FreeSpace space;
  EXPECT_TRUE(platform::ReadFreeSpace(dir / "not/yet/there", space));
  EXPECT_GE(space.total, space.available);
  EXPECT_EQ(platform::FilesystemOf(dir / "not/yet/there"), platform::FilesystemOf(dir.path()));
  EXPECT_FALSE(platform::FilesystemOf(dir.path()).empty());
}

TEST(PreInstallRules, NetFrameRequirement) {
  TempDir dir;
  EXPECT_EQ(ReadNetFrameRequirement(dir.path()), "");
  dir.Write("NetFrameCheck.db", "[Text]\nNetFrameworkVersion=9.9\n");
  EXPECT_EQ(ReadNetFrameRequirement(dir.path()), "");
  dir.Write("NetFrameCheck.db", "\xEF\xBB\xBF[Settings]\r\nName=x\r\nNetFrameworkVersion=4.8\r\n[Text]\r\nNetFrameworkVersion=5\r\n");
  EXPECT_EQ(ReadNetFrameRequirement(dir.path()).substr(0, 3), "4.8");
  EXPECT_TRUE(NeedsNewerNetFrame("4.7.2", "4.8\r"));
  EXPECT_FALSE(NeedsNewerNetFrame("4.8.0", "4.8"));
  EXPECT_FALSE(NeedsNewerNetFrame("4.8.1", "4.8"));
  EXPECT_TRUE(NeedsNewerNetFrame("", "4.8"));  // nothing installed: 0.0.0.0
  EXPECT_FALSE(NeedsNewerNetFrame("", "0"));
}

namespace {

class PreInstall : public MainWindowTest {
 protected:
  // The window's threads may still be asking service_: they end before it goes.
  ~PreInstall() override { CloseAndJoin(); }

  // The service answers with a package of kSize bytes, so the space check runs.
  void ServeConfiguration() {
    service_.Answer("/queryDownloaderV2", 200,
                    "<Downloader><Software_name>Vantor Mark Eraser</Software_name><Software_version>1.0.0.0"
                    "</Software_version><Process_name>MarkEraser.exe</Process_name><Filesize>1000</Filesize>"
                    "<Extra_download_url>" +
                        PackageUrl() + "</Extra_download_url></Downloader>");
    process_.ConfigService({service_.Url(), service_.Url(), service_.Url()});
  }
  bool ConfigReadyFromService() {
    std::lock_guard<std::mutex> lock(ConfigExchangeLock());
    return window_->Handshake().config.status == CConfigure::kReady && window_->Handshake().config.source == CConfigure::kFromService;
  }
  StandInServer service_;
};

}  // namespace

TEST_F(PreInstall, ProductRunningShowsMessage3AndStaysInSetting) {
  processes_.push_back({4242, "MarkEraser.exe"});
  InstallUIMainWnd& w = Open();
  BoxAnswerer answerer;
  Click(w, "install_btn");
  EXPECT_EQ(answerer.Types(), std::vector<int>{kMsgAppExist});
  EXPECT_EQ(MainPage(), 0);
  EXPECT_TRUE(Has(TakeActions(), "FlowError:DL024"));
}

TEST_F(PreInstall, DownloadDriveEqualToThePackageFails) {
  ServeConfiguration();
  auto options = Options();
  options.facts.freeSpace = [](const std::string&, platform::FreeSpace& space) {
    space.available = space.total = kSize;
    return true;
  };
  InstallUIMainWnd& w = Open(std::move(options));
  ASSERT_TRUE(WaitFor([&] { return ConfigReadyFromService(); }));
  BoxAnswerer answerer;
  Click(w, "install_btn");
  EXPECT_EQ(answerer.Types(), std::vector<int>{kMsgNoEnoughSpace});
  EXPECT_EQ(MainPage(), 0);
  const auto actions = TakeActions();
  EXPECT_TRUE(Has(actions, "FlowError:DL008"));
  EXPECT_TRUE(Has(actions, "NoEnoughSpace:download_1000"));
}

TEST_F(PreInstall, InstallDriveShortEvenOnTheBestDriveFails) {
  ServeConfiguration();
  auto options = Options();
  const std::string work = CSingleUserLog::GetInstance()->GetWorkDir();
  options.facts.freeSpace = [work](const std::string& path, platform::FreeSpace& space) {
    space.available = space.total = path.rfind(work, 0) == 0 ? 100 * kSize : 3 * kSize;
    return true;
  };
  options.facts.filesystemOf = [](const std::string&) { return std::string("same"); };
  InstallUIMainWnd& w = Open(std::move(options));
  ASSERT_TRUE(WaitFor([&] { return ConfigReadyFromService(); }));
  BoxAnswerer answerer;
  Click(w, "install_btn");
  EXPECT_EQ(answerer.Types(), std::vector<int>{kMsgNoEnoughSpace});
  const auto actions = TakeActions();
  EXPECT_TRUE(Has(actions, "NoEnoughSpace:install_3000"));
  EXPECT_TRUE(Has(actions, "FlowError:DL008"));
  EXPECT_FALSE(Has(actions, "DownloadEnvReady"));
}

TEST_F(PreInstall, FolderThatCannotBeCreatedGivesDL009AndMessage4) {
  dir_.Write("plainfile", "x");
  auto options = Options();
  options.programFilesFolder = dir_ / "plainfile";
  InstallUIMainWnd& w = Open(std::move(options));
  BoxAnswerer answerer;
  Click(w, "install_btn");
  EXPECT_EQ(answerer.Types(), std::vector<int>{kMsgPathError});
  EXPECT_EQ(MainPage(), 0);
  EXPECT_TRUE(Has(TakeActions(), "FlowError:DL009"));
}

TEST_F(PreInstall, BrowsedFolderGetsTheBrandFolderAndTheSpaceLabels) {
  auto options = Options();
  std::vector<std::optional<std::string>> answers = {"/srv/Tools", "/srv/Vantor Apps", std::nullopt};
  options.chooseFolder = [&](QWidget*, const std::string&) {
    auto answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  };
  options.facts.freeSpace = [](const std::string&, platform::FreeSpace& space) {
    space.available = 1;
    space.total = 3ull << 30;
    return true;
  };
  InstallUIMainWnd& w = Open(std::move(options));
  Click(w, "install_setting");
  EXPECT_EQ(w.height(), 560);
  Click(w, "browser_btn");
  EXPECT_EQ(ui::GetText(w.FindControl("install_file_path_edit")), "/srv/Tools/Vantor");
  EXPECT_FLOAT_EQ(w.FreeSpaceGB(), 3.0f);
  EXPECT_TRUE(ui::GetText(w.FindControl("space_free")).contains("3.0"));
  EXPECT_EQ(w.GetInstallPath(), "/srv/Tools/Vantor/Vantor Mark Eraser");
  Click(w, "browser_btn");
  EXPECT_EQ(ui::GetText(w.FindControl("install_file_path_edit")), "/srv/Vantor Apps");
  Click(w, "browser_btn");  // cancelled: nothing changes
  EXPECT_EQ(ui::GetText(w.FindControl("install_file_path_edit")), "/srv/Vantor Apps");
}

TEST_F(PreInstall, NetFrameCheckReadsTheInstallFolder) {
  InstallUIMainWnd& w = Open();
  EXPECT_FALSE(w.WillShowNetFrameCheck(dir_.path()));
  dir_.Write("NetFrameCheck.db", "[Settings]\nNetFrameworkVersion=4.8\n");
  EXPECT_TRUE(w.WillShowNetFrameCheck(dir_.path()));
}

namespace {

// The machine as it is, but with the drives a test names.
class MachineWithDrives : public platform::ISystemFacts {
 public:
  explicit MachineWithDrives(std::vector<platform::DriveInfo> drives) : drives_(std::move(drives)) {
    process_.SystemFacts(this);
  }
  std::string OsPrettyName() const override { return real_.OsPrettyName(); }
  std::string Machine() const override { return real_.Machine(); }
  int PointerBits() const override { return real_.PointerBits(); }
  platform::LocaleEnv Locale() const override { return real_.Locale(); }
  std::vector<platform::DriveInfo> Drives() const override { return drives_; }
  std::time_t UtcNow() const override { return real_.UtcNow(); }
  std::string RootFsUuid() const override { return real_.RootFsUuid(); }
  std::string DefaultRouteMac() const override { return real_.DefaultRouteMac(); }

 private:
  platform::ISystemFacts& real_ = platform::LinuxSystemFacts();
  std::vector<platform::DriveInfo> drives_;
  ScopedTestProcess process_;
};

}  // namespace

// The install folder's drive is short but another drive has room: the edit
// box now names the same folder on that drive and the install goes on there.
TEST_F(PreInstall, InstallDriveShortMovesTheEditBoxToTheBestDrive) {
  ServeConfiguration();
  const std::string big = dir_ / "big";
  MachineWithDrives machine({{dir_.path(), true, platform::kBusTypeUnknown, 3 * kSize, true},
                             {big, true, platform::kBusTypeUnknown, 100 * kSize, true}});
  auto options = Options();
  const std::string work = CSingleUserLog::GetInstance()->GetWorkDir();
  options.facts.freeSpace = [work, big](const std::string& path, platform::FreeSpace& space) {
    space.available = space.total = path.rfind(work, 0) == 0 || path.rfind(big, 0) == 0 ? 100 * kSize : 3 * kSize;
    return true;
  };
  options.facts.filesystemOf = [](const std::string&) { return std::string("same"); };
  InstallUIMainWnd& w = Open(std::move(options));
  ASSERT_EQ(ui::GetText(w.FindControl("install_file_path_edit")), QString::fromStdString(dir_ / "opt/Vantor"));
  ASSERT_TRUE(WaitFor([&] { return ConfigReadyFromService(); }));
  BoxAnswerer answerer;  // the download's failure notice
  Click(w, "install_btn");
  EXPECT_EQ(ui::GetText(w.FindControl("install_file_path_edit")), QString::fromStdString(big + "/opt/Vantor"));
  EXPECT_EQ(MainPage(), 1) << "the install did not go on";
  EXPECT_FALSE(answerer.Saw(kMsgNoEnoughSpace));
  EXPECT_TRUE(fs::is_directory(big + "/opt/Vantor/Vantor Mark Eraser"));
  EXPECT_FALSE(Has(TakeActions(), "FlowError:DL008"));
  CloseAndJoin();  // the worker is done with the injected drives before they go
}
