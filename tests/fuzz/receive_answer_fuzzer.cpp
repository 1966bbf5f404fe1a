// The fetcher's receive loop on a local socket pair that the input feeds.
// Input: a mode byte (bit 0: through a proxy; bits 1-2: how the answer is fed — 0 all of it
// into a stream before the loop starts, 1 one chunk per read, as records of a packet socket,
// 2 chunks into a stream as fast as it takes them, 3 all of it to a fetch cancelled
// beforehand), a cap byte (below 128 a cap of 1 + 16 * byte bytes, otherwise 1 MiB), four
// chunk-size bytes (1 + 4 * byte bytes each, used in turn), then the answer's bytes.
//
// Feedings 0, 1 and 3 fix every read the loop makes, so its answer is known exactly; a
// stream fed from another thread may be read in any cuts, so feeding 2 checks only what holds
// for every cut.
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fuzz_support.h"
#include "net/fetcher.h"

namespace korvane::fuzz {
namespace {

constexpr size_t kReadSize = 1024;
// Feeding everything before the loop starts needs room for it in the socket.
constexpr size_t kMostPrefilled = 64 * 1024;

enum class Feeding { kPrefilled = 0, kOneChunkPerRead = 1, kFreeRunning = 2, kCancelled = 3 };

struct Feed {
  bool via_proxy = false;
  Feeding feeding = Feeding::kPrefilled;
  size_t cap = 0;
  std::vector<std::string_view> chunks;
  std::string_view answer;
};

Feed ReadFeed(FuzzInput& input) {
  Feed feed;
  const uint8_t mode = input.TakeByte();
  feed.via_proxy = mode & 1;
  feed.feeding = static_cast<Feeding>((mode >> 1) & 3);
  const uint8_t cap = input.TakeByte();
  feed.cap = cap < 128 ? 1 + size_t{16} * cap : size_t{1} << 20;
  std::array<size_t, 4> sizes;
  for (size_t& chunk_size : sizes) chunk_size = 1 + size_t{4} * input.TakeByte();
  feed.answer = input.Rest();
  for (size_t at = 0, i = 0; at < feed.answer.size(); ++i) {
    feed.chunks.push_back(feed.answer.substr(at, sizes[i % sizes.size()]));
    at += feed.chunks.back().size();
  }
  if (feed.feeding == Feeding::kPrefilled && feed.answer.size() > kMostPrefilled) {
    feed.feeding = Feeding::kOneChunkPerRead;
  }
  return feed;
}

bool HoldsEndText(std::string_view text, bool via_proxy) {
  return text.find("</body>") != std::string_view::npos ||
         (via_proxy && text.find("]}") != std::string_view::npos) ||
         text.find("</BODY>") != std::string_view::npos;
}

// What the loop keeps from `reads` when they arrive one by one in this order.
std::string ExpectedAnswer(const std::vector<std::string_view>& reads, const Feed& feed) {
  std::string kept;
  for (const std::string_view read : reads) {
    if (kept.size() >= feed.cap) break;
    std::string_view chunk = read.substr(0, read.find('\0'));
    chunk = chunk.substr(0, feed.cap - kept.size());
    kept.append(chunk);
    if (HoldsEndText(kept, feed.via_proxy)) break;
  }
  return kept;
}

// `bytes` cut into reads of at most kReadSize, as a loop reading a socket that holds nothing
// else sees them.
void AppendReads(std::string_view bytes, std::vector<std::string_view>& reads) {
  for (size_t at = 0; at < bytes.size(); at += kReadSize) {
    reads.push_back(bytes.substr(at, kReadSize));
  }
}

class SocketPair {
 public:
  explicit SocketPair(int type) {
    int fds[2];
    Check(::socketpair(AF_UNIX, type | SOCK_CLOEXEC, 0, fds) == 0, "socketpair");
    reader_ = fds[0];
    writer_ = fds[1];
  }
  SocketPair(const SocketPair&) = delete;
  SocketPair& operator=(const SocketPair&) = delete;
  ~SocketPair() {
    CloseReader();
    ::close(writer_);
  }

