// Local reference services for the demo, on fixed loopback ports:
//   18080 configuration service ("/queryDownloaderV2" answers a <Downloader>)
//   18081 its mirror (same answer)
//   18082 package host (the signed packages of a folder, with byte ranges)
//   18083 collectors (exception reports, GA4, funnel, user and geolocation
//         services, log upload): every request is answered and printed;
//         funnel documents ("/collect", "/collector") get 200 like a working
//         collector, and each one whose "product_version" and "tools_lang"
//         are filled is printed as "[collector] funnel document complete";
//         uploaded diagnostic bundles are stored in the bundle folder; and
//         the banner service ("/api/v1/banners" and its pictures)
// Usage: qm-reference-services PACKAGE_DIR [PACKAGE_NAME] [--drop-after BYTES]
//          [--rate BYTES_PER_SECOND] [--fail-first N] [--bundles DIR]
//          [--downloader-config N] [--banner-fault code500|unparsable|picture]
// The configuration reply carries Downloader_config N (default 1: a crashed
// program starts again and uploads its bundle).
// The package host can misbehave like real hosts: cut every response after
// BYTES body bytes, send at most a rate per connection, or answer the first N
// package requests with 500. "/r/<name>" redirects twice before the package.
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <json/reader.h>
#include <json/value.h>

#include "Banners.h"
#include "FuntionImpl.h"

namespace {

constexpr int kConfigPort = 18080, kMirrorPort = 18081, kPackagePort = 18082, kCollectorPort = 18083;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream data;
  data << in.rdbuf();
  return data.str();
}

std::string DownloaderReply(const std::string& packageName, const std::string& package, int downloaderConfig) {
  std::ostringstream xml;
  xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Result><Downloader>"
      << "<Downloader_id>127</Downloader_id><Software_id>0</Software_id><Site_id>61</Site_id>"
      << "<Software_name>Vantor Mark Eraser</Software_name><Software_version>1.0.0.0</Software_version>"
      << "<Process_name>MarkEraser.exe</Process_name>"
      << "<Download_url>http://dl.localhost:" << kPackagePort << "/markeraser/" << packageName << "</Download_url>"
      << "<Extra_download_url>http://127.0.0.1:" << kPackagePort << "/downloads/extra/" << packageName
      << "</Extra_download_url>"
      << "<Md5>" << GetMd5Hex(package) << "</Md5><Filesize>" << package.size() << "</Filesize>"
      << "<Downloader_type>1</Downloader_type><Downloader_config>" << downloaderConfig << "</Downloader_config>"
      << "</Downloader></Result>";
  return xml.str();
}

void Log(const char* service, const httplib::Request& req) {
  std::printf("[%s] %s %s%s%s %s\n", service, req.method.c_str(), req.path.c_str(),
              req.params.empty() ? "" : "?", req.params.empty() ? "" : "...",
              req.get_header_value("Range").c_str());
  std::fflush(stdout);
}

// A funnel document that names the product version and the window language.
bool FunnelDocumentComplete(const std::string& body) {
  Json::Value doc;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::istringstream in(body);
  if (!Json::parseFromStream(builder, in, &doc, &errors) || !doc.isObject()) return false;
  const Json::Value& common = doc["common"].isObject() ? doc["common"] : doc;
  return common.isObject() && common["product_version"].isString() && !common["product_version"].asString().empty() &&
         common["tools_lang"].isString() && !common["tools_lang"].asString().empty();
}

struct Faults {
  long long dropAfter = -1;      // cut each response after this many body bytes
  long long bytesPerSecond = 0;  // per-connection rate limit
  int failFirst = 0;             // answer the first package requests with 500
};

// The package with byte ranges (handled by the server from the provider's
// length), misbehaving as the faults say.
void ServePackage(const std::string& package, const Faults& faults, httplib::Response& res) {
  res.set_content_provider(package.size(), "application/octet-stream",
                           [&package, faults](size_t offset, size_t length, httplib::DataSink& sink) {
                             size_t sent = 0;
                             while (sent < length) {
                               size_t chunk = std::min<size_t>(length - sent, 64 * 1024);
                               if (faults.dropAfter >= 0 && static_cast<long long>(sent + chunk) > faults.dropAfter) {
                                 chunk = static_cast<size_t>(std::max<long long>(faults.dropAfter - static_cast<long long>(sent), 0));
                                 if (chunk > 0) sink.write(package.data() + offset + sent, chunk);
                                 return false;  // the connection is cut
                               }
                               if (!sink.write(package.data() + offset + sent, chunk)) return false;
                               sent += chunk;
                               if (faults.bytesPerSecond > 0) {
                                 std::this_thread::sleep_for(std::chrono::microseconds(
                                     static_cast<long long>(chunk) * 1000000 / faults.bytesPerSecond));
                               }
                             }
                             return true;
                           });
}

// A sent file name never leaves the bundle folder.
std::string SafeBundleName(const std::string& sent) {
  const std::string name = sent.substr(sent.find_last_of("/\\") == std::string::npos ? 0 : sent.find_last_of("/\\") + 1);
  return name.empty() || name == "." || name == ".." ? "bundle.zip" : name;
}

