// The four folder tools on golden folders: a folder before, the fields, the folder after, the
// label texts in order and the error text, one table per tool.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/error.h"
#include "support/temp_dir.h"
#include "tools/tools.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// A folder's content: relative path -> bytes; a path ending in "/" is a folder.
using Tree = std::map<std::string, std::string>;

void WriteTree(const TempDir& dir, const Tree& tree) {
  for (const auto& [path, bytes] : tree) {
    if (path.ends_with('/')) {
      fs::create_directories(dir.File(path));
    } else {
      dir.Write(path, bytes);
    }
  }
}

Tree ReadTree(const std::string& root) {
  Tree tree;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    const std::string path = fs::relative(item.path(), root).string();
    if (item.is_directory()) {
      tree[path + "/"] = "";
    } else {
      std::string bytes;
      std::FILE* file = std::fopen(item.path().c_str(), "rb");
      for (int c; file != nullptr && (c = std::fgetc(file)) != EOF;) bytes += static_cast<char>(c);
      if (file != nullptr) std::fclose(file);
      tree[path] = bytes;
    }
  }
  return tree;
}

// Runs a tool, recording its label texts (in UTF-8) and its error text.
struct ToolRun {
  std::vector<std::string> texts;
  std::string error;

  ToolProgress Progress(ToolLabel expected) {
    return [this, expected](ToolLabel label, std::string_view text) {
      EXPECT_EQ(label, expected);
      texts.push_back(Cp1251ToUtf8(text));
    };
  }
  template <class Tool>
  void Catch(Tool tool) {
    try {
      tool();
    } catch (const KorvaneError& e) {
      error = Cp1251ToUtf8(e.what());
    }
  }
};

// Replaces "$" in an expected text by the test's folder.
std::string InFolder(std::string text, const std::string& folder) {
  if (const size_t at = text.find('$'); at != std::string::npos) text.replace(at, 1, folder);
  return text;
}

void MakeReadOnly(const std::string& path) {
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
}

// ---- Small-file filter ----------------------------------------------------------------------

struct FilterCase {
  const char* name;
  Tree before;
  std::string min_size;
  Tree after;
  std::vector<std::string> texts;
  std::string error = "";
};

const std::string k1023(1023, 'x');
const std::string k1024(1024, 'x');

const FilterCase kFilterCases[] = {
    {"threshold boundary, empty file, other extensions, a *.txt folder, letter case",
     {{"1.txt", k1023},
      {"2.txt", k1024},
      {"3.txt", ""},
      {"4.log", "x"},
      {"5.TXT", "x"},
      {"d.txt/", ""}},
     "1024",
     {{"2.txt", k1024}, {"4.log", "x"}, {"d.txt/", ""}},
     {"Статус: working...", "Статус: file processing 4...", "Статус: 4file(s) deleted"}},
    {"threshold 0 deletes nothing",
     {{"1.txt", ""}},
     "0",
     {{"1.txt", ""}},
     {"Статус: working...", "Статус: file processing 0...", "Статус: 0file(s) deleted"}},
    {"negative threshold deletes nothing",
     {{"1.txt", ""}},
     " -5",
     {{"1.txt", ""}},
     {"Статус: working...", "Статус: file processing 0...", "Статус: 0file(s) deleted"}},
    {"a threshold that is no number stops at the first entry",
     {{"1.txt", ""}},
     "1k",
     {{"1.txt", ""}},
     {"Статус: working..."},
     "'1k' is not a valid integer value"},
    {"a threshold that is no number is never read without entries",
     {{"a.log", ""}},
     "1k",
     {{"a.log", ""}},
     {"Статус: working...", "Статус: file processing 0...", "Статус: 0file(s) deleted"}},
};

TEST(SmallFileFilter, GoldenFolders) {
  for (const FilterCase& c : kFilterCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteTree(dir, c.before);
    ToolRun run;
    run.Catch([&] {
      FilterSmallFiles({dir.path(), Utf8ToCp1251(c.min_size)},
                       run.Progress(ToolLabel::kFilterStatus));
    });
    EXPECT_EQ(ReadTree(dir.path()), c.after);
    EXPECT_EQ(run.texts, c.texts);
    EXPECT_EQ(run.error, c.error);
  }
}

