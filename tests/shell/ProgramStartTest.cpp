// Runs the real qm_downloader in a scratch home under the offscreen platform.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>

#include "platform/InstanceLock.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "support/ZipReader.h"
#include "support/ScopedEnv.h"

namespace fs = std::filesystem;

namespace {

class ProgramStart : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "bin");
    fs::create_directories(dir_ / "run");
    fs::copy_file(QM_DOWNLOADER_EXE, exe());
  }

  std::string exe() const { return dir_ / "bin/qm_downloader"; }
  void SetAutoRun() const { dir_.Write("bin/qm_downloader.cfg", "[Settings]\nAutoRun=1\n"); }

  std::vector<std::string> Env() const {
    return {"HOME=" + dir_ / "home", "XDG_STATE_HOME=" + dir_ / "state", "XDG_CACHE_HOME=" + dir_ / "cache",
            "XDG_RUNTIME_DIR=" + dir_ / "run", "QT_QPA_PLATFORM=offscreen"};
  }

  Subprocess Start(const std::vector<std::string>& args, const std::string& output) const {
    std::vector<std::string> argv{exe()};
    argv.insert(argv.end(), args.begin(), args.end());
    return Subprocess::Start(argv, Env(), dir_ / output);
  }

  // Waits until the output file holds text (bounded).
  bool WaitForOutput(const std::string& output, const std::string& text) const {
    return WaitUntil([&] { return dir_.Read(output).find(text) != std::string::npos; });
  }

  std::vector<std::string> LogFiles() const {
    std::vector<std::string> files;
    const fs::path logs = dir_ / "state/RARivadurize/logs";
    if (!fs::exists(logs)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(logs)) {
      if (entry.is_regular_file() && entry.path().extension() == ".log") files.push_back(entry.path().string());
    }
    return files;
  }

  TempDir dir_;
};

constexpr int kExitBoundMs = 120000;

}  // namespace

TEST_F(ProgramStart, DebugRunLogsToStandardOutputAndTheLogFile) {
  SetAutoRun();
  Subprocess program = Start({"debug"}, "out.txt");
  // An unattended run installs and retries until it is told to end.
  ASSERT_TRUE(WaitForOutput("out.txt", " Main window created"));
  program.Kill(SIGTERM);
  ASSERT_EQ(program.Wait(kExitBoundMs), 0);
  const std::string out = dir_.Read("out.txt");
  const std::regex line(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2},\d{3}--\[Thread\]\(\d+\) .*wWinMain.*wWndMain\.cpp Command line: debug)");
  EXPECT_TRUE(std::regex_search(out, line)) << out;
  // The first-paint mark is written only when asked for.
  EXPECT_EQ(out.find("first paint"), std::string::npos);
  const auto files = LogFiles();
  ASSERT_EQ(files.size(), 1u);
  const std::regex name(R"(.*/logs/markeraser_setup/markeraser_setup_\d{17}\.log)");
  EXPECT_TRUE(std::regex_match(files[0], name)) << files[0];
  const std::string log = TempDir::ReadAbsolute(files[0]);
  for (const char* text : {" Command line: debug", " Main window created: QM_UI_Frame_127", " Wait exit 1",
                           " Wait exit 2", " Wait exit 3"}) {
    EXPECT_NE(log.find(text), std::string::npos) << text;
  }
  EXPECT_TRUE(fs::is_directory(dir_ / "cache/RARivadurize/markeraser_setup"));
}

TEST_F(ProgramStart, FirstPaintMarkGivesTheWallClockOfTheWindowsFirstPaint) {
  SetAutoRun();
  const long long before = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  std::vector<std::string> env = Env();
  env.push_back("QM_MARK_FIRST_PAINT=1");
  Subprocess program = Subprocess::Start({exe()}, env, dir_ / "out.txt");
  ASSERT_TRUE(WaitForOutput("out.txt", "first paint "));
  program.Kill(SIGTERM);
  ASSERT_EQ(program.Wait(kExitBoundMs), 0);
  const long long after = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
  const std::string out = dir_.Read("out.txt");
  std::smatch mark;
  ASSERT_TRUE(std::regex_search(out, mark, std::regex(R"(first paint (\d+)\n)"))) << out;
  const long long at = std::stoll(mark[1].str());
  EXPECT_GE(at, before);
  EXPECT_LE(at, after);
  // Once only, though the window paints again as the download moves.
  EXPECT_EQ(out.find("first paint", out.find("first paint") + 1), std::string::npos);
}