  // Drops what the reader left unread, so that a writer blocked on a full socket fails at
  // once instead of waiting for ever.
  void CloseReader() {
    if (reader_ >= 0) ::close(reader_);
    reader_ = -1;
  }

  [[nodiscard]] int reader() const { return reader_; }

  void Send(std::string_view bytes) const {
    while (!bytes.empty()) {
      const ssize_t sent = ::send(writer_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent < 0 && errno == EINTR) continue;
      if (sent <= 0) return;  // the reader is gone
      bytes.remove_prefix(static_cast<size_t>(sent));
    }
  }

  // The peer's close, as the reader sees it.
  void EndOfAnswer() const { ::shutdown(writer_, SHUT_WR); }

 private:
  int reader_ = -1;
  int writer_ = -1;
};

// Facts that hold however the bytes were cut into reads.
void CheckAnyFeeding(const Feed& feed, const std::string& received) {
  Check(received.size() <= feed.cap, "no more than the cap is kept");
  Check(received.find('\0') == std::string::npos, "a NUL byte never reaches the answer");
  if (feed.answer.find('\0') == std::string_view::npos) {
    Check(feed.answer.substr(0, received.size()) == received, "the answer is a prefix");
    if (received.size() < std::min(feed.cap, feed.answer.size())) {
      Check(HoldsEndText(received, feed.via_proxy), "only an end text stops the loop early");
    }
    // An end text wholly before the last read would have ended the loop a read earlier.
    const size_t before_last = received.size() - std::min(received.size(), kReadSize);
    Check(!HoldsEndText(std::string_view(received).substr(0, before_last), feed.via_proxy),
          "the loop stops at the read that completes an end text");
  } else {
    size_t at = 0;
    for (const char c : received) {
      at = feed.answer.find(c, at);
      Check(at != std::string_view::npos, "the answer keeps the order of the bytes sent");
      ++at;
    }
  }
}

std::string Receive(const SocketPair& pair, const Feed& feed, FetchCancel* cancel) {
  FetchLimits limits;
  limits.idle_timeout_ms = 10'000;
  limits.total_timeout_ms = 30'000;
  limits.max_bytes = feed.cap;
  std::string received = "left from before";
  ReceiveAnswer(pair.reader(), feed.via_proxy, received, limits, cancel);
  return received;
}

void Run(const Feed& feed) {
  SocketPair pair(feed.feeding == Feeding::kOneChunkPerRead ? SOCK_SEQPACKET : SOCK_STREAM);
  std::vector<std::string_view> reads;
  std::string received;
  switch (feed.feeding) {
    case Feeding::kPrefilled:
    case Feeding::kCancelled: {
      pair.Send(feed.answer);
      pair.EndOfAnswer();
      FetchCancel cancel;
      if (feed.feeding == Feeding::kCancelled) cancel.Cancel();
      received = Receive(pair, feed, &cancel);
      if (feed.feeding == Feeding::kCancelled) {
        CheckSame("a cancelled receive", "", received);
        return;
      }
      AppendReads(feed.answer, reads);
      break;
    }
    case Feeding::kOneChunkPerRead:
    case Feeding::kFreeRunning: {
      std::thread writer([&] {
        for (const std::string_view chunk : feed.chunks) pair.Send(chunk);
        pair.EndOfAnswer();
      });
      received = Receive(pair, feed, nullptr);
      pair.CloseReader();
      writer.join();
      reads = feed.chunks;
      break;
    }
  }
  CheckAnyFeeding(feed, received);
  if (feed.feeding != Feeding::kFreeRunning) {
    CheckSame("the answer kept from known reads", ExpectedAnswer(reads, feed), received);
  }
}

}  // namespace
}  // namespace korvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  korvane::fuzz::FuzzInput input(data, size);
  korvane::fuzz::Run(korvane::fuzz::ReadFeed(input));
  return 0;
}
