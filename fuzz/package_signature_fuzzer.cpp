// A downloaded package with its appended signature: the trailer, the info
// block, the PKCS#7 and the chain up to the publisher certificate that signed
// the seed corpus.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "PackageSignature.h"

namespace {
signature::TrustAnchors g_trust;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietProcess();
  std::ifstream in(QM_FUZZ_PUBLISHER_PEM);
  std::stringstream pem;
  pem << in.rdbuf();
  g_trust.trustedPem = pem.str();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = memfd_create("package", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size == 0 || write(fd, data, size) == static_cast<ssize_t>(size)) {
    signature::VerifyOpenFile(fd, "package.exe", g_trust);
  }
  close(fd);
  return 0;
}