TEST(SmallFileFilter, CountsButKeepsAReadOnlyFileAndAMissingFolderCountsZero) {
  TempDir dir;
  dir.Write("1.txt", "x");
  MakeReadOnly(dir.File("1.txt"));
  EXPECT_EQ(FilterSmallFiles({dir.path(), "10"}, [](ToolLabel, std::string_view) {}), 1);
  EXPECT_TRUE(dir.Exists("1.txt"));
  EXPECT_EQ(FilterSmallFiles({dir.File("missing"), "10"}, [](ToolLabel, std::string_view) {}), 0);
}

TEST(SmallFileFilter, NeverDeletesAFileOf2GiBOrMore) {
  TempDir dir;
  // Sparse files: 2 GiB, and 4 GiB + 10 bytes, whose low 32 bits read as 10.
  for (const auto& [name, size] :
       {std::pair{"big.txt", off_t{1} << 31}, std::pair{"wrap.txt", (off_t{1} << 32) + 10}}) {
    const int fd = ::open(dir.File(name).c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
  }
  EXPECT_EQ(FilterSmallFiles({dir.path(), "2147483647"}, [](ToolLabel, std::string_view) {}), 0);
  EXPECT_TRUE(dir.Exists("big.txt"));
  EXPECT_TRUE(dir.Exists("wrap.txt"));
}

// ---- Text joiner ----------------------------------------------------------------------------

struct JoinCase {
  const char* name;
  Tree before;
  std::string output;  // relative to the folder's parent
  bool use_separator;
  std::string separator;
  Tree after;  // of the folder's parent; the input folder is "in"
  std::vector<std::string> texts;
  std::string error = "";
};

const JoinCase kJoinCases[] = {
    {"separator on and empty, in natural order",
     {{"in/10.txt", "B"}, {"in/2.txt", "A"}},
     "out.txt",
     true,
     "",
     {{"in/", ""}, {"in/10.txt", "B"}, {"in/2.txt", "A"}, {"out.txt", "A\r\nB\r\n"}},
     {"Прогресс: 0/2", "Прогресс: 1/2", "Прогресс: 2/2 завершено"}},
    {"separator off: bytes unchanged, a *.TXT name too",
     {{"in/1.txt", "a\nb"}, {"in/2.TXT", "\r\r"}, {"in/x.log", "no"}},
     "out.txt",
     false,
     "-",
     {{"in/", ""},
      {"in/1.txt", "a\nb"},
      {"in/2.TXT", "\r\r"},
      {"in/x.log", "no"},
      {"out.txt", "a\nb\r\r"}},
     {"Прогресс: 0/2", "Прогресс: 1/2", "Прогресс: 2/2 завершено"}},
    {"an empty file still gets its separator, which follows the last line directly",
     {{"in/1.txt", ""}, {"in/2.txt", "x"}},
     "out.txt",
     true,
     "--",
     {{"in/", ""}, {"in/1.txt", ""}, {"in/2.txt", "x"}, {"out.txt", "--\r\nx--\r\n"}},
     {"Прогресс: 0/2", "Прогресс: 1/2", "Прогресс: 2/2 завершено"}},
    {"no files: an existing output is emptied",
     {{"in/", ""}, {"out.txt", "old"}},
     "out.txt",
     true,
     "",
     {{"in/", ""}, {"out.txt", ""}},
     {"Прогресс: 0/0 завершено"}},
    {"the output inside the folder is left out of the inputs",
     {{"in/1.txt", "A"}, {"in/union.txt", "old"}},
     "in/union.txt",
     false,
     "",
     {{"in/", ""}, {"in/1.txt", "A"}, {"in/union.txt", "A"}},
     {"Прогресс: 0/1", "Прогресс: 1/1 завершено"}},
    {"an output that cannot be created joins nothing",
     {{"in/1.txt", "A"}},
     "no/out.txt",
     false,
     "",
     {{"in/", ""}, {"in/1.txt", "A"}},
     {},
     "Cannot create file \"$/no/out.txt\". No such file or directory"},
    {"an input that cannot be read stops the join after the inputs before it",
     {{"in/1.txt", "A"}, {"in/2.txt/", ""}, {"in/3.txt", "C"}},
     "out.txt",
     true,
     "",
     {{"in/", ""}, {"in/1.txt", "A"}, {"in/2.txt/", ""}, {"in/3.txt", "C"}, {"out.txt", "A\r\n"}},
     {"Прогресс: 0/3"},
     "Cannot open file \"$/in/2.txt\". Is a directory"},
};

TEST(TextJoiner, GoldenFolders) {
  for (const JoinCase& c : kJoinCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteTree(dir, c.before);
    ToolRun run;
    run.Catch([&] {
      JoinTexts({dir.File("in"), dir.File(c.output), c.use_separator, c.separator},
                run.Progress(ToolLabel::kJoinProgress));
    });
    EXPECT_EQ(ReadTree(dir.path()), c.after);
    EXPECT_EQ(run.texts, c.texts);
    EXPECT_EQ(run.error, InFolder(c.error, dir.path()));
  }
}

TEST(TextJoiner, ReadsTheSeparatorSwitchAtEveryFile) {
  TempDir dir;
  dir.Write("1.txt", "A");
  dir.Write("2.txt", "B");
  JoinFields fields{dir.path(), dir.File("out"), false, "|"};
  JoinTexts(fields, [&](ToolLabel, std::string_view) { fields.use_separator = true; });
  EXPECT_EQ(dir.Read("out"), "AB|\r\n");
}

// ---- Text cleaner ---------------------------------------------------------------------------

struct FromToCase {
  std::string_view text, from, to, cleaned;
};

const FromToCase kFromToCases[] = {
    {"a &b; c &d; e", "&", ";", "a   c   e\r\n"},
    {"1&x;2&x;3", "&", ";", "1 2 3\r\n"},                          // identical stretches, one pass
    {"top &\r\nmiddle\r\nend; tail", "&", ";", "top   tail\r\n"},  // lines joined by the blank
    {"a &b; c", "", ";", "a &b; c\r\n"},                           // an empty marker never occurs
    {"a &b; c", "&", "", "a &b; c\r\n"},
    {"no break", "&", ";", "no break\r\n"},
    {"x; &y", "&", ";", "x; &y\r\n"},             // end marker only before: loop ends
    {"&; &x; &Zero;", "&", ";", "&; &x;  \r\n"},  // end right after start: one "Zero" pass
    {"&;&;", "&", ";", "&;&;\r\n"},               // nothing to remove: loop ends
    {"<<a>b>", "<", ">", " b>\r\n"},
    {"aaa;", "aa", ";", " \r\n"},  // a self-overlapping marker
    {"a\nb\r\n\r\nc\rd", "&", ";", "a\r\nb\r\n\r\nc\r\nd\r\n"},
    {"", "&", ";", ""},
};

TEST(TextCleaner, FromToCleaningOfOneText) {
  for (const FromToCase& c : kFromToCases) {
    EXPECT_EQ(CleanFromToText(c.text, c.from, c.to), c.cleaned)
        << c.text << " from " << c.from << " to " << c.to;
  }
}

TEST(TextCleaner, WordCleaningOfOneText) {
  const std::pair<std::string_view, std::string_view> cases[][2] = {
      {{"aaa", "aa"}, {" a\r\n", ""}},
      {{"a\nb", ""}, {"a\r\nb\r\n", ""}},
      {{"one two one", "one"}, {"  two  \r\n", ""}},
      {{"a\r\nb", "\r"}, {"a \r\nb \r\n", ""}},  // every CR goes, the buffer mends the breaks
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CleanWordText(c[0].first, c[0].second), c[1].first) << c[0].first;
  }
}

