#include "PackageSignature.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "PublisherTrust.h"
#include "platform/UniqueFd.h"

namespace signature {
namespace {

constexpr std::size_t kMarkerSize = sizeof(kMarker) - 1;
constexpr std::size_t kInfoSize = 12;
constexpr unsigned char kPkcs7IdType = 2;

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, Deleter<CMS_ContentInfo, CMS_ContentInfo_free>>;
using StorePtr = std::unique_ptr<X509_STORE, Deleter<X509_STORE, X509_STORE_free>>;
using X509Ptr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;

// A read-only memory span as a BIO: memory BIOs take an int length, and
// packages may be larger than 2 GiB.
struct Span {
  const unsigned char* data;
  std::uint64_t size;
  std::uint64_t pos;
  std::uint64_t released;  // pages before this offset are given back
};

constexpr std::uint64_t kReleaseStep = 1 << 20;

// The pages of the mapping already read leave the process (the page cache
// keeps them), so a package of any size costs a megabyte or so of memory
// while it is checked, not its whole size.
void ReleaseRead(Span& span) {
  const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  const std::uint64_t end = span.pos / page * page;
  if (end < span.released + kReleaseStep) return;
  madvise(const_cast<unsigned char*>(span.data) + span.released, end - span.released, MADV_DONTNEED);
  span.released = end;
}

int SpanRead(BIO* bio, char* out, int length) {
  auto* span = static_cast<Span*>(BIO_get_data(bio));
  const std::uint64_t left = span->size - span->pos;
  const std::uint64_t n = std::min<std::uint64_t>(left, static_cast<std::uint64_t>(std::max(length, 0)));
  std::memcpy(out, span->data + span->pos, n);
  span->pos += n;
  ReleaseRead(*span);
  return static_cast<int>(n);
}

long SpanCtrl(BIO* bio, int cmd, long, void*) {
  auto* span = static_cast<Span*>(BIO_get_data(bio));
  if (cmd == BIO_CTRL_EOF) return span->pos >= span->size ? 1 : 0;
  if (cmd == BIO_CTRL_RESET) {
    span->pos = 0;
    span->released = 0;
    return 1;
  }
  return cmd == BIO_CTRL_FLUSH ? 1 : 0;
}

int SpanDestroy(BIO* bio) {
  delete static_cast<Span*>(BIO_get_data(bio));
  BIO_set_data(bio, nullptr);
  return 1;
}

// data is the start of a mapping (page-aligned): read pages are released.
BioPtr SpanBio(const unsigned char* data, std::uint64_t size) {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "package span");
    BIO_meth_set_read(m, SpanRead);
    BIO_meth_set_ctrl(m, SpanCtrl);
    BIO_meth_set_destroy(m, SpanDestroy);
    return m;
  }();
  BIO* bio = BIO_new(method);
  if (bio == nullptr) return nullptr;
  BIO_set_data(bio, new Span{data, size, 0, 0});
  BIO_set_init(bio, 1);
  return BioPtr(bio);
}

std::vector<X509Ptr> ReadCerts(const std::string& pem) {
  std::vector<X509Ptr> certs;
  BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  while (bio != nullptr) {
    X509* cert = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr);
    if (cert == nullptr) break;
    certs.emplace_back(cert);
  }
  ERR_clear_error();  // the end of the PEM text reads as an error
  return certs;
}

// The read-only mapping of the whole file.
class Mapping {
 public:
  explicit Mapping(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
    size_ = static_cast<std::uint64_t>(st.st_size);
    ok_ = true;
    if (size_ == 0) return;
    void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      ok_ = false;
      return;
    }
    data_ = static_cast<const unsigned char*>(p);
  }
  ~Mapping() {
    if (data_ != nullptr) munmap(const_cast<unsigned char*>(data_), size_);
  }
  bool ok() const { return ok_; }
  const unsigned char* data() const { return data_; }
  std::uint64_t size() const { return size_; }

 private:
  const unsigned char* data_ = nullptr;
  std::uint64_t size_ = 0;
  bool ok_ = false;
};

struct Parts {
  std::uint64_t dataSize = 0;
  const unsigned char* sig = nullptr;
  std::uint32_t sigSize = 0;
};

