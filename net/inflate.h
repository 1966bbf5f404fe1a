// Compressed answers: a streaming inflater for gzip, zlib and raw deflate data, and the reading
// of an answer whose body may come compressed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "net/fetcher.h"

namespace korvane {

// The size of the pieces an Inflater hands out: the size of one read of the receive loop, so
// inflated bytes are cut and searched piece by piece as received bytes are read by read.
inline constexpr size_t kInflatePiece = kReadSize;

// Inflates one compressed stream fed in any slices. The format is told by the first two bytes,
// whatever the answer declares, as servers label it loosely: gzip (1F 8B), zlib (a valid zlib
// header) or else raw deflate. Output is handed out in pieces of at most kInflatePiece bytes
// and never held, so a stream that inflates without end costs no memory.
class Inflater {
 public:
  enum class Result {
    kMore,  // every byte fed is used; more may follow
    kEnd,   // the stream has ended, or `out` asked to stop
    kBad,   // the stream is corrupt
  };

  Inflater();
  ~Inflater();
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Feeds `in`; calls `out` with each inflated piece; `out` returns false to stop. Once kEnd
  // or kBad was returned, every later call returns the same.
  Result Feed(std::string_view in, const std::function<bool(std::string_view piece)>& out);

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
  std::string start_;  // the first byte, until the second tells the format
  std::optional<Result> over_;
};

// All of `data` inflated, at most `most` bytes (`cut` set when there was more); nothing when
// the stream is corrupt. A stream that stops short gives what it held.
[[nodiscard]] std::optional<std::string> InflateAll(std::string_view data, size_t most, bool& cut);

// Whether `data` begins as a gzip file does.
[[nodiscard]] bool LooksGzipped(std::string_view data);

// Whether an answer head declares "Content-Encoding: gzip" (or x-gzip) or "deflate".
[[nodiscard]] bool DeclaresCompression(std::string_view head);

// The receive loops' handling of each read of one exchange, by limits.body:
// - kPlain: detail::TakeRead, the plain exchange's handling;
// - kRaw: every byte kept, up to the cap, no end text;
// - kInflate: as kPlain until the head has arrived; when it declares gzip or deflate, the
//   head is kept as received and the rest of the connection is inflated, the inflated bytes
//   taken piece by piece as TakeRead takes reads (NUL cut, end texts, the cap on the whole
//   answer). A corrupt stream empties `received` and makes Code() kFetchBadEncoding.
class AnswerReader {
 public:
  AnswerReader(const FetchLimits& limits, bool via_proxy);
  ~AnswerReader();
  AnswerReader(const AnswerReader&) = delete;
  AnswerReader& operator=(const AnswerReader&) = delete;

  // Takes one read. True when the answer is complete and no further read is wanted.
  [[nodiscard]] bool Take(std::string& received, std::string_view read);
  // 0, or kFetchBadEncoding after a corrupt stream.
  [[nodiscard]] int32_t Code() const { return code_; }

 private:
  enum class Phase { kPlain, kRaw, kHead, kInflating };
  bool Inflate(std::string& received, std::string_view in);

  Phase phase_;
  bool via_proxy_;
  size_t most_;
  std::string head_;  // kHead: the raw bytes so far
  std::unique_ptr<Inflater> inflater_;
  int32_t code_ = 0;
};

namespace detail {

// Appends one read of the answer to `received`: cut at its first NUL byte and at `max_bytes`
// in all. True when `received` now holds an end text ("</body>", "</BODY>", and "]}" when
// `via_proxy`), even one that began in an earlier read.
[[nodiscard]] bool TakeRead(std::string& received, std::string_view read, bool via_proxy,
                            size_t max_bytes);

}  // namespace detail

}  // namespace korvane
