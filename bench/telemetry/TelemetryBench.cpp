// Queuing cost of an event while the delivery thread is busy sending to a
// slow collector (p50/p99/max over many single enqueues, GA4 and funnel), and
// the CPU time an idle delivery thread uses over a few seconds.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/resource.h>
#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "ReportConfig.h"
#include "SingleUserLog.h"
#include "support/StandInServer.h"

namespace {

using Clock = std::chrono::steady_clock;

report::Endpoints Aim(const StandInServer& server) {
  report::Endpoints e;
  e.ga4Collect = server.Url("/g/collect");
  e.funnelCollect = server.Url("/collect");
  e.funnelTestCollect = server.Url("/collector");
  e.userServiceDefault = server.Url();
  e.userAddressFile = server.Url("/base.txt");
  e.geolocation = server.Url("/line");
  return e;
}

std::unique_ptr<CSingleUserLog> BusyLog(StandInServer& server) {
  server.Answer("/g/collect", 204, "", 20);  // every send takes 20 ms: the thread is always busy
  server.Answer("/collect", 200, "", 20);
  report::SetEndpoints(Aim(server));
  UserLogSettings s;
  s.disabled = false;
  return CSingleUserLog::CreateStandalone(s);
}

void Report(benchmark::State& state, std::vector<double>& ns) {
  std::sort(ns.begin(), ns.end());
  state.counters["p50_us"] = ns[ns.size() / 2] / 1000.0;
  state.counters["p99_us"] = ns[ns.size() * 99 / 100] / 1000.0;
  state.counters["max_us"] = ns.back() / 1000.0;
}

void BM_QueueGa4WhileBusy(benchmark::State& state) {
  StandInServer server;
  auto log = BusyLog(server);
  std::vector<double> ns;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    log->AddUserLog("Download", "3.Downloading...", "42", false);
    ns.push_back(std::chrono::duration<double, std::nano>(Clock::now() - t0).count());
  }
  Report(state, ns);
}
BENCHMARK(BM_QueueGa4WhileBusy)->Iterations(20000)->UseRealTime();

void BM_QueueFunnelWhileBusy(benchmark::State& state) {
  StandInServer server;
  auto log = BusyLog(server);
  std::vector<double> ns;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    log->AddUserLog_funnelEx("Download", "SliceDownloading", "", "", false);
    ns.push_back(std::chrono::duration<double, std::nano>(Clock::now() - t0).count());
  }
  Report(state, ns);
}
BENCHMARK(BM_QueueFunnelWhileBusy)->Iterations(5000)->UseRealTime();

double ThreadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_IdleDeliveryThreadCpu(benchmark::State& state) {
  StandInServer server;
  server.Answer("/base.txt", 200, server.Url());
  server.Answer("/QueryUser", 200, "7");
  report::SetEndpoints(Aim(server));
  UserLogSettings s;
  s.disabled = false;
  auto log = CSingleUserLog::CreateStandalone(s);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // past the identity step
  for (auto _ : state) {
    const double before = ThreadCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    state.counters["cpu_ms_per_s"] = (ThreadCpuSeconds() - before) * 1000.0 / 3.0;
  }
}
BENCHMARK(BM_IdleDeliveryThreadCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_ALL);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
