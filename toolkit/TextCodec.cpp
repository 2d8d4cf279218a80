#include "toolkit/TextCodec.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <memory>
#include <stdexcept>
#include <vector>

namespace zelvaro {
namespace {

constexpr char16_t kNone = 0xFFFF;  // never produced by CP932
constexpr char16_t kEscapeBase = 0xDC00;

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Converts `in` whole; false when iconv refuses any part of it.
  bool Convert(const char* in, size_t in_len, char* out, size_t out_cap, size_t* out_len) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    char* dst = out;
    size_t src_left = in_len, dst_left = out_cap;
    size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
    if (r == static_cast<size_t>(-1) || src_left != 0) return false;
    // A converter that keeps state must be flushed; CP932 has none, but be exact.
    if (iconv(cd_, nullptr, nullptr, &dst, &dst_left) == static_cast<size_t>(-1)) return false;
    *out_len = out_cap - dst_left;
    return true;
  }

 private:
  iconv_t cd_;
};

struct Tables {
  // single[b]: the character of byte b alone, kNone when b is a lead byte
  // or invalid; lead[b] tells the two apart.
  std::array<char16_t, 256> single{};
  std::array<bool, 256> lead{};
  // pair[(l << 8) | t]: the character of lead l and trail t, kNone if none.
  std::vector<char16_t> pair = std::vector<char16_t>(65536, kNone);
  // encode[c]: CP932 bytes of BMP character c, big-endian in 16 bits; 0xFFFF
  // when c has no form. Single-byte forms are stored below 0x100.
  std::vector<uint16_t> encode = std::vector<uint16_t>(65536, 0xFFFF);

  Tables() {
    Iconv dec("UTF-16LE", "CP932");
    char out[16];
    size_t n = 0;
    for (int b = 0; b < 256; ++b) {
      char in = static_cast<char>(b);
      single[b] = kNone;
      if (dec.Convert(&in, 1, out, sizeof out, &n) && n == 2) {
        single[b] = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                          (static_cast<unsigned char>(out[1]) << 8));
      }
    }
    for (int l = 0x80; l < 256; ++l) {
      if (single[l] != kNone) continue;
      for (int t = 0; t < 256; ++t) {
        char in[2] = {static_cast<char>(l), static_cast<char>(t)};
        if (dec.Convert(in, 2, out, sizeof out, &n) && n == 2) {
          pair[(l << 8) | t] = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                     (static_cast<unsigned char>(out[1]) << 8));
          lead[l] = true;
        }
      }
    }
    Iconv enc("CP932", "UTF-16LE");
    for (int c = 0; c < 65536; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
      if (!enc.Convert(in, 2, out, sizeof out, &n)) continue;
      if (n == 1) {
        encode[c] = static_cast<unsigned char>(out[0]);
      } else if (n == 2) {
        encode[c] = static_cast<uint16_t>((static_cast<unsigned char>(out[0]) << 8) |
                                          static_cast<unsigned char>(out[1]));
      }
    }
  }
};

// Built on first use and never destroyed: a record may still be decoded on
// another thread while exit() tears down the static objects.
const Tables& GetTables() {
  static const Tables* const tables = new Tables;
  return *tables;
}

}  // namespace

std::u16string SjisToUtf16(std::string_view bytes) {
  const Tables& t = GetTables();
  std::u16string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (t.single[b] != kNone) {
      out.push_back(t.single[b]);
      continue;
    }
    if (t.lead[b] && i + 1 < bytes.size()) {
      char16_t c = t.pair[(b << 8) | static_cast<unsigned char>(bytes[i + 1])];
      if (c != kNone) {
        out.push_back(c);
        ++i;
        continue;
      }
    }
    out.push_back(static_cast<char16_t>(kEscapeBase + b));
  }
  return out;
}

std::string Utf16ToSjis(std::u16string_view text) {
  const Tables& t = GetTables();
  std::string out;
  out.reserve(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= 0xDC80 && c <= 0xDCFF) {
      out.push_back(static_cast<char>(c - kEscapeBase));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;  // a character beyond the BMP: CP932 has none
      out.push_back('?');
      continue;
    }
    uint16_t e = t.encode[c];
    if (e == 0xFFFF) {
      out.push_back('?');
    } else if (e < 0x100) {
      out.push_back(static_cast<char>(e));
    } else {
      out.push_back(static_cast<char>(e >> 8));
      out.push_back(static_cast<char>(e & 0xFF));
    }
  }
  return out;
}

namespace {

// Bytes that make valid EUC-JP: 0xA1-0xFE pairs, 0x8E + half-width kana,
// 0x8F + a JIS X 0212 pair. Counts the multi-byte characters.
bool ValidEucJp(std::string_view s, size_t& multi) {
  multi = 0;
  auto high = [&](size_t i) {
    return i < s.size() && static_cast<unsigned char>(s[i]) >= 0xA1 &&
           static_cast<unsigned char>(s[i]) <= 0xFE;
  };
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
    } else if (b == 0x8E) {
      const auto t = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
      if (t < 0xA1 || t > 0xDF) return false;
      i += 2;
      ++multi;
    } else if (b == 0x8F) {
      if (!high(i + 1) || !high(i + 2)) return false;
      i += 3;
      ++multi;
    } else if (high(i) && high(i + 1)) {
      i += 2;
      ++multi;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

std::u16string EucJpToUtf16(std::string_view bytes) {
  // One converter per thread, living as long as the thread: a reading on a
  // worker never shares it and never outlives it.
  thread_local Iconv dec("UTF-16LE", "EUC-JP-MS");
  std::u16string out;
  out.reserve(bytes.size());
  char buffer[8];
  size_t n = 0;
  for (size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    const size_t len = b == 0x8F ? 3 : 2;
    if (i + len <= bytes.size() && dec.Convert(bytes.data() + i, len, buffer, sizeof buffer, &n) &&
        n >= 2) {
      for (size_t k = 0; k + 1 < n; k += 2) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(buffer[k]) |
                                            (static_cast<unsigned char>(buffer[k + 1]) << 8)));
      }
      i += len;
      continue;
    }
    out.push_back(static_cast<char16_t>(kEscapeBase + b));
    ++i;
  }
  return out;
}

bool LooksEucJp(std::string_view bytes) {
  size_t multi = 0;
  if (!ValidEucJp(bytes, multi) || multi == 0 || IsValidUtf8(bytes)) return false;
  size_t kana = 0, wide = 0;
  for (char16_t c : SjisToUtf16(bytes)) {
    if (c >= 0xFF61 && c <= 0xFF9F) {
      ++kana;
    } else if (c >= 0x80 && (c < 0xDC80 || c > 0xDCFF)) {
      ++wide;
    }
  }
  return kana > wide;
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    char32_t cp;
    int len;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      len = 4;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    bool ok = i + len <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      unsigned char c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size() * 3);
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

size_t Utf8CharLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  if (c < 0x80) return 1;
  size_t n;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;   // no overlong form
    if (c == 0xED) high = 0x9F;  // no surrogate
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;  // up to U+10FFFF
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

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8CharLength(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace zelvaro
