#pragma once
// A certificate authority made at test time with OpenSSL, for HTTPS test
// servers: its own certificate file for the client to trust, and server
// certificates for 127.0.0.1 / localhost signed by it; also code-signing
// certificates, for a CA that signs packages without being their publisher.
#include <string>

class TestCa {
 public:
  // Writes <folder>/<name>-ca.pem.
  TestCa(const std::string& folder, const std::string& name);
  ~TestCa();
  TestCa(const TestCa&) = delete;
  TestCa& operator=(const TestCa&) = delete;

  const std::string& CertFile() const { return certFile_; }
  // Writes <folder>/<name>.pem and <folder>/<name>.key; false on failure.
  bool IssueServerCert(const std::string& name, std::string& certFile, std::string& keyFile) const;
  // A code-signing certificate named name: <folder>/<name>.pem and .key.
  bool IssueCodeSigningCert(const std::string& name, std::string& certFile, std::string& keyFile) const;

 private:
  std::string folder_;
  std::string certFile_;
  void* key_ = nullptr;   // EVP_PKEY
  void* cert_ = nullptr;  // X509
};
