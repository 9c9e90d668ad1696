#include <gtest/gtest.h>

#include <map>

#include "CConfigure.h"
#include "EmbeddedConfig.h"
#include "SingleUserLog.h"
#include "platform/SkinResourceTable.h"
#include "support/LogCapture.h"

namespace {

class MapItems : public IConfigItemSource {
 public:
  explicit MapItems(std::map<std::string, std::string> items) : items_(std::move(items)) {}
  bool GetItemText(const std::string& name, std::string& text) const override {
    const auto it = items_.find(name);
    if (it == items_.end()) return false;
    text = it->second;
    return true;
  }
  std::map<std::string, std::string> items_;
};

std::map<std::string, std::string> BuildItems() {
  return {{"Downloader_id", "127"}, {"Software_id", "0"}, {"Site_id", "61"}, {"Language_id", "1033"}, {"Software_name", "Vantor Mark Eraser"}, {"Software_version", "1.0.0.0"}, {"Process_name", "MarkEraser.exe"}, {"Install_url", ""}, {"Download_url", "http://dl.example.com/p/app_setup.exe"}, {"Extra_download_url", "https://www.example.com/downloads/extra/app_setup.exe"}, {"Banner_url", ""}, {"Licensefile_url", ""}, {"Md5", ""}, {"Filesize", ""}, {"Md5_extra", ""}, {"InstallTimeout", "600"}, {"Cnet_download_url", ""}};
}

CConfigure LoadedWithReply(const std::string& reply) {
  CConfigure config(127, 1033, 61);
  config.loadFromLayout(MapItems(BuildItems()), false);
  config.downloadInfoXml = reply;
  return config;
}

}  // namespace

TEST(CConfigure, WindowLoadFillsItemsButStaysNotReady) {
  CConfigure config(1, 2, 3);
  config.loadFromLayout(MapItems(BuildItems()), false);
  EXPECT_EQ(config.status, 1);
  EXPECT_EQ(config.source, 0);
  EXPECT_TRUE(config.candidateUrls.empty());
  EXPECT_EQ(config.Downloader_id, 127);
  EXPECT_EQ(config.Site_id, 61);
  EXPECT_EQ(config.Language_id, 1033);
  EXPECT_EQ(config.InstallTimeout, 600);
  EXPECT_EQ(config.Downloader_type, 1);
  EXPECT_EQ(config.Software_name, "Vantor Mark Eraser");
}

TEST(CConfigure, FallbackLoadIsReadyFromFileWithServiceUrlsOnly) {
  CConfigure config(127, 1033, 61);
  config.loadFromLayout(MapItems(BuildItems()), true);
  EXPECT_EQ(config.status, 2);
  EXPECT_EQ(config.source, 2);
  // The "dl." URL is stored but never a candidate.
  EXPECT_EQ(config.Download_url, "http://dl.example.com/p/app_setup.exe");
  ASSERT_EQ(config.candidateUrls.size(), 1u);
  EXPECT_EQ(config.candidateUrls[0], "https://www.example.com/downloads/extra/app_setup.exe");
}

TEST(CConfigure, InstallTimeoutOfZeroOrNonNumberGives242) {
  for (const char* value : {"0", "abc", "", " 0x10"}) {
    auto items = BuildItems();
    items["InstallTimeout"] = value;
    CConfigure config(0, 0, 0);
    config.loadFromLayout(MapItems(items), true);
    EXPECT_EQ(config.InstallTimeout, 242) << "value '" << value << "'";
  }
}

