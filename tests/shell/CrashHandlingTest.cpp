// The crash handler and the diagnostic bundle, end to end with real
// processes: a test program (tests/fixtures/qm_crash_fixture.cpp) faults the
// way a case asks, the handler writes the dump and starts the program again,
// and that second instance runs the real bundle mode against a loopback
// collector. LLDB opens the dumps.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <regex>

#include "platform/InstanceLock.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "support/WaitUntil.h"
#include "support/ZipReader.h"
#include "support/ScopedEnv.h"

namespace fs = std::filesystem;

namespace {

constexpr int kBoundMs = 120000;
constexpr const char* kUploadPath = "/v1/productLogUpload";

// The relaunched instance outlives the crashed one; as subreaper this test
// process inherits it and can wait for it.
bool WaitForOrphan(pid_t pid) {
  return WaitUntil([pid] {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return true;
    return done < 0 && kill(pid, 0) != 0 && errno == ESRCH;
  });
}

class CrashHandling : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { prctl(PR_SET_CHILD_SUBREAPER, 1); }

  void SetUp() override {
    for (const char* folder : {"bin", "run", "tmp", "home"}) fs::create_directories(dir_ / folder);
    fs::copy_file(QM_CRASH_FIXTURE_EXE, exe());
    dir_.Write("bin/qm_downloader.cfg", "[Settings]\nAutoRun=1\n");
  }

  std::string exe() const { return program_.empty() ? dir_ / "bin/qm_crash_fixture" : program_; }
  fs::path LogFolder() const { return dir_ / "state/RARivadurize/logs/markeraser_setup"; }

  Subprocess Start(const std::vector<std::string>& args, const std::string& uploadUrl = "") const {
    std::vector<std::string> argv{exe()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env{"HOME=" + dir_ / "home", "XDG_STATE_HOME=" + dir_ / "state",
                                 "XDG_CACHE_HOME=" + dir_ / "cache", "XDG_RUNTIME_DIR=" + dir_ / "run",
                                 "TMPDIR=" + dir_ / "tmp", "QT_QPA_PLATFORM=offscreen"};
    if (!uploadUrl.empty()) env.push_back("QM_FIXTURE_UPLOAD_URL=" + uploadUrl);
    return Subprocess::Start(argv, env, dir_ / "out.txt");
  }

  std::vector<std::string> FilesIn(const fs::path& folder) const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // The log of the run that crashed.
  std::string CrashedLog() const {
    for (const auto& name : FilesIn(LogFolder())) {
      const fs::path path = LogFolder() / name;
      if (path.extension() == ".log" &&
          TempDir::ReadAbsolute(path).find(" Exception handler entered.") != std::string::npos) {
        return path.string();
      }
    }
    return {};
  }

  static pid_t RelaunchedPid(const std::string& text) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(R"( Relaunch: (\d+))"))) return -1;
    return static_cast<pid_t>(std::stol(match[1]));
  }

  // The crashing thread's backtrace as LLDB prints it from the dump.
  // (or every thread's, with all).
  std::string Backtrace(const std::string& dump, bool all = false) const {
    EXPECT_TRUE(fs::exists("/usr/bin/lldb")) << "lldb is a test dependency (scripts/setup.sh)";
    const std::string command = all ? "thread backtrace all -c 40" : "thread backtrace -c 40";
    Subprocess lldb = Subprocess::Start({"/usr/bin/lldb", "--batch", "-c", dump, "-o", command}, {},
                                        dir_ / "lldb.txt");
    EXPECT_EQ(lldb.Wait(kBoundMs), 0);
    return dir_.Read("lldb.txt");
  }

  TempDir dir_;
  std::string program_;  // the program to start, when not the fixture
};

