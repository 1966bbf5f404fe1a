// The inflater on any bytes fed in any slices, and the reading of a compressed answer.
// Input: a slice-size byte, then the compressed stream.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "net/inflate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  fuzz::FuzzInput input(data, size);
  const size_t slice = input.TakeByte() % 64 + 1;
  const std::string_view stream = input.Rest();
  constexpr size_t kMost = 1 << 18;

  bool cut = false;
  const auto whole = InflateAll(stream, kMost, cut);
  Inflater inflater;
  std::string sliced;
  Inflater::Result result = Inflater::Result::kMore;
  for (size_t at = 0; at < stream.size() && result == Inflater::Result::kMore; at += slice) {
    result = inflater.Feed(stream.substr(at, slice), [&](std::string_view piece) {
      fuzz::Check(piece.size() <= kInflatePiece, "pieces of one read at most");
      sliced.append(piece);
      return sliced.size() < kMost;
    });
  }
  fuzz::Check(whole.has_value() == (result != Inflater::Result::kBad), "the same verdict");
  if (whole) fuzz::CheckSame("slices inflate as the whole", *whole, sliced.substr(0, kMost));

  FetchLimits limits;
  limits.max_bytes = 4096;
  limits.body = AnswerBody::kInflate;
  AnswerReader reader(limits, false);
  std::string received;
  const std::string answer =
      "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n" + std::string(stream);
  for (size_t at = 0; at < answer.size(); at += slice) {
    if (reader.Take(received, std::string_view(answer).substr(at, slice))) break;
  }
  fuzz::Check(received.size() <= limits.max_bytes, "the cap holds on the inflated answer");
  fuzz::Check(reader.Code() == 0 || received.empty(), "a corrupt stream leaves no answer");
  return 0;
}