TEST(TextCleaner, RewritesEveryFileWithProgress) {
  TempDir dir;
  WriteTree(dir, {{"1.txt", "a &b; c"}, {"2.txt", "x"}, {"3.log", "a &b; c"}});
  ToolRun run;
  CleanFromTo({dir.path(), "&", ";", ""}, run.Progress(ToolLabel::kFromToProgress));
  EXPECT_EQ(ReadTree(dir.path()),
            (Tree{{"1.txt", "a   c\r\n"}, {"2.txt", "x\r\n"}, {"3.log", "a &b; c"}}));
  EXPECT_EQ(run.texts, (std::vector<std::string>{"Прогресс: 0 / 2", "Прогресс: 1 / 2",
                                                 "Прогресс: 2 / 2 Все!"}));

  ToolRun words;
  CleanWords({dir.path(), "", "", "x"}, words.Progress(ToolLabel::kWordProgress));
  EXPECT_EQ(dir.Read("2.txt"), " \r\n");
  EXPECT_EQ(words.texts.back(), "Прогресс: 2 / 2 Все!");

  ToolRun none;
  CleanWords({dir.File("missing"), "", "", "x"}, none.Progress(ToolLabel::kWordProgress));
  EXPECT_EQ(none.texts, (std::vector<std::string>{"Прогресс: 0 / 0 Все!"}));
}

