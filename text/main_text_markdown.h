// The main text's Markdown form: the walk over the article that writes the plain main text,
// written instead as CommonMark with GitHub's pipe tables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/main_text_tree.h"

namespace korvane::main_text {

// Resolves the link `reference` against the page's address `base` as a browser does (RFC
// 3986, section 5.2): "../b?q" against "http://h/x/y/z" -> "http://h/x/b?q". A reference with
// a scheme of its own comes back as written, and so does every reference when `base` has no
// scheme.
[[nodiscard]] std::string ResolveAddress(std::string_view base, std::string_view reference);

// Takes the events of the walk (see Extractor::Walk) and appends their Markdown to `out`.
// `kept` says for each plain line the same walk gives whether the plain main text keeps it
// (1) or drops it (0); a dropped line's words are left out here too, so both forms hold the
// same words. Each plain line is one piece of Markdown: a paragraph, a list item's text, a
// heading, a line of code, or the text of a table cell.
class MarkdownWriter {
 public:
  MarkdownWriter(const Tree& tree, std::string& out, const std::vector<uint8_t>& kept,
                 std::string_view address);
  void Enter(uint32_t node);
  void Leave(uint32_t node);
  void Text(std::string_view text, bool pre);
  void Break();
  void Skip(uint32_t node);
  void Finish();

 private:
  enum class Form : uint8_t { kPipes, kRows, kLayout, kInner };
  enum class LineKind : uint8_t { kNone, kParagraph, kHeading, kRow, kCode };
  struct Container {  // a block quote or a list item
    uint32_t node;
    bool quote;
    bool marker_pending;
    std::string marker;  // "- ", "3. "
  };
  struct List {
    uint32_t node;
    bool ordered;
    uint32_t count;
  };
  enum class SpanState : uint8_t { kClosed, kOpen, kBlocked, kNever };
  struct Span {  // an emphasis, a code span or a link
    uint32_t node;
    uint8_t style;  // a Style, or kLink
    SpanState state;
    size_t at;  // where its opening sign was written
  };
  struct Table {
    uint32_t node = 0;
    Form form = Form::kInner;
    uint32_t columns = 0;
    uint32_t rows = 0;   // rows written since the header
    uint32_t units = 0;  // plain lines written inside it
    // The output as it was before the table, for a table that writes no text at all.
    size_t out_size = 0;
    bool wrote = false;
    LineKind last = LineKind::kNone;
    bool last_in_item = false;
    std::vector<uint32_t> last_containers;
    std::vector<uint8_t> pending;
  };
  static constexpr uint8_t kLink = 4;

  bool InRow() const { return active_table_ != kNone && row_ != 0; }
  bool Joined() const { return InRow() || heading_ != 0; }
  bool InPipes() const { return InRow() && tables_[active_table_].form == Form::kPipes; }
  bool MarkerPending() const;
  bool Tight() const;
  void StartLine(bool tight, LineKind kind);
  void BeginUnit();
  void BlockBoundary();
  size_t WriteEscaped(std::string_view text, size_t k);
  void OpenSpans(char next);
  void CloseSpan(Span& span);
  void CloseOpenSpans(bool unit_end);
  void EnterTable(uint32_t node);
  void LeaveTable(uint32_t node);
  void EnterRow(uint32_t node);
  void LeaveRow();
  void EnterCell(uint32_t node);
  void LeaveCell(uint32_t node);
  Form FormOf(uint32_t table, uint32_t& columns) const;
  void EnterPre(uint32_t node);

  static constexpr size_t kNone = SIZE_MAX;

  const Tree& tree_;
  const std::vector<Node>& nodes_;
  std::string& out_;
  const std::vector<uint8_t>& kept_;
  std::string_view address_;
  const bool separate_;  // the output holds an earlier part of the article

  // The plain line being read.
  size_t lines_ = 0;  // plain lines begun so far
  bool unit_ = false;
  bool dropped_ = false;
  bool space_ = false;
  std::string lead_;  // a code line's blanks before its first character

  // The Markdown being written.
  bool wrote_ = false;  // a line is open
  size_t line_start_ = 0;
  LineKind last_ = LineKind::kNone;
  bool last_in_item_ = false;
  std::vector<uint32_t> last_containers_;  // the quotes and items around the last line
  bool paragraph_open_ = false;            // a paragraph line written since the last block edge
  bool hard_break_ = false;                // a br ended the paragraph's last line
  std::vector<Container> containers_;
  std::vector<List> lists_;
  std::vector<Span> spans_;
  uint32_t heading_ = 0;
  bool heading_line_ = false;
  uint32_t pre_ = 0;
  bool fence_open_ = false;
  size_t blank_code_lines_ = 0;
  std::string fence_;
  std::vector<Table> tables_;
  size_t active_table_ = kNone;
  uint32_t row_ = 0;
  uint32_t cell_ = 0;
  uint32_t cells_ = 0;
  uint32_t cell_units_ = 0;
};

}  // namespace korvane::main_text
