// A fresh temporary folder per test, optionally made the working folder for its lifetime.
#pragma once

#include <string>
#include <string_view>

namespace korvane::testing {

class TempDir {
 public:
  // Creates a new empty folder under $TMPDIR (or /tmp); with `enter`, changes into it and
  // changes back on destruction.
  explicit TempDir(bool enter = false);
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  [[nodiscard]] const std::string& path() const { return path_; }
  // path() + "/" + name
  [[nodiscard]] std::string File(std::string_view name) const;
  // Writes `bytes` to path()/name, creating the folders on the way.
  void Write(std::string_view name, std::string_view bytes) const;
  // The bytes of path()/name; fails the test when it cannot be read.
  [[nodiscard]] std::string Read(std::string_view name) const;
  [[nodiscard]] bool Exists(std::string_view name) const;

 private:
  std::string path_;
  std::string previous_cwd_;
};

}  // namespace korvane::testing
