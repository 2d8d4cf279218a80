#include "net/Uri.h"

#include <vector>

#include "net/NetErrors.h"

namespace zelvaro {
namespace {

// Splits `rest` (the text after the authority, or a relative address) into
// path, document, params and bookmark.
void SplitLocation(std::string_view rest, bool absolute, TUri& uri) {
  size_t q = rest.find('?');
  if (q == std::string_view::npos) q = rest.find('=');
  std::string_view beforeQuery = rest.substr(0, q);
  size_t slash = beforeQuery.rfind('/');
  std::string_view path =
      slash == std::string_view::npos ? std::string_view() : rest.substr(0, slash + 1);
  size_t docStart = slash == std::string_view::npos ? 0 : slash + 1;
  uri.Path = absolute ? "/" + std::string(path) : std::string(path);
  uri.Document = std::string(beforeQuery.substr(docStart));
  uri.Params = q == std::string_view::npos ? std::string() : std::string(rest.substr(q));

  if (size_t hash = uri.Document.find('#'); hash != std::string::npos) {
    uri.Bookmark = uri.Document.substr(hash + 1);
    uri.Document.resize(hash);
  } else if (size_t hash = uri.Params.find('#'); hash != std::string::npos) {
    uri.Bookmark = uri.Params.substr(hash + 1);
    uri.Params.resize(hash);
  }
}

}  // namespace

void TUri::SetUri(std::string_view url) {
  Clear();
  std::string text(url);
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsSjisLeadByte(c)) {
      ++i;  // the next byte belongs to this character
    } else if (c == '\\') {
      text[i] = '/';
    }
  }

  std::string_view rest = text;
  if (rest.starts_with("//")) {
    // A scheme-relative address ("//host/path"): the host is given, the
    // scheme is the one of the address it is read against.
    rest.remove_prefix(2);
  } else {
    size_t scheme = rest.find("://");
    if (scheme == std::string_view::npos) {
      SplitLocation(rest, false, *this);
      return;
    }
    Protocol = std::string(rest.substr(0, scheme));
    rest.remove_prefix(scheme + 3);
  }
  size_t slash = rest.find('/');
  std::string_view authority = rest.substr(0, slash);
  rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);

  if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
    std::string_view userInfo = authority.substr(0, at);
    authority.remove_prefix(at + 1);
    size_t colon = userInfo.find(':');
    Username = std::string(userInfo.substr(0, colon));
    if (colon != std::string_view::npos && !Username.empty()) {
      Password = std::string(userInfo.substr(colon + 1));
    }
  }
  // An IPv6 literal keeps its colons inside the brackets.
  size_t searchFrom = 0;
  if (!authority.empty() && authority[0] == '[') {
    size_t close = authority.find(']');
    searchFrom = close == std::string_view::npos ? authority.size() : close;
  }
  size_t colon = authority.find(':', searchFrom);
  Host = std::string(authority.substr(0, colon));
  if (colon != std::string_view::npos) Port = std::string(authority.substr(colon + 1));
  SplitLocation(rest, true, *this);
}

std::string TUri::Uri() const {
  if (Protocol.empty()) throw EUriError("Protocol field is empty");
  if (Host.empty()) throw EUriError("Host field is empty");
  std::string url = Protocol + "://";
  if (!Username.empty()) {
    url += Username;
    if (!Password.empty()) url += ":" + Password;
    url += "@";
  }
  url += Host;
  if (!Port.empty()) url += ":" + Port;
  url += Path + Document + Params;
  if (!Bookmark.empty()) url += "#" + Bookmark;
  return url;
}

std::string TUri::RequestTarget() const {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string raw = Path + Document + Params;
  std::string target;
  target.reserve(raw.size());
  for (char ch : raw) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool unsafe = c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' ||
                  c == '^' || c == '`' || c == '{' || c == '|' || c == '}';
    if (unsafe) {
      target += '%';
      target += kHex[c >> 4];
      target += kHex[c & 15];
    } else {
      target += ch;
    }
  }
  return target;
}

std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> segments;
  size_t pos = 0;
  while (pos < path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    std::string_view segment = path.substr(pos, end - pos);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    pos = end + 1;
  }
  std::string result = "/";
  for (std::string_view segment : segments) {
    result += segment;
    result += '/';
  }
  return result;
}

}  // namespace zelvaro