TEST(TextCleaner, StopsAtAFileItCannotRewriteAndKeepsItWhole) {
  const std::pair<const char*, std::string> cases[] = {
      {"folder", "Cannot open file \"$/2.txt\". Is a directory"},
      {"read-only", "Cannot create file \"$/2.txt\". Permission denied"},
  };
  for (const auto& [kind, error] : cases) {
    SCOPED_TRACE(kind);
    TempDir dir;
    WriteTree(dir, {{"1.txt", "a&b;"}, {"3.txt", "c&d;"}});
    if (std::string_view(kind) == "folder") {
      WriteTree(dir, {{"2.txt/", ""}});
    } else {
      dir.Write("2.txt", "b&c;");
      MakeReadOnly(dir.File("2.txt"));
    }
    ToolRun run;
    run.Catch([&] {
      CleanFromTo({dir.path(), "&", ";", ""}, run.Progress(ToolLabel::kFromToProgress));
    });
    EXPECT_EQ(run.error, InFolder(error, dir.path()));
    EXPECT_EQ(run.texts, (std::vector<std::string>{"Прогресс: 0 / 3"}));
    EXPECT_EQ(dir.Read("1.txt"), "a \r\n");
    EXPECT_EQ(dir.Read("3.txt"), "c&d;");
    if (std::string_view(kind) != "folder") {
      EXPECT_EQ(dir.Read("2.txt"), "b&c;");
    }
    EXPECT_EQ(ReadTree(dir.path()).size(), 3u);  // no temporary file left behind
  }
}

// ---- Path maker -----------------------------------------------------------------------------

// `count` files "1.txt", "2.txt", ... holding their own names.
Tree NumberedFiles(int count) {
  Tree tree;
  for (int i = 1; i <= count; ++i) tree[std::to_string(i) + ".txt"] = std::to_string(i);
  return tree;
}

// How many files each sub-folder holds, and how many stayed at the top ("").
std::map<std::string, int> FilesPerFolder(const std::string& root) {
  std::map<std::string, int> counts;
  for (const auto& [path, bytes] : ReadTree(root)) {
    const size_t slash = path.find('/');
    if (slash == path.size() - 1) {
      counts.try_emplace(path.substr(0, slash), 0);
    } else {
      ++counts[slash == std::string::npos ? "" : path.substr(0, slash)];
    }
  }
  return counts;
}

struct SplitCase {
  const char* name;
  int files;
  std::string per;
  std::map<std::string, int> counts;
};

const SplitCase kSplitCases[] = {
    {"301 files by 150", 301, "150", {{"0", 150}, {"1", 150}, {"2", 1}}},
    {"exactly 150 by 150", 150, "150", {{"0", 150}}},
    {"per 0 leaves 0 empty", 3, "0", {{"0", 0}, {"1", 3}}},
    {"per negative puts all in 0", 3, "-2", {{"0", 3}}},
};

TEST(PathMaker, DistributesIntoNumberedFolders) {
  for (const SplitCase& c : kSplitCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteTree(dir, NumberedFiles(c.files));
    EXPECT_TRUE(SplitIntoFolders({dir.path(), c.per}, [](ToolLabel, std::string_view) {}));
    EXPECT_EQ(FilesPerFolder(dir.path()), c.counts);
  }
}

