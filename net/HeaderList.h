// THeaderList: header lines "Name: value" as they travel, with names
// compared without regard to case. A line that begins with a blank or a tab
// continues the value of the line before it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelvaro {

class THeaderList {
 public:
  // The fold length for the header lines of a request or response.
  static constexpr size_t kHttpFoldLength = 1024;

  explicit THeaderList(size_t foldLength = 78) : foldLength_(foldLength) {}

  // The value of the first line called `name`, continuation lines joined
  // with one space, trimmed; empty when there is none.
  std::string Value(std::string_view name) const;
  // The values of every line called `name`, in order (Set-Cookie and the
  // like come several times).
  std::vector<std::string> Values(std::string_view name) const;
  bool Has(std::string_view name) const { return IndexOfName(name) >= 0; }

  // Replaces the first line called `name` (and its continuation lines) in
  // place, appends one when absent, deletes it when `value` is empty.
  void SetValue(std::string_view name, std::string_view value);
  // Appends "name: value" even when the name is already present.
  void AddValue(std::string_view name, std::string_view value);
  // Appends one raw line as received (may be a continuation line).
  void Add(std::string line) { lines_.push_back(std::move(line)); }
  void Clear() { lines_.clear(); }

  size_t Count() const { return lines_.size(); }
  const std::vector<std::string>& Lines() const { return lines_; }
  // The index of the first line called `name`, -1 when there is none.
  int IndexOfName(std::string_view name) const;
  // The name of line `index` (empty for a continuation line).
  std::string Name(size_t index) const;

  // Every line folded to the fold length, each followed by CR LF.
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
  size_t foldLength_;
};

// Splits `line` into pieces of at most `foldLength` bytes where it can:
// after a blank, tab or comma that is neither inside double quotes nor part
// of a double-byte character. Pieces after the first begin with one blank.
// A stretch with no such place stays whole.
std::vector<std::string> FoldLine(std::string_view line, size_t foldLength);

// Blanks and tabs (and CR, LF) removed at both ends.
std::string_view Trim(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string UpperCase(std::string_view text);

}  // namespace zelvaro