TEST(CConfigure, DecimalValueReadsLikeTheCLibrary) {
  const std::pair<const char*, std::int64_t> cases[] = {
      {"", 0}, {"abc", 0}, {"42", 42}, {"  -7x", -7}, {"+12 ", 12}, {"5000000000", 5000000000LL}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(DecimalValue(text), expected) << text;
}

TEST(CConfigure, ReplyMergesItemByItem) {
  CConfigure config = LoadedWithReply(
      "<Downloader><Downloader_id>130</Downloader_id><Filesize>3000000000</Filesize>"
      "<Downloader_type>2</Downloader_type><Downloader_config>2</Downloader_config>"
      "<Software_name>Vantor \xE6\x93\xA6\xE9\x99\xA4</Software_name>"
      "<Download_url>https://api.example.com/pkg/app_setup.exe\r\n</Download_url>"
      "<Process_name>Mark\nEraser.exe</Process_name>"
      "<Md5></Md5><Unknown>x</Unknown></Downloader>");
  ASSERT_TRUE(config.parseDownloadInfoXml());
  EXPECT_EQ(config.status, 2);
  EXPECT_EQ(config.source, 1);
  EXPECT_EQ(config.Downloader_id, 130);
  EXPECT_EQ(config.Filesize, 3000000000LL);
  EXPECT_EQ(config.Downloader_type, 2);
  EXPECT_EQ(config.Software_name, "Vantor \xE6\x93\xA6\xE9\x99\xA4");
  EXPECT_EQ(config.Download_url, "https://api.example.com/pkg/app_setup.exe");
  EXPECT_EQ(config.Process_name, "MarkEraser.exe");
  EXPECT_EQ(config.Md5, "");  // an empty element is accepted
  // Items the reply does not carry keep their embedded values.
  EXPECT_EQ(config.Language_id, 1033);
  EXPECT_EQ(config.InstallTimeout, 600);
  EXPECT_EQ(config.Software_version, "1.0.0.0");
  EXPECT_EQ(CSingleUserLog::GetInstance()->downloaderConfig.load(), 2);
  ASSERT_EQ(config.candidateUrls.size(), 2u);
  EXPECT_EQ(config.candidateUrls[0], "https://api.example.com/pkg/app_setup.exe");
  CSingleUserLog::GetInstance()->downloaderConfig = 0;
}

TEST(CConfigure, NonNumericIntegerElementLeavesFieldUnchanged) {
  CConfigure config = LoadedWithReply("<Downloader><Site_id>abc</Site_id><Filesize>x</Filesize></Downloader>");
  ASSERT_TRUE(config.parseDownloadInfoXml());
  EXPECT_EQ(config.Site_id, 61);
  EXPECT_EQ(config.Filesize, 0);
}

TEST(CConfigure, UnparsableOrMissingReplyKeepsFieldsAndStatusOne) {
  for (const char* reply : {"<Downloader><Site_id>5</Site_id>", "not xml at all <", ""}) {
    CConfigure config = LoadedWithReply(reply);
    config.status = 2;
    EXPECT_FALSE(config.parseDownloadInfoXml()) << reply;
    EXPECT_EQ(config.status, 1);
    EXPECT_EQ(config.Site_id, 61);
    EXPECT_EQ(config.Software_name, "Vantor Mark Eraser");
  }
  CConfigure none(1, 1, 1);
  none.status = 2;
  EXPECT_FALSE(none.parseDownloadInfoXml());
  EXPECT_EQ(none.status, 1);
}

TEST(CConfigure, ResetKeepsTheOtherStrings) {
  CConfigure config(127, 1033, 61);
  config.loadFromLayout(MapItems(BuildItems()), true);
  config.resetContent();
  EXPECT_EQ(config.Software_name, "");
  EXPECT_EQ(config.Download_url, "");
  EXPECT_EQ(config.Extra_download_url, "https://www.example.com/downloads/extra/app_setup.exe");
  EXPECT_TRUE(config.candidateUrls.empty());
  EXPECT_EQ(config.status, 1);
  EXPECT_EQ(config.source, 0);
}

TEST(CConfigure, PrintContentWritesItsLinesInOrder) {
  LogCapture capture;
  CConfigure config(127, 1033, 61);
  config.loadFromLayout(MapItems(BuildItems()), false);
  config.printContent();
  const std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_NE(lines[0].find(" Configure Load From Nothing! "), std::string::npos);
  EXPECT_NE(lines[1].find(" [File ContentLength]: 0"), std::string::npos);
  EXPECT_NE(lines[2].find(" [Downloader Id]: 127"), std::string::npos);
  EXPECT_NE(lines[8].find(" [Remote Path]: http://dl.example.com/p/app_setup.exe"), std::string::npos);
  EXPECT_NE(lines[17].find(" [Downloader config]: 0"), std::string::npos);
  config.source = 2;
  config.printContent();
  EXPECT_NE(capture.Lines()[18].find(" Configure Load From File! "), std::string::npos);
}

TEST(EmbeddedConfig, BuildsFileCarriesEveryItemTheRecordReads) {
  ASSERT_TRUE(platform::UseEmbeddedSkinArchive());
  const EmbeddedConfigItems items = EmbeddedConfigItems::FromResourceArchive();
  CConfigure config(0, 0, 0);
  config.loadFromLayout(items, true);
  EXPECT_EQ(config.Downloader_id, 127);
  EXPECT_EQ(config.Site_id, 61);
  EXPECT_EQ(config.Language_id, 1033);
  EXPECT_EQ(config.Software_name, "Vantor Mark Eraser");
  EXPECT_EQ(config.Process_name, "MarkEraser.exe");
  EXPECT_EQ(config.InstallTimeout, 600);
  EXPECT_NE(config.Download_url.find("//dl."), std::string::npos);
  EXPECT_NE(config.Extra_download_url.find("/downloads/extra/"), std::string::npos);
  std::string value;
  EXPECT_TRUE(items.GetItemText("Support32System", value));
  EXPECT_EQ(value, "0");
  EXPECT_TRUE(items.GetItemText("product_url_chinesetrad", value));
}

TEST(EmbeddedConfig, FirstAttributeIsNameSecondIsValue) {
  const auto items = ParseEmbeddedConfigItems(
      "<Root><Group><Label a=\"X\" b=\"1\"/><Label text=\"2\" name=\"Y\"/><Label only=\"Z\"/></Group>"
      "<Group><Label name=\"Later\" text=\"no\"/></Group></Root>");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], (std::pair<std::string, std::string>{"X", "1"}));
  EXPECT_EQ(items[1], (std::pair<std::string, std::string>{"2", "Y"}));
  EXPECT_EQ(items[2], (std::pair<std::string, std::string>{"Z", ""}));
  EXPECT_TRUE(ParseEmbeddedConfigItems("<Root/>").empty());
  EXPECT_TRUE(ParseEmbeddedConfigItems("<Root><Group>").empty());
}