TEST_F(CrashHandling, CrashUploadsTheLogAndItsDumpFromARelaunchedInstance) {
  TestHttpServer collector;
  collector.AcceptUploads(kUploadPath);
  Subprocess program = Start({"--crash=segv", "--policy=1"}, collector.Url(kUploadPath));
  EXPECT_EQ(program.Wait(kBoundMs), 128 + SIGSEGV);

  // The lock is free at once: the relaunched instance takes none.
  {
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir_ / "run");
    platform::InstanceLock lock;
    bool existed = true;
    EXPECT_TRUE(lock.Create("KLM_Downloader_127", existed));
    EXPECT_FALSE(existed);
    lock.Release();
  }

  const std::string log = CrashedLog();
  ASSERT_FALSE(log.empty()) << dir_.Read("out.txt");
  const std::string logText = TempDir::ReadAbsolute(log);
  for (const char* line : {" Exception handler entered.", " Release mutex: 1, 0, 1, 0", " Create dmp file: 1, 0",
                           " Write dmp file: 1, 0"}) {
    EXPECT_NE(logText.find(line), std::string::npos) << line;
  }
  const std::string dump = log + ".dmp";
  ASSERT_TRUE(fs::exists(dump));
  EXPECT_EQ(TempDir::ReadAbsolute(dump).substr(0, 4), "MDMP");
  const pid_t relaunched = RelaunchedPid(logText);
  ASSERT_GT(relaunched, 0) << logText;
  ASSERT_TRUE(WaitForOrphan(relaunched));
  const std::string out = dir_.Read("out.txt");
  const std::string logName = fs::path(log).filename().string();
  EXPECT_NE(out.find("Command line: -dmp " + logName), std::string::npos) << out;
  EXPECT_EQ(out.find("Main window created"), std::string::npos);

  const auto uploads = collector.Uploads(kUploadPath);
  ASSERT_EQ(uploads.size(), 1u);
  const auto& upload = uploads[0];
  EXPECT_TRUE(std::regex_match(upload.at("filename"), std::regex(R"(markeraser_setup_\d{17}\.zip)")))
      << upload.at("filename");
  EXPECT_EQ(upload.at("product_id"), "QMDownload2900");
  EXPECT_EQ(upload.at("version"), "1.0.0.0");
  EXPECT_EQ(upload.at("catalogue"), "CrashDmp");
  std::vector<ZipEntry> entries;
  ASSERT_TRUE(ReadZipBytes(upload.at("file"), dir_ / "received.zip", entries));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, logName);
  EXPECT_EQ(entries[0].content, TempDir::ReadAbsolute(log));
  EXPECT_EQ(entries[1].name, logName + ".dmp");
  EXPECT_EQ(entries[1].content, TempDir::ReadAbsolute(dump));

  // After the upload only the dump stays beside the logs.
  for (const auto& name : FilesIn(LogFolder())) {
    EXPECT_TRUE((name.ends_with(".log") && name.find("_copy") == std::string::npos) || name.ends_with(".dmp"))
        << name;
  }
  EXPECT_NE(Backtrace(dump).find("RaiseCrashTestFault"), std::string::npos);

  // LLVM's own minidump reader sees every stream, the fault and the build-id.
  Subprocess yaml = Subprocess::Start({"/usr/bin/obj2yaml", dump}, {}, dir_ / "dump.yaml");
  ASSERT_EQ(yaml.Wait(kBoundMs), 0);
  const std::string text = dir_.Read("dump.yaml");
  for (const char* type : {"SystemInfo", "ThreadList", "MemoryList", "Exception", "ModuleList", "MiscInfo",
                           "LinuxMaps", "LinuxProcStatus", "LinuxCMDLine", "LinuxAuxv"}) {
    EXPECT_TRUE(std::regex_search(text, std::regex(std::string("- Type: +") + type + "\n"))) << type;
  }
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(Exception Code: +0xB\n)")));
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(Exception Address: +0x10\n)")));
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(qm_crash_fixture'\n +CodeView Record: +4C457042[0-9A-F]{40}\n)")));
}

