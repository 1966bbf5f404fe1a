// The HTML parse driver: the page's bytes as UTF-8 for libxml2, silent errors, one parse.
#include "text/html_parse.h"

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/cp1251.h"

namespace korvane {
namespace {

// The UTF-8 form of each byte 0x80-0xFF of code page 1251, or of ISO-8859-1. Every byte maps
// to one character (code page 1251's unassigned 0x98 to U+0098), so the way back is exact.
struct HighBytes {
  struct Utf8 {
    uint8_t size;
    std::array<unsigned char, 3> bytes;
  };
  std::array<Utf8, 128> utf8;

  explicit HighBytes(bool cp1251) : utf8() {
    for (int c = 0x80; c < 0x100; ++c) {
      const auto byte = static_cast<unsigned char>(c);
      const char32_t cp = !cp1251 ? byte : byte == 0x98 ? 0x98 : Cp1251CodePoint(byte);
      Utf8& u = utf8[c - 0x80];
      if (cp < 0x80) {
        u.size = 1;
        u.bytes = {static_cast<unsigned char>(cp), 0, 0};
      } else if (cp < 0x800) {
        u.size = 2;
        u.bytes = {static_cast<unsigned char>(0xC0 | (cp >> 6)),
                   static_cast<unsigned char>(0x80 | (cp & 0x3F)), 0};
      } else {
        u.size = 3;
        u.bytes = {static_cast<unsigned char>(0xE0 | (cp >> 12)),
                   static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)),
                   static_cast<unsigned char>(0x80 | (cp & 0x3F))};
      }
    }
  }
};

// Decodes bytes of code page 1251, or of ISO-8859-1, into UTF-8 for the parser, as much as
// fits: ASCII eight bytes at a time, the other bytes by the table. Every byte maps to one
// character (code page 1251's unassigned 0x98 to U+0098), so the way back is exact.
template <bool kCp1251>
int DecodeSingleByte(unsigned char* out, int* out_size, const unsigned char* in, int* in_size) {
  static const HighBytes high(kCp1251);
  constexpr uint64_t kHighBits = 0x8080808080808080;
  int i = 0;
  int o = 0;
  const int in_end = *in_size;
  const int out_end = *out_size;
  while (i < in_end) {
    if (i + 8 <= in_end && o + 8 <= out_end) {
      uint64_t eight = 0;
      std::memcpy(&eight, in + i, 8);
      if ((eight & kHighBits) == 0) {
        std::memcpy(out + o, &eight, 8);
        i += 8;
        o += 8;
        continue;
      }
    }
    const unsigned char c = in[i];
    if (c < 0x80) {
      if (o + 1 > out_end) break;
      out[o++] = c;
    } else {
      const HighBytes::Utf8& u = high.utf8[c - 0x80];
      if (o + u.size > out_end) break;
      for (int k = 0; k < u.size; ++k) out[o++] = u.bytes[k];
    }
    ++i;
  }
  *in_size = i;
  *out_size = o;
  return o;
}

// `document` in UTF-8, as the parser reads it, each byte one character of `bytes`' mapping.
// The whole page is converted before the parse: libxml2 converts a page in memory only once,
// into twice its size, and would lose the rest of a page whose characters need three bytes.
template <bool kCp1251>
std::string Utf8Document(std::string_view document) {
  static const HighBytes high(kCp1251);
  size_t size = document.size();
  for (const char c : document) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) size += high.utf8[byte - 0x80].size - 1;
  }
  std::string utf8(size, '\0');
  int in_size = static_cast<int>(document.size());
  int out_size = static_cast<int>(size);
  DecodeSingleByte<kCp1251>(reinterpret_cast<unsigned char*>(utf8.data()), &out_size,
                            reinterpret_cast<const unsigned char*>(document.data()), &in_size);
  return utf8;
}

void OnMessage(void* /*ctx*/, const char* /*msg*/, ...) {}
void OnError(void* /*ctx*/, xmlErrorPtr /*error*/) {}

// libxml2 keeps its error handlers per thread; a parse here sets them to say nothing and
// puts back what the thread had.
class QuietErrors {
 public:
  QuietErrors()
      : xml_(Xml()),
        generic_(*xml_.xmlGenericErrorOfThread()),
        generic_context_(*xml_.xmlGenericErrorContextOfThread()),
        structured_(*xml_.xmlStructuredErrorOfThread()),
        structured_context_(*xml_.xmlStructuredErrorContextOfThread()) {
    xml_.xmlSetGenericErrorFunc(nullptr, OnMessage);
    xml_.xmlSetStructuredErrorFunc(nullptr, OnError);
  }
  ~QuietErrors() {
    xml_.xmlSetGenericErrorFunc(generic_context_, generic_);
    xml_.xmlSetStructuredErrorFunc(structured_context_, structured_);
  }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  const XmlLibrary& xml_;
  xmlGenericErrorFunc generic_;
  void* generic_context_;
  xmlStructuredErrorFunc structured_;
  void* structured_context_;
};

}  // namespace

void ParseHtml(std::string_view document, PageBytes bytes, xmlSAXHandler sax, void* user_data,
               const std::function<void(xmlParserCtxtPtr)>& before_parse) {
  if (document.empty()) return;
  const XmlLibrary& xml = Xml();
  const QuietErrors quiet;
  htmlParserCtxtPtr ctxt = xml.htmlNewParserCtxt();
  if (ctxt == nullptr) return;
  sax.warning = OnMessage;
  sax.error = OnMessage;
  sax.fatalError = OnMessage;
  if (sax.serror == nullptr) sax.serror = OnError;
  sax.initialized = XML_SAX2_MAGIC;
  std::memcpy(ctxt->sax, &sax, sizeof(sax));
  ctxt->userData = user_data;
  if (before_parse) before_parse(ctxt);
  // A declared charset must not switch the parser away from the bytes' own set.
  xml.htmlCtxtUseOptions(ctxt, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                   HTML_PARSE_NONET | HTML_PARSE_COMPACT | HTML_PARSE_IGNORE_ENC);
  const std::string_view page = document.substr(0, INT_MAX / 4);
  // libxml2 keeps a copy of its own, so ours goes at once.
  xmlParserInputBufferPtr buffer = nullptr;
  if (bytes == PageBytes::kUtf8) {
    buffer = xml.xmlParserInputBufferCreateMem(page.data(), static_cast<int>(page.size()),
                                               XML_CHAR_ENCODING_NONE);
  } else {
    const std::string utf8 =
        bytes == PageBytes::kCp1251 ? Utf8Document<true>(page) : Utf8Document<false>(page);
    buffer = xml.xmlParserInputBufferCreateMem(utf8.data(), static_cast<int>(utf8.size()),
                                               XML_CHAR_ENCODING_NONE);
  }
  xmlParserInputPtr input =
      buffer != nullptr ? xml.xmlNewIOInputStream(ctxt, buffer, XML_CHAR_ENCODING_NONE) : nullptr;
  if (input == nullptr) {
    if (buffer != nullptr) xml.xmlFreeParserInputBuffer(buffer);
  } else if (xml.inputPush(ctxt, input) >= 0) {
    xml.xmlSwitchEncoding(ctxt, XML_CHAR_ENCODING_UTF8);
    xml.htmlParseDocument(ctxt);
  }
  if (ctxt->myDoc != nullptr) xml.xmlFreeDoc(ctxt->myDoc);
  xml.htmlFreeParserCtxt(ctxt);
}

}  // namespace korvane
