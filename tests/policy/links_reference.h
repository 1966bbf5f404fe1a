// The link scan read word for word, for comparison with the fast scan of policy/links.cpp: the
// page copy is searched from its start and its first marker erased on every pass.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "policy/links.h"

namespace korvane::reference {

// Every link that ExtractLinks hands on, in order. With `joined`, tells whether some pass
// found a marker that the page did not hold at first (one joined by an erased marker).
[[nodiscard]] std::vector<std::string> ExtractLinks(std::string page, const std::string& url,
                                                    const std::string& host,
                                                    const LinkOptions& options,
                                                    bool* joined = nullptr);

// The folder of a page's address, cut like a drive path in the six steps the rules describe.
[[nodiscard]] std::string UrlDirectory(std::string_view url);

}  // namespace korvane::reference
