// qm-sign: appends a publisher signature to a package.
//   qm-sign --key KEY.pem --cert CERT.pem IN [OUT]
//   qm-sign --verify [--trust CERTS.pem] FILE
// Without OUT the package is signed in place. --verify checks against the
// build's publishers, or only against --trust.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "PackageSignature.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: qm-sign --key KEY.pem --cert CERT.pem IN [OUT]\n"
               "       qm-sign --verify [--trust CERTS.pem] FILE\n");
  return 2;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int Verify(const std::string& file, const std::string& trustFile) {
  signature::TrustAnchors trust = signature::BuildTrustAnchors();
  if (!trustFile.empty()) trust = {ReadAll(trustFile), ""};
  const signature::Outcome outcome = signature::VerifyFile(file, trust);
  std::printf("%s\n", outcome.message.c_str());
  return outcome.valid ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string key, cert, trust, in, out;
  bool verify = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--key" && hasValue) key = argv[++i];
    else if (arg == "--cert" && hasValue) cert = argv[++i];
    else if (arg == "--trust" && hasValue) trust = argv[++i];
    else if (arg == "--verify") verify = true;
    else if (in.empty()) in = arg;
    else if (out.empty()) out = arg;
    else return Usage();
  }
  if (in.empty()) return Usage();
  if (verify) return Verify(in, trust);
  if (key.empty() || cert.empty()) return Usage();
  std::string error;
  if (!signature::SignFile(in, key, cert, out.empty() ? in : out, error)) {
    std::fprintf(stderr, "qm-sign: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
