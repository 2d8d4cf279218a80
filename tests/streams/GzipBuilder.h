// Builds gzip files for tests and benchmarks: the member header is written
// here byte by byte around zlib's raw deflate, so every header option can be
// produced. ZlibGunzip is the reference decoder (zlib's own gzip handling in
// one pass).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zelvaro::testing {

struct GzipOptions {
  int level = 6;
  bool text = false;
  std::optional<std::string> extra;
  std::optional<std::string> name;
  std::optional<std::string> comment;
  bool header_crc = false;
  uint32_t mtime = 0;
  uint8_t xfl = 0;
  uint8_t os = 3;
};

inline std::string RawDeflate(std::string_view data, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  return out;
}

inline void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline std::string GzipHeader(const GzipOptions& o) {
  std::string h = "\x1F\x8B\x08";
  uint8_t flags = (o.text ? 0x01 : 0) | (o.header_crc ? 0x02 : 0) | (o.extra ? 0x04 : 0) |
                  (o.name ? 0x08 : 0) | (o.comment ? 0x10 : 0);
  h.push_back(static_cast<char>(flags));
  PutLe(h, o.mtime, 4);
  h.push_back(static_cast<char>(o.xfl));
  h.push_back(static_cast<char>(o.os));
  if (o.extra) {
    PutLe(h, static_cast<uint32_t>(o.extra->size()), 2);
    h += *o.extra;
  }
  if (o.name) h += *o.name + '\0';
  if (o.comment) h += *o.comment + '\0';
  if (o.header_crc) {
    uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(h.data()), static_cast<uInt>(h.size()));
    PutLe(h, crc & 0xFFFF, 2);
  }
  return h;
}

inline std::string Gzip(std::string_view data, const GzipOptions& o = {}) {
  std::string out = GzipHeader(o) + RawDeflate(data, o.level);
  PutLe(out, crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())),
        4);
  PutLe(out, static_cast<uint32_t>(data.size()), 4);
  return out;
}

// zlib's gunzip of one member in one pass; `size_hint` sizes the output.
inline std::string ZlibGunzip(std::string_view gz, size_t size_hint = 0) {
  z_stream z{};
  if (inflateInit2(&z, 16 + 15) != Z_OK) throw std::runtime_error("inflateInit2");
  std::string out(size_hint > 0 ? size_hint : gz.size() * 4 + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()));
  z.avail_in = static_cast<uInt>(gz.size());
  int rc;
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(out.data() + z.total_out);
    z.avail_out = static_cast<uInt>(out.size() - z.total_out);
    rc = inflate(&z, Z_FINISH);
    if (rc == Z_STREAM_END) break;
    if (rc != Z_BUF_ERROR && rc != Z_OK) {
      inflateEnd(&z);
      throw std::runtime_error("inflate");
    }
    if (z.avail_out != 0) {
      inflateEnd(&z);
      throw std::runtime_error("truncated");
    }
    out.resize(out.size() * 2);
  }
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

// Text that looks like a Shift_JIS page: ASCII words and markup, two-byte
// characters from a vocabulary of a few hundred, CR LF and LF line ends.
inline std::string SjisLikeText(size_t size, std::mt19937& rng) {
  static const char* const kWords[] = {"<a href=\"",
                                       "\">",
                                       "</a>",
                                       "<br>",
                                       "kif",
                                       "html",
                                       "http://",
                                       "\x82\xa0",
                                       "\x8a\xfb",
                                       "\x95\x88",
                                       "\x92\x86\x8c\x70",
                                       "\x81\x40",
                                       "\x90\xe6\x8e\xe8",
                                       "\x8c\xe3\x8e\xe8",
                                       "\x81\xa3",
                                       "\x81\xa2",
                                       "76\x95\xe0",
                                       "(",
                                       ")",
                                       "/"};
  std::uniform_int_distribution<int> pick(0, 99);
  // Lead bytes 0x81-0x9F or 0xE0-0xFC, trail bytes 0x40-0xFB.
  std::string vocabulary;
  for (int i = 0; i < 400; ++i) {
    int r = pick(rng);
    vocabulary.push_back(static_cast<char>((r & 1) ? 0x81 + r % 31 : 0xE0 + r % 29));
    vocabulary.push_back(static_cast<char>(0x40 + (pick(rng) * 0xBC / 100)));
  }
  std::uniform_int_distribution<size_t> word(0, 399);
  std::string text;
  text.reserve(size + 16);
  while (text.size() < size) {
    int r = pick(rng);
    if (r < 45) {
      text += kWords[r % (sizeof kWords / sizeof kWords[0])];
    } else if (r < 80) {
      text.append(vocabulary, 2 * word(rng), 2);
    } else if (r < 95) {
      text.push_back(static_cast<char>('a' + pick(rng) % 26));
      text.push_back(static_cast<char>('0' + pick(rng) % 10));
    } else {
      text += (r & 1) ? "\r\n" : "\n";
    }
  }
  text.resize(size);
  return text;
}

}  // namespace zelvaro::testing
