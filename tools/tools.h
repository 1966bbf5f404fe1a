// The four folder tools of the main window's tabs: small-file filter, text joiner, text
// cleaner and path maker. Plain C++ over base/: the window and korvane-cli drive the same code.
//
// Contract shared by every tool:
// - All texts are code page 1251 bytes: the fields, the progress texts, the error texts
//   (this header spells them in UTF-8).
// - The folder is used as given, without a trailing separator; a file's path is
//   folder + "/" + name. The tool lists the folder once, at the start (ListTxtEntries).
// - The tool reads the members of its `fields` again at each use, as the window reads its
//   controls. A caller may change them inside `progress` (the window refreshes them from its
//   controls after processing messages); the CLI and the tests leave them alone.
// - `progress(label, text)` is called at exactly the points where the window writes its
//   label and then processes pending messages, with the label's whole new text. It runs on
//   the calling thread; it may throw, and the tool then stops, releasing everything it holds.
// - A failure raises KorvaneError (base/error.h) with the finished message text, e.g.
//   `Cannot open file "parse/3.txt". Permission denied`; the tool stops at that point and the
//   files it has already handled stay handled.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/cp1251.h"

namespace korvane {

// The label a tool writes.
enum class ToolLabel {
  kFilterStatus,    // the status line of the page "Фильтр результатов"
  kJoinProgress,    // the progress line of the page "TextJoiner"
  kFromToProgress,  // the page "TextCleaner", from-to cleaning
  kWordProgress,    // the page "TextCleaner", word cleaning
  kSplitProgress,   // the progress line of the page "PathMaker"
  kDedupeProgress,  // the page "Текст", duplicate removal
};

using ToolProgress = std::function<void(ToolLabel label, std::string_view text)>;

// ---- Small-file filter ----------------------------------------------------------------------

struct FilterFields {
  std::string folder;    // the folder filtered
  std::string min_size;  // a whole number of bytes, e.g. "1024"
};

// Deletes every ".txt" entry of the folder whose size is below `min_size`. Progress texts, in
// this order: "Статус: working...", "Статус: file processing " + n + "...",
// "Статус: " + n + "file(s) deleted" (no blank before "file"), n being the number of
// candidates, counted whether or not their deletion succeeds. `min_size` is converted for
// every entry; when it is no whole number the first entry raises
// "'<min_size>' is not a valid integer value" after the first text, and nothing is deleted.
// A "*.txt" directory counts as size 0 and is never deleted; sizes are 64-bit, so a file of
// 2 GiB or more is never small. Returns n.
//   folder {"a.txt" 10 bytes, "b.txt" 2000 bytes, "c.log" 1 byte}, "1024"
//     -> deletes a.txt; texts "Статус: working...", "Статус: file processing 1...",
//        "Статус: 1file(s) deleted"; returns 1
int FilterSmallFiles(const FilterFields& fields, const ToolProgress& progress);

// ---- Text joiner ----------------------------------------------------------------------------

// The default separator text: 97 hyphen-minus characters.
inline constexpr std::string_view kDefaultSeparator =
    "-----------------------------------------------------------------------------------------"
    "--------";

struct JoinFields {
  std::string folder;          // the folder joined
  std::string output;          // the path of the joined file
  bool use_separator = false;  // "Разделитель"
  std::string separator;       // used whenever use_separator is true (also when empty)
};

// Writes every ".txt" file of the folder, byte for byte and in listing order, into `output`,
// followed by separator + CR LF after each file while use_separator is set. The output file
// is left out of the listing (it is never one of its own inputs). Progress: after file i
// (from 0) "Прогресс: " + i + "/" + N; at the end "Прогресс: " + N + "/" + N + " завершено",
// which the window writes without processing messages (its handler returns right after).
// The output's replacement is created before the first input is read: "Cannot create file
// "<output>". <reason>" when that fails, with nothing joined. An input that cannot be read
// raises "Cannot open file "<path>". <reason>"; the output then holds the inputs before it.
// The output is replaced atomically: until the run ends or fails, the old file stays whole;
// should `progress` throw, the old file stays as it was.
//   {"1.txt" "A", "2.txt" "B"}, separator on and "" -> output "A\r\nB\r\n";
//   texts "Прогресс: 0/2", "Прогресс: 1/2", "Прогресс: 2/2 завершено"
void JoinTexts(const JoinFields& fields, const ToolProgress& progress);

// ---- Text cleaner ----------------------------------------------------------------------------

struct CleanFields {
  std::string folder;  // the folder cleaned
  std::string from;    // start marker, default "&"
  std::string to;      // end marker, default ";"
  std::string word;    // the text that word cleaning removes
};

// One file's text after from-to cleaning, as the file is rewritten: the lines of `text` (split
// at CR, LF or CR LF, up to a NUL byte) joined with CR LF after each; then, while both markers
// occur, the stretch from the first start marker through the next end marker, with every
// identical stretch, becomes one blank. The stretch's inside is ExtractBetween's result
// ("Zero" when the end marker follows at once; the whole tail when no end marker follows), and
// a pass that removes nothing ends the loop. Empty markers never occur. Linear in the size of
// the text.
//   "a &b; c &d; e", "&", ";" -> "a   c   e\r\n"
//   "x &\r\ny; z", "&", ";"   -> "x   z\r\n"
//   "&; &Zero; q", "&", ";"   -> "&;   q\r\n"
[[nodiscard]] std::string CleanFromToText(std::string_view text, std::string_view from,
                                          std::string_view to);

// One file's text after word cleaning: the lines joined with CR LF as above, then every
// occurrence of `word`, left to right and not overlapping, replaced by one blank.
//   "aaa", "aa" -> " a\r\n";  "a\nb", "" -> "a\r\nb\r\n"
[[nodiscard]] std::string CleanWordText(std::string_view text, std::string_view word);

// Rewrites every ".txt" file of the folder with CleanFromToText(from, to), each replaced
// atomically. After file i (from 0): "Прогресс: " + i + " / " + N; at the end
// "Прогресс: " + N + " / " + N + " Все!" on kFromToProgress. A file that cannot be read or
// written (a "*.txt" directory, no permission) raises "Cannot open file ..." or "Cannot create
// file ...": earlier files are rewritten, later ones untouched, no final text.
void CleanFromTo(const CleanFields& fields, const ToolProgress& progress);

// The same with CleanWordText(word), on kWordProgress.
void CleanWords(const CleanFields& fields, const ToolProgress& progress);

// ---- Path maker ----------------------------------------------------------------------------

// The message box of a path maker run that finds no ".txt" entry.
inline const std::string kNoFilesText = Utf8ToCp1251("Файлов нет!");

struct SplitFields {
  std::string folder;      // the folder split into sub-folders
  std::string per_folder;  // files per sub-folder, default "150"
};

// Moves the ".txt" files of the folder, in listing order, into new sub-folders "0", "1", ...
// of it, `per_folder` to each (0: "0" stays empty and all go to "1"; negative: all go to "0").
// `per_folder` is converted once, first: "'<text>' is not a valid integer value", nothing done.
// Returns false, having done nothing, when the folder has no ".txt" entry (the window then
// shows kNoFilesText). A sub-folder that exists already or cannot be created raises
// "I/O error <errno>" (e.g. "I/O error 17" for an existing "0"); files moved before stay moved.
// Each file is moved by rename(2); only where that is refused across file systems (EXDEV) is
// it copied, synced and then deleted. After file i: "Прогресс: " + (i + 1) + " / " + N.
//   3 files, "2" -> "0" holds the first two, "1" the third;
//   texts "Прогресс: 1 / 3", "Прогресс: 2 / 3", "Прогресс: 3 / 3"; returns true
[[nodiscard]] bool SplitIntoFolders(const SplitFields& fields, const ToolProgress& progress);

// ---- Duplicate removal (the "убрать дубли" button on "Текст") ---------------------------------

struct DedupeFields {
  std::string folder;      // the folder of "Фильтр результатов"
  double threshold = 0.9;  // resemblance from which a text counts as a near copy
  bool dry_run = false;    // list the groups, delete nothing
};

// One kept file and the later files that repeat it, by name.
struct DuplicateGroup {
  std::string kept;
  std::vector<std::string> removed;
};

// Reads the ".txt" files of the folder in listing order; a file that repeats a file kept
// before it (the same text with white space folded, or word 3-shingles resembling it at least
// `threshold`, text/near_duplicates.h) is deleted, unless `dry_run`; a file without a match is
// kept. Compared is the text after a leading "<URL>...</URL>" line. Returns the groups in the
// order of their kept files. After file i (from 0): "Прогресс: " + (i + 1) + " / " + N; at the
// end "Прогресс: N / N, дублей: " + removed. A file that cannot be read raises "Cannot open
// file ..."; one that cannot be deleted "I/O error <errno>"; files handled before stay handled.
//   {"1.txt" "a b c d", "2.txt" "a  b\r\nc d", "3.txt" "x"} -> deletes 2.txt;
//   groups {"1.txt", {"2.txt"}}; last text "Прогресс: 3 / 3, дублей: 1"
std::vector<DuplicateGroup> RemoveDuplicateTexts(const DedupeFields& fields,
                                                 const ToolProgress& progress);

}  // namespace korvane
