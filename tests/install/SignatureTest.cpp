#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "FuntionImpl.h"
#include "PackageSignature.h"
#include "support/LogCapture.h"
#include "support/ScopedEnv.h"
#include "support/Subprocess.h"
#include "support/TempDir.h"
#include "support/TestCa.h"

namespace {

// Publishers made with the openssl command line: a CA with a code-signing
// publisher under it, a self-signed stranger, a publisher that is distrusted
// although its CA is trusted, two whose stated usage excludes code signing and
// one under the trusted CA that states no extended usage at all.
class Publishers {
 public:
  Publishers() {
    Run({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Test Root",
         "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign",
         "-keyout", dir_ / "ca.key", "-out", dir_ / "ca.pem"});
    Issue("good", kCodeSigning);
    Issue("bad", kCodeSigning);
    Issue("server", "extendedKeyUsage=serverAuth\nkeyUsage=critical,digitalSignature\n");
    Issue("encipher", "extendedKeyUsage=codeSigning\nkeyUsage=critical,keyEncipherment\n");
    Issue("unstated", "keyUsage=critical,digitalSignature\n");
    Run({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Stranger",
         "-keyout", dir_ / "stranger.key", "-out", dir_ / "stranger.pem"});
  }

  signature::TrustAnchors Trust() const {
    return {dir_.Read("ca.pem"), dir_.Read("bad.pem")};
  }
  std::string Key(const std::string& who) const { return dir_ / (who + ".key"); }
  std::string Cert(const std::string& who) const { return dir_ / (who + ".pem"); }

 private:
  static constexpr const char* kCodeSigning = "extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\n";
  void Issue(const std::string& who, const std::string& extensions) {
    Run({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + who, "-keyout", Key(who), "-out",
         dir_ / (who + ".csr")});
    dir_.Write(who + ".ext", extensions);
    Run({"x509", "-req", "-in", dir_ / (who + ".csr"), "-CA", dir_ / "ca.pem", "-CAkey", dir_ / "ca.key",
         "-CAcreateserial", "-days", "2", "-extfile", dir_ / (who + ".ext"), "-out", Cert(who)});
  }
  void Run(std::vector<std::string> args) {
    args.insert(args.begin(), "/usr/bin/openssl");
    ASSERT_EQ(Subprocess::Start(args, {}, dir_ / "openssl.log").Wait(60000), 0) << dir_.Read("openssl.log");
  }
  TempDir dir_;
};

// Whether OpenSSL's default (system) store vouches for the certificate file.
bool SystemStoreTrusts(const std::string& certFile) {
  X509_STORE* store = X509_STORE_new();
  X509_STORE_set_default_paths(store);
  std::FILE* file = std::fopen(certFile.c_str(), "rb");
  X509* cert = file != nullptr ? PEM_read_X509(file, nullptr, nullptr, nullptr) : nullptr;
  if (file != nullptr) std::fclose(file);
  X509_STORE_CTX* ctx = X509_STORE_CTX_new();
  const bool trusted = cert != nullptr && X509_STORE_CTX_init(ctx, store, cert, nullptr) == 1 &&
                       X509_verify_cert(ctx) == 1;
  X509_STORE_CTX_free(ctx);
  X509_free(cert);
  X509_STORE_free(store);
  return trusted;
}

const Publishers& SharedPublishers() {
  static const Publishers publishers;
  return publishers;
}

class PackageSignature : public ::testing::Test {
 protected:
  std::string Package(const std::string& name) {
    dir_.Write(name, std::string(300000, 'p') + "payload");
    return dir_ / name;
  }
  std::string Signed(const std::string& who) {
    const std::string path = Package(who + ".bin");
    std::string error;
    EXPECT_TRUE(signature::SignFile(path, SharedPublishers().Key(who), SharedPublishers().Cert(who), path, error))
        << error;
    return path;
  }
  signature::Outcome Verify(const std::string& path) {
    return signature::VerifyFile(path, SharedPublishers().Trust());
  }
  void Patch(const std::string& path, std::int64_t fromEnd, char value) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(fromEnd, std::ios::end);
    file.put(value);
  }
  TempDir dir_;
};

}  // namespace

TEST_F(PackageSignature, TrustedPublisherVerifies) {
  const std::string path = Signed("good");
  const signature::Outcome outcome = Verify(path);
  EXPECT_TRUE(outcome.valid);
  EXPECT_EQ(outcome.message, "The file \"" + path + "\" is signed and the signature was verified.");
  // The layout: marker at the end, PKCS#7 id type and big-endian length in the info block.
  const std::string bytes = TempDir::ReadAbsolute(path);
  EXPECT_EQ(bytes.substr(bytes.size() - 28), "~Module signature appended~\n");
  const std::string info = bytes.substr(bytes.size() - 40, 12);
  EXPECT_EQ(info[2], 2);
  EXPECT_EQ(info.substr(0, 2), std::string(2, '\0'));
}

