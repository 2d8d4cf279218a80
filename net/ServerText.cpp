#include "net/ServerText.h"

namespace zelvaro {
namespace {

// The length of the well-formed UTF-8 character at `text[i]`, or 0.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  size_t n;
  unsigned char low = 0x80, high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < n; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return n;
}

}  // namespace

std::string ShownServerText(std::string_view text, size_t limit) {
  static constexpr char kHex[] = "0123456789abcdef";
  const bool cut = text.size() > limit;
  if (cut) text = text.substr(0, limit);
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      shown += static_cast<char>(c);
      ++i;
    } else if (const size_t n = c >= 0x80 ? Utf8Length(text, i) : 0; n > 0) {
      shown.append(text.substr(i, n));
      i += n;
    } else {
      shown += "\\x";
      shown += kHex[c >> 4];
      shown += kHex[c & 15];
      ++i;
    }
  }
  if (cut) shown += "…";
  return shown;
}

}  // namespace zelvaro
