// Throw-away certificates for the TLS tests, made with the openssl tool in a temporary folder:
// a test authority, server certificates it signs and a self-signed one. No key leaves the
// folder, and the folder goes with the object.
#pragma once

#include <string>

#include "support/temp_dir.h"

namespace korvane::testing {

// A certificate and its key, as files.
struct CertificateFiles {
  std::string certificate;  // PEM
  std::string key;          // PEM, unencrypted
};

class TestAuthority {
 public:
  // Makes the authority's key and self-signed certificate; throws std::runtime_error with
  // the tool's output when openssl fails.
  TestAuthority();

  // The authority's certificate: what a client trusts (SSL_CERT_FILE).
  [[nodiscard]] std::string TrustFile() const { return dir_.File("ca.pem"); }
  // A server certificate signed by the authority for the IPv4 address `address`.
  [[nodiscard]] CertificateFiles Issue(const std::string& address) const;
  // A certificate for `address` that signs itself, so no authority vouches for it.
  [[nodiscard]] CertificateFiles SelfSigned(const std::string& address) const;

 private:
  TempDir dir_;
};

}  // namespace korvane::testing
