// The inflater over zlib and the reading of compressed answers.
#include "net/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "base/strings.h"
#include "net/http_answer.h"

namespace korvane {
namespace {

// The longest end text, "</body>": a new chunk can complete one that began at most this
// many bytes minus one before it.
constexpr size_t kLongestEndText = 7;

// The end texts in the order they are tested; "]}" ends only an answer through a proxy.
bool HoldsEndText(std::string_view text, bool via_proxy) {
  return text.find("</body>") != std::string_view::npos ||
         (via_proxy && text.find("]}") != std::string_view::npos) ||
         text.find("</BODY>") != std::string_view::npos;
}

// The longest answer head looked at for its encoding; a longer one is read as it comes.
constexpr size_t kMostHead = 64 * 1024;

// zlib's window bits for each format: gzip, zlib, raw deflate.
int WindowBits(unsigned char first, unsigned char second) {
  if (first == 0x1f && second == 0x8b) return 16 + MAX_WBITS;
  const bool zlib_header =
      (first & 0x0f) == Z_DEFLATED && (first >> 4) <= 7 && ((first << 8) | second) % 31 == 0;
  return zlib_header ? MAX_WBITS : -MAX_WBITS;
}

}  // namespace

struct Inflater::Stream {
  explicit Stream(int window_bits) { ok = inflateInit2(&z, window_bits) == Z_OK; }
  ~Stream() {
    if (ok) inflateEnd(&z);
  }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  z_stream z{};
  bool ok = false;
};

Inflater::Inflater() = default;
Inflater::~Inflater() = default;

Inflater::Result Inflater::Feed(std::string_view in,
                                const std::function<bool(std::string_view)>& out) {
  if (over_) return *over_;
  std::string joined;
  if (!stream_) {
    if (start_.size() + in.size() < 2) {
      start_.append(in);
      return Result::kMore;
    }
    joined = start_;
    joined.append(in);
    in = joined;
    start_.clear();
    stream_ = std::make_unique<Stream>(
        WindowBits(static_cast<unsigned char>(in[0]), static_cast<unsigned char>(in[1])));
    if (!stream_->ok) return *(over_ = Result::kBad);
  }
  z_stream& z = stream_->z;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  std::array<char, kInflatePiece> piece;
  size_t left = in.size();
  z.avail_in = 0;
  bool full = false;  // the last piece filled up: zlib may hold more output
  // zlib counts in uInt; the input goes in slices it can count.
  while (left > 0 || z.avail_in > 0 || full) {
    if (z.avail_in == 0 && left > 0) {
      const size_t take = std::min<size_t>(left, size_t{1} << 30);
      z.avail_in = static_cast<uInt>(take);
      left -= take;
    }
    z.next_out = reinterpret_cast<Bytef*>(piece.data());
    z.avail_out = static_cast<uInt>(piece.size());
    const int status = inflate(&z, Z_NO_FLUSH);
    const size_t made = piece.size() - z.avail_out;
    full = z.avail_out == 0;
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
      return *(over_ = Result::kBad);
    }
    if (made > 0 && !out(std::string_view(piece.data(), made))) return *(over_ = Result::kEnd);
    if (status == Z_STREAM_END) return *(over_ = Result::kEnd);
    if (made == 0 && status == Z_BUF_ERROR) break;  // nothing more without further input
  }
  return Result::kMore;
}

std::optional<std::string> InflateAll(std::string_view data, size_t most, bool& cut) {
  cut = false;
  std::string out;
  Inflater inflater;
  const Inflater::Result result = inflater.Feed(data, [&](std::string_view piece) {
    const size_t room = most - out.size();
    out.append(piece.substr(0, room));
    if (piece.size() < room) return true;
    cut = piece.size() > room;
    return !cut && out.size() < most;
  });
  if (result == Inflater::Result::kBad) return std::nullopt;
  return out;
}

bool LooksGzipped(std::string_view data) {
  return data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0x1f &&
         static_cast<unsigned char>(data[1]) == 0x8b;
}

bool DeclaresCompression(std::string_view head) {
  if (!AnswerStatus(head)) return false;
  const std::optional<std::string> coding = AnswerHeader(head, "content-encoding");
  if (!coding) return false;
  const std::string lowered = AsciiLowered(*coding);
  return lowered == "gzip" || lowered == "x-gzip" || lowered == "deflate";
}

AnswerReader::AnswerReader(const FetchLimits& limits, bool via_proxy)
    : via_proxy_(via_proxy), most_(limits.max_bytes) {
  switch (limits.body) {
    case AnswerBody::kPlain:
      phase_ = Phase::kPlain;
      break;
    case AnswerBody::kRaw:
      phase_ = Phase::kRaw;
      break;
    case AnswerBody::kInflate:
      phase_ = Phase::kHead;
      break;
  }
}

AnswerReader::~AnswerReader() = default;

bool AnswerReader::Take(std::string& received, std::string_view read) {
  switch (phase_) {
    case Phase::kPlain:
      return detail::TakeRead(received, read, via_proxy_, most_);
    case Phase::kRaw:
      received.append(read.substr(0, most_ - std::min(most_, received.size())));
      return false;
    case Phase::kHead: {
      head_.append(read);
      const size_t end = HeadEnd(head_);
      if (end != std::string::npos && DeclaresCompression(std::string_view(head_).substr(0, end))) {
        phase_ = Phase::kInflating;
        inflater_ = std::make_unique<Inflater>();
        received.assign(head_, 0, std::min(end, most_));
        const std::string body = head_.substr(end);
        head_ = {};
        return Inflate(received, body);
      }
      if (end != std::string::npos || head_.size() > kMostHead) {
        phase_ = Phase::kPlain;
        head_ = {};
      }
      return detail::TakeRead(received, read, via_proxy_, most_);
    }
    case Phase::kInflating:
      return Inflate(received, read);
  }
  return true;
}

bool AnswerReader::Inflate(std::string& received, std::string_view in) {
  bool complete = false;
  const Inflater::Result result = inflater_->Feed(in, [&](std::string_view piece) {
    complete = detail::TakeRead(received, piece, via_proxy_, most_) || received.size() >= most_;
    return !complete;
  });
  if (result == Inflater::Result::kBad) {
    received.clear();
    code_ = kFetchBadEncoding;
    return true;
  }
  return complete || result == Inflater::Result::kEnd;
}

namespace detail {

bool TakeRead(std::string& received, std::string_view read, bool via_proxy, size_t max_bytes) {
  std::string_view chunk = read.substr(0, read.find('\0'));
  chunk = chunk.substr(0, max_bytes - std::min(max_bytes, received.size()));
  // Only the new chunk and the bytes just before it can hold an end text not seen before.
  const size_t window = received.size() - std::min(received.size(), kLongestEndText - 1);
  received.append(chunk);
  return !chunk.empty() && HoldsEndText(std::string_view(received).substr(window), via_proxy);
}

}  // namespace detail

}  // namespace korvane