// The log-upload endpoint: stores the multipart "file" part under its name.
void StoreBundle(const std::string& folder, const httplib::Request& req, httplib::Response& res) {
  if (!req.has_file("file")) {
    res.status = 400;
    return;
  }
  const httplib::MultipartFormData file = req.get_file_value("file");
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::string path = folder + "/" + SafeBundleName(file.filename);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << file.content;
  std::printf("[collector] stored bundle %s (%zu bytes, catalogue %s)\n", path.c_str(), file.content.size(),
              req.has_file("catalogue") ? req.get_file_value("catalogue").content.c_str() : "");
  std::fflush(stdout);
  res.set_content("{\"code\":0}", "application/json");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: qm-reference-services PACKAGE_DIR [PACKAGE_NAME]\n");
    return 2;
  }
  const std::string folder = argv[1];
  std::string packageName = "markeraser_setup.exe";
  Faults faults;
  BannerFault bannerFault = BannerFault::kNone;
  std::string bundles = "bundles";
  int downloaderConfig = 1;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool value = i + 1 < argc;
    if (arg == "--drop-after" && value) faults.dropAfter = std::atoll(argv[++i]);
    else if (arg == "--rate" && value) faults.bytesPerSecond = std::atoll(argv[++i]);
    else if (arg == "--fail-first" && value) faults.failFirst = std::atoi(argv[++i]);
    else if (arg == "--banner-fault" && value) bannerFault = ParseBannerFault(argv[++i]);
    else if (arg == "--bundles" && value) bundles = argv[++i];
    else if (arg == "--downloader-config" && value) downloaderConfig = std::atoi(argv[++i]);
    else packageName = arg;
  }
  const std::string package = ReadAll(folder + "/" + packageName);
  if (package.empty()) {
    std::fprintf(stderr, "no package %s/%s\n", folder.c_str(), packageName.c_str());
    return 1;
  }
  const std::string reply = DownloaderReply(packageName, package, downloaderConfig);

  httplib::Server config, mirror, packages, collectors;
  for (auto* server : {&config, &mirror}) {
    server->Get("/queryDownloaderV2", [&reply, server, &config](const httplib::Request& req, httplib::Response& res) {
      Log(server == &config ? "config" : "mirror", req);
      res.set_content(reply, "text/xml");
    });
  }
  packages.set_logger([](const httplib::Request& req, const httplib::Response&) { Log("packages", req); });
  std::atomic<int> served{0};
  const auto servePackage = [&](const httplib::Request&, httplib::Response& res) {
    if (served++ < faults.failFirst) {
      res.status = 500;
      res.set_content("busy", "text/plain");
      return;
    }
    ServePackage(package, faults, res);
  };
  for (const char* prefix : {"/downloads/extra/", "/markeraser/"}) {
    packages.Get(prefix + packageName, servePackage);
  }
  packages.Get(R"(/r/(.+))", [](const httplib::Request& req, httplib::Response& res) {
    res.set_redirect("/r2/" + req.matches[1].str());
  });
  packages.Get(R"(/r2/(.+))", [](const httplib::Request& req, httplib::Response& res) {
    res.set_redirect("/downloads/extra/" + req.matches[1].str());
  });
  collectors.set_logger([](const httplib::Request& req, const httplib::Response&) { Log("collector", req); });
  ServeBanners(collectors, "http://127.0.0.1:" + std::to_string(kCollectorPort), bannerFault);
  collectors.Get(".*", [](const httplib::Request&, httplib::Response& res) { res.set_content("{}", "application/json"); });
  collectors.Post("/v1/productLogUpload", [&bundles](const httplib::Request& req, httplib::Response& res) {
    StoreBundle(bundles, req, res);
  });
  for (const char* path : {"/collect", "/collector"}) {
    collectors.Post(path, [](const httplib::Request& req, httplib::Response& res) {
      if (FunnelDocumentComplete(req.body)) {
        std::printf("[collector] funnel document complete\n");
        std::fflush(stdout);
      }
      res.status = 200;
    });
  }
  collectors.Post(".*", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });

  std::vector<std::thread> threads;
  const std::pair<httplib::Server*, int> listeners[] = {
      {&config, kConfigPort}, {&mirror, kMirrorPort}, {&packages, kPackagePort}, {&collectors, kCollectorPort}};
  for (const auto& [server, port] : listeners) {
    if (!server->bind_to_port("127.0.0.1", port)) {
      std::fprintf(stderr, "port %d is taken\n", port);
      return 1;
    }
    threads.emplace_back([server = server] { server->listen_after_bind(); });
  }
  std::printf("reference services up: config %d, mirror %d, packages %d, collectors %d\n", kConfigPort,
              kMirrorPort, kPackagePort, kCollectorPort);
  std::fflush(stdout);
  for (auto& thread : threads) thread.join();
  return 0;
}
