#pragma once
// The diagnostic bundle: a ZIP of a run's log copy (and, after a crash, its
// dumps) in the log folder, uploaded to the log-upload endpoint. The archive
// and the log copy are deleted only after a successful upload; dumps are
// never deleted here.
#include <string>
#include <utility>
#include <vector>

// Packs and uploads the bundle of the log file logFileName (a name inside the
// log folder). reason is the upload's catalogue ("default" when empty); extra
// names one more file to pack. 0 when the archive was created, whatever the
// upload's result; -1 when it could not be (also for a name that would leave
// the log folder, or a run without a log folder).
int UploadDiagnosticBundle(const std::string& logFileName, const std::string& reason,
                           const std::string& extraPath, bool includeDumps);

// The rules, apart for tests. stamp17 is the 17-digit local time.
std::string BundleArchivePath(const std::string& logFolder, const std::string& stamp17);
// "<text before the last '_'>_<stamp17>.zip", empty without "_".
std::string BundleUploadName(const std::string& logFileName, const std::string& stamp17);
// (entry name, file path) in packing order, from the files that exist now.
std::vector<std::pair<std::string, std::string>> BundleEntries(const std::string& logFolder,
                                                               const std::string& logFileName,
                                                               const std::string& extraPath, bool includeDumps);

// The main window's close under relaunch policy 2: starts the program again,
// hidden, as "-<closeLabel> <log file name>" so that it uploads this run's
// log. Returns whether it was started (false under any other policy).
bool StartCloseBundleUpload(const std::string& closeLabel);
