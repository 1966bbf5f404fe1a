// NormalizeDate: the date and time formats of page metadata read into ISO 8601.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/page_meta.h"

namespace korvane {
namespace {

// Longer texts are no date a source writes; a bound keeps nonsense cheap.
constexpr size_t kLongestDate = 200;

struct Moment {
  Moment() = default;
  Moment(int y, int m, int d) : year(y), month(m), day(d) {}
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = -1;  // -1: no time
  int minute = 0;
  int second = 0;
  std::string offset;  // "", "Z" or "+02:00"
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Reads a text from left to right.
class Cursor {
 public:
  explicit Cursor(std::string_view text, size_t at = 0) : text_(text), at_(at) {}
  [[nodiscard]] size_t At() const { return at_; }
  [[nodiscard]] bool End() const { return at_ >= text_.size(); }
  [[nodiscard]] char Peek(size_t ahead = 0) const {
    return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0';
  }
  void Skip(size_t n = 1) { at_ = std::min(text_.size(), at_ + n); }
  void SkipBlanks() {
    while (!End() && (Peek() == ' ' || Peek() == ',' || Peek() == '\t')) Skip();
  }
  // A run of `min`-`max` digits and no more; nothing (and no move) otherwise.
  std::optional<int> Number(size_t min, size_t max) {
    size_t n = 0;
    while (IsDigit(Peek(n))) ++n;
    if (n < min || n > max) return std::nullopt;
    int value = 0;
    for (size_t k = 0; k < n; ++k) value = value * 10 + (text_[at_ + k] - '0');
    at_ += n;
    return value;
  }
  // The run of letters here, lower case.
  std::string Word() {
    std::string word;
    while (IsLetter(Peek())) {
      word += Lower(Peek());
      Skip();
    }
    return word;
  }
  // Exactly `n` digits, whatever follows them.
  std::optional<int> Digits(size_t n) {
    int value = 0;
    for (size_t k = 0; k < n; ++k) {
      if (!IsDigit(Peek(k))) return std::nullopt;
      value = value * 10 + (Peek(k) - '0');
    }
    at_ += n;
    return value;
  }
  bool Take(char c) {
    if (Peek() != c) return false;
    Skip();
    return true;
  }

