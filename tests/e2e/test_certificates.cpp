// The openssl runs behind TestAuthority.
#include "e2e/test_certificates.h"

#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "e2e/servers.h"

namespace korvane::testing {

namespace {

constexpr const char* kOpenssl = "/usr/bin/openssl";
constexpr int kRunLimitMs = 20'000;

// Runs openssl with `args` in `folder`; throws with its output when it fails.
void Openssl(const std::vector<std::string>& args, const TempDir& folder) {
  std::vector<std::string> argv = {kOpenssl};
  argv.insert(argv.end(), args.begin(), args.end());
  const std::string log = folder.File("openssl.log");
  int status = 0;
  {
    ChildProcess process(argv, folder.path(), log, log, kRunLimitMs);
    const auto ended = process.Wait(kRunLimitMs + 1000);
    status = ended ? *ended : process.Stop();
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::ifstream in(log);
    std::ostringstream text;
    text << in.rdbuf();
    throw std::runtime_error("openssl " + args.front() + " failed:\n" + text.str());
  }
}

// A new P-256 key and a request or self-signed certificate for `subject`.
std::vector<std::string> NewKey(const std::string& key) {
  return {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key};
}

}  // namespace

TestAuthority::TestAuthority() {
  std::vector<std::string> args = {"req",     "-x509",
                                   "-days",   "2",
                                   "-subj",   "/CN=Korvane Test CA",
                                   "-addext", "basicConstraints=critical,CA:TRUE",
                                   "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                                   "-out",    "ca.pem"};
  const auto key = NewKey("ca.key");
  args.insert(args.end(), key.begin(), key.end());
  Openssl(args, dir_);
}

CertificateFiles TestAuthority::Issue(const std::string& address) const {
  const std::string stem = "server-" + address;
  std::vector<std::string> request = {"req", "-subj", "/CN=" + address, "-out", stem + ".csr"};
  const auto key = NewKey(stem + ".key");
  request.insert(request.end(), key.begin(), key.end());
  Openssl(request, dir_);
  dir_.Write(stem + ".ext", "subjectAltName=IP:" + address + "\nextendedKeyUsage=serverAuth\n");
  Openssl({"x509", "-req", "-in", stem + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
           "-CAcreateserial", "-days", "2", "-extfile", stem + ".ext", "-out", stem + ".pem"},
          dir_);
  return {dir_.File(stem + ".pem"), dir_.File(stem + ".key")};
}

CertificateFiles TestAuthority::SelfSigned(const std::string& address) const {
  const std::string stem = "self-" + address;
  std::vector<std::string> args = {
      "req",   "-x509",          "-days",   "2",
      "-subj", "/CN=" + address, "-addext", "subjectAltName=IP:" + address,
      "-out",  stem + ".pem"};
  const auto key = NewKey(stem + ".key");
  args.insert(args.end(), key.begin(), key.end());
  Openssl(args, dir_);
  return {dir_.File(stem + ".pem"), dir_.File(stem + ".key")};
}

}  // namespace korvane::testing
