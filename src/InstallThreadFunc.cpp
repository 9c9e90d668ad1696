#include "InstallThreadFunc.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "CLibcurlTool.h"
#include "CdnFailureCounter.h"
#include "ConfigurationService.h"
#include "DownLoadImpl.h"
#include "FlowErrors.h"
#include "FuntionImpl.h"
#include "InstallerRun.h"
#include "Logger.h"
#include "SingleUserLog.h"
#include "TestSettings.h"
#include "UrlRules.h"
#include "platform/Paths.h"

namespace {

constexpr std::size_t kMinUrlLength = 5;

void RemoveIfPresent(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

std::string FormatInt(std::int64_t value) { return std::to_string(value); }

// One installation's state: the steps below share it in order.
class InstallRun {
 public:
  InstallRun(const InstallRequest& request, InstallHandshake& shared, IInstallObserver& window,
             const InstallWorkerOptions& options)
      : request_(request),
        shared_(shared),
        w_(window),
        config_(shared.config),
        options_(options),
        log_(CSingleUserLog::GivenOrProcess(request.userLog)),
        attempt_(request.retry ? "Retry" : "First") {}

  int Run();

 private:
  bool ChooseUrl();
  std::string LegacyFallback(std::string url);
  void PrepareFiles();
  int DownloadRounds();
  void ReportRoundFailure(int result);
  void ReportStatistics();
  bool Verify();
  bool RunSetup();
  void Finish();
  void ForceExitForAutoRun();
  void SendExceptionReport(ExceptionKind kind);

  bool WindowClosed() const { return shared_.Closed(); }
  CSingleUserLog& Log() const { return log_; }
  const IConfigItemSource& Items() const { return *request_.items; }

  const InstallRequest& request_;
  InstallHandshake& shared_;
  IInstallObserver& w_;
  CConfigure& config_;
  const InstallWorkerOptions& options_;
  CSingleUserLog& log_;
  const std::string attempt_;
  std::int64_t t0_ = TickCountMs(), t1_ = 0, t2_ = 0;
  std::string url_, packagePath_, addressLabel_;
  // The package's size, from the first progress report that has one.
  std::atomic<std::int64_t> packageSize_{0};
  PrivatePackageCopy copy_;
};

int InstallRun::Run() {
  MakeConfigurationReady(config_, shared_.asyncQueryAbandoned, Items());
  Log().AddUserLog_funnelEx("Download", "DownloadConfigReady", "default_config",
                            config_.source == CConfigure::kFromFile ? "1" : "0", false);
  if (!ChooseUrl()) return -1;
  PrepareFiles();
  const int result = DownloadRounds();
  if (WindowClosed()) {
    QMLOG(" Window closed, installation abandoned");
    return -1;
  }
  ReportStatistics();
  if (result != Completed) {
    Log().AddUserLog("Other", "DownErrorCode", "error_" + FormatInt(result), false);
    w_.PostWorkerMessage(kMsgDownloadFailed, result);
    return -1;
  }
  Log().AddUserLog_funnelEx("Download", "DownloadSuccess", "", "", false);
  Log().AddUserLog_funnelEx("Download", "MDownSuccess", {{"Download address", addressLabel_}, {"AddressType", "NO"}},
                            false);
  if (!IsExeUrl(config_.Extra_download_url)) {
    w_.PostWorkerMessage(kMsgNotInstaller, 0);
    QMLOG("APP DownloaderSucceed");
    return 1;
  }
  if (!Verify()) return -1;
  // A close means stop: nothing new starts once the window has gone.
  if (WindowClosed()) {
    QMLOG(" Window closed after verification, setup not started");
    return -1;
  }
  if (!RunSetup()) return -1;
  Finish();
  return 0;
}

bool InstallRun::ChooseUrl() {
  QMLOG(" isForbidCDN: " << (isForbidCDN(config_.Software_name) ? 1 : 0));
  url_ = FirstServiceUrl(config_.candidateUrls);
  if (url_.empty()) QMLOG(" checkRemotePath fail: " << -1);
  else QMLOG(" UrlUsed: " << url_);
  url_ = LegacyFallback(url_);
  w_.SetAdviceUrl(url_);
  std::string itemUrl;
  Items().GetItemText("Extra_download_url", itemUrl);
  const std::string fileName = InstallerFileNameFor(itemUrl, config_.Software_version);
  if (url_.size() < kMinUrlLength || fileName.empty()) {
    QMLOG("url is empty");
    config_.status = CConfigure::kNotReady;
    ReportFlowError("DL023", &log_);
    w_.PostWorkerMessage(kMsgDownloadFailed, UrlEmpty);
    return false;
  }
  t1_ = TickCountMs();
  QMLOG(" Speed-Test Totally Take " << (t1_ - t0_) << " ms");
  packagePath_ = Log().GetWorkDir() + "/" + fileName;
  return true;
}

// Legacy systems get a package the server may no longer have: fall back to a
// service URL of the configuration labels when it answers 404.
std::string InstallRun::LegacyFallback(std::string url) {
  float version = options_.osVersion;
  if (version < 0) GetOSName(version);
  if (version >= 10.0f || url.find("_vtwin.exe") == std::string::npos) return url;
  char header[CLibcurlTool::kHeaderBufferSize] = {};
  long status = 0;
  CLibcurlTool tool(options_.timings);
  const CURLcode code = tool.httpGet(url, header, status);
  QMLOG(" Curl check win78 link, http code is " << status << ", curl code is " << code);
  if (status != 404) return url;
  for (const char* label : {"Download_url", "Extra_download_url"}) {
    std::string candidate;
    Items().GetItemText(label, candidate);
    if (!candidate.empty() && !IsCdnUrl(candidate)) {
      QMLOG(" UrlUsed change to: " << candidate);
      return candidate;
    }
  }
  return url;
}

void InstallRun::PrepareFiles() {
  ApplyVerifiedMarker(packagePath_, config_);
  if (config_.source == CConfigure::kFromFile) {
    QMLOG(" Configure Load From File, clearAppData Before Download! ");
    ClearAPPData(packagePath_);
  }
  addressLabel_ = GetDownloadAddressType(url_) == 12 ? "Extra_download_url" : "Download_url";
  Log().AddUserLog("Download", "3.Downloading...", attempt_, false);
  Log().AddUserLog_funnel("CoreFuncEvent", "Downloading", 2, "Download", "Downloading", "null", false);
}

// When the package last grew, across rounds: a report above the round's
// earlier ones or above every earlier report (a round's first report is only
// what it resumed from). Reports come from the engine's threads.
class GrowthClock {
 public:
  void NewRound() { round_.store(-1); }
  void Saw(std::int64_t done) {
    const std::int64_t roundBefore = Raise(round_, done);
    const std::int64_t everBefore = Raise(ever_, done);
    if ((roundBefore >= 0 && done > roundBefore) || done > everBefore) last_.store(TickCountMs());
  }
  std::int64_t IdleMs() const { return TickCountMs() - last_.load(); }

 private:
  // Raises value to at least done; the value before.
  static std::int64_t Raise(std::atomic<std::int64_t>& value, std::int64_t done) {
    std::int64_t seen = value.load();
    while (done > seen && !value.compare_exchange_weak(seen, done)) {
    }
    return seen;
  }
  std::atomic<std::int64_t> round_{-1}, ever_{-1};
  std::atomic<std::int64_t> last_{TickCountMs()};
};

int InstallRun::DownloadRounds() {
  int result = 0;
  // A file that changes again right after a restart (or a server that keeps
  // answering for another file) is not worth the remaining rounds.
  constexpr int kChangedRoundsLimit = 2;
  int changedRounds = 0;
  auto growth = std::make_shared<GrowthClock>();
  for (int round = 1; round <= options_.rounds && !WindowClosed(); ++round) {
    char label[256];
    std::snprintf(label, sizeof label, "%s-%d", addressLabel_.c_str(), round);
    Log().AddUserLog_funnelEx("Download", "Use download address", "Use download address Type", label, false);
    Log().AddUserLog_funnelEx("Download", "SliceDownloadStart", "", "", false);
    QMLOG(" Tasks info, round begin, current = " << round << ", total = " << options_.rounds);
    std::string cdnReport;
    DownloadTimings timings = options_.timings;
    if (!timings.cancel) timings.cancel = shared_.CloseSignal();
    CDownLoadImpl impl(timings, &log_);
    growth->NewRound();
    impl.SetProgressCallback([this, growth](std::int64_t done, std::int64_t total) {
      growth->Saw(done);
      std::int64_t unknown = 0;
      if (total > 0) packageSize_.compare_exchange_strong(unknown, total);
      w_.OnDownloadProgress(done, total);
    });
    result = impl.SuperDownloadFile(url_, packagePath_, cdnReport, true);
    QMLOG(" Tasks info, round end, current = " << round << ", total = " << options_.rounds
                                               << ", result = " << result);
    if (!cdnReport.empty()) Log().AddUserLog("Other", "CDNInfor", cdnReport, false);
    if (result != Completed && WindowClosed()) break;  // stopped by the close, not a failure to report
    if (result == Completed) {
      if (round > 1) QMLOG("Success，The Retry Frequency is: " << round - 1);
      break;
    }
    ReportRoundFailure(result);
    changedRounds = result == RemoteChanged ? changedRounds + 1 : 0;
    if (changedRounds >= kChangedRoundsLimit) {
      QMLOG(" [Error]: "
            << "remote file changed in " << changedRounds << " rounds in a row, giving up");
      break;
    }
    if (const std::int64_t idle = growth->IdleMs(); idle >= options_.timings.installStallMs) {
      QMLOG(" [Error]: "
            << "no download progress for " << idle << " ms over " << round << " rounds, giving up");
      break;
    }
    QMLOG(" The Retry Frequency is: " << (round == options_.rounds ? options_.rounds - 1 : round - 1));
  }
  return result;
}

void InstallRun::ReportRoundFailure(int result) {
  ReportFlowError(FlowErrorOfRound(result), &log_);
  if (result == TooManyRedirects) SendExceptionReport(ExceptionKind::TooManyRedirects);
}

void InstallRun::SendExceptionReport(ExceptionKind kind) {
  const int downloaderId = kind == ExceptionKind::TooManyRedirects ? config_.Downloader_id : request_.downloaderId;
  const std::string body =
      ExceptionReportBody(kind, downloaderId, config_.source, config_.getQueryUrl(), url_);
  std::string response;
  const int code = PostExceptionReport(body, IsTestEnv(), response);
  QMLOG(ExceptionReportLogText(kind, response, code));
}

void InstallRun::ReportStatistics() {
  Log().AddUserLog_funnel("CoreFuncEvent", "Downloading", 3, "Download", "DownFinsh", "null", false);
  const std::int64_t seconds = (TickCountMs() - t1_) / 1000;
  Log().AddUserLog("Other", "MDownloadTime", FormatInt(seconds), false);
  Log().AddUserLog_funnel("CoreFuncEvent", "Downloading", 0, "Download", "CoreFuncEnd", "null", false);
  // A download under a second counts as one second, not as an infinite speed.
  const float speed = static_cast<float>(packageSize_.load()) / static_cast<float>(std::max<std::int64_t>(seconds, 1)) /
                      1048576.0f;
  char text[64];
  std::snprintf(text, sizeof text, "%.2fMB/s", speed);
  Log().AddUserLog("Other", "DownloadSpeed", text, false);
  t2_ = TickCountMs();
  Log().AddUserLog("Other", "DownloadTime", FormatInt((t2_ - t1_) / 1000), false);
  QMLOG(" DownloadTime total use " << (t2_ - t1_) / 1000);
}

bool InstallRun::Verify() {
  const std::int64_t t3 = TickCountMs();
  w_.SetStopProgressCreep(0);
  w_.PostWorkerMessage(kMsgVerifyStart, 0);
  Log().AddUserLog("Download", "Md5CheckStart", "", false);
  Log().AddUserLog_funnel("CoreFuncEvent", "Md5Check", 0, "Download", "CoreFuncStart", "null", false);
  Log().AddUserLog_funnel("CoreFuncEvent", "Md5Check", 1, "Download", "Md5CheckStart", "null", false);
  const bool md5Valid = config_.source == CConfigure::kFromFile ||
                        CDownLoadImpl::checkMD5(packagePath_, config_.Md5, config_.Md5_extra, config_.Software_version);
  QMLOG(" after md5 ");
  // The setup program that runs is this private copy, the one checked here.
  const bool signatureValid =
      copy_.Make(packagePath_) && FuntionImpl::VerifyEmbeddedSignature(copy_.fd(), packagePath_);
  const std::string seconds = FormatInt((TickCountMs() - t3) / 1000);
  Log().AddUserLog("Other", "MMD5CheckTime", seconds, false);
  Log().AddUserLog_funnel("CoreFuncEvent", "Md5Check", 2, "Download", "Md5CheckFinsh", "null", false);
  Log().AddUserLog("Other", "MD5CheckTime", seconds, false);
  Log().AddUserLog_funnel("CoreFuncEvent", "Md5Check", 0, "Download", "CoreFuncEnd", "null", false);
  Log().AddUserLog("Download", "Md5CheckFinsh", "", false);
  const VerificationVerdict verdict = JudgeVerification(md5Valid, signatureValid);
  if (!verdict.flowError.empty()) {
    ReportFlowError(verdict.flowError, &log_);
    SendExceptionReport(verdict.report);
  }
  w_.SetStopProgressCreep(1);
  if (verdict.installationEnds) {
    w_.PostWorkerMessage(kMsgSignatureFailed, 0);
    return false;
  }
  Log().AddUserLog("Download", "4.DownFinsh", attempt_, false);
  return true;
}

bool InstallRun::RunSetup() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const SetupCommand command =
      BuildSetupCommand(request_.installPath, request_.installerLanguageCode, Log().GetLogDir(),
                        InstallerLogFileName(config_.Software_name, local), TrackingValueFor(platform::ExecutablePath()));
  QMLOG(" [Download File Path]: " << packagePath_);
  QMLOG(" [Start Install CmdLine]: " << command.commandLine);
  const std::int64_t t4 = TickCountMs();
  Log().AddUserLog("Download", "5.ProgramInstall", attempt_, false);
  Log().AddUserLog_funnel("CoreFuncEvent", "Installing", 0, "Download", "CoreFuncStart", "null", false);
  Log().AddUserLog_funnel("CoreFuncEvent", "Installing", 1, "Download", "ProgramInstall", "null", false);
  w_.SetInstallFinished(false);
  const SetupRunResult run = RunSetupProgram(
      copy_.path(), command, static_cast<unsigned>(config_.InstallTimeout),
      [this] { w_.PostWorkerMessage(kMsgInstallStarted, 0); }, options_.setupWaitUnit);
  if (run.outcome != SetupWait::kFinished) {
    // A setup program that cannot start fails like one that never ends.
    if (run.outcome == SetupWait::kNotStarted) QMLOG(" Setup program could not be started: " << copy_.path());
    w_.SetInstallFinished(true);
    ReportFlowError("DL016", &log_);
    Log().AddUserLog_funnel("CoreFuncEvent", "Installing", 0, "Download", "CoreFuncEnd", "null", false);
    QMLOG(" Cmd nWaitSeconds timed out: " << config_.InstallTimeout);
    w_.PostWorkerMessage(kMsgInstallTimeout, 0);
    return false;
  }
  const std::string seconds = FormatInt((TickCountMs() - t4) / 1000);
  Log().AddUserLog("Other", "MInstallTime", seconds, false);
  Log().AddUserLog_funnel("CoreFuncEvent", "Installing", 2, "Download", "ProgramFinsh", "null", false);
  QMLOG(" install Finished, nWaitSeconds: " << run.waits);
  w_.SetInstallFinished(true);
  const int progress = w_.InstallProgressValue();
  QMLOG(" install Finished, progress: " << progress);
  if (progress >= 99) shared_.progressFinished.Set();
  Log().AddUserLog("Download", "6.ProgramFinsh", attempt_, false);
  Log().AddUserLog_funnel("CoreFuncEvent", "Installing", 0, "Download", "CoreFuncEnd", "null", false);
  Log().AddUserLog("Other", "InstallTime", FormatInt((TickCountMs() - t4) / 1000), false);
  if (!config_.Software_version.empty()) Log().AddUserLog("Other", "ProductVersion", config_.Software_version, false);
  return true;
}

void InstallRun::Finish() {
  // A setup program already running when the window closed is left to
  // finish (stopping it halfway could break the product), but nothing is
  // opened or started for a user who has gone.
  if (WindowClosed()) {
    QMLOG(" Window closed during setup, product not started");
    ClearAPPData(packagePath_);
    return;
  }
  std::string productUrl;
  if (Items().GetItemText(request_.productUrlLabel, productUrl) && !productUrl.empty()) {
    QMLOG(" Open Url: " << productUrl);
    w_.OpenUrl(productUrl);
  }
  w_.WriteProductLanguage();
  shared_.progressFinished.Wait();
  w_.PostWorkerMessage(kMsgInstalled, 0);
  const double minutes = static_cast<double>((TickCountMs() - t2_) / 600) / 100.0;
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", minutes);
  QMLOG(" Install Totally Take " << text << " minutes And Send To Server");
  ClearAPPData(packagePath_);
  // The window starts the product (behind its waiting window); only an
  // unattended run starts it directly, before its window closes.
  if (request_.needStartFlag == 1 && !WindowClosed()) w_.ClickStartApp();
  if (IsAutoRun()) ForceExitForAutoRun();
}

// Unattended runs leave nothing behind and close the window. They do not start
// the program again: a new run would only install the product once more.
void InstallRun::ForceExitForAutoRun() {
  std::this_thread::sleep_for(std::chrono::milliseconds(options_.autoRunExitPauseMs));
  QMLOG(" Force Exit 1");
  RemoveIfPresent(packagePath_);
  QMLOG(" Force Exit 2");
  RemoveIfPresent(packagePath_ + ".xml");
  QMLOG(" Force Exit 3");
  RemoveIfPresent(packagePath_ + ".db");
  QMLOG(" Force Exit 4");
  w_.ReleaseInstanceLock();
  QMLOG(" Force Exit 5");
  QMLOG(" Force Exit 6");
  w_.CloseWindow();
  QMLOG(" Force Exit 8");
}

}  // namespace

void ClearAPPData(const std::string& packagePath) {
  RemoveIfPresent(packagePath);
  RemoveIfPresent(packagePath + ".xml");
  RemoveIfPresent(packagePath + ".db");
}

void ApplyVerifiedMarker(const std::string& packagePath, const CConfigure& config) {
  const std::string markerPath = packagePath + ".db";
  std::ifstream marker(markerPath);
  if (!marker) return;
  std::string line;
  std::getline(marker, line);
  marker.close();
  line = line.substr(0, 259);
  std::string text, digest;
  if (const auto split = line.find("###"); split != std::string::npos) {
    text = line.substr(0, split);
    digest = line.substr(split + 3);
  }
  const bool matches = text == config.Software_version && (digest == config.Md5 || digest == config.Md5_extra);
  if (!matches) {
    RemoveIfPresent(packagePath);
    RemoveIfPresent(packagePath + ".xml");
  }
  RemoveIfPresent(markerPath);
}

int InstallThreadFunc(const InstallRequest& request, InstallHandshake& shared, IInstallObserver& window,
                      const InstallWorkerOptions& options) {
  InstallRun run(request, shared, window, options);
  return run.Run();
}