 private:
  std::string_view text_;
  size_t at_;
};

// 1-12 for an English month's name or its first three letters (and the German names that
// differ), 0 otherwise.
int MonthOfName(const std::string& word) {
  static constexpr std::array<std::string_view, 12> kNames = {
      "january", "february", "march",     "april",   "may",      "june",
      "july",    "august",   "september", "october", "november", "december"};
  if (word.size() < 3) return 0;
  for (size_t m = 0; m < kNames.size(); ++m) {
    if (kNames[m].starts_with(word) || (word == "sept" && m == 8)) return static_cast<int>(m) + 1;
  }
  static constexpr std::pair<std::string_view, int> kOther[] = {
      {"mai", 5},  {"juni", 6},      {"juli", 7},   {"okt", 10},    {"oktober", 10},
      {"dez", 12}, {"dezember", 12}, {"januar", 1}, {"februar", 2}, {"mrz", 3}};
  for (const auto& [name, month] : kOther) {
    if (word == name) return month;
  }
  return 0;
}

bool ValidDay(int year, int month, int day) {
  if (year < 1900 || year > 2199 || month < 1 || month > 12 || day < 1) return false;
  static constexpr std::array<int, 12> kDays = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[static_cast<size_t>(month - 1)] && (month != 2 || day <= 28 || leap);
}

// An offset after a time: "Z", "+02:00", "+0200", "+02", "GMT", "UTC".
void ReadOffset(Cursor& c, Moment& moment) {
  Cursor look = c;
  while (look.Peek() == ' ') look.Skip();
  if (look.Peek() == 'Z' || look.Peek() == 'z') {
    if (IsLetter(look.Peek(1))) return;
    moment.offset = "Z";
    c = look;
    return;
  }
  if (look.Peek() == '+' || look.Peek() == '-') {
    const char sign = look.Peek();
    look.Skip();
    const auto hours = look.Digits(2);
    if (!hours || *hours > 14) return;
    int minutes = 0;
    const bool colon = look.Take(':');
    if (const auto m = look.Digits(2)) {
      minutes = *m;
    } else if (colon) {
      return;
    }
    if (minutes > 59) return;
    moment.offset = std::string(1, sign) + (*hours < 10 ? "0" : "") + std::to_string(*hours) +
                    (minutes < 10 ? ":0" : ":") + std::to_string(minutes);
    c = look;
    return;
  }
  const std::string word = look.Word();
  if (word == "gmt" || word == "utc") {
    moment.offset = "Z";
    c = look;
    ReadOffset(c, moment);  // "GMT+0200"
    if (moment.offset == "+00:00") moment.offset = "Z";
  }
}

// A time after the date: "T10:00", " 10:00:05.123", "10:00 pm", and its offset.
void ReadTime(Cursor& c, Moment& moment) {
  Cursor look = c;
  if (look.Peek() == 'T' || look.Peek() == 't') {
    look.Skip();
  } else {
    while (look.Peek() == ' ' || look.Peek() == ',' || look.Peek() == '@') look.Skip();
    const std::string word = look.Word();
    if (!word.empty() && word != "at" && word != "um" && word != "a") return;
    while (look.Peek() == ' ') look.Skip();
  }
  const auto hour = look.Number(1, 2);
  if (!hour || !look.Take(':')) return;
  const auto minute = look.Number(2, 2);
  if (!minute) return;
  int second = 0;
  if (look.Peek() == ':') {
    look.Skip();
    const auto s = look.Number(2, 2);
    if (!s) return;
    second = *s;
    if (look.Peek() == '.' || look.Peek() == ',') {
      look.Skip();
      while (IsDigit(look.Peek())) look.Skip();
    }
  }
  int h = *hour;
  Cursor meridiem = look;
  while (meridiem.Peek() == ' ') meridiem.Skip();
  const std::string word = meridiem.Word();
  if (word == "pm" || word == "am") {
    if (h < 1 || h > 12) return;
    h = h % 12 + (word == "pm" ? 12 : 0);
    look = meridiem;
  }
  if (h > 23 || *minute > 59 || second > 60) return;
  moment.hour = h;
  moment.minute = *minute;
  moment.second = second;
  c = look;
  ReadOffset(c, moment);
}

// "2019-05-03", "2019/05/03", "2019.05.03", "20190503" at the cursor.
std::optional<Moment> YearFirst(Cursor& c) {
  Cursor look = c;
  Moment m;
  if (const auto eight = look.Number(8, 8)) {
    m.year = *eight / 10000;
    m.month = *eight / 100 % 100;
    m.day = *eight % 100;
  } else {
    const auto year = look.Number(4, 4);
    const char separator = look.Peek();
    if (!year || (separator != '-' && separator != '/' && separator != '.')) return std::nullopt;
    look.Skip();
    const auto month = look.Number(1, 2);
    if (!month || !look.Take(separator)) return std::nullopt;
    const auto day = look.Number(1, 2);
    if (!day) return std::nullopt;
    m = Moment{*year, *month, *day};
  }
  if (IsDigit(look.Peek())) return std::nullopt;
  c = look;
  return m;
}

// "03.05.2019" (day first), "05/03/2019" (month first unless the first number cannot be one).
std::optional<Moment> DayOrMonthFirst(Cursor& c) {
  Cursor look = c;
  const auto first = look.Number(1, 2);
  const char separator = look.Peek();
  if (!first || (separator != '-' && separator != '/' && separator != '.')) return std::nullopt;
  look.Skip();
  const auto second = look.Number(1, 2);
  if (!second || !look.Take(separator)) return std::nullopt;
  const auto year = look.Number(4, 4);
  if (!year || IsDigit(look.Peek())) return std::nullopt;
  c = look;
  if (separator == '/' && *first <= 12) return Moment{*year, *first, *second};
  return Moment{*year, *second, *first};
}

// "3 May 2019", "3rd of May, 2019", "3. Mai 2019".
std::optional<Moment> DayThenName(Cursor& c) {
  Cursor look = c;
  const auto day = look.Number(1, 2);
  if (!day) return std::nullopt;
  look.Take('.');
  const std::string suffix = look.Word();
  if (!suffix.empty() && suffix != "st" && suffix != "nd" && suffix != "rd" && suffix != "th") {
    return std::nullopt;
  }
  look.SkipBlanks();
  Cursor of = look;
  if (of.Word() == "of") {
    look = of;
    look.SkipBlanks();
  }
  const int month = MonthOfName(look.Word());
  if (month == 0) return std::nullopt;
  look.Take('.');
  look.SkipBlanks();
  const auto year = look.Number(4, 4);
  if (!year || IsDigit(look.Peek())) return std::nullopt;
  c = look;
  return Moment{*year, month, *day};
}

// "May 3, 2019", "May 3rd 2019", "Sept. 3, 2019".
std::optional<Moment> NameThenDay(Cursor& c) {
  Cursor look = c;
  const int month = MonthOfName(look.Word());
  if (month == 0) return std::nullopt;
  look.Take('.');
  look.SkipBlanks();
  const auto day = look.Number(1, 2);  // none in "May 2019": a month is no date
  if (!day) return std::nullopt;
  const std::string suffix = look.Word();
  if (!suffix.empty() && suffix != "st" && suffix != "nd" && suffix != "rd" && suffix != "th") {
    return std::nullopt;
  }
  look.SkipBlanks();
  const auto year = look.Number(4, 4);
  if (!year || IsDigit(look.Peek())) return std::nullopt;
  c = look;
  return Moment{*year, month, *day};
}

std::string TwoDigits(int n) {
  return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string Format(const Moment& m) {
  std::string out = std::to_string(m.year) + "-" + TwoDigits(m.month) + "-" + TwoDigits(m.day);
  if (m.hour < 0) return out;
  out += "T" + TwoDigits(m.hour) + ":" + TwoDigits(m.minute) + ":" + TwoDigits(m.second);
  return out + m.offset;
}

// A date from seconds (10 digits) or milliseconds (13) since 1970, UTC.
std::optional<Moment> FromEpoch(std::string_view digits) {
  int64_t seconds = 0;
  for (const char c : digits.substr(0, 10)) seconds = seconds * 10 + (c - '0');
  int64_t days = seconds / 86400;
  const int64_t rest = seconds % 86400;
  // Days since 1970-01-01 to a civil date.
  days += 719468;
  const int64_t era = days / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  Moment m;
  m.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  m.year = static_cast<int>(yoe + era * 400 + (m.month <= 2 ? 1 : 0));
  m.hour = static_cast<int>(rest / 3600);
  m.minute = static_cast<int>(rest / 60 % 60);
  m.second = static_cast<int>(rest % 60);
  m.offset = "Z";
  return m;
}

// The first date at or after `from` that starts a word or number, in ISO 8601 ("" when it
// names no real day), and where it ends.
std::optional<std::pair<std::string, size_t>> FindDate(std::string_view text, size_t from) {
  for (size_t at = from; at < text.size(); ++at) {
    const char c = text[at];
    const char before = at == 0 ? ' ' : text[at - 1];
    if (IsDigit(before) || IsLetter(before)) continue;
    if (!IsDigit(c) && !IsLetter(c)) continue;
    for (auto* reader : {&YearFirst, &DayThenName, &NameThenDay, &DayOrMonthFirst}) {
      Cursor cursor(text, at);
      auto moment = reader(cursor);
      if (!moment) continue;
      if (!ValidDay(moment->year, moment->month, moment->day)) {
        return std::make_pair(std::string(), std::max(cursor.At(), at + 1));
      }
      ReadTime(cursor, *moment);
      return std::make_pair(Format(*moment), std::max(cursor.At(), at + 1));
    }
  }
  return std::nullopt;
}

}  // namespace

std::string NormalizeDate(std::string_view text) {
  text = text.substr(0, kLongestDate);
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  if ((text.size() == 10 || text.size() == 13) &&
      text.find_first_not_of("0123456789") == std::string_view::npos) {
    const auto m = FromEpoch(text);
    return m && ValidDay(m->year, m->month, m->day) ? Format(*m) : std::string();
  }
  const auto found = FindDate(text, 0);
  return found ? found->first : std::string();
}

std::vector<std::string> DatesIn(std::string_view text) {
  std::vector<std::string> dates;
  for (size_t at = 0; at < text.size();) {
    const auto found = FindDate(text, at);
    if (!found) break;
    if (!found->first.empty()) dates.push_back(found->first.substr(0, 10));
    at = found->second;
  }
  return dates;
}

}  // namespace korvane
