// TUri: a URL taken apart into the pieces the HTTP client works with, and
// put back together. Bytes are Shift_JIS; a backslash that is the second
// byte of a double-byte character is left alone.
#pragma once

#include <string>
#include <string_view>

namespace zelvaro {

class TUri {
 public:
  TUri() = default;
  explicit TUri(std::string_view url) { SetUri(url); }

  // Clears every part, then fills them from `url`. A text with "://" is an
  // absolute address (Path begins with "/"); any other text is relative and
  // fills only Path, Document, Params and Bookmark. Never throws.
  void SetUri(std::string_view url);

  // protocol "://" [user [":" password] "@"] host [":" port] path document
  // params ["#" bookmark]. Throws EUriError when Protocol or Host is empty.
  std::string Uri() const;

  // Path + Document + Params with every byte that may not stand in a request
  // line (controls, blanks, bytes above 0x7E, a few punctuation marks)
  // written as %XX. "%" itself is kept, so an encoded URL stays as it is.
  std::string RequestTarget() const;

  void Clear() { *this = TUri(); }

  std::string Protocol;
  std::string Username;
  std::string Password;
  std::string Host;
  std::string Port;  // text, as written; empty when absent
  std::string Path;  // with leading (absolute form) and trailing "/"
  std::string Document;
  std::string Params;  // from the "?" (or "=") on
  std::string Bookmark;
};

// Removes "." and ".." segments from an absolute path ending in "/"; ".."
// never climbs above the root.
std::string RemoveDotSegments(std::string_view path);

// Whether `c` opens a Shift_JIS double-byte character.
inline bool IsSjisLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace zelvaro
