#include "net/ServerText.h"

#include "toolkit/TextCodec.h"

namespace zelvaro {

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
    } else if (const size_t n = c >= 0x80 ? Utf8CharLength(text, i) : 0; n > 0) {
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
