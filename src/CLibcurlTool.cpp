#include "CLibcurlTool.h"

#include "FuntionImpl.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <mutex>

#include "BuildSettings.h"
#include "CTask.h"
#include "Logger.h"
#include "DesktopProxy.h"
#include "TransferRules.h"

namespace {

constexpr const char* kUserAgentLine =
    "User-Agent:Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/62.0.3202.75 Safari/537.36";

// libcurl's largest receive buffer; four workers hold 2 MiB in all.
constexpr long kRangeReceiveBufferBytes = 512L * 1024;

std::mutex g_settingsLock;
std::string g_caBundle;
std::string g_uploadEndpoint = std::string(build::kLogUploadHost) + "/v1/productLogUpload";

// Whole-transfer bound of the log upload: a stalled collector must not hold
// the report mode for ever.
constexpr long kUploadConnectTimeoutS = 30;
constexpr long kUploadTimeoutS = 300;

// Every transfer: http and https only, a bounded redirect chain, peer and
// host verification against the configured CA bundle when there is one, and
// the desktop's proxy for the URL.
CURLcode ApplyTransferRules(CURL* curl, const std::string& url) {
  CURLcode code = transfer::RestrictToWeb(curl);
  if (code == CURLE_OK) code = transfer::UseDesktopProxy(curl, url);
  if (code == CURLE_OK) code = curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  if (code == CURLE_OK) code = curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (code != CURLE_OK) return code;
  const std::string bundle = CLibcurlTool::CaBundle();
  if (!bundle.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, bundle.c_str());
  return CURLE_OK;
}

}  // namespace

CLibcurlTool::CLibcurlTool(const DownloadTimings& timings) : m_curl(curl_easy_init()), m_timings(timings) {
  curlx::AppendHeader(m_rangeHeaders, kUserAgentLine);
}

void CLibcurlTool::SetCaBundle(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_settingsLock);
  g_caBundle = path;
}

std::string CLibcurlTool::CaBundle() {
  std::lock_guard<std::mutex> lock(g_settingsLock);
  return g_caBundle;
}

CURLcode CLibcurlTool::setVerification(const std::string& url) { return ApplyTransferRules(m_curl.get(), url); }

CURLcode CLibcurlTool::httpDownloadContent(const std::string& url, std::int64_t start, std::int64_t end,
                                           std::int64_t /*unused*/, IRangeSink* sink) {
  const std::string range = std::to_string(start) + "-" + std::to_string(end);
  RangeTransfer& transfer = sink->transfer();
  const CTask* task = transfer.task;
  if (task->LogFlag != 0) {
    QMLOG(" Request Range: (" << task->TaskId.load() << ", " << static_cast<std::int32_t>(end - start)
                              << ") " << range);
  }
  CURL* const curl = m_curl.get();
  if (curl == nullptr) {
    QMLOG(" curl easy init fail !!!");
    return CURLE_FAILED_INIT;
  }
  curl_easy_reset(curl);
  // If-Range with the probe's validator: a server holding a newer file
  // answers 200 with it instead of a range of it.
  const std::string ifRange = IfRangeValue(task->Probed);
  curlx::Headers headers;
  if (!ifRange.empty() && !(curlx::AppendHeader(headers, kUserAgentLine) &&
                            curlx::AppendHeader(headers, ("If-Range: " + ifRange).c_str()))) {
    headers.reset();
  }
  transfer.ifRangeSent = headers != nullptr;
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers ? headers.get() : m_rangeHeaders.get());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CLibcurlTool::ProgressCallback);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, sink);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_RANGE, range.c_str());
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CLibcurlTool::downloadFunc);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, sink);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, sink);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &CLibcurlTool::HeaderCallback);
  // One range time limit per slice: a request for several slices may last
  // that many limits in all, but each slice must fill within one limit of
  // the stream reaching it (checked in the progress callback).
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(m_timings.rangeTimeoutMs * transfer.slices));
  if (transfer.slices > 1) transfer.sliceDeadlineMs = TickCountMs() + m_timings.rangeTimeoutMs;
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_timings.rangeConnectTimeoutMs));
  // Large receive blocks: fewer reads, callbacks and positioned writes per byte.
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kRangeReceiveBufferBytes);
  CURLcode code = setVerification(url);
  if (code == CURLE_OK) code = curl_easy_perform(curl);
  if (code == CURLE_ABORTED_BY_CALLBACK && transfer.sliceTimedOut) code = CURLE_OPERATION_TIMEDOUT;
  // A transfer stopped because its range was filled ended as it should.
  const bool stoppedFilled = code == CURLE_WRITE_ERROR && transfer.rangeFilled;
  if (code != CURLE_OK && !stoppedFilled) figureError(code);
  return code;
}

