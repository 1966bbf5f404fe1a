// libxml2's HTML parser run over a page's bytes with the caller's SAX callbacks: the one
// driver that the main text and the link step share.
#pragma once

#include <functional>
#include <string_view>

#include "base/lazy_libraries.h"
#include "text/main_text.h"

namespace korvane {

// Parses `document` (no answer head), each byte read as one character of `bytes`' mapping
// (a UTF-8 page as it is),
// calling the callbacks of `sax` with `user_data`; the parse recovers from any error, reads
// nothing from the network, follows no declared charset and prints nothing (the thread's
// error handlers are put back afterwards). `sax.initialized` and the message callbacks are
// set here. `before_parse`, when given, receives the parser context first, so that a
// callback can stop the parse (xmlStopParser). Attribute values and text reach the callbacks
// in UTF-8 (a code point below 0x100 of an ISO-8859-1 page is the byte itself). An empty
// document is not parsed.
void ParseHtml(std::string_view document, PageBytes bytes, xmlSAXHandler sax, void* user_data,
               const std::function<void(xmlParserCtxtPtr)>& before_parse = {});

}  // namespace korvane
