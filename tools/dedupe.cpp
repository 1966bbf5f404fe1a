// Duplicate removal: deletes the folder's ".txt" files that repeat an earlier one.
#include <cerrno>

#include "base/error.h"
#include "base/files.h"
#include "base/folder_listing.h"
#include "text/near_duplicates.h"
#include "tools/texts.h"
#include "tools/tools.h"

namespace korvane {

std::vector<DuplicateGroup> RemoveDuplicateTexts(const DedupeFields& fields,
                                                 const ToolProgress& progress) {
  using namespace tool_texts;
  const std::vector<FolderEntry> entries = ListTxtEntries(fields.folder);
  const std::string total = std::to_string(entries.size());
  NearDuplicateIndex index{DuplicateMeasure(fields.threshold)};
  std::vector<std::string> kept;  // by index number
  std::vector<size_t> group_of;   // by index number: its group, or SIZE_MAX
  std::vector<DuplicateGroup> groups;
  size_t removed = 0;
  const auto path = [&](const std::string& name) { return fields.folder + "/" + name; };
  // A kept file is read again only when a later one may repeat it; one that has gone since
  // repeats nothing.
  const auto source = [&](uint32_t id) -> std::optional<std::vector<uint64_t>> {
    try {
      return ShingleSet(ResultText(LoadFile(path(kept[id]))));
    } catch (const KorvaneError&) {
      return std::nullopt;
    }
  };
  for (size_t i = 0; i < entries.size(); ++i) {
    const FolderEntry& entry = entries[i];
    if (!entry.is_directory) {
      const std::string bytes = LoadFile(path(entry.name));
      const TextPrint print = MakeTextPrint(ResultText(bytes), index.Measure());
      if (const auto original = index.FindDuplicate(print, source)) {
        if (!fields.dry_run && !RemoveFile(path(entry.name))) throw IoError(errno);
        size_t& group = group_of[*original];
        if (group == SIZE_MAX) {
          group = groups.size();
          groups.push_back({kept[*original], {}});
        }
        groups[group].removed.push_back(entry.name);
        ++removed;
      } else {
        index.Add(print);
        kept.push_back(entry.name);
        group_of.push_back(SIZE_MAX);
      }
    }
    const std::string done = kProgress + std::to_string(i + 1) + " / " + total;
    progress(ToolLabel::kDedupeProgress,
             i + 1 < entries.size() ? done : done + kDuplicatesFound + std::to_string(removed));
  }
  if (entries.empty()) {
    progress(ToolLabel::kDedupeProgress, kProgress + "0 / 0" + kDuplicatesFound + "0");
  }
  // Groups in the order of their kept files.
  std::vector<DuplicateGroup> ordered;
  ordered.reserve(groups.size());
  for (const size_t group : group_of) {
    if (group != SIZE_MAX) ordered.push_back(std::move(groups[group]));
  }
  return ordered;
}

}  // namespace korvane
