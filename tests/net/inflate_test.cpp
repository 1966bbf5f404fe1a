// Compressed answers through the receive loop: inflated, cut as plain answers are, bounded.
#include <gtest/gtest.h>

#include <string>

#include "net/fetcher.h"
#include "net/inflate.h"
#include "support/deflated.h"
#include "support/test_server.h"

namespace korvane {
namespace {

using testing::Deflated;

TEST(Inflate, CompressedAnswersAreInflatedCutAsPlainOnesAndBounded) {
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";
  const std::string deflate_head = "HTTP/1.0 200 OK\r\nContent-Encoding: deflate\r\n\r\n";
  const std::string page =
      "<html><body>" + std::string(3000, 'w') + "</body>" + std::string(5000, 't') + "</html>";
  // The inflated bytes are taken in reads of 1024: the answer ends with the read that holds
  // "</body>", as a plain answer does.
  const std::string cut = page.substr(0, 3072);
  struct Case {
    const char* label;
    std::string answer;
    AnswerBody body;
    int32_t code;
    std::string received;
    size_t max_bytes = 1 << 20;
  };
  const Case cases[] = {
      {"gzip", head + Deflated(page), AnswerBody::kInflate, 0, head + cut},
      {"zlib deflate", deflate_head + Deflated(page, 15), AnswerBody::kInflate, 0,
       deflate_head + cut},
      {"raw deflate", deflate_head + Deflated(page, -15), AnswerBody::kInflate, 0,
       deflate_head + cut},
      {"not declared", "HTTP/1.0 200 OK\r\n\r\n" + page, AnswerBody::kInflate, 0,
       "HTTP/1.0 200 OK\r\n\r\n" + page.substr(0, 3072 - 19)},
      {"option off keeps the bytes", head + std::string("ab\0cd", 5), AnswerBody::kPlain, 0,
       head + "ab"},
      {"corrupt", head + "\x1f\x8b\x07garbage, no deflate stream", AnswerBody::kInflate,
       kFetchBadEncoding, ""},
      {"bomb cut at the cap", head + Deflated(std::string(size_t{64} << 20, 'z')),
       AnswerBody::kInflate, 0, head + std::string((1 << 20) - head.size(), 'z')},
      {"raw keeps every byte", head + std::string("a\0</body>b", 10), AnswerBody::kRaw, 0,
       head + std::string("a\0</body>b", 10)},
  };
  for (const Case& c : cases) {
    testing::TestServer server({testing::Send(c.answer), testing::Close()});
    FetchLimits limits{2000, 2000, 20000, c.max_bytes};
    limits.body = c.body;
    std::string received;
    const int32_t code =
        FetchDirect("127.0.0.1", server.port(), "GET / HTTP/1.0\r\n\r\n", received, limits);
    EXPECT_EQ(code, c.code < 0 ? c.code : static_cast<int32_t>(c.received.size())) << c.label;
    EXPECT_EQ(received, c.received) << c.label;
  }
}

}  // namespace
}  // namespace korvane
