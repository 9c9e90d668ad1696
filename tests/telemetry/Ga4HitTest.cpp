#include <gtest/gtest.h>

#include "Ga4Hit.h"
#include "ReportText.h"
#include "TelemetryFixture.h"
#include "WebLog.h"

namespace {

TelemetryContext SampleContext() {
  TelemetryContext c;
  c.toolsVersion = "1.2.3.4";
  c.siteId = 54;
  c.productName = "Mark Eraser";
  c.uiLanguage = "Japanese";
  c.uiCountry = "Japan";
  c.osText = "Debian GNU/Linux 12 (bookworm) 64bit";
  return c;
}

std::string Param(const std::string& hit, const std::string& name) {
  const std::string key = "&" + name + "=";
  const auto at = hit.find(key);
  if (at == std::string::npos) return "<absent>";
  const auto start = at + key.size();
  return hit.substr(start, hit.find('&', start) - start);
}

}  // namespace

TEST(Ga4Hit, TextOfTheLaunchEvent) {
  const std::string hit = Ga4HitText(SampleContext(), "G-ABCDEFGHIJ", "Download", "1.Launch", "");
  EXPECT_EQ(hit.rfind("&tid=G-ABCDEFGHIJ&ep.qm_productname=Downloader&ep.qm_productversion=1.2.3.4"
                      "&ep.qm_category=Download&ep.qm_action=1.Launch&ep.qm_label=&en=1.Launch&ep.cd1=1.2.3.4"
                      "&ep.cd2=CN&ep.cd3=Baidu&ep.cd4=Mark Eraser&ep.cd5=Japan&ep.cd6=Japanese"
                      "&ep.cd7=Debian GNU/Linux 12 (bookworm) 64bit&ep.cd8=1",
                      0),
            0u)
      << hit;
}

TEST(Ga4Hit, DimensionsFromTheContext) {
  struct Case {
    int siteId;
    bool kitFlag;
    std::string url;
    std::string cd2, cd3, cd8;
  } cases[] = {
      {54, false, "", "CN", "Baidu", "1"},
      {61, false, "http://dl/x.exe", "SEO", "Organic", "1"},
      {2, true, "", "PPC", "GooglePPC", "0"},
      {9999, false, "", "SEO", "9999", "1"},
      {61, false, "http://dl/Setup_BING_1.exe", "SEO", "Organic-Bing", "1"},
      {61, false, "http://dl/setup_yahoo.exe", "SEO", "Organic-Yahoo", "1"},
      {61, false, "http://dl/setup_online.exe", "SEO", "OrganicOnline", "1"},
      {8, false, "http://dl/setup_bing_.exe", "PPC", "BingPPC", "1"},  // row without variants
  };
  for (const auto& c : cases) {
    TelemetryContext context = SampleContext();
    context.siteId = c.siteId;
    context.kitFlag = c.kitFlag;
    context.downloadUrl = c.url;
    const std::string text = CustomDimensionText(context);
    EXPECT_EQ(Param(text, "ep.cd2"), c.cd2) << c.siteId;
    EXPECT_EQ(Param(text, "ep.cd3"), c.cd3) << c.siteId << " " << c.url;
    EXPECT_EQ(Param(text, "ep.cd8"), c.cd8) << c.siteId;
  }
}

TEST(Ga4Hit, OverlongTextsAreCut) {
  TelemetryContext context = SampleContext();
  context.productName.assign(5000, 'p');
  EXPECT_EQ(CustomDimensionText(context).size(), 4095u);
  EXPECT_EQ(Ga4HitText(context, "G-X", "c", "a", std::string(5000, 'l')).size(), 4095u);
}

TEST(Ga4Hit, Escaping) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"Windows 10 64bit", "Windows%2010%2064bit"},
      {"100%", "100%25"},
      {"\xe6\x97\xa5", "%e6%97%a5"},
      {"a-b_c.d!e~f*g'h(i)j", "a-b_c.d!e~f*g'h(i)j"},
      {"&k=v&x=y", "&k=v&x=y"},
      {"a/b?c#d+e", "a%2fb%3fc%23d%2be"},
  };
  for (const auto& c : cases) EXPECT_EQ(report::EscapeHitText(c.in), c.out) << c.in;
}