TEST_F(ProgramStart, SecondStartRaisesTheFirstWindowAndLeaves) {
  Subprocess first = Start({}, "first.txt");
  ASSERT_TRUE(WaitForOutput("first.txt", " Main window created"));
  Subprocess second = Start({}, "second.txt");
  EXPECT_EQ(second.Wait(kExitBoundMs), 0);
  EXPECT_EQ(dir_.Read("second.txt").find(" Main window created"), std::string::npos);
  EXPECT_TRUE(WaitForOutput("first.txt", " Another instance asked for the window"));
  first.Kill(SIGTERM);  // closes the window: the normal exit sequence runs
  EXPECT_EQ(first.Wait(kExitBoundMs), 0) << dir_.Read("first.txt");
  EXPECT_NE(dir_.Read("first.txt").find(" Wait exit 3"), std::string::npos);
}

TEST_F(ProgramStart, HeldInstanceLockEndsTheStartSilently) {
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir_ / "run");
  platform::InstanceLock lock;
  bool existed = true;
  ASSERT_TRUE(lock.Create("KLM_Downloader_127", existed));
  EXPECT_FALSE(existed);
  Subprocess program = Start({}, "out.txt");
  EXPECT_EQ(program.Wait(kExitBoundMs), 0);
  EXPECT_EQ(dir_.Read("out.txt").find(" Main window created"), std::string::npos);

  // With AutoRun neither the lock nor the window stops a start.
  SetAutoRun();
  Subprocess autoRun = Start({}, "auto.txt");
  EXPECT_TRUE(WaitForOutput("auto.txt", " Main window created"));
  autoRun.Kill(SIGTERM);
  EXPECT_EQ(autoRun.Wait(kExitBoundMs), 0);
}

TEST_F(ProgramStart, AutoRunLetsTwoInstancesRun) {
  SetAutoRun();
  Subprocess first = Start({}, "first.txt");
  ASSERT_TRUE(WaitForOutput("first.txt", " Main window created"));
  Subprocess second = Start({}, "second.txt");
  EXPECT_TRUE(WaitForOutput("second.txt", " Main window created"));
  for (Subprocess* program : {&first, &second}) {
    program->Kill(SIGTERM);
    EXPECT_EQ(program->Wait(kExitBoundMs), 0);
  }
}

TEST_F(ProgramStart, BundleModesPackTheLogWithoutAWindow) {
  // The test build's upload endpoint is a closed port: the archive and the
  // log copy stay in the log folder for inspection.
  const std::string logs = "state/RARivadurize/logs/markeraser_setup/";
  const std::string name = "markeraser_setup_20240101120000123.log";
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {{"-dmp", name}, {name, name + ".dmp"}},
      {{"-close03", name}, {name}},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir_ / "state");
    dir_.Write(logs + name, "crashed run\n");
    dir_.Write(logs + name + ".dmp", "MDMP");
    Subprocess program = Start(c.args, "out.txt");
    EXPECT_EQ(program.Wait(kExitBoundMs), 0);
    const std::string out = dir_.Read("out.txt");
    EXPECT_EQ(out.find(" Main window created"), std::string::npos) << out;
    EXPECT_EQ(dir_.Read(logs + name + "_copy.log"), "crashed run\n");
    std::vector<std::string> zips;
    for (const auto& entry : fs::directory_iterator(dir_ / logs)) {
      if (entry.path().extension() == ".zip") zips.push_back(entry.path().string());
    }
    ASSERT_EQ(zips.size(), 1u) << out;
    EXPECT_TRUE(std::regex_match(fs::path(zips[0]).filename().string(), std::regex(R"(\d{17}\.zip)")));
    std::vector<ZipEntry> entries;
    ASSERT_TRUE(ReadZip(zips[0], entries));
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    EXPECT_EQ(names, c.entries);
  }
}
