// Every transfer of the program goes through the desktop's proxy as libproxy
// reads it (here from the environment, which libproxy reads itself): the
// engine's small GET, the reporting client and the service GET; "direct"
// and the client's own proxy win over the environment.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "CLibcurlTool.h"
#include "CurlHttpClient.h"
#include "DesktopProxy.h"
#include "HttpGetText.h"
#include "support/RecordingProxy.h"
#include "support/ScopedEnv.h"
#include "support/TestHttpServer.h"

namespace {

// Nothing resolves this name: only a proxy can answer for it.
constexpr const char* kNowhere = "http://origin.invalid";

// The process's proxy variables cleared, then variable set to proxy when
// one is given. libcurl itself reads only the lower-case http_proxy; the
// upper-case HTTP_PROXY reaches a transfer only through libproxy.
class ProxyEnvironment {
 public:
  explicit ProxyEnvironment(const std::string& proxy = {}, const char* variable = "http_proxy") {
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "HTTP_PROXY", "all_proxy", "ALL_PROXY",
                             "no_proxy", "NO_PROXY", "auto_proxy", "PX_CONFIG_ORDER"}) {
      cleared_.emplace_back(std::make_unique<ScopedEnv>(name));
    }
    if (!proxy.empty()) cleared_.emplace_back(std::make_unique<ScopedEnv>(variable, proxy));
  }

 private:
  std::vector<std::unique_ptr<ScopedEnv>> cleared_;
};

}  // namespace

TEST(DesktopProxy, ChoiceFromLibproxysAnswers) {
  struct Row {
    std::vector<std::string> answers;
    bool decided;
    std::string proxy;
  };
  const Row rows[] = {
      {{"direct://"}, true, ""},
      {{"http://proxy:3128"}, true, "http://proxy:3128"},
      {{"HTTPS://proxy:443", "direct://"}, true, "HTTPS://proxy:443"},
      {{"socks5://s:1080"}, true, "socks5://s:1080"},
      {{"socks4a://s:1080"}, true, "socks4a://s:1080"},
      {{"socks5h://s:1080"}, true, "socks5h://s:1080"},
      // Schemes libcurl must not be handed are passed over.
      {{"ftp://f:21", "file:///tmp/x", "pac+http://p/wpad.dat", "http://next:8080"}, true, "http://next:8080"},
      {{"ftp://f:21", "direct://"}, true, ""},
      {{"ftp://f:21"}, false, ""},
      {{}, false, ""},
      // No host, blanks or control characters: not a proxy.
      {{"http://"}, false, ""},
      {{"http://a b:1"}, false, ""},
      {{"http://a\r\nX: y:1"}, false, ""},
      {{"httpx://a:1"}, false, ""},
  };
  for (const Row& row : rows) {
    const transfer::ProxyChoice choice = transfer::ChooseProxy(row.answers);
    const std::string first = row.answers.empty() ? "(none)" : row.answers.front();
    EXPECT_EQ(choice.decided, row.decided) << first;
    EXPECT_EQ(choice.proxy, row.proxy) << first;
  }
}

TEST(DesktopProxy, LibproxyReadsTheEnvironmentAndItsExceptions) {
  RecordingProxy proxy;
  ProxyEnvironment env(proxy.Address());
  const auto answers = transfer::DesktopProxiesFor(std::string(kNowhere) + "/x");
  ASSERT_FALSE(answers.empty());
  EXPECT_EQ(answers.front().rfind(proxy.Address(), 0), 0u) << answers.front();
  ScopedEnv except("no_proxy", "origin.invalid");
  EXPECT_EQ(transfer::DesktopProxiesFor(std::string(kNowhere) + "/x"), std::vector<std::string>{"direct://"});
}

TEST(DesktopProxy, EveryKindOfTransferGoesThroughTheDesktopsProxy) {
  RecordingProxy proxy;
  ProxyEnvironment env(proxy.Address(), "HTTP_PROXY");
  std::string body;
  EXPECT_EQ(CLibcurlTool().httpGet(std::string(kNowhere) + "/engine", body, false), CURLE_OK);
  EXPECT_EQ(body, RecordingProxy::kBody);

  CurlHttpClient client;
  EXPECT_EQ(client.Get(std::string(kNowhere) + "/client-get", "X-Test: 1"), CURLE_OK);
  EXPECT_EQ(client.GetResponse(), RecordingProxy::kBody);
  EXPECT_EQ(client.Post(std::string(kNowhere) + "/client-post", "X-Test: 1", "b=1"), CURLE_OK);

  std::string text;
  EXPECT_EQ(HttpGetText(std::string(kNowhere) + "/service", text), 0);
  EXPECT_EQ(text, RecordingProxy::kBody);

  const std::vector<std::string> expected = {std::string(kNowhere) + "/engine", std::string(kNowhere) + "/client-get",
                                             std::string(kNowhere) + "/client-post",
                                             std::string(kNowhere) + "/service"};
  EXPECT_EQ(proxy.Targets(), expected);
}

// An address the desktop exempts goes direct, although a proxy variable is
// set: the proxy sees nothing and the origin answers.
TEST(DesktopProxy, ExemptAddressesGoDirect) {
  RecordingProxy proxy;
  TestHttpServer origin;
  origin.ServeBytes("/direct", "from the origin");
  ProxyEnvironment env(proxy.Address());
  ScopedEnv except("no_proxy", "127.0.0.1");
  std::string body;
  EXPECT_EQ(CLibcurlTool().httpGet(origin.Url("/direct"), body, false), CURLE_OK);
  EXPECT_EQ(body, "from the origin");
  CurlHttpClient client;
  EXPECT_EQ(client.Get(origin.Url("/direct"), "X-Test: 1"), CURLE_OK);
  EXPECT_EQ(client.GetResponse(), "from the origin");
  EXPECT_TRUE(proxy.Targets().empty());
}

// With no proxy anywhere nothing changes; a client's own proxy (the reporting
// module's proxy file) wins over the desktop's.
TEST(DesktopProxy, NoProxyAnywhereAndTheClientsOwnProxy) {
  TestHttpServer origin;
  origin.ServeBytes("/plain", "from the origin");
  {
    ProxyEnvironment none;
    CurlHttpClient client;
    EXPECT_EQ(client.Get(origin.Url("/plain"), "X-Test: 1"), CURLE_OK);
    EXPECT_EQ(client.GetResponse(), "from the origin");
  }
  RecordingProxy desktops;
  RecordingProxy own;
  ProxyEnvironment env(desktops.Address());
  CurlHttpClient client;
  client.SetProxy(own.Address());
  EXPECT_EQ(client.Get(std::string(kNowhere) + "/own", "X-Test: 1"), CURLE_OK);
  EXPECT_EQ(own.Targets(), std::vector<std::string>{std::string(kNowhere) + "/own"});
  EXPECT_TRUE(desktops.Targets().empty());
}