// Finds the signature at the end of the file. kOk, kNoSignature (no marker)
// or kSubjectFormUnknown (a marker with a malformed info block).
std::int32_t SplitSigned(const Mapping& file, Parts& parts) {
  if (file.size() < kMarkerSize + kInfoSize ||
      std::memcmp(file.data() + file.size() - kMarkerSize, kMarker, kMarkerSize) != 0) {
    return kNoSignature;
  }
  const unsigned char* info = file.data() + file.size() - kMarkerSize - kInfoSize;
  const std::uint32_t sigSize = (std::uint32_t{info[8]} << 24) | (std::uint32_t{info[9]} << 16) |
                                (std::uint32_t{info[10]} << 8) | std::uint32_t{info[11]};
  const bool otherFieldsClear = info[0] == 0 && info[1] == 0 && info[3] == 0 && info[4] == 0 &&
                                info[5] == 0 && info[6] == 0 && info[7] == 0;
  const std::uint64_t room = file.size() - kMarkerSize - kInfoSize;
  if (info[2] != kPkcs7IdType || !otherFieldsClear || sigSize == 0 || sigSize > room) return kSubjectFormUnknown;
  parts.dataSize = room - sigSize;
  parts.sig = file.data() + parts.dataSize;
  parts.sigSize = sigSize;
  return kOk;
}

bool ContentMatches(CMS_ContentInfo* cms, const Mapping& file, const Parts& parts) {
  BioPtr data = SpanBio(file.data(), parts.dataSize);
  return data != nullptr &&
         CMS_verify(cms, nullptr, nullptr, data.get(), nullptr, CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY) == 1;
}

bool SignerDistrusted(CMS_ContentInfo* cms, const TrustAnchors& trust) {
  const std::vector<X509Ptr> distrusted = ReadCerts(trust.distrustedPem);
  STACK_OF(X509)* signers = CMS_get0_signers(cms);
  bool found = false;
  for (int i = 0; signers != nullptr && i < sk_X509_num(signers) && !found; ++i) {
    for (const X509Ptr& bad : distrusted) found = found || X509_cmp(sk_X509_value(signers, i), bad.get()) == 0;
  }
  sk_X509_free(signers);
  return found;
}

bool ChainTrusted(CMS_ContentInfo* cms, const Mapping& file, const Parts& parts, const TrustAnchors& trust) {
  StorePtr store(X509_STORE_new());
  if (store == nullptr) return false;
  // Only the build's publishers anchor a chain; a configured leaf is trusted
  // as it is, without the root that issued it.
  for (const X509Ptr& cert : ReadCerts(trust.trustedPem)) X509_STORE_add_cert(store.get(), cert.get());
  X509_STORE_set_flags(store.get(), X509_V_FLAG_PARTIAL_CHAIN);
  // The usage is checked on the signer below (OpenSSL's purposes have no code
  // signing); any purpose keeps the chain rules themselves.
  X509_STORE_set_purpose(store.get(), X509_PURPOSE_ANY);
  BioPtr data = SpanBio(file.data(), parts.dataSize);
  return data != nullptr && CMS_verify(cms, nullptr, store.get(), data.get(), nullptr, CMS_BINARY) == 1;
}

// The signer must state code signing (extended key usage): a certificate that
// states no purpose was not issued for signing programs. A key usage, when
// stated, must allow digital signatures.
bool AllowsCodeSigning(X509* cert) {
  const std::uint32_t extended = X509_get_extended_key_usage(cert);
  const std::uint32_t basic = X509_get_key_usage(cert);
  const bool extendedOk = (X509_get_extension_flags(cert) & EXFLAG_XKUSAGE) != 0 && (extended & XKU_CODE_SIGN) != 0;
  const bool basicOk = (X509_get_extension_flags(cert) & EXFLAG_KUSAGE) == 0 || (basic & KU_DIGITAL_SIGNATURE) != 0;
  return extendedOk && basicOk;
}

bool SignersMayCodeSign(CMS_ContentInfo* cms) {
  STACK_OF(X509)* signers = CMS_get0_signers(cms);
  bool allowed = signers != nullptr && sk_X509_num(signers) > 0;
  for (int i = 0; allowed && i < sk_X509_num(signers); ++i) allowed = AllowsCodeSigning(sk_X509_value(signers, i));
  sk_X509_free(signers);
  return allowed;
}

std::int32_t Check(const Mapping& file, const TrustAnchors& trust) {
  Parts parts;
  if (const std::int32_t split = SplitSigned(file, parts); split != kOk) return split;
  const unsigned char* der = parts.sig;
  CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &der, parts.sigSize));
  if (cms == nullptr || der != parts.sig + parts.sigSize) return kSubjectFormUnknown;
  if (!ContentMatches(cms.get(), file, parts)) return kBadDigest;
  if (SignerDistrusted(cms.get(), trust)) return kExplicitDistrust;
  if (!ChainTrusted(cms.get(), file, parts, trust)) return kSubjectNotTrusted;
  if (!SignersMayCodeSign(cms.get())) return kWrongUsage;
  return kOk;
}

}  // namespace

