// Compressed bytes for tests of compressed answers and sitemaps.
#pragma once

#include <zlib.h>

#include <string>
#include <string_view>

namespace korvane::testing {

// `data` deflated: window_bits 16 + 15 gives gzip, 15 zlib, -15 raw deflate.
inline std::string Deflated(std::string_view data, int window_bits = 16 + 15) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, window_bits, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace korvane::testing
