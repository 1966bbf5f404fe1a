// The main text as Markdown: block structure from the walk's Enter and Leave, the words from
// its Text, the plain lines' fate from the plain writer.
#include "text/main_text_markdown.h"

#include <algorithm>

namespace korvane::main_text {
namespace {

bool IsAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
// A letter or digit for the flanking rules: ASCII ones and every byte beyond ASCII.
bool IsWordByte(char c) {
  return IsAsciiAlpha(c) || IsDigit(c) || static_cast<unsigned char>(c) >= 0x80;
}
bool IsPunctuation(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u > 0x20 && u < 0x7F && !IsWordByte(c);
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The scheme's length with its ":", or 0 when `address` starts with none.
size_t SchemeLength(std::string_view address) {
  if (address.empty() || !IsAsciiAlpha(address[0])) return 0;
  for (size_t k = 1; k < address.size(); ++k) {
    const char c = address[k];
    if (c == ':') return k + 1;
    if (!IsAsciiAlpha(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.') return 0;
  }
  return 0;
}

// RFC 3986's remove_dot_segments.
std::string RemoveDots(std::string_view path) {
  std::string out;
  while (!path.empty()) {
    if (path.starts_with("../")) {
      path.remove_prefix(3);
    } else if (path.starts_with("./")) {
      path.remove_prefix(2);
    } else if (path.starts_with("/./")) {
      path.remove_prefix(2);
    } else if (path == "/.") {
      path = "/";
    } else if (path.starts_with("/../") || path == "/..") {
      path = path.size() == 3 ? std::string_view("/") : path.substr(3);
      const size_t slash = out.rfind('/');
      out.resize(slash == std::string::npos ? 0 : slash);
    } else if (path == "." || path == "..") {
      path = {};
    } else {
      const size_t next = path.find('/', 1);
      const size_t n = next == std::string_view::npos ? path.size() : next;
      out.append(path.substr(0, n));
      path.remove_prefix(n);
    }
  }
  return out;
}

// A link's address as a Markdown destination: the blanks, brackets, backslashes and control
// bytes that would end or change it percent-encoded.
void AppendDestination(std::string& out, std::string_view address) {
  constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : address) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '(' || c == ')' || c == '<' || c == '>' || c == '\\') {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
}

// The longest run of `c` in `text`.
size_t LongestRun(std::string_view text, char c) {
  size_t longest = 0;
  size_t run = 0;
  for (const char each : text) {
    run = each == c ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

}  // namespace

std::string ResolveAddress(std::string_view base, std::string_view reference) {
  while (!reference.empty() && IsBlank(reference.front())) reference.remove_prefix(1);
  while (!reference.empty() && IsBlank(reference.back())) reference.remove_suffix(1);
  const size_t scheme = SchemeLength(base);
  if (scheme == 0 || SchemeLength(reference) != 0) return std::string(reference);
  base = base.substr(0, base.find('#'));
  if (reference.starts_with("//"))
    return std::string(base.substr(0, scheme)) + std::string(reference);
  // The base's authority, path and query.
  size_t path_at = scheme;
  const bool authority = base.substr(scheme).starts_with("//");
  if (authority) {
    path_at = base.find_first_of("/?", scheme + 2);
    if (path_at == std::string_view::npos) path_at = base.size();
  }
  const size_t query_at = std::min(base.find('?', path_at), base.size());
  const std::string_view origin = base.substr(0, path_at);
  const std::string_view path = base.substr(path_at, query_at - path_at);
  if (reference.empty() || reference[0] == '#') return std::string(base) + std::string(reference);
  if (reference[0] == '?') return std::string(base.substr(0, query_at)) + std::string(reference);
  const size_t rest_at = std::min(reference.find_first_of("?#"), reference.size());
  const std::string_view ref_path = reference.substr(0, rest_at);
  std::string merged;
  if (ref_path.starts_with("/")) {
    merged = ref_path;
  } else if (path.empty() && authority) {
    merged = "/" + std::string(ref_path);
  } else {
    const size_t slash = path.rfind('/');
    merged = std::string(path.substr(0, slash == std::string_view::npos ? 0 : slash + 1));
    merged += ref_path;
  }
  return std::string(origin) + RemoveDots(merged) + std::string(reference.substr(rest_at));
}

MarkdownWriter::MarkdownWriter(const Tree& tree, std::string& out, const std::vector<uint8_t>& kept,
                               std::string_view address)
    : tree_(tree),
      nodes_(tree.nodes),
      out_(out),
      kept_(kept),
      address_(address),
      separate_(!out.empty()) {}

bool MarkdownWriter::MarkerPending() const {
  for (const Container& c : containers_) {
    if (c.marker_pending) return true;
  }
  return false;
}

// A new list item right after a line of a list keeps the list tight.
bool MarkdownWriter::Tight() const {
  return MarkerPending() && last_in_item_;
}

// Ends the open line and starts the next: after a blank line unless `tight`, with the block
// quotes' signs and the list items' marker or indent before it.
void MarkdownWriter::StartLine(bool tight, LineKind kind) {
  if (wrote_ || separate_) {
    if (wrote_) out_ += '\n';
    if (!tight || !wrote_) {
      // The blank line stays inside the quotes that hold both lines around it.
      const size_t blank = out_.size();
      for (size_t k = 0; k < containers_.size() && k < last_containers_.size() &&
                         containers_[k].node == last_containers_[k];
           ++k) {
        if (containers_[k].quote) {
          out_ += "> ";
        } else {
          out_.append(containers_[k].marker.size(), ' ');
        }
      }
      while (out_.size() > blank && out_.back() == ' ') out_.pop_back();
      // Indents alone make no line of a quote: a blank line needs none.
      if (out_.find('>', blank) == std::string::npos) out_.resize(blank);
      out_ += '\n';
    }
  }
  last_containers_.clear();
  bool in_item = false;
  for (Container& c : containers_) {
    last_containers_.push_back(c.node);
    if (c.quote) {
      out_ += "> ";
    } else if (c.marker_pending) {
      out_ += c.marker;
      c.marker_pending = false;
    } else {
      out_.append(c.marker.size(), ' ');
    }
    in_item |= !c.quote;
  }
  wrote_ = true;
  line_start_ = out_.size();
  last_ = kind;
  last_in_item_ = in_item;
}

// A plain line has begun: where its Markdown goes.
void MarkdownWriter::BeginUnit() {
  unit_ = true;
  // A line of code stays whole even where the plain text drops it as a date or a caption.
  const bool code = pre_ != 0 && !Joined();
  dropped_ = !code && (lines_ >= kept_.size() || kept_[lines_] == 0);
  ++lines_;
  if (dropped_) return;
  if (active_table_ != kNone) ++tables_[active_table_].units;
  if (InRow()) {
    if (cell_units_++ > 0) out_ += ' ';
    return;
  }
  if (heading_ != 0) {
    if (heading_line_) {
      out_ += ' ';
      return;
    }
    StartLine(Tight(), LineKind::kHeading);
    out_.append(std::clamp<size_t>(nodes_[heading_].level, 1, 6), '#');
    out_ += ' ';
    line_start_ = out_.size();
    heading_line_ = true;
    return;
  }
  if (fence_open_) {
    for (; blank_code_lines_ > 0; --blank_code_lines_) StartLine(true, LineKind::kCode);
    StartLine(true, LineKind::kCode);
    out_ += lead_;
    return;
  }
  if (pre_ != 0) {
    std::string_view language = tree_.Attribute(nodes_[pre_]);
    const uint32_t child = pre_ + 1;
    if (language.empty() && child < nodes_[pre_].end && nodes_[child].style == kCode) {
      language = tree_.Attribute(nodes_[child]);
    }
    StartLine(Tight(), LineKind::kCode);
    out_ += fence_;
    for (const char c : language) {
      if (IsWordByte(c) || c == '+' || c == '#' || c == '.' || c == '_' || c == '-') out_ += c;
    }
    fence_open_ = true;
    StartLine(true, LineKind::kCode);
    out_ += lead_;
    return;
  }
  if (hard_break_ && wrote_ && last_ == LineKind::kParagraph) {
    out_ += '\\';
    StartLine(true, LineKind::kParagraph);
  } else {
    StartLine(Tight(), LineKind::kParagraph);
  }
  hard_break_ = false;
  paragraph_open_ = true;
  if (active_table_ != kNone) tables_[active_table_].rows = 0;  // a header again after it
}

void MarkdownWriter::Text(std::string_view text, bool pre) {
  const bool code = pre && (fence_open_ || (pre_ != 0 && !Joined()));
  for (size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (pre && c == '\n') {
      Break();
      continue;
    }
    if (pre && c == '\r') continue;
    // What begins a line is the plain writer's rule: both count the same lines.
    const bool blank = pre ? c == ' ' || c == '\t' : IsBlank(c);
    if (!unit_ && blank) {
      if (code) lead_ += c;
      continue;
    }
    if (!unit_) BeginUnit();
    if (dropped_) continue;
    if (code) {
      out_ += c;
      continue;
    }
    if (IsBlank(c)) {
      space_ = true;
      continue;
    }
    if (space_) {
      out_ += ' ';
      space_ = false;
    }
    OpenSpans(c);
    k = WriteEscaped(text, k) - 1;
  }
}

// Writes text[k], escaped where Markdown would read it as a sign; returns the next position.
size_t MarkdownWriter::WriteEscaped(std::string_view text, size_t k) {
  const char c = text[k];
  bool in_code = false;
  for (const Span& s : spans_) in_code |= s.style == kCode && s.state == SpanState::kOpen;
  if (in_code) {
    if (c == '|' && InPipes()) out_ += '\\';
    out_ += c;
    return k + 1;
  }
  const bool line_start = out_.size() == line_start_ && !Joined();
  bool escape = false;
  switch (c) {
    case '\\':
    case '`':
    case '*':
    case '<':
    case '[':
    case ']':
    case '~':
      escape = true;
      break;
    case '#':  // but not in a numeric character reference, "&#8211;"
      escape = out_.size() == line_start_ || out_.back() != '&';
      break;
    case '|':
      escape = InPipes();
      break;
    case '_': {
      const bool after_word = out_.size() > line_start_ && IsWordByte(out_.back());
      escape = !after_word || k + 1 == text.size() || !IsWordByte(text[k + 1]);
      break;
    }
    case '&':
      escape = k + 1 == text.size() || IsAsciiAlpha(text[k + 1]);
      break;
    case '>':
    case '-':
    case '+':
    case '=':
      escape = line_start;
      break;
    default:
      if (line_start && IsDigit(c)) {
        // "1." or "1)" would start an ordered list.
        size_t j = k;
        while (j < text.size() && j - k < 10 && IsDigit(text[j])) ++j;
        if (j < text.size() && (text[j] == '.' || text[j] == ')')) {
          out_.append(text.substr(k, j - k));
          out_ += '\\';
          out_ += text[j];
          return j + 1;
        }
      }
      break;
  }
  if (escape) out_ += '\\';
  out_ += c;
  return k + 1;
}

// Writes the opening signs of the spans not yet open in this line, before the character
// `next`. An emphasis that Markdown would not read as one there is left out.
void MarkdownWriter::OpenSpans(char next) {
  for (Span& s : spans_) {
    if (s.state != SpanState::kClosed) continue;
    const char before = out_.size() > line_start_ ? out_.back() : ' ';
    if (s.style == kEmphasis || s.style == kStrong) {
      const bool flanking = !IsPunctuation(next) || before == ' ' || IsPunctuation(before);
      if (!flanking || before == '*') {
        s.state = SpanState::kBlocked;
        continue;
      }
      s.at = out_.size();
      out_ += s.style == kStrong ? "**" : "*";
    } else if (s.style == kLink) {
      if (before == '!') out_.insert(out_.size() - 1, 1, '\\');
      s.at = out_.size();
      out_ += '[';
    } else {
      s.at = out_.size();  // the backticks go in when the span closes
    }
    s.state = SpanState::kOpen;
  }
}

void MarkdownWriter::CloseSpan(Span& s) {
  if (s.state != SpanState::kOpen) return;
  s.state = SpanState::kClosed;
  if (s.style == kEmphasis || s.style == kStrong) {
    const size_t width = s.style == kStrong ? 2 : 1;
    // After punctuation the closing sign would not close when a letter follows.
    if (IsPunctuation(out_.back()) || out_.size() == s.at + width) {
      out_.erase(s.at, width);
    } else {
      out_.append(width, '*');
    }
  } else if (s.style == kLink) {
    out_ += "](";
    AppendDestination(out_, ResolveAddress(address_, tree_.Attribute(nodes_[s.node])));
    out_ += ')';
  } else {
    const std::string_view content = std::string_view(out_).substr(s.at);
    std::string ticks(LongestRun(content, '`') + 1, '`');
    const bool pad = content.front() == '`' || content.back() == '`';
    out_.insert(s.at, pad ? ticks + ' ' : ticks);
    if (pad) out_ += ' ';
    out_ += ticks;
  }
}

// Closes the open spans, innermost first; at a line's end they open again with its next text.
void MarkdownWriter::CloseOpenSpans(bool unit_end) {
  for (auto s = spans_.rbegin(); s != spans_.rend(); ++s) {
    CloseSpan(*s);
    if (unit_end && s->state == SpanState::kBlocked) s->state = SpanState::kClosed;
  }
}

void MarkdownWriter::Break() {
  if (unit_ && !dropped_) CloseOpenSpans(true);
  if (!unit_ && fence_open_) ++blank_code_lines_;
  unit_ = false;
  dropped_ = false;
  space_ = false;
  lead_.clear();
}

void MarkdownWriter::BlockBoundary() {
  if (unit_ && !dropped_) CloseOpenSpans(false);
  paragraph_open_ = false;
  hard_break_ = false;
}

void MarkdownWriter::Enter(uint32_t node) {
  const Node& n = nodes_[node];
  switch (n.kind) {
    case Kind::kA:
    case Kind::kInline: {
      if (n.kind == Kind::kInline && n.style == kPlain) return;
      const uint8_t style = n.kind == Kind::kA ? kLink : n.style;
      bool never = fence_open_ || pre_ != 0;
      for (const Span& s : spans_) {
        never |= s.state != SpanState::kNever && (s.style == style || s.style == kCode);
      }
      if (style == kLink) {
        const std::string_view href = tree_.Attribute(n);
        never |= href.empty() || href[0] == '#' || SchemeLength(href) == 11;  // "javascript:"
      }
      spans_.push_back(Span{node, style, never ? SpanState::kNever : SpanState::kClosed, 0});
      return;
    }
    case Kind::kBr:
      hard_break_ = paragraph_open_ && !Joined();
      return;
    case Kind::kTable:
      BlockBoundary();
      EnterTable(node);
      return;
    case Kind::kTr:
      BlockBoundary();
      EnterRow(node);
      return;
    case Kind::kTd:
    case Kind::kTh:
      BlockBoundary();
      EnterCell(node);
      return;
    case Kind::kText:
    case Kind::kImg:
      return;
    default:
      break;
  }
  BlockBoundary();
  if (n.kind == Kind::kUl || n.kind == Kind::kOl || n.kind == Kind::kMenu) {
    lists_.push_back(List{node, n.kind == Kind::kOl, 0});
  }
  if (Joined()) return;
  if (n.kind == Kind::kBlockquote) {
    containers_.push_back(Container{node, true, false, {}});
  } else if (n.kind == Kind::kLi) {
    const bool ordered = !lists_.empty() && lists_.back().ordered;
    const uint32_t number = lists_.empty() ? 1 : std::min(++lists_.back().count, 999'999'999U);
    containers_.push_back(
        Container{node, false, true, ordered ? std::to_string(number) + ". " : "- "});
  } else if (n.kind == Kind::kHeading && heading_ == 0 && pre_ == 0) {
    heading_ = node;
    heading_line_ = false;
  } else if (n.kind == Kind::kPre && pre_ == 0) {
    EnterPre(node);
  }
}

void MarkdownWriter::EnterPre(uint32_t node) {
  pre_ = node;
  size_t ticks = 0;
  for (uint32_t i = node + 1; i < nodes_[node].end; ++i) {
    if (nodes_[i].kind == Kind::kText)
      ticks = std::max(ticks, LongestRun(tree_.Text(nodes_[i]), '`'));
  }
  fence_.assign(std::max<size_t>(3, ticks + 1), '`');
  fence_open_ = false;
  blank_code_lines_ = 0;
}

void MarkdownWriter::Leave(uint32_t node) {
  const Node& n = nodes_[node];
  if (!spans_.empty() && spans_.back().node == node) {
    if (unit_ && !dropped_) CloseSpan(spans_.back());
    spans_.pop_back();
    return;
  }
  if (n.kind == Kind::kTd || n.kind == Kind::kTh) {
    BlockBoundary();
    LeaveCell(node);
    if (row_ == node) LeaveRow();
    return;
  }
  if (n.kind == Kind::kTr) {
    BlockBoundary();
    if (row_ == node) LeaveRow();
    return;
  }
  if (n.kind == Kind::kTable) {
    BlockBoundary();
    LeaveTable(node);
    return;
  }
  if (n.kind == Kind::kInline || n.kind == Kind::kA || n.kind == Kind::kBr ||
      n.kind == Kind::kImg) {
    return;
  }
  BlockBoundary();
  if (!containers_.empty() && containers_.back().node == node) containers_.pop_back();
  if (!lists_.empty() && lists_.back().node == node) lists_.pop_back();
  if (heading_ == node) {
    heading_ = 0;
    heading_line_ = false;
  }
  if (pre_ == node) {
    if (fence_open_) {
      StartLine(true, LineKind::kCode);
      out_ += fence_;
    }
    pre_ = 0;
    fence_open_ = false;
  }
}

void MarkdownWriter::Skip(uint32_t node) {
  Break();
  const Kind kind = nodes_[node].kind;
  // A row or cell left out stays in the table, empty, so the columns and rows still count.
  if ((kind == Kind::kTd || kind == Kind::kTh) && InRow()) {
    EnterCell(node);
    LeaveCell(node);
  } else if (kind == Kind::kTr) {
    EnterRow(node);
    if (row_ == node) LeaveRow();
  }
  BlockBoundary();
}

// A table of plain cells is written as a pipe table; one with merged cells or a table inside
// one line per row; one that lays out a page, by a heading, pre or quote inside or a single
// cell, as its content.
MarkdownWriter::Form MarkdownWriter::FormOf(uint32_t table, uint32_t& columns) const {
  columns = 0;
  uint32_t cells = 0;
  uint32_t row = 0;
  uint32_t in_row = 0;
  bool rows_form = false;
  for (uint32_t i = table + 1; i < nodes_[table].end; ++i) {
    const Node& n = nodes_[i];
    switch (n.kind) {
      case Kind::kHeading:
      case Kind::kPre:
      case Kind::kBlockquote:
        return Form::kLayout;
      case Kind::kTable:
        rows_form = true;
        break;
      case Kind::kTd:
      case Kind::kTh: {
        ++cells;
        rows_form |= n.spans != 0;
        const uint32_t this_row = nodes_[n.parent].kind == Kind::kTr ? n.parent : i;
        in_row = this_row == row ? in_row + 1 : 1;
        row = this_row;
        columns = std::max(columns, in_row);
        break;
      }
      default:
        break;
    }
  }
  if (cells <= 1) return Form::kLayout;
  return rows_form ? Form::kRows : Form::kPipes;
}

void MarkdownWriter::EnterTable(uint32_t node) {
  Table table;
  table.node = node;
  if (active_table_ == kNone) {
    table.form = heading_ != 0 ? Form::kLayout : FormOf(node, table.columns);
  }
  if (table.form == Form::kPipes || table.form == Form::kRows) {
    table.out_size = out_.size();
    table.wrote = wrote_;
    table.last = last_;
    table.last_in_item = last_in_item_;
    table.last_containers = last_containers_;
    for (const Container& c : containers_) table.pending.push_back(c.marker_pending ? 1 : 0);
    active_table_ = tables_.size();
    row_ = 0;
  }
  tables_.push_back(std::move(table));
}

void MarkdownWriter::LeaveTable(uint32_t node) {
  if (tables_.empty() || tables_.back().node != node) return;
  const Table& table = tables_.back();
  if (active_table_ == tables_.size() - 1) {
    if (table.units == 0) {
      // Nothing of it is text: the table goes, and so do its signs.
      out_.resize(table.out_size);
      wrote_ = table.wrote;
      last_ = table.last;
      last_in_item_ = table.last_in_item;
      last_containers_ = table.last_containers;
      for (size_t k = 0; k < containers_.size() && k < table.pending.size(); ++k) {
        containers_[k].marker_pending = table.pending[k] != 0;
      }
      line_start_ = out_.size();
    }
    active_table_ = kNone;
    row_ = 0;
  }
  tables_.pop_back();
}

void MarkdownWriter::EnterRow(uint32_t node) {
  if (active_table_ == kNone || tables_.back().form == Form::kLayout) return;
  if (active_table_ != tables_.size() - 1) return;  // a table inside a row's cell
  if (row_ != 0) LeaveRow();
  Table& table = tables_[active_table_];
  // Rows written one per line stay lines when rendered: each ends in a hard break.
  if (table.form == Form::kRows && table.rows > 0) out_ += '\\';
  StartLine(table.rows > 0 || Tight(), LineKind::kRow);
  if (table.form == Form::kPipes) out_ += '|';
  row_ = node;
  cell_ = 0;
  cells_ = 0;
  cell_units_ = 0;
}

void MarkdownWriter::LeaveRow() {
  Table& table = tables_[active_table_];
  if (table.form == Form::kPipes) {
    for (; cells_ < table.columns; ++cells_) out_ += "  |";
    if (table.rows == 0) {
      StartLine(true, LineKind::kRow);
      out_ += '|';
      for (uint32_t k = 0; k < table.columns; ++k) out_ += " --- |";
    }
  }
  ++table.rows;
  row_ = 0;
  last_ = LineKind::kRow;
}

void MarkdownWriter::EnterCell(uint32_t node) {
  if (active_table_ == kNone) return;
  if (!InRow()) {
    if (active_table_ != tables_.size() - 1) return;
    EnterRow(node);  // a cell outside any row is a row of its own
  }
  if (tables_[active_table_].form == Form::kPipes) {
    if (cells_ >= tables_[active_table_].columns || active_table_ != tables_.size() - 1) return;
    out_ += ' ';
    cell_ = node;
  } else if (cells_ > 0) {
    out_ += " | ";
  }
  ++cells_;
  cell_units_ = 0;
}

void MarkdownWriter::LeaveCell(uint32_t node) {
  if (cell_ != node || cell_ == 0) return;
  out_ += " |";
  cell_ = 0;
}

void MarkdownWriter::Finish() {
  if (wrote_) out_ += '\n';
}

}  // namespace korvane::main_text