TEST_F(PackageSignature, FaultsGiveTheirOutcome) {
  struct Case {
    const char* name;
    std::function<std::string()> make;
    std::int32_t result;
    std::string messageStart;
  };
  const Case cases[] = {
      {"unsigned", [&] { return Package("plain.bin"); }, signature::kNoSignature, "The file \""},
      {"one data byte flipped",
       [&] {
         const std::string p = Signed("good");
         std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
         f.seekp(1000);
         f.put('X');
         return p;
       },
       signature::kBadDigest, "Error is: 0x80096010."},
      {"untrusted publisher", [&] { return Signed("stranger"); }, signature::kSubjectNotTrusted,
       "The signature is present, but not trusted."},
      {"distrusted publisher", [&] { return Signed("bad"); }, signature::kExplicitDistrust,
       "The signature is present, but specifically disallowed."},
      {"publisher for servers only", [&] { return Signed("server"); }, signature::kWrongUsage,
       "Error is: 0x800b0110."},
      {"publisher key for encryption only", [&] { return Signed("encipher"); }, signature::kWrongUsage,
       "Error is: 0x800b0110."},
      {"publisher without a stated purpose", [&] { return Signed("unstated"); }, signature::kWrongUsage,
       "Error is: 0x800b0110."},
      {"data after the signature",
       [&] {
         const std::string p = Signed("good");
         std::ofstream(p, std::ios::binary | std::ios::app) << "trailing";
         return p;
       },
       signature::kNoSignature, "The file \""},
      {"info block of another type",
       [&] {
         const std::string p = Signed("good");
         Patch(p, -28 - 10, 1);
         return p;
       },
       signature::kSubjectFormUnknown, "The file \""},
      {"signature longer than the file",
       [&] {
         const std::string p = Signed("good");
         Patch(p, -28 - 4, 0x7f);
         return p;
       },
       signature::kSubjectFormUnknown, "The file \""},
      {"signature bytes damaged",
       [&] {
         const std::string p = Signed("good");
         Patch(p, -28 - 12 - 5, 0x00);
         Patch(p, -28 - 12 - 6, 0x00);
         return p;
       },
       0, ""},
      {"marker alone", [&] {
         dir_.Write("marker.bin", std::string(signature::kMarker));
         return dir_ / "marker.bin";
       },
       signature::kNoSignature, "The file \""},
  };
  for (const Case& c : cases) {
    const std::string path = c.make();
    const signature::Outcome outcome = Verify(path);
    EXPECT_FALSE(outcome.valid) << c.name;
    if (c.result != 0) {
      EXPECT_EQ(outcome.result, c.result) << c.name;
      EXPECT_EQ(outcome.message.rfind(c.messageStart, 0), 0u) << c.name << ": " << outcome.message;
    }
  }
}

TEST_F(PackageSignature, UnsignedAndUnreadableMessages) {
  const std::string plain = Package("plain.bin");
  EXPECT_EQ(Verify(plain).message, "The file \"" + plain + "\" is not signed.");
  const signature::Outcome missing = Verify(dir_ / "missing.bin");
  EXPECT_FALSE(missing.valid);
  EXPECT_EQ(missing.message, "An unknown error occurred trying to verify the signature of the \"" +
                                 dir_ / "missing.bin" + "\" file.");
}

TEST_F(PackageSignature, SigningRefusesMissingKeyWithoutLeavingAFile) {
  const std::string path = Package("p.bin");
  std::string error;
  EXPECT_FALSE(signature::SignFile(path, dir_ / "none.key", dir_ / "none.pem", dir_ / "out.bin", error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.bin"));
}

TEST_F(PackageSignature, BuildTrustLogsTheResultLine) {
  LogCapture capture;
  const std::string plain = Package("plain.bin");
  EXPECT_FALSE(FuntionImpl::VerifyEmbeddedSignature(plain));
  EXPECT_NE(capture.Text().find(" VerifyEmbeddedSignature result is -2146762496, The file \"" + plain +
                                "\" is not signed."),
            std::string::npos)
      << capture.Text();
}

TEST_F(PackageSignature, SystemStoreNeverVouchesForPackages) {
  // A CA the system store trusts issues a proper code-signing certificate to
  // someone who is not the publisher.
  TestCa publicCa(dir_.path(), "public");
  std::string cert, key, error;
  ASSERT_TRUE(publicCa.IssueCodeSigningCert("vendor", cert, key));
  const ScopedEnv systemStore("SSL_CERT_FILE", publicCa.CertFile());
  ASSERT_TRUE(SystemStoreTrusts(cert));
  const std::string path = Package("vendor.bin");
  ASSERT_TRUE(signature::SignFile(path, key, cert, path, error)) << error;
  for (const signature::TrustAnchors& trust : {signature::BuildTrustAnchors(), SharedPublishers().Trust()}) {
    const signature::Outcome outcome = signature::VerifyFile(path, trust);
    EXPECT_FALSE(outcome.valid);
    EXPECT_EQ(outcome.result, signature::kSubjectNotTrusted);
    EXPECT_EQ(outcome.message, "The signature is present, but not trusted.");
  }
}

TEST_F(PackageSignature, APinnedLeafIsTrustedWithoutItsRoot) {
  const signature::TrustAnchors leafOnly{TempDir::ReadAbsolute(SharedPublishers().Cert("good")), ""};
  EXPECT_TRUE(signature::VerifyFile(Signed("good"), leafOnly).valid);
  // Its sibling under the same CA is not the pinned publisher.
  EXPECT_EQ(signature::VerifyFile(Signed("bad"), leafOnly).result, signature::kSubjectNotTrusted);
}
