// Folder listing for the result tools, over opendir/readdir.
#include "base/folder_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace korvane {

namespace {

bool EndsWithTxt(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view tail = name.substr(name.size() - 4);
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  return tail[0] == '.' && lower(tail[1]) == 't' && lower(tail[2]) == 'x' && lower(tail[3]) == 't';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (!IsDigit(a[i]) || !IsDigit(b[j])) {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i;
      ++j;
      continue;
    }
    // Two digit runs: compare their values without leading zeros, then their lengths.
    const size_t a_begin = i;
    const size_t b_begin = j;
    while (i < a.size() && IsDigit(a[i])) ++i;
    while (j < b.size() && IsDigit(b[j])) ++j;
    std::string_view a_run = a.substr(a_begin, i - a_begin);
    std::string_view b_run = b.substr(b_begin, j - b_begin);
    const std::string_view a_value =
        a_run.substr(std::min(a_run.find_first_not_of('0'), a_run.size()));
    const std::string_view b_value =
        b_run.substr(std::min(b_run.find_first_not_of('0'), b_run.size()));
    if (a_value.size() != b_value.size()) return a_value.size() < b_value.size();
    if (a_value != b_value) return a_value < b_value;
    if (a_run.size() != b_run.size()) return a_run.size() > b_run.size();
  }
  if (i < a.size() || j < b.size()) return j < b.size();
  return a < b;
}

std::vector<FolderEntry> ListTxtEntries(const std::string& folder) {
  std::vector<FolderEntry> entries;
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return entries;
  while (const dirent* item = ::readdir(dir.get())) {
    const std::string_view name = item->d_name;
    if (!EndsWithTxt(name)) continue;
    FolderEntry entry{std::string(name), 0, false};
    struct stat st {};
    const std::string path = folder + "/" + entry.name;
    if (::stat(path.c_str(), &st) == 0 || ::lstat(path.c_str(), &st) == 0) {
      entry.is_directory = S_ISDIR(st.st_mode);
      if (S_ISREG(st.st_mode)) entry.size = static_cast<uint64_t>(st.st_size);
    }
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return NaturalLess(a.name, b.name); });
  return entries;
}

}  // namespace korvane