CURLcode CLibcurlTool::fetchToString(const std::string& url, std::string& out, bool headersOnly,
                                     std::int64_t timeoutMs) {
  out.clear();
  CURL* const curl = m_curl.get();
  if (curl == nullptr) {
    QMLOG(" curl easy init fail !!!");
    return CURLE_FAILED_INIT;
  }
  curl_easy_reset(curl);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_NOBODY, headersOnly ? 1L : 0L);
  curl_easy_setopt(curl, CURLOPT_HEADER, headersOnly ? 1L : 0L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
  // Whole seconds are libcurl's unit here; a limit under one rounds up to one.
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(m_timings.probeLowSpeedBytes));
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                   static_cast<long>(std::max<std::int64_t>(1, (m_timings.probeLowSpeedMs + 999) / 1000)));
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  transfer::CappedBody capped{&out};
  transfer::CollectCapped(curl, capped);
  // A probe's announced length is what it asks for, never a reason to stop.
  if (headersOnly) curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t{0});
  CURLcode code = setVerification(url);
  if (code == CURLE_OK) code = curl_easy_perform(curl);
  if (capped.exceeded || code == CURLE_FILESIZE_EXCEEDED) {
    // Half a reply is no reply: the caller sees nothing to parse.
    out.clear();
    QMLOG(" Reply over " << capped.limit << " bytes refused: " << url);
  }
  return code;
}

CURLcode CLibcurlTool::httpGetHeaders(const std::string& url, std::string& headers, long& statusCode,
                                      std::int64_t timeoutMs) {
  const CURLcode code = fetchToString(url, headers, true, timeoutMs > 0 ? timeoutMs : m_timings.probeTimeoutMs);
  statusCode = 0;
  if (m_curl != nullptr) curl_easy_getinfo(m_curl.get(), CURLINFO_RESPONSE_CODE, &statusCode);
  if (code != CURLE_OK) figureError(code);
  return code;
}

CURLcode CLibcurlTool::httpGet(const std::string& url, std::int64_t /*start*/, std::int64_t /*end*/,
                               int /*flag*/, char* header, long& statusCode) {
  std::string text;
  const CURLcode code = httpGetHeaders(url, text, statusCode);
  if (header != nullptr) {
    const std::size_t n = std::min(text.size(), kHeaderBufferSize);
    std::memcpy(header, text.data(), n);
    if (n < kHeaderBufferSize) header[n] = '\0';
  }
  return code;
}

CURLcode CLibcurlTool::httpGet(const std::string& url, char* header, long& statusCode) {
  return httpGet(url, 0, 0, 0, header, statusCode);
}

CURLcode CLibcurlTool::httpGet(const std::string& url, std::string& body, bool /*flag*/) {
  return fetchToString(url, body, false, kSmallGetTimeoutMs);
}

int CLibcurlTool::HttpPost(const std::string& url, const std::string& body, std::string& response,
                           const std::string& /*extra*/) {
  const curlx::Easy owner(curl_easy_init());
  CURL* curl = owner.get();
  if (curl == nullptr) {
    QMLOG(" curl easy init fail !!!");
    return CURLE_FAILED_INIT;
  }
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, nullptr);
  transfer::CappedBody capped{&response};
  transfer::CollectCapped(curl, capped);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  CURLcode code = ApplyTransferRules(curl, url);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 8L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
  if (code == CURLE_OK) code = curl_easy_perform(curl);
  return code;
}