TEST(Ga4Hit, ClientIdFromVolumeAndAdapter) {
  EXPECT_EQ(report::ClientId("0a1b2c3d-0000-4000-8000-00000000abcd", "00:1a:2b:3c:4d:5e"),
            "A1B2C3D00004000800000000000ABCD001A2B3C4D5E");
  EXPECT_EQ(report::ClientId("", "00:1a:2b:3c:4d:5e"), "001A2B3C4D5E");
  EXPECT_EQ(report::ClientId("DEAD-BEEF", ""), "DEADBEEF");
  EXPECT_EQ(report::ClientId("", "00:1a:2b:3c:4d"), "");
}

class PostGa4HitTest : public TelemetryTest {
 protected:
  WebLog MakeWebLog() { return WebLog(report::CurrentEndpoints(), report::CurrentHost(), dir_.path()); }
};

TEST_F(PostGa4HitTest, ResultsByStatus) {
  struct Case {
    int status;
    int expected;
  } cases[] = {{204, 0}, {200, -1}, {500, -1}};
  for (const auto& c : cases) {
    ga4_.Answer(Ga4CollectStandIn::kPath, c.status);
    WebLog log = MakeWebLog();
    EXPECT_EQ(log.PostGa4Hit("&en=x"), c.expected) << c.status;
  }
  WebLog log = MakeWebLog();
  EXPECT_EQ(log.PostGa4Hit(""), -2);
  ga4_.GoDown();
  EXPECT_EQ(log.PostGa4Hit("&en=x"), -3);
}

TEST_F(PostGa4HitTest, SendsTheEscapedHitInTheQuery) {
  WebLog log = MakeWebLog();
  ASSERT_EQ(log.PostGa4Hit("&ep.qm_label=&ep.cd7=Linux 64bit&ep.x=100%&ep.y=\xc3\xa9"), 0);
  const auto hits = ga4_.Received(Ga4CollectStandIn::kPath);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].method, "POST");
  EXPECT_TRUE(hits[0].body.empty());
  EXPECT_EQ(hits[0].headers.find("Content-Type")->second, "application/json; charset=utf-8");
  const std::string& q = hits[0].query;
  EXPECT_EQ(q.rfind("v=2&cid=", 0), 0u) << q;
  EXPECT_NE(q.find("&ep.qm_label=&ep.cd7=Linux%2064bit&ep.x=100%25&ep.y=%c3%a9"), std::string::npos) << q;
}

TEST_F(PostGa4HitTest, ProxyFileSetsAProxyThatStays) {
  StandInServer proxy;
  const std::string target = ga4_.Url(Ga4CollectStandIn::kPath);
  proxy.Answer(target, 204);
  WebLog log = MakeWebLog();
  dir_.Write("proxy.txt", "  \n");  // blank: no proxy
  ASSERT_EQ(log.PostGa4Hit("&en=a"), 0);
  EXPECT_EQ(ga4_.Count(Ga4CollectStandIn::kPath), 1);
  dir_.Write("proxy.txt", proxy.Url() + " trailing words\n");
  ASSERT_EQ(log.PostGa4Hit("&en=b"), 0);
  EXPECT_EQ(proxy.Count(target), 1);
  dir_.Write("proxy.txt", "\n");  // blank again: the earlier proxy stays
  ASSERT_EQ(log.PostGa4Hit("&en=c"), 0);
  EXPECT_EQ(proxy.Count(target), 2);
  EXPECT_EQ(ga4_.Count(Ga4CollectStandIn::kPath), 1);
}

TEST(CurlHttpClient, ResponseCodeOfAThreadWithoutRequestIsZero) {
  CurlHttpClient client;
  EXPECT_EQ(client.GetResponseCode(), 0);
  EXPECT_EQ(client.GetResponse(), "");
}

TEST(CurlHttpClient, ResultsAreKeptPerThread) {
  StandInServer server;
  server.Answer("/a", 200, "alpha");
  server.Answer("/b", 404, "beta");
  CurlHttpClient client;
  int otherCode = 0;
  std::string otherText;
  std::thread other([&] {
    client.Get(server.Url("/b"), "X-Test: 1");
    otherCode = client.GetResponseCode();
    otherText = client.GetResponse();
  });
  ASSERT_EQ(client.Get(server.Url("/a"), "X-Test: 1"), 0);
  other.join();
  EXPECT_EQ(client.GetResponseCode(), 200);
  EXPECT_EQ(client.GetResponse(), "alpha");
  EXPECT_EQ(client.GetResponse(), "");  // taken out
  EXPECT_EQ(otherCode, 404);
  EXPECT_EQ(otherText, "beta");
  EXPECT_EQ(server.Received("/a")[0].headers.find("X-Test")->second, "1");
}