TEST_F(CrashHandling, EveryKindOfCrashLeavesADumpThatNamesTheFaultingFunction) {
  struct Case {
    const char* kind;
    int signal;
    const char* function;
  };
  const Case cases[] = {
      {"thread", SIGSEGV, "RaiseCrashTestFault"},
      {"abort", SIGABRT, "FixtureAbort"},
      {"terminate", SIGABRT, "FixtureUncaughtException"},
      {"overflow", SIGSEGV, "FixtureRecurse"},
      {"thread-overflow", SIGSEGV, "FixtureRecurse"},  // a worker's own alternate stack
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    fs::remove_all(dir_ / "state");
    // Relaunch policy 0: the dump is written and nothing is started.
    Subprocess program = Start({std::string("--crash=") + c.kind, "--policy=0"});
    EXPECT_EQ(program.Wait(kBoundMs), 128 + c.signal);
    const std::string log = CrashedLog();
    ASSERT_FALSE(log.empty()) << dir_.Read("out.txt");
    EXPECT_EQ(RelaunchedPid(TempDir::ReadAbsolute(log)), -1);
    ASSERT_TRUE(fs::exists(log + ".dmp"));
    EXPECT_NE(Backtrace(log + ".dmp").find(c.function), std::string::npos) << dir_.Read("lldb.txt");
    if (std::string(c.kind) == "thread") {
      // The other threads are there too: the main thread waits in join.
      EXPECT_NE(Backtrace(log + ".dmp", true).find("qm_crash_fixture`main"), std::string::npos)
          << dir_.Read("lldb.txt");
    }
  }
}

TEST_F(CrashHandling, CrashBeforeLoggingWritesTheLongNameInThePrivateRuntimeFolder) {
  TestHttpServer collector;
  collector.AcceptUploads(kUploadPath);
  Subprocess program = Start({"--crash=segv", "--policy=2", "--no-log"}, collector.Url(kUploadPath));
  EXPECT_EQ(program.Wait(kBoundMs), 128 + SIGSEGV);
  std::vector<std::string> files;
  for (const auto& name : FilesIn(dir_ / "run")) {
    if (name.ends_with(".dmp")) files.push_back(name);
  }
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files[0], std::regex(R"(0_1\.0\.0\.0_\d{17}_[0-9a-f]{16}\.dmp)"))) << files[0];
  struct stat st {};
  ASSERT_EQ(stat((dir_ / "run/" + files[0]).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  for (const auto& name : FilesIn(dir_ / "tmp")) EXPECT_FALSE(name.ends_with(".dmp")) << name;
  // The relaunch passes an empty log name.
  const pid_t relaunched = RelaunchedPid(dir_.Read("out.txt"));
  ASSERT_GT(relaunched, 0);
  ASSERT_TRUE(WaitForOrphan(relaunched));
  EXPECT_NE(dir_.Read("out.txt").find("Command line: -dmp \n"), std::string::npos) << dir_.Read("out.txt");
}

TEST_F(CrashHandling, FailedUploadKeepsTheArchiveAndTheLogCopy) {
  // No collector: the upload endpoint is a closed loopback port.
  Subprocess program = Start({"--crash=segv", "--policy=1"});
  EXPECT_EQ(program.Wait(kBoundMs), 128 + SIGSEGV);
  const std::string log = CrashedLog();
  ASSERT_FALSE(log.empty());
  const pid_t relaunched = RelaunchedPid(TempDir::ReadAbsolute(log));
  ASSERT_GT(relaunched, 0);
  ASSERT_TRUE(WaitForOrphan(relaunched));
  int zips = 0;
  for (const auto& name : FilesIn(LogFolder())) zips += name.ends_with(".zip") ? 1 : 0;
  EXPECT_EQ(zips, 1);
  EXPECT_TRUE(fs::exists(log + "_copy.log"));
  EXPECT_TRUE(fs::exists(log + ".dmp"));
}

TEST_F(CrashHandling, CloseModeUploadsOnlyTheLogCopyUnderTheCloseLabel) {
  TestHttpServer collector;
  collector.AcceptUploads(kUploadPath);
  struct Case {
    const char* label;
    const char* logName;
    const char* uploadName;
  };
  const Case cases[] = {
      {"close02", "markeraser_setup_20240101120000123.log", R"(markeraser_setup_\d{17}\.zip)"},
      {"close05", "plainlog.log", R"(NoName_\d{17}\.zip)"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.label);
    fs::create_directories(LogFolder());
    dir_.Write((LogFolder() / c.logName).string().substr(dir_.path().size() + 1), "log of the closed run\n");
    dir_.Write((LogFolder() / "old.dmp").string().substr(dir_.path().size() + 1), "a dump");
    Subprocess program = Start({std::string("-") + c.label, c.logName}, collector.Url(kUploadPath));
    EXPECT_EQ(program.Wait(kBoundMs), 0);
    const auto uploads = collector.Uploads(kUploadPath);
    ASSERT_EQ(uploads.size(), i + 1);
    EXPECT_EQ(uploads[i].at("catalogue"), c.label);
    EXPECT_TRUE(std::regex_match(uploads[i].at("filename"), std::regex(c.uploadName))) << uploads[i].at("filename");
    std::vector<ZipEntry> entries;
    ASSERT_TRUE(ReadZipBytes(uploads[i].at("file"), dir_ / "received.zip", entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, c.logName);
    EXPECT_EQ(entries[0].content, "log of the closed run\n");
    EXPECT_FALSE(fs::exists(LogFolder() / (std::string(c.logName) + "_copy.log")));
  }
}

TEST_F(CrashHandling, WindowCloseStartsTheCloseUploadOnlyUnderPolicyTwo) {
  TestHttpServer collector;
  collector.AcceptUploads(kUploadPath);
  for (int policy : {0, 2}) {
    SCOPED_TRACE(policy);
    Subprocess program = Start({"--close-upload=close06", "--policy=" + std::to_string(policy)},
                               collector.Url(kUploadPath));
    EXPECT_EQ(program.Wait(kBoundMs), 0);
    const std::string out = dir_.Read("out.txt");
    std::smatch started;
    const bool launched = std::regex_search(out, started, std::regex(R"( Start close upload: close06, (\d+))"));
    EXPECT_EQ(launched, policy == 2) << out;
    if (!launched) continue;
    ASSERT_TRUE(WaitForOrphan(static_cast<pid_t>(std::stol(started[1]))));
    const auto uploads = collector.Uploads(kUploadPath);
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].at("catalogue"), "close06");
  }
}

