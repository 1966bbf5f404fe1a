// Crawls with the network extensions: HTTPS on two ports with a test authority's certificates,
// refused certificates, an http site that redirects to https, recoded page encodings and the
// proxy tunnel, each against nginx (and tinyproxy) on this helper's loopback addresses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "e2e/fixture_site.h"
#include "e2e/servers.h"
#include "e2e/test_certificates.h"
#include "support/temp_dir.h"

namespace korvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kTlsAddress = "127.0.0.60";        // the authority's certificate for it
constexpr const char* kWrongNameAddress = "127.0.0.61";  // serves the certificate of .60
constexpr const char* kSelfSignedAddress = "127.0.0.62";
constexpr const char* kRecodeAddress = "127.0.0.63";
constexpr uint16_t kProxyPort = 3160;
constexpr const char* kAgent = "KorvaneNet/1.0";

// UTF-8 text in another character set, through glibc's iconv.
std::string Encode(const std::string& utf8, const char* charset) {
  const iconv_t converter = ::iconv_open(charset, "UTF-8");
  std::string out(utf8.size() * 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* to = out.data();
  size_t to_left = out.size();
  const size_t result = ::iconv(converter, &in, &in_left, &to, &to_left);
  ::iconv_close(converter);
  EXPECT_NE(result, static_cast<size_t>(-1)) << "cannot encode in " << charset;
  out.resize(out.size() - to_left);
  return out;
}

// An nginx server block with TLS on `ports` of `address`, serving `root`.
std::string TlsServer(const std::string& address, const std::vector<int>& ports,
                      const CertificateFiles& files, const std::string& root) {
  std::string block = "  server {\n";
  for (int port : ports) block += "    listen " + address + ":" + std::to_string(port) + " ssl;\n";
  return block + "    ssl_certificate " + files.certificate + ";\n    ssl_certificate_key " +
         files.key + ";\n    root " + root + ";\n  }\n";
}

class NetCrawl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { authority_ = new TestAuthority(); }
  static void TearDownTestSuite() {
    delete authority_;
    authority_ = nullptr;
  }

  void SetUp() override {
    work_.Write("UA.txt", std::string(kAgent) + "\r\n");
    // The crawler trusts the test authority through the standard OpenSSL setting.
    ::setenv("SSL_CERT_FILE", authority_->TrustFile().c_str(), 1);
  }
  void TearDown() override { ::unsetenv("SSL_CERT_FILE"); }

  // Serves `site` on port 80 of kTlsAddress and over TLS on its ports 443 and 8443, plus
  // `more` server blocks.
  NginxServer& ServeTls(const SiteTable& site, const std::string& port80 = "",
                        const std::string& more = "") {
    WriteSite(root_.path(), site);
    const std::string tls =
        TlsServer(kTlsAddress, {443, 8443}, authority_->Issue(kTlsAddress), root_.path());
    server_.emplace(kTlsAddress, root_.path(), NginxExtras{port80, tls + more});
    return *server_;
  }

  std::string Crawl(std::vector<std::string> args, int status = 0) {
    args.insert(args.begin(), "crawl");
    const CliRun run = RunCli(args, work_.path());
    EXPECT_FALSE(run.timed_out) << run.err;
    EXPECT_EQ(run.exit_code, status) << run.err;
    return run.err;
  }

  [[nodiscard]] std::string SeenUrls() const { return work_.Read("parsed_urls.txt"); }
  [[nodiscard]] std::string Result(int n) const {
    return work_.Read("parse/" + std::to_string(n) + ".txt");
  }

  static TestAuthority* authority_;
  TempDir work_;
  TempDir root_;
  std::optional<NginxServer> server_;
};

TestAuthority* NetCrawl::authority_ = nullptr;