TEST(PathMaker, KeepsListOrderCountsFromOneAndMovesByRename) {
  TempDir dir;
  WriteTree(dir, NumberedFiles(3));
  struct stat before {};
  ASSERT_EQ(::stat(dir.File("3.txt").c_str(), &before), 0);
  ToolRun run;
  EXPECT_TRUE(SplitIntoFolders({dir.path(), "2"}, run.Progress(ToolLabel::kSplitProgress)));
  EXPECT_EQ(ReadTree(dir.path()),
            (Tree{{"0/", ""}, {"0/1.txt", "1"}, {"0/2.txt", "2"}, {"1/", ""}, {"1/3.txt", "3"}}));
  EXPECT_EQ(run.texts,
            (std::vector<std::string>{"Прогресс: 1 / 3", "Прогресс: 2 / 3", "Прогресс: 3 / 3"}));
  struct stat after {};
  ASSERT_EQ(::stat(dir.File("1/3.txt").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // the same file, not a copy
}

struct SplitFailure {
  const char* name;
  Tree before;
  std::string per;
  Tree after;
  std::string error;
};

const SplitFailure kSplitFailures[] = {
    {"an existing 0 moves nothing",
     {{"1.txt", "1"}, {"0/", ""}},
     "150",
     {{"1.txt", "1"}, {"0/", ""}},
     "I/O error 17"},
    {"an existing later folder keeps the files moved before",
     {{"1.txt", "1"}, {"2.txt", "2"}, {"1/", ""}},
     "1",
     {{"0/", ""}, {"0/1.txt", "1"}, {"1/", ""}, {"2.txt", "2"}},
     "I/O error 17"},
    {"a per count that is no number does nothing",
     {{"1.txt", "1"}},
     "x",
     {{"1.txt", "1"}},
     "'x' is not a valid integer value"},
    {"a *.txt folder stops the run and stays",
     {{"1.txt", "1"}, {"2.txt/", ""}},
     "5",
     {{"0/", ""}, {"0/1.txt", "1"}, {"2.txt/", ""}},
     "Cannot open file \"$/2.txt\". Is a directory"},
};

TEST(PathMaker, StopsAtTheFirstFailure) {
  for (const SplitFailure& c : kSplitFailures) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteTree(dir, c.before);
    ToolRun run;
    run.Catch([&] {
      (void)SplitIntoFolders({dir.path(), c.per}, run.Progress(ToolLabel::kSplitProgress));
    });
    EXPECT_EQ(ReadTree(dir.path()), c.after);
    EXPECT_EQ(run.error, InFolder(c.error, dir.path()));
  }
}

TEST(PathMaker, ReportsNoFilesAndDoesNothing) {
  TempDir dir;
  WriteTree(dir, {{"a.log", ""}});
  // The count is read first, files or not.
  EXPECT_THROW((void)SplitIntoFolders({dir.path(), "x"}, [](ToolLabel, std::string_view) {}),
               KorvaneError);
  EXPECT_FALSE(SplitIntoFolders({dir.path(), "150"}, [](ToolLabel, std::string_view) {}));
  EXPECT_FALSE(SplitIntoFolders({dir.File("missing"), "150"}, [](ToolLabel, std::string_view) {}));
  EXPECT_EQ(ReadTree(dir.path()), (Tree{{"a.log", ""}}));
  EXPECT_EQ(Cp1251ToUtf8(kNoFilesText), "Файлов нет!");
}

// ---- Every tool ----------------------------------------------------------------------------

int OpenDescriptors() {
  return static_cast<int>(
      std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

TEST(FolderTools, ReleaseEveryFileWhenAStepFails) {
  TempDir dir;
  WriteTree(dir, {{"1.txt", "a&b;"}, {"2.txt/", ""}, {"3.txt", "c"}});
  const int before = OpenDescriptors();
  const auto silent = [](ToolLabel, std::string_view) {};
  for (int round = 0; round < 3; ++round) {
    EXPECT_THROW(JoinTexts({dir.path(), dir.File("out"), true, ""}, silent), KorvaneError);
    EXPECT_THROW(CleanFromTo({dir.path(), "&", ";", ""}, silent), KorvaneError);
    EXPECT_THROW(JoinTexts({dir.path(), dir.File("no/out"), false, ""}, silent), KorvaneError);
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace korvane
