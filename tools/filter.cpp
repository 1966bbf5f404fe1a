// The small-file filter: deletes the folder's ".txt" files below a size.
#include <sys/stat.h>

#include "base/files.h"
#include "base/folder_listing.h"
#include "base/strings.h"
#include "tools/texts.h"
#include "tools/tools.h"

namespace korvane {

namespace {

// Deletes a file unless it is read-only (every write permission bit cleared), as the system
// refuses for read-only files; folders are never deleted.
void DeleteUnlessReadOnly(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) != 0) RemoveFile(path);
}

}  // namespace

int FilterSmallFiles(const FilterFields& fields, const ToolProgress& progress) {
  using namespace tool_texts;
  progress(ToolLabel::kFilterStatus, kFilterWorking);
  std::vector<std::string> candidates;
  for (FolderEntry& entry : ListTxtEntries(fields.folder)) {
    const int64_t min_size = StrToInt(fields.min_size);
    if (min_size > 0 && entry.size < static_cast<uint64_t>(min_size)) {
      candidates.push_back(std::move(entry.name));
    }
  }
  const std::string count = std::to_string(candidates.size());
  progress(ToolLabel::kFilterStatus,
           kFilterStatus + std::string(kFilterProcessing) + count + "...");
  for (const std::string& name : candidates) DeleteUnlessReadOnly(fields.folder + "/" + name);
  progress(ToolLabel::kFilterStatus, kFilterStatus + count + std::string(kFilterDeleted));
  return static_cast<int>(candidates.size());
}

}  // namespace korvane
