#include "net/HeaderList.h"

#include "net/Uri.h"

namespace zelvaro {
namespace {

bool IsContinuation(std::string_view line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

}  // namespace

std::string_view Trim(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = AsciiUpper(c);
  return upper;
}

std::string THeaderList::Name(size_t index) const {
  std::string_view line = lines_.at(index);
  if (IsContinuation(line)) return {};
  size_t colon = line.find(':');
  return std::string(Trim(line.substr(0, colon)));
}

int THeaderList::IndexOfName(std::string_view name) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!IsContinuation(lines_[i]) && EqualsIgnoreCase(Name(i), name)) return static_cast<int>(i);
  }
  return -1;
}

std::vector<std::string> THeaderList::Values(std::string_view name) const {
  std::vector<std::string> values;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (IsContinuation(lines_[i]) || !EqualsIgnoreCase(Name(i), name)) continue;
    std::string_view line = lines_[i];
    size_t colon = line.find(':');
    std::string value(colon == std::string_view::npos ? std::string_view()
                                                      : Trim(line.substr(colon + 1)));
    for (size_t k = i + 1; k < lines_.size() && IsContinuation(lines_[k]); ++k) {
      std::string_view more = Trim(lines_[k]);
      if (more.empty()) continue;
      if (!value.empty()) value += ' ';
      value += more;
    }
    values.push_back(std::move(value));
  }
  return values;
}

std::string THeaderList::Value(std::string_view name) const {
  int index = IndexOfName(name);
  if (index < 0) return {};
  // Values() walks every line; the first match is all we need, but header
  // lists are a few dozen lines at most.
  return Values(name).front();
}

void THeaderList::SetValue(std::string_view name, std::string_view value) {
  int index = IndexOfName(name);
  if (index >= 0) {
    size_t end = static_cast<size_t>(index) + 1;
    while (end < lines_.size() && IsContinuation(lines_[end])) ++end;
    lines_.erase(lines_.begin() + index + 1, lines_.begin() + static_cast<ptrdiff_t>(end));
    if (value.empty()) {
      lines_.erase(lines_.begin() + index);
    } else {
      lines_[static_cast<size_t>(index)] = std::string(name) + ": " + std::string(value);
    }
  } else if (!value.empty()) {
    AddValue(name, value);
  }
}

void THeaderList::AddValue(std::string_view name, std::string_view value) {
  lines_.push_back(std::string(name) + ": " + std::string(value));
}

std::string THeaderList::Text() const {
  std::string text;
  for (const std::string& line : lines_) {
    for (const std::string& piece : FoldLine(line, foldLength_)) {
      text += piece;
      text += "\r\n";
    }
  }
  return text;
}

std::vector<std::string> FoldLine(std::string_view line, size_t foldLength) {
  std::vector<std::string> pieces;
  std::string_view rest = line;
  bool continuation = false;
  while (true) {
    size_t limit = foldLength > (continuation ? 1 : 0) ? foldLength - (continuation ? 1 : 0) : 1;
    if (rest.size() <= limit) break;
    // Break after the last allowed place within the limit, or failing that
    // the first one after it.
    size_t lastFit = std::string_view::npos;
    size_t firstBeyond = std::string_view::npos;
    bool quoted = false;
    for (size_t i = 0; i + 1 < rest.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(rest[i]);
      if (IsSjisLeadByte(c)) {
        ++i;
        continue;
      }
      if (c == '"') quoted = !quoted;
      if (quoted || (c != ' ' && c != '\t' && c != ',')) continue;
      if (i + 1 <= limit) {
        lastFit = i + 1;
      } else {
        firstBeyond = i + 1;
        break;
      }
    }
    size_t cut = lastFit != std::string_view::npos ? lastFit : firstBeyond;
    if (cut == std::string_view::npos) break;
    std::string_view head = rest.substr(0, cut);
    std::string_view tail = rest.substr(cut);
    while (!head.empty() && (head.back() == ' ' || head.back() == '\t')) head.remove_suffix(1);
    while (!tail.empty() && (tail.front() == ' ' || tail.front() == '\t')) tail.remove_prefix(1);
    if (head.empty() || tail.empty()) break;
    pieces.push_back((continuation ? " " : "") + std::string(head));
    rest = tail;
    continuation = true;
  }
  pieces.push_back((continuation ? " " : "") + std::string(rest));
  return pieces;
}

}  // namespace zelvaro
