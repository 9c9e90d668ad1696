#include "support/TestCa.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>

namespace {

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (ext != nullptr) {
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
  }
}

// What a leaf certificate is for: its key usage, extended key usage and
// subject alternative names (empty: extension left out).
struct LeafUsage {
  const char* keyUsage;
  const char* extendedKeyUsage;
  const char* altNames;
};

constexpr LeafUsage kServerUsage{"critical,digitalSignature,keyEncipherment", "serverAuth",
                                 "IP:127.0.0.1,DNS:localhost"};

X509* MakeCert(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, long serial,
               const LeafUsage& usage = kServerUsage) {
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert), 7L * 24 * 3600);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509_set_issuer_name(cert, issuer != nullptr ? X509_get_subject_name(issuer) : name);
  X509* signer = issuer != nullptr ? issuer : cert;
  if (issuer == nullptr) {
    AddExtension(cert, signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(cert, signer, NID_subject_key_identifier, "hash");
  } else {
    AddExtension(cert, signer, NID_basic_constraints, "critical,CA:FALSE");
    if (usage.keyUsage[0] != '\0') AddExtension(cert, signer, NID_key_usage, usage.keyUsage);
    if (usage.extendedKeyUsage[0] != '\0') AddExtension(cert, signer, NID_ext_key_usage, usage.extendedKeyUsage);
    if (usage.altNames[0] != '\0') AddExtension(cert, signer, NID_subject_alt_name, usage.altNames);
    AddExtension(cert, signer, NID_authority_key_identifier, "keyid:always");
  }
  X509_sign(cert, issuerKey != nullptr ? issuerKey : key, EVP_sha256());
  return cert;
}

bool WritePem(const std::string& path, X509* cert, EVP_PKEY* key) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = cert != nullptr ? PEM_write_X509(file, cert) == 1
                                  : PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  std::fclose(file);
  return ok;
}

// Writes <folder>/<name>.pem and .key: a new key and its certificate issued by the CA.
bool IssueLeaf(const std::string& folder, const std::string& name, const std::string& commonName, void* caCert,
               void* caKey, long serial, const LeafUsage& usage, std::string& certFile, std::string& keyFile) {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = MakeCert(key, commonName.c_str(), static_cast<X509*>(caCert), static_cast<EVP_PKEY*>(caKey), serial,
                        usage);
  certFile = folder + "/" + name + ".pem";
  keyFile = folder + "/" + name + ".key";
  const bool ok = WritePem(certFile, cert, nullptr) && WritePem(keyFile, nullptr, key);
  X509_free(cert);
  EVP_PKEY_free(key);
  return ok;
}

}  // namespace

TestCa::TestCa(const std::string& folder, const std::string& name)
    : folder_(folder), certFile_(folder + "/" + name + "-ca.pem") {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = MakeCert(key, (name + " Test CA").c_str(), nullptr, nullptr, 1);
  WritePem(certFile_, cert, nullptr);
  key_ = key;
  cert_ = cert;
}

TestCa::~TestCa() {
  X509_free(static_cast<X509*>(cert_));
  EVP_PKEY_free(static_cast<EVP_PKEY*>(key_));
}

bool TestCa::IssueServerCert(const std::string& name, std::string& certFile, std::string& keyFile) const {
  return IssueLeaf(folder_, name, "127.0.0.1", cert_, key_, 2, kServerUsage, certFile, keyFile);
}

bool TestCa::IssueCodeSigningCert(const std::string& name, std::string& certFile, std::string& keyFile) const {
  const LeafUsage usage{"critical,digitalSignature", "codeSigning", ""};
  return IssueLeaf(folder_, name, name, cert_, key_, 3, usage, certFile, keyFile);
}
