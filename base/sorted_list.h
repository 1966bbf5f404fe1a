// The sorted text list: ascending order ignoring letter case, duplicates dropped.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text_lines.h"

namespace korvane {

// Lines kept in ascending order under CompareNoCase1251. Adding a line equal to one present
// (letter case ignored) changes nothing, so the spelling that came first stays.
//
// The lines live in blocks of a few hundred, and a block's storage is its saved text itself:
// its lines, each followed by CR LF, with the offset of every line beside it. An add or a
// removal costs a binary search plus a block-sized move; a save writes the block texts as they
// stand, without joining anything.
//
// A line may carry a mark. The marked lines form a second sorted list over the same bytes
// (the crawl keeps its queue of waiting addresses so: every queued address is a seen one).
//
// Not thread-safe; the owner serialises. A Snapshot lets another thread read the saved text
// of one moment while the owner goes on changing the list.
class SortedList {
 public:
  struct Less {
    bool operator()(std::string_view a, std::string_view b) const;
  };

  // The saved text of the list at the moment it was taken, in consecutive pieces. The list
  // copies a block before it changes one that a snapshot still holds, so the pieces stay valid
  // and unchanged for the snapshot's life, whatever the list does meanwhile. Take, copy and
  // drop snapshots on the owner's thread; the pieces may be read on any thread meanwhile.
  class Snapshot {
   public:
    [[nodiscard]] const std::vector<std::string_view>& Pieces() const { return pieces_; }

   private:
    friend class SortedList;
    std::vector<std::shared_ptr<const std::string>> texts_;
    std::vector<std::string_view> pieces_;
  };

  SortedList() = default;
  // A copy shares the block texts until either list changes one.
  SortedList(const SortedList& other);
  SortedList& operator=(const SortedList& other);
  SortedList(SortedList&&) noexcept = default;
  SortedList& operator=(SortedList&&) noexcept = default;
  ~SortedList() = default;

  // Returns true when the line was new and has been added; a new line is marked when
  // `marked` is true.
  bool Add(std::string_view line, bool marked = false);
  void AddAll(const Lines& lines);
  // Adds each line in turn, as Add does; a line that is new is marked when `mark_new(line)`
  // says so, and only a new line is asked about. Returns how many lines were new.
  size_t AddEach(const std::vector<std::string>& lines,
                 const std::function<bool(std::string_view)>& mark_new);
  [[nodiscard]] bool Contains(std::string_view line) const;
  [[nodiscard]] size_t Count() const { return count_; }
  [[nodiscard]] bool Empty() const { return count_ == 0; }
  // Line 0, the alphabetically first. The list must not be empty.
  [[nodiscard]] std::string_view First() const { return blocks_.front()->first; }
  // Removes and returns line 0. The list must not be empty.
  std::string TakeFirst();
  void Clear();

  // Every line followed by CR LF, the last one included: what a save writes.
  [[nodiscard]] std::string Text() const;
  // The same text in consecutive pieces, valid until the list next changes.
  [[nodiscard]] std::vector<std::string_view> TextPieces() const;
  // The same text, kept unchanged for as long as the snapshot lives. Costs one pointer per
  // block; nothing is copied until the list changes a block the snapshot holds.
  [[nodiscard]] Snapshot TakeSnapshot() const;
  [[nodiscard]] Lines ToLines() const;

  // Marks the line, adding it (marked) when the list lacks it. True when the marked lines
  // have grown, false when the line was marked already.
  bool Mark(std::string_view line);
  [[nodiscard]] size_t MarkedCount() const { return marked_; }
  // The alphabetically first marked line. There must be one.
  [[nodiscard]] std::string_view FirstMarked() const;
  // Unmarks the first marked line and returns it; the line stays in the list.
  std::string TakeFirstMarked();
  // Unmarks every line.
  void ClearMarks();
  // The marked lines in order.
  [[nodiscard]] Lines MarkedLines() const;

 private:
  static constexpr size_t kBlockLines = 64;  // a block splits when it reaches twice this
  static constexpr uint64_t kMarkBit = uint64_t{1} << 63;

  struct Block {
    std::shared_ptr<std::string> text = std::make_shared<std::string>();
    // Where each line begins in `text`; kMarkBit set for a marked line.
    std::vector<uint64_t> starts;
    size_t marked = 0;
    // Line 0, kept beside the block so the search over blocks reads one text per step.
    std::string_view first;
    // Every line's first `prefix` bytes fold alike, and keys[i] packs the folded bytes of line
    // i that follow them: the search within the block compares keys, and reads a line only
    // where the keys are equal.
    size_t prefix = 0;
    std::vector<uint32_t> keys;
  };

  // A line being searched for, with its first bytes folded once for the whole search.
  struct Probe;

  [[nodiscard]] static std::string_view LineAt(const Block& block, size_t i);
  // The first index in block `b` whose line is not below `line`, and whether it is `line`.
  [[nodiscard]] std::pair<size_t, bool> Locate(size_t b, const Probe& probe) const;
  // The block that holds `line` or would receive it.
  [[nodiscard]] size_t BlockFor(const Probe& probe) const;
  // Where `line` is or would go: its block and its index there; `found` when present.
  struct Place {
    size_t block;
    size_t index;
    bool found;
  };
  [[nodiscard]] Place Find(std::string_view line) const;
  // The block's text, copied first when a snapshot shares it.
  static std::string& WritableText(Block& block, size_t extra);
  // Takes the block's common prefix and every key afresh.
  static void Rekey(Block& block);
  // Updates the block's `first` and its head after a change of block `b`.
  void Refresh(size_t b);
  // The sign of comparing `line` with the first line of block `b`, read from its head when
  // that decides it.
  [[nodiscard]] int CompareToFirst(const Probe& probe, size_t b) const;
  void Insert(const Place& place, std::string_view line, bool marked);
  void Erase(size_t b, size_t i);
  void SplitIfFull(size_t b);
  [[nodiscard]] size_t FirstMarkedBlock() const;

  // The start of each block's first line, folded, side by side in one array: the search over
  // blocks compares these few hundred kilobytes bytewise, and reads no line in a block it
  // passes.
  struct Head {
    static constexpr size_t kBytes = 56;
    std::array<char, kBytes> bytes;
    uint64_t size;  // of the whole line
  };
  struct Probe {
    explicit Probe(std::string_view text);
    std::string_view line;
    std::array<char, Head::kBytes> folded;  // the first bytes of `line`, folded
  };

  // Blocks are held by pointer so that a split moves pointers, not records, along the list.
  std::vector<std::unique_ptr<Block>> blocks_;
  std::vector<Head> heads_;  // one per block
  size_t count_ = 0;
  size_t marked_ = 0;
  // Every block before this one has no marked line.
  mutable size_t marked_from_ = 0;
};

}  // namespace korvane
