#include <gtest/gtest.h>

#include "CdnFailureCounter.h"
#include "UrlRules.h"
#include "platform/RegistryStore.h"
#include "support/ScopedTestProcess.h"
#include "support/TempDir.h"

TEST(SourceSelection, UrlHostAndAddressType) {
  struct Case {
    const char* url;
    const char* host;
    int type;
  };
  const Case cases[] = {
      {"https://WWW.Quillmarch.com/downloads/extra/tool.exe", "www.quillmarch.com", 11},
      {"http://dl.quillmarch.com/a/tool.exe", "dl.quillmarch.com", 10},
      {"https://cdn.example.org/tool.exe", "cdn.example.org", 10},
      {"https://mirror.aliyuncs.example/tool.exe", "mirror.aliyuncs.example", 12},
      {"https://cdn-us.quillmarch.com/tool.exe", "cdn-us.quillmarch.com", 12},
      {"https://download2.quillmarch.com/tool.exe", "download2.quillmarch.com", 13},
      {"https://nodot/tool", "", 10},
      {"https://host.com", "", 10},
      {"", "", 10},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetUrlHost(c.url), c.host) << c.url;
    EXPECT_EQ(GetDownloadAddressType(c.url), c.type) << c.url;
  }
}

TEST(SourceSelection, InstallerFileName) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"https://www.x.com/downloads/extra/tool.exe", "1.0.0.0", "tool_1.0.0.0.exe"},
      {"https://www.x.com/downloads/extra/tool.zip", "1.0.0.0", "tool_1.0.0.0.apk"},
      {"https://www.x.com/downloads/extra/tool.EXE", "2", "tool_2.apk"},
      {"https://www.x.com/downloads/extra/tool.exe", "../../../etc/x", ""},  // a server-made name
      {"https://www.x.com/downloads/extra/..exe", "1", "._1.exe"},           // odd, but inside the folder
      {"https://www.x.com/downloads/extra/a\\b.exe", "1", ""},
  };
  for (const auto& [url, version, name] : cases) EXPECT_EQ(InstallerFileNameFor(url, version), name) << url;
  EXPECT_TRUE(IsExeUrl("a.exe"));
  EXPECT_TRUE(IsExeUrl("abc"));
  EXPECT_FALSE(IsExeUrl("a.EXE"));
}

// What the desktop may be asked to open for a server: the web only.
TEST(SourceSelection, OnlyWebAddressesAreOpened) {
  for (const char* url : {"http://x.com/help", "https://x.com/a?b=1", "HTTPS://X.COM/"}) EXPECT_TRUE(IsWebUrl(url)) << url;
  for (const char* url : {"file:///etc/passwd", "javascript:alert(1)", "smb://host/share", "/home/u/x.desktop",
                          "httpx://x", "https://", "", "ftp://x.com/f"}) {
    EXPECT_FALSE(IsWebUrl(url)) << url;
  }
}

TEST(SourceSelection, FirstServiceUrlSkipsCdnStyle) {
  EXPECT_EQ(FirstServiceUrl({"http://dl.x.com/a.exe", "https://www.x.com/b.exe"}), "https://www.x.com/b.exe");
  EXPECT_EQ(FirstServiceUrl({"http://cdn.x.com/a.exe"}), "");
  EXPECT_EQ(FirstServiceUrl({}), "");
}

TEST(SourceSelection, CdnFailureCounterVetoesFromFour) {
  TempDir dir;
  ScopedTestProcess process;
  process.RegistryRoot(dir.path());
  const std::string product = "Vantor Mark Eraser";
  EXPECT_FALSE(isForbidCDN(product));
  std::string text;
  EXPECT_FALSE(GetRequestTooMuchTimes(product, text));
  AddRequestTooMuchTimes(product);
  ASSERT_TRUE(GetRequestTooMuchTimes(product, text));
  EXPECT_EQ(text, "1");
  for (int i = 0; i < 2; ++i) AddRequestTooMuchTimes(product);
  EXPECT_FALSE(isForbidCDN(product));  // 3
  AddRequestTooMuchTimes(product);
  EXPECT_TRUE(isForbidCDN(product));  // 4
  SetRequestTooMuchTimes(product, "garbage");
  EXPECT_FALSE(isForbidCDN(product));
  AddRequestTooMuchTimes(product);  // unreadable counts restart at 1
  GetRequestTooMuchTimes(product, text);
  EXPECT_EQ(text, "1");
}
