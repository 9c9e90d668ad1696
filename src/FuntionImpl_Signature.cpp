// Package signature check with its log line.
#include "FuntionImpl.h"
#include "Logger.h"
#include "PackageSignature.h"

namespace FuntionImpl {

namespace {
bool Report(const signature::Outcome& outcome) {
  QMLOG(" VerifyEmbeddedSignature result is " << outcome.result << ", " << outcome.message);
  return outcome.valid;
}
}  // namespace

bool VerifyEmbeddedSignature(const std::string& path) {
  return Report(signature::VerifyFile(path, signature::BuildTrustAnchors()));
}

bool VerifyEmbeddedSignature(int fd, const std::string& path) {
  return Report(signature::VerifyOpenFile(fd, path, signature::BuildTrustAnchors()));
}

}  // namespace FuntionImpl
