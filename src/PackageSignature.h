#pragma once
// Signatures appended to packages, in the layout of Linux kernel module
// signatures: the signed bytes, a DER PKCS#7 (CMS) detached signature, a
// 12-byte info block (only the PKCS#7 id type and the big-endian signature
// length set) and the marker "~Module signature appended~\n".
//
// Trust comes only from the publisher certificates of this build, which are
// the anchors themselves (a pinned leaf needs no root above it); the system CA
// store never decides about packages. A signer certificate that states its
// usage must allow code signing. A distrust list names publishers whose
// signatures are refused even when their chain is good.
#include <cstdint>
#include <string>

namespace signature {

inline constexpr char kMarker[] = "~Module signature appended~\n";

// Result values as the platform's trust check reports them, kept for the logs
// and reports that carry them.
inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kNoSignature = static_cast<std::int32_t>(0x800B0100);  // TRUST_E_NOSIGNATURE
inline constexpr std::int32_t kSubjectFormUnknown = static_cast<std::int32_t>(0x800B0003);
inline constexpr std::int32_t kExplicitDistrust = static_cast<std::int32_t>(0x800B0111);
inline constexpr std::int32_t kSubjectNotTrusted = static_cast<std::int32_t>(0x800B0004);
inline constexpr std::int32_t kBadDigest = static_cast<std::int32_t>(0x80096010);   // TRUST_E_BAD_DIGEST
inline constexpr std::int32_t kWrongUsage = static_cast<std::int32_t>(0x800B0110);  // CERT_E_WRONG_USAGE

struct TrustAnchors {
  std::string trustedPem;     // publisher certificates (or their CAs), the only anchors for packages
  std::string distrustedPem;  // publisher certificates refused outright
};

// The trust of this build: its configured publisher certificate(s).
const TrustAnchors& BuildTrustAnchors();

struct Outcome {
  bool valid = false;
  std::int32_t result = kNoSignature;
  // Set when the file could not be read at all (the "unknown error" message).
  bool readError = false;
  std::string message;
};

// Checks the file open at fd (read from offset 0, not moved); path only names
// it in the message.
Outcome VerifyOpenFile(int fd, const std::string& path, const TrustAnchors& trust);
Outcome VerifyFile(const std::string& path, const TrustAnchors& trust);

// The outcome message for a result, as the logs and reports show it.
std::string MessageFor(std::int32_t result, bool readError, const std::string& path);

// Writes outPath = inPath's bytes + signature made with the PEM key and
// certificate. False with error set on failure; outPath is then not created.
bool SignFile(const std::string& inPath, const std::string& keyPemFile, const std::string& certPemFile,
              const std::string& outPath, std::string& error);

}  // namespace signature
