// The text joiner: every ".txt" file of the folder, byte for byte, into one file.
#include <sys/stat.h>

#include <algorithm>

#include "base/error.h"
#include "base/files.h"
#include "base/folder_listing.h"
#include "tools/texts.h"
#include "tools/tools.h"

namespace korvane {

namespace {

// The listing without the output file itself, found by its identity on disk, so that any
// spelling of the output's path is recognised.
std::vector<FolderEntry> ListInputs(const std::string& folder, const std::string& output) {
  std::vector<FolderEntry> entries = ListTxtEntries(folder);
  struct stat out {};
  if (::stat(output.c_str(), &out) != 0) return entries;
  std::erase_if(entries, [&](const FolderEntry& entry) {
    struct stat st {};
    const std::string path = folder + "/" + entry.name;
    return ::stat(path.c_str(), &st) == 0 && st.st_dev == out.st_dev && st.st_ino == out.st_ino;
  });
  return entries;
}

}  // namespace

void JoinTexts(const JoinFields& fields, const ToolProgress& progress) {
  using namespace tool_texts;
  const std::vector<FolderEntry> inputs = ListInputs(fields.folder, fields.output);
  const std::string total = std::to_string(inputs.size());
  AtomicFileWriter output(fields.output);
  for (size_t i = 0; i < inputs.size(); ++i) {
    try {
      output.AppendFile(fields.folder + "/" + inputs[i].name);
    } catch (const KorvaneError&) {
      output.Commit();  // the inputs joined so far stay joined
      throw;
    }
    if (fields.use_separator) {
      output.Write(fields.separator);
      output.Write("\r\n");
    }
    progress(ToolLabel::kJoinProgress, kProgress + std::to_string(i) + "/" + total);
  }
  output.Commit();
  progress(ToolLabel::kJoinProgress, kProgress + total + "/" + total + kJoinFinished);
}

}  // namespace korvane