TEST_F(NetCrawl, HttpsSiteOnTwoPortsIsCrawledWholeWithResumedSessions) {
  const NginxServer& server = ServeTls({
      {"index.html", NamedPage("home", {"/a.html", "b.html", "https://127.0.0.60:8443/p/c.html"})},
      {"a.html", NamedPage("a")},
      {"b.html", NamedPage("b")},
      {"p/c.html", NamedPage("c", {"d.html", "/e.html"})},
      {"d.html", NamedPage("d")},
      {"e.html", NamedPage("e")},
  });

  const std::string err =
      Crawl({"--site", "https://127.0.0.60/", "--https", "--threads", "1", "--ignore-whitelist"});

  // Relative links of a page keep its scheme and port.
  EXPECT_EQ(SeenUrls(),
            CrLf({"https://127.0.0.60/", "https://127.0.0.60/a.html", "https://127.0.0.60/b.html",
                  "https://127.0.0.60:8443/d.html", "https://127.0.0.60:8443/e.html",
                  "https://127.0.0.60:8443/p/c.html"}));
  EXPECT_THAT(err, HasSubstr("6 pages parsed"));
  EXPECT_EQ(Result(1), CrLf({"This is the page called a with its words."}));
  EXPECT_EQ(Result(3), CrLf({"This is the page called c with its words."}));
  int full_handshakes[2] = {0, 0};
  for (const LoggedRequest& request : server.Requests()) {
    const bool second_port = request.connection.starts_with("https 8443 ");
    EXPECT_TRUE(second_port || request.connection.starts_with("https 443 ")) << request.connection;
    EXPECT_EQ(request.host, second_port ? "127.0.0.60:8443" : "127.0.0.60");
    EXPECT_EQ(request.request_line, "GET " + request.Path() + " HTTP/1.0");
    EXPECT_EQ(request.user_agent, kAgent);
    if (!request.connection.ends_with(" r")) ++full_handshakes[second_port ? 1 : 0];
  }
  // One full handshake per server; every later connection resumes its session.
  EXPECT_EQ(full_handshakes[0], 1);
  EXPECT_EQ(full_handshakes[1], 1);
}

TEST_F(NetCrawl, RefusedCertificatesFailTheFetchUnlessVerificationIsOff) {
  struct Case {
    const char* address;
    bool insecure;
    const char* parsed;
  };
  const Case cases[] = {
      {kTlsAddress, false, "1 pages parsed"},
      {kWrongNameAddress, false, "0 pages parsed"},  // the certificate names another address
      {kSelfSignedAddress, false, "0 pages parsed"},
      {kWrongNameAddress, true, "1 pages parsed"},
      {kSelfSignedAddress, true, "1 pages parsed"},
  };
  NginxServer& server =
      ServeTls({{"index.html", NamedPage("home")}}, "",
               TlsServer(kWrongNameAddress, {443}, authority_->Issue(kTlsAddress), root_.path()) +
                   TlsServer(kSelfSignedAddress, {443}, authority_->SelfSigned(kSelfSignedAddress),
                             root_.path()));
  size_t answered = 0;
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--site", "https://" + std::string(c.address) + "/", "--https",
                                     "--links-only"};
    if (c.insecure) args.push_back("--insecure");
    const bool refused = std::string(c.parsed) == "0 pages parsed";
    EXPECT_THAT(Crawl(args, refused ? 3 : 0),
                HasSubstr(refused ? "failed: 1 TLS refused" : c.parsed))
        << c.address << " insecure " << c.insecure;
    // A refused certificate ends the exchange before any request is sent.
    if (std::string(c.parsed) == "1 pages parsed") ++answered;
    EXPECT_EQ(server.Requests().size(), answered) << c.address << " insecure " << c.insecure;
  }
}

TEST_F(NetCrawl, HttpSiteRedirectingToHttpsIsCrawledWholeFromItsHttpAddress) {
  const NginxServer& server =
      ServeTls({{"index.html", NamedPage("home", {"/a.html", "b.html"})},
                {"a.html", NamedPage("a", {"/c.html"})},
                {"b.html", NamedPage("b")},
                {"c.html", NamedPage("c")}},
               "    location / { return 301 https://$host$request_uri; }\n");

  Crawl({"--site", "http://127.0.0.60/", "--https", "--follow-redirects", "--threads", "1",
         "--links-only"});

  EXPECT_EQ(SeenUrls(),
            CrLf({"http://127.0.0.60/", "https://127.0.0.60/", "https://127.0.0.60/a.html",
                  "https://127.0.0.60/b.html", "https://127.0.0.60/c.html"}));
  std::vector<std::string> fetched;
  for (const LoggedRequest& request : server.Requests()) {
    fetched.push_back(request.connection.substr(0, request.connection.find(' ')) + " " +
                      request.Path());
  }
  EXPECT_THAT(fetched,
              ElementsAre("http /", "https /", "https /a.html", "https /b.html", "https /c.html"));
}

