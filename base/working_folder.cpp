// Choosing and preparing the working folder at start-up.
#include "base/working_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/error.h"
#include "base/files.h"

namespace korvane {

namespace {

// Removes every kUserFolderArgument from argv; true when there was one.
bool TakeUserFolderArgument(int& argc, char** argv) {
  int kept = argc > 0 ? 1 : 0;  // argv[0] is the program's name, never an option
  for (int i = kept; i < argc; ++i) {
    if (argv[i] != kUserFolderArgument) argv[kept++] = argv[i];
  }
  const bool found = kept != argc;
  argc = kept;
  argv[argc] = nullptr;
  return found;
}

}  // namespace

std::string UserFolder() {
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr) home = env;
  if (home.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir)
      home = entry->pw_dir;
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  if (home.empty()) return {};
  return (home == "/" ? "" : home) + "/Korvane";
}

std::string PrepareUserFolder(const std::string& folder) {
  for (const std::string& path :
       {folder, folder + "/settings", folder + "/parse", folder + "/SelectiveParseTest"}) {
    if (DirectoryExists(path)) continue;
    if (::mkdir(path.c_str(), 0777) != 0)
      return "cannot create folder \"" + path + "\": " + SystemReason(errno);
  }
  const std::string agents = folder + "/UA.txt";
  if (!FileExists(agents)) {
    try {
      SaveFileAtomic(agents, std::string(kDefaultUserAgent) + "\r\n");
    } catch (const KorvaneError& e) {
      return e.what();
    }
  }
  return {};
}

std::string EnterWorkingFolder(int& argc, char** argv) {
  if (!TakeUserFolderArgument(argc, argv)) return WorkingPath({});
  const std::string folder = UserFolder();
  std::string reason = folder.empty() ? "no home folder" : PrepareUserFolder(folder);
  if (reason.empty() && ::chdir(folder.c_str()) != 0)
    reason = "cannot enter \"" + folder + "\": " + SystemReason(errno);
  if (!reason.empty()) {
    std::fprintf(stderr, "korvane: %s; working in \"%s\"\n", reason.c_str(),
                 WorkingPath({}).c_str());
  }
  return WorkingPath({});
}

}  // namespace korvane