const TrustAnchors& BuildTrustAnchors() {
  static const TrustAnchors anchors{kTrustedPublisherPem, kDistrustedPublisherPem};
  return anchors;
}

std::string MessageFor(std::int32_t result, bool readError, const std::string& path) {
  char text[512];
  switch (result) {
    case kOk:
      return "The file \"" + path + "\" is signed and the signature was verified.";
    case kNoSignature:
      if (readError) return "An unknown error occurred trying to verify the signature of the \"" + path + "\" file.";
      return "The file \"" + path + "\" is not signed.";
    case kSubjectFormUnknown:
      return "The file \"" + path + "\" is not signed.";
    case kExplicitDistrust:
      return "The signature is present, but specifically disallowed.";
    case kSubjectNotTrusted:
      return "The signature is present, but not trusted.";
    default:
      std::snprintf(text, sizeof text, "Error is: 0x%x.", static_cast<unsigned>(result));
      return text;
  }
}

Outcome VerifyOpenFile(int fd, const std::string& path, const TrustAnchors& trust) {
  Outcome outcome;
  const Mapping file(fd);
  if (!file.ok()) {
    outcome.readError = true;
  } else {
    outcome.result = Check(file, trust);
  }
  ERR_clear_error();
  outcome.valid = outcome.result == kOk;
  outcome.message = MessageFor(outcome.result, outcome.readError, path);
  return outcome;
}

Outcome VerifyFile(const std::string& path, const TrustAnchors& trust) {
  const platform::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    Outcome outcome;
    outcome.readError = true;
    outcome.message = MessageFor(outcome.result, true, path);
    return outcome;
  }
  return VerifyOpenFile(fd.get(), path, trust);
}

namespace {

bool MakeSignature(const std::string& inPath, const std::string& keyFile, const std::string& certFile,
                   std::string& der, std::string& error) {
  BioPtr keyBio(BIO_new_file(keyFile.c_str(), "r"));
  BioPtr certBio(BIO_new_file(certFile.c_str(), "r"));
  KeyPtr key(keyBio ? PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr) : nullptr);
  X509Ptr cert(certBio ? PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr) : nullptr);
  if (key == nullptr || cert == nullptr) {
    error = "cannot read the key or the certificate";
    return false;
  }
  BioPtr data(BIO_new_file(inPath.c_str(), "rb"));
  if (data == nullptr) {
    error = "cannot read " + inPath;
    return false;
  }
  CmsPtr cms(CMS_sign(cert.get(), key.get(), nullptr, data.get(), CMS_BINARY | CMS_DETACHED | CMS_NOSMIMECAP));
  const int length = cms ? i2d_CMS_ContentInfo(cms.get(), nullptr) : -1;
  if (length <= 0) {
    error = "signing failed";
    return false;
  }
  der.resize(static_cast<std::size_t>(length));
  auto* out = reinterpret_cast<unsigned char*>(der.data());
  i2d_CMS_ContentInfo(cms.get(), &out);
  return true;
}

std::string InfoBlock(std::size_t sigSize) {
  std::string info(kInfoSize, '\0');
  info[2] = static_cast<char>(kPkcs7IdType);
  for (int i = 0; i < 4; ++i) info[8 + i] = static_cast<char>((sigSize >> (24 - 8 * i)) & 0xff);
  return info;
}

}  // namespace

bool SignFile(const std::string& inPath, const std::string& keyPemFile, const std::string& certPemFile,
              const std::string& outPath, std::string& error) {
  std::string der;
  const bool signedOk = MakeSignature(inPath, keyPemFile, certPemFile, der, error);
  ERR_clear_error();
  if (!signedOk) return false;
  // Written beside the target and renamed: a reader never sees half a package.
  const std::string temp = outPath + ".signing";
  std::error_code ec;
  std::filesystem::copy_file(inPath, temp, std::filesystem::copy_options::overwrite_existing, ec);
  if (!ec) {
    std::ofstream out(temp, std::ios::binary | std::ios::app);
    out << der << InfoBlock(der.size()) << std::string(kMarker, kMarkerSize);
    out.close();
    if (!out) ec = std::make_error_code(std::errc::io_error);
  }
  if (!ec) std::filesystem::rename(temp, outPath, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    error = "cannot write " + outPath;
    return false;
  }
  return true;
}

}  // namespace signature