TEST_F(NetCrawl, PagesInUtf8AndKoi8AreStoredInCodePage1251) {
  const std::string russian = "Это строка текста на русском языке, в ней много слов.";
  const std::string symbols = "Euro € stays, snowman ☃ and 中 are not in the code page.";
  // 10 letters and 4 spaces: prose in UTF-8 bytes, too short once counted in letters.
  const std::string short_line = "Мы и вы да они";
  const std::string article = "/статья.html";
  WriteSite(root_.path(),
            {{"index.html", NamedPage("home", {"/utf8.html", "/plain.html", "/koi/page.html"})},
             {"utf8.html", "<html><head><meta charset=\"utf-8\"></head><body>\n<p>" + russian +
                               "</p>\n<p>" + short_line + "</p>\n<p>" + symbols + "</p>\n" +
                               Anchor(article, "статья") + "\n</body></html>\n"},
             {"plain.html", HtmlPage("plain", {"<p>" + russian + "</p>"})},  // nothing declared
             {"koi/page.html", HtmlPage("koi", {"<p>" + Encode(russian, "KOI8-R") + "</p>"})},
             {article.substr(1), NamedPage("article")}});
  server_.emplace(kRecodeAddress, root_.path(),
                  NginxExtras{"    location /koi/ { charset koi8-r; }\n", ""});

  Crawl({"--site", "http://127.0.0.63/", "--recode", "--threads", "1", "--ignore-whitelist"});

  // Dispatched as /, /koi/page.html, /plain.html, /utf8.html, then the article.
  const std::string expected = CrLf({Utf8ToCp1251(russian)});
  EXPECT_EQ(Result(1), expected);
  EXPECT_EQ(Result(2), expected);
  EXPECT_EQ(Result(3),
            expected + CrLf({"Euro \x88 stays, snowman ? and ? are not in the code page."}));
  // The link is taken from the bytes as they arrived.
  EXPECT_THAT(SeenUrls(), HasSubstr("\r\nhttp://127.0.0.63" + article + "\r\n"));
}

TEST_F(NetCrawl, HttpsThroughAProxyGoesThroughATunnel) {
  const TinyProxy proxy(kProxyPort, "ConnectPort 443\n");
  const NginxServer& server = ServeTls({{"index.html", NamedPage("home", {"/p1.html", "/p2.html"})},
                                        {"p1.html", NamedPage("p1")},
                                        {"p2.html", NamedPage("p2")}});
  work_.Write("proxy.txt", proxy.ProxyLine() + "\r\n");

  const std::string err = Crawl({"--site", "https://127.0.0.60/", "--https", "--proxy", "--threads",
                                 "1", "--ignore-whitelist"});

  EXPECT_THAT(err, HasSubstr("3 pages parsed"));
  EXPECT_EQ(Result(2), CrLf({"This is the page called p2 with its words."}));
  const std::vector<LoggedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const LoggedRequest& request : requests) {
    EXPECT_THAT(request.connection, ::testing::StartsWith("https 443 "));
    EXPECT_EQ(request.via, "-");  // the tunnel carries the request untouched
    EXPECT_EQ(request.host, "127.0.0.60");
  }
  // The first request goes direct, the two later ones through the tunnel.
  const std::string log = proxy.Log();
  size_t tunnels = 0;
  for (size_t at = log.find("CONNECT 127.0.0.60:443 HTTP/1.0"); at != std::string::npos;
       at = log.find("CONNECT 127.0.0.60:443 HTTP/1.0", at + 1)) {
    ++tunnels;
  }
  EXPECT_EQ(tunnels, 2u) << log;
}

}  // namespace
}  // namespace korvane::testing
