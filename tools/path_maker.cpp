// The path maker: moves the folder's ".txt" files into numbered sub-folders of a fixed size.
#include <sys/stat.h>

#include <cerrno>

#include "base/error.h"
#include "base/files.h"
#include "base/folder_listing.h"
#include "base/strings.h"
#include "tools/texts.h"
#include "tools/tools.h"

namespace korvane {

namespace {

// A sub-folder that exists already, or cannot be made, stops the run.
void MakeSubFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0) throw IoError(errno);
}

}  // namespace

bool SplitIntoFolders(const SplitFields& fields, const ToolProgress& progress) {
  const int32_t per = StrToInt(fields.per_folder);
  const std::vector<FolderEntry> entries = ListTxtEntries(fields.folder);
  if (entries.empty()) return false;
  const std::string total = std::to_string(entries.size());
  int64_t count = 0;
  int64_t number = 0;
  std::string name = "0";
  MakeSubFolder(fields.folder + "/" + name);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (count == per) {
      count = 0;
      name = std::to_string(++number);
      MakeSubFolder(fields.folder + "/" + name);
    }
    MoveFile(fields.folder + "/" + entries[i].name,
             fields.folder + "/" + name + "/" + entries[i].name);
    ++count;
    progress(ToolLabel::kSplitProgress,
             tool_texts::kProgress + std::to_string(i + 1) + " / " + total);
  }
  return true;
}

}  // namespace korvane