int CLibcurlTool::figureError(CURLcode code) {
  static const struct {
    CURLcode code;
    const char* message;
  } kMessages[] = {
      {CURLE_UNSUPPORTED_PROTOCOL, " ProtoControl Unsupport!"},
      {CURLE_FAILED_INIT, " Init Failed!"},
      {CURLE_URL_MALFORMAT, " Curl RemotePath Error"},
      {CURLE_NOT_BUILT_IN, " libcurl InitFailed，Please Try again!"},
      {CURLE_COULDNT_RESOLVE_PROXY, " Cannt resovlve proxy!"},
      {CURLE_COULDNT_RESOLVE_HOST, " cannt resovlve server!"},
      {CURLE_COULDNT_CONNECT, " Curl Connect Server Error"},
      {CURLE_WEIRD_SERVER_REPLY, " FTP服务器非法回复"},
      {CURLE_REMOTE_ACCESS_DENIED, " Acess Denied!"},
      {CURLE_FTP_ACCEPT_FAILED, " FTP连接失败"},
      {CURLE_FTP_WEIRD_PASS_REPLY, " FTP服务器未知回复"},
      {CURLE_FTP_ACCEPT_TIMEOUT, " FTP连接超时"},
      {CURLE_FTP_WEIRD_PASV_REPLY, " Curl unknow error!"},
      {CURLE_FTP_WEIRD_227_FORMAT, " Curl unknow error!"},
      {CURLE_FTP_CANT_GET_HOST, " 内部故障"},
      {CURLE_HTTP2, " HTTP2错误"},
      {CURLE_FTP_COULDNT_SET_TYPE, " FTP获取传输类型失败"},
      {CURLE_PARTIAL_FILE, " 服务器返回文件大小非法"},
      {CURLE_HTTP_RETURNED_ERROR, " HTTP请求错误"},
      {CURLE_WRITE_ERROR, " 接收数据错误"},
      {CURLE_UPLOAD_FAILED, " 上传数据错误"},
      {CURLE_READ_ERROR, " 本地文件读取错误"},
      {CURLE_OUT_OF_MEMORY, " 内存不足"},
      {CURLE_OPERATION_TIMEDOUT, " Curl Time out"},
      {CURLE_FTP_PORT_FAILED, " FTP端口失败"},
      {CURLE_RANGE_ERROR, " 请求的数据范围错误"},
  };
  for (const auto& entry : kMessages) {
    if (entry.code == code) {
      QMLOG(entry.message);
      return 1;
    }
  }
  QMLOG(" Curl Else Error: " << static_cast<int>(code));
  return 1;
}

std::string ResolveLocation(const std::string& base, const std::string& location) {
  const curlx::Url owner(curl_url());
  CURLU* url = owner.get();
  if (url == nullptr) return location;
  std::string resolved = location;
  if (curl_url_set(url, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
      curl_url_set(url, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK) {
    char* text = nullptr;
    if (curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK && text != nullptr) resolved = text;
    curl_free(text);
  }
  return resolved;
}

void SetLogUploadEndpoint(const std::string& url) {
  std::lock_guard<std::mutex> lock(g_settingsLock);
  g_uploadEndpoint = url;
}

std::string LogUploadEndpoint() {
  std::lock_guard<std::mutex> lock(g_settingsLock);
  return g_uploadEndpoint;
}

std::string MakeUploadFileName(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::string extension = dot == std::string::npos ? ".tmp" : path.substr(dot);
  return "NoName_" + LocalTimeStamp17() + extension;
}

int UploadLogFile(std::string path, std::string fileName, std::string productId, std::string version,
                  std::string catalogue) {
  if (path.size() < 5) return -1;
  // The form and header list outlive the handle that uses them.
  curlx::Mime form;
  curlx::Headers headers;
  const curlx::Easy owner(curl_easy_init());
  CURL* curl = owner.get();
  if (curl == nullptr) {
    std::cerr << "Failed to initialize cURL" << std::endl;
    return -2;
  }
  if (fileName.empty()) fileName = MakeUploadFileName(path);
  form.reset(curl_mime_init(curl));
  curl_mimepart* part = curl_mime_addpart(form.get());
  curl_mime_name(part, "file");
  curl_mime_filedata(part, path.c_str());
  curl_mime_filename(part, fileName.c_str());
  part = curl_mime_addpart(form.get());
  curl_mime_name(part, "product_id");
  curl_mime_data(part, productId.c_str(), CURL_ZERO_TERMINATED);
  part = curl_mime_addpart(form.get());
  curl_mime_name(part, "version");
  curl_mime_data(part, version.c_str(), CURL_ZERO_TERMINATED);
  if (!catalogue.empty()) {
    part = curl_mime_addpart(form.get());
    curl_mime_name(part, "catalogue");
    curl_mime_data(part, catalogue.c_str(), CURL_ZERO_TERMINATED);
  }
  curlx::AppendHeader(headers, "content-type:multipart/form-data");
  curlx::AppendHeader(headers, "Accept:*/*");
  std::string response;
  const std::string endpoint = LogUploadEndpoint();
  curl_easy_setopt(curl, CURLOPT_MIMEPOST, form.get());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(curl, CURLOPT_URL, endpoint.c_str());
  transfer::CappedBody capped{&response};
  transfer::CollectCapped(curl, capped);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kUploadConnectTimeoutS);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, kUploadTimeoutS);
  CURLcode code = ApplyTransferRules(curl, endpoint);
  if (code == CURLE_OK) code = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  std::cout << "Response from server:\n"
            << response << std::endl;
  return code == CURLE_OK && status == 200 ? 0 : -3;
}
