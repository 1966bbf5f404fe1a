// The folder the program keeps its data files in: the current folder when started from a
// terminal, a folder of the user's own when started from the desktop menu.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The argument the desktop entry passes ("Exec=korvane --user-folder"). A start from a
// terminal has no such argument, so it keeps the current folder, as every data file's bare
// relative name expects.
inline constexpr std::string_view kUserFolderArgument = "--user-folder";

// The user agent written to a new user folder's "UA.txt": an ordinary desktop browser's.
inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0";

// $HOME + "/Korvane"; the password database's home folder when HOME is unset or empty.
// Empty when neither names a folder.
[[nodiscard]] std::string UserFolder();

// Makes `folder` ready for a first START: creates it and its "settings", "parse" and
// "SelectiveParseTest" folders when missing, and "UA.txt" holding kDefaultUserAgent when
// missing. A file that exists is never changed. On failure returns the reason, e.g.
// `cannot create folder "/home/a/Korvane/parse": Permission denied`; on success "".
[[nodiscard]] std::string PrepareUserFolder(const std::string& folder);

// Called first thing in main(). Without kUserFolderArgument nothing changes. With it, the
// argument is removed from argv (argc shrinks), UserFolder() is prepared and becomes the
// current folder; when that fails, the reason goes to stderr and the current folder stays.
// Returns the folder the program works in, absolute and without a trailing "/".
//   korvane                 -> stays in the terminal's folder, e.g. "/home/a/crawls"
//   korvane --user-folder   -> "/home/a/Korvane", created on the first start
std::string EnterWorkingFolder(int& argc, char** argv);

}  // namespace korvane
