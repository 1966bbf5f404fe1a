// ReadPageMeta on any page: it ends, every field is valid UTF-8 of bounded size, and a date
// is ISO 8601 or empty.
// Input: the whole answer, header included.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "fuzz_support.h"
#include "text/page_meta.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  FuzzInput input(data, size);
  const korvane::PageMeta meta = korvane::ReadPageMeta(input.Rest(), "http://a.test/b/c");
  for (const std::string* field :
       {&meta.canonical, &meta.title, &meta.description, &meta.author, &meta.published,
        &meta.modified, &meta.language, &meta.site_name}) {
    bool valid = true;
    try {
      (void)nlohmann::json(*field).dump();
    } catch (const nlohmann::json::exception&) {
      valid = false;
    }
    Check(valid, "every field is valid UTF-8");
    Check(field != &meta.canonical ? field->size() <= 2000 : true, "fields are bounded");
  }
  for (const std::string* date : {&meta.published, &meta.modified}) {
    Check(date->empty() || (date->size() >= 10 && (*date)[4] == '-' && (*date)[7] == '-'),
          "a date is ISO 8601");
  }
  return 0;
}