TEST_F(CrashHandling, CrashTestSwitchFaultsTheProgramOnTheInstallClick) {
  program_ = dir_ / "bin/qm_downloader";
  fs::copy_file(QM_DOWNLOADER_EXE, program_);
  dir_.Write("bin/qm_downloader.cfg", "[Settings]\nAutoRun=1\nCrashTest=1\n");
  Subprocess program = Start({});
  const int status = program.Wait(kBoundMs);
  ASSERT_NE(dir_.Read("out.txt").find(" Click install button"), std::string::npos) << dir_.Read("out.txt");
  EXPECT_EQ(status, 128 + SIGSEGV);
  const std::string log = CrashedLog();
  ASSERT_FALSE(log.empty()) << dir_.Read("out.txt");
  ASSERT_TRUE(fs::exists(log + ".dmp"));
  // The click handler raised the fault.
  const std::string backtrace = Backtrace(log + ".dmp");
  EXPECT_NE(backtrace.find("RaiseCrashTestFault"), std::string::npos) << backtrace;
  // A new normal start succeeds at once.
  dir_.Write("bin/qm_downloader.cfg", "[Settings]\nAutoRun=0\n");
  Subprocess next = Start({});
  EXPECT_TRUE(WaitUntil([&] { return dir_.Read("out.txt").find(" Main window created") != std::string::npos; }));
  next.Kill(SIGTERM);
  EXPECT_EQ(next.Wait(kBoundMs), 0);
}

}  // namespace
