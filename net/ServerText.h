// Text a server or proxy sent, made fit for a message: what it sends is
// shown, but never as control characters or broken bytes that would reach a
// message box or a terminal as they are.
#pragma once

#include <string>
#include <string_view>

namespace zelvaro {

// `text` with every control character (below 0x20, and 0x7F) and every byte
// that is not part of a well-formed UTF-8 character written as \xNN; at most
// `limit` bytes of `text` are shown, the rest as "…".
std::string ShownServerText(std::string_view text, size_t limit = 512);

}  // namespace zelvaro
