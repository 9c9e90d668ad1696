#pragma once
// Results of the download engine. The numbers are persisted in telemetry and
// mapped onto flow error codes by the install worker: never renumber them.
enum EnumErrorCode : int {
  Completed = 1,            // done; the file is complete
  GetLengthFailed = 6,      // the remote length could not be learnt
  OpenFileFailed = 7,       // the package file could not be opened
  CreateThreadsFailed = 8,  // no worker thread could be created
  NetworkDown = 9,          // the network is not alive
  NoProgress = 10,          // no progress within the no-progress limit
  CdnFailed = 11,           // failed attempts above three per task, on a CDN URL
  LengthShort = 12,         // the run ended with fewer bytes than the remote length
  TooManyRedirects = 13,    // the length probe ended in too many redirections
  UrlEmpty = 14,            // no usable download address (install worker only)
  PackageTooSmall = 15,     // complete, but the package is below 1 MiB
  RemoteChanged = 16,       // a reply showed the remote file is no longer the probed one
};
