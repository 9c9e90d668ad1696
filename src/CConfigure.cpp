#include "CConfigure.h"

#include <tinyxml2.h>

#include <cctype>
#include <cstdlib>

#include "Logger.h"
#include "SingleUserLog.h"
#include "UrlRules.h"

namespace {

// Installer time-out used when the embedded value is 0 or not a number.
constexpr int kFallbackInstallTimeout = 242;

void RemoveLineBreaks(std::string& text) {
  std::erase(text, '\r');
  std::erase(text, '\n');
}

std::string ItemText(const IConfigItemSource& window, const char* name) {
  std::string text;
  window.GetItemText(name, text);
  return text;
}

int ItemInt(const IConfigItemSource& window, const char* name) {
  return static_cast<int>(DecimalValue(ItemText(window, name)));
}

std::string ElementText(const tinyxml2::XMLElement* element) {
  const char* text = element->GetText();
  return text != nullptr ? text : "";
}

}  // namespace

std::int64_t DecimalValue(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (value > (INT64_MAX - 9) / 10) return negative ? INT64_MIN : INT64_MAX;  // saturate like strtoll
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

CConfigure::CConfigure(int downloaderId, int languageId, int siteId)
    : Downloader_id(downloaderId), Site_id(siteId), Language_id(languageId) {}

int CConfigure::resetContent() {
  Filesize = 0;
  Software_id = 0;
  status = kNotReady;
  source = kFromNothing;
  for (std::string* text : {&Software_name, &Software_version, &Download_url, &Md5, &Process_name,
                            &Install_url, &Banner_url, &Licensefile_url}) {
    text->clear();
  }
  candidateUrls.clear();
  return 1;
}

int CConfigure::loadFromLayout(const IConfigItemSource& window, bool markReady) {
  resetContent();
  Downloader_id = ItemInt(window, "Downloader_id");
  Software_id = ItemInt(window, "Software_id");
  Site_id = ItemInt(window, "Site_id");
  Language_id = ItemInt(window, "Language_id");
  Software_name = ItemText(window, "Software_name");
  Software_version = ItemText(window, "Software_version");
  Process_name = ItemText(window, "Process_name");
  Install_url = ItemText(window, "Install_url");
  Download_url = ItemText(window, "Download_url");
  Extra_download_url = ItemText(window, "Extra_download_url");
  Banner_url = ItemText(window, "Banner_url");
  Licensefile_url = ItemText(window, "Licensefile_url");
  Md5 = ItemText(window, "Md5");
  Filesize = DecimalValue(ItemText(window, "Filesize"));
  Md5_extra = ItemText(window, "Md5_extra");
  // Read as 64 bits, kept in 32 like the record's field.
  InstallTimeout = static_cast<int>(DecimalValue(ItemText(window, "InstallTimeout")));
  if (InstallTimeout == 0) InstallTimeout = kFallbackInstallTimeout;
  Cnet_download_url = ItemText(window, "Cnet_download_url");
  Downloader_type = 1;
  Downloader_config = 0;
  if (markReady) {
    status = kReady;
    source = kFromFile;
    appendCandidates();
  }
  return 1;
}

void CConfigure::appendCandidates() {
  for (const std::string* url : {&Download_url, &Extra_download_url}) {
    if (!url->empty() && !IsCdnUrl(*url)) candidateUrls.push_back(*url);
  }
}

bool CConfigure::parseDownloadInfoXml() {
  tinyxml2::XMLDocument doc;
  if (!downloadInfoXml || doc.Parse(downloadInfoXml->data(), downloadInfoXml->size()) != tinyxml2::XML_SUCCESS) {
    status = kNotReady;
    return false;
  }
  const tinyxml2::XMLElement* downloader = doc.FirstChildElement();
  if (downloader == nullptr) {
    status = kNotReady;
    return false;
  }
  struct IntItem {
    const char* name;
    int* field;
  };
  const IntItem ints[] = {{"Downloader_id", &Downloader_id}, {"Software_id", &Software_id}, {"Site_id", &Site_id}, {"Downloader_type", &Downloader_type}, {"Downloader_config", &Downloader_config}};
  struct TextItem {
    const char* name;
    std::string* field;
    bool stripBreaks;
  };
  const TextItem texts[] = {
      {"Software_name", &Software_name, false}, {"Software_version", &Software_version, false}, {"Process_name", &Process_name, true}, {"Install_url", &Install_url, false}, {"Download_url", &Download_url, true}, {"Banner_url", &Banner_url, false}, {"Licensefile_url", &Licensefile_url, false}, {"Md5", &Md5, false}, {"Extra_download_url", &Extra_download_url, true}, {"Cnet_download_url", &Cnet_download_url, false}, {"Md5_extra", &Md5_extra, false}};
  for (const auto* child = downloader->FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement()) {
    const std::string name = child->Name();
    if (name == "Filesize") {
      child->QueryInt64Text(&Filesize);  // a non-number leaves the value as it was
      continue;
    }
    for (const IntItem& item : ints) {
      if (name != item.name) continue;
      child->QueryIntText(item.field);
      if (item.field == &Downloader_config) {
        CSingleUserLog::GetInstance()->downloaderConfig = Downloader_config;
      }
    }
    for (const TextItem& item : texts) {
      if (name != item.name) continue;
      *item.field = ElementText(child);
      if (item.stripBreaks) RemoveLineBreaks(*item.field);
    }
  }
  status = kReady;
  source = kFromService;
  appendCandidates();
  return true;
}

int CConfigure::printContent() const {
  if (source == kFromFile) QMLOG(" Configure Load From File! ");
  else if (source == kFromService) QMLOG(" Configure Load From XML! ");
  else QMLOG(" Configure Load From Nothing! ");
  QMLOG(" [File ContentLength]: " << Filesize);
  QMLOG(" [Downloader Id]: " << Downloader_id);
  QMLOG(" [SoftWare Id]: " << Software_id);
  QMLOG(" [Site Id]: " << Site_id);
  QMLOG(" [Language Id]: " << Language_id);
  QMLOG(" [Software Name]: " << Software_name);
  QMLOG(" [Software Version]: " << Software_version);
  QMLOG(" [Remote Path]: " << Download_url);
  QMLOG(" [MD5 String]: " << Md5);
  QMLOG(" [Process Name]: " << Process_name);
  QMLOG(" [Install Url]: " << Install_url);
  QMLOG(" [Banner Url]: " << Banner_url);
  QMLOG(" [Licensefile Url]: " << Licensefile_url);
  QMLOG(" [Extra Download Url]: " << Extra_download_url);
  QMLOG(" [Cnet Download Url]: " << Cnet_download_url);
  QMLOG(" [MD5 Extra String]: " << Md5_extra);
  QMLOG(" [Downloader config]: " << Downloader_config);
  return 1;
}
