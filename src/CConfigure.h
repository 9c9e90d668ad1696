#pragma once
// The product configuration record: the embedded configuration merged with the
// configuration service's reply, where it came from, and whether it is ready.
// The main window owns the one record; it has no lock of its own (the service
// query and the install worker take turns, see the query's guard).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where the configuration items are read from: the main window's invisible
// item labels, or the embedded file itself before any window exists.
class IConfigItemSource {
 public:
  virtual ~IConfigItemSource() = default;
  // False when there is no item of that name.
  virtual bool GetItemText(const std::string& name, std::string& text) const = 0;
};

class CConfigure {
 public:
  enum Status { kNotReady = 1,
                kReady = 2 };
  enum Source { kFromNothing = 0,
                kFromService = 1,
                kFromFile = 2 };

  CConfigure(int downloaderId, int languageId, int siteId);

  int resetContent();
  // Loads the embedded items. With markReady the record becomes ready, from
  // the file, and its service URLs become candidates. Returns 1.
  int loadFromLayout(const IConfigItemSource& window, bool markReady);
  // Asks the configuration service (or its mirror) and stores the reply's
  // <Downloader> element; 1 when one was stored, 0 otherwise and at once when
  // a reply is already stored. sync only names the caller in log and timing.
  int getDownloadInfoXml(bool sync, bool mirror);
  // Merges the stored <Downloader> reply into the record; false (status 1)
  // when there is none or it does not parse.
  bool parseDownloadInfoXml();
  std::string getQueryUrl() const { return queryUrl; }
  int printContent() const;

  int status = kNotReady;
  int source = kFromNothing;
  std::int64_t Filesize = 0;
  int Downloader_id;
  int Software_id = 0;
  int Site_id;
  int Language_id;
  int Downloader_type = 3;
  int Downloader_config = 0;
  int InstallTimeout = 240;
  std::string Software_name;
  std::string Software_version;
  std::string Download_url;
  std::string Md5;
  std::string Process_name;
  std::string Install_url;
  std::string Banner_url;
  std::string Licensefile_url;
  std::string Extra_download_url;
  std::vector<std::string> candidateUrls;
  std::string Md5_extra;
  std::string Cnet_download_url;
  std::string queryUrl;
  // The <Downloader> element of the last good service reply; once it holds
  // text no further query is made.
  std::optional<std::string> downloadInfoXml;

 private:
  void appendCandidates();
};

// Decimal value as the C library reads it: leading blanks, an optional sign
// and the digits that follow; 0 when there are none.
std::int64_t DecimalValue(const std::string& text);
