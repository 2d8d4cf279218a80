#include "streams/untGZIP.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace zelvaro {
namespace {

constexpr size_t kFixedHeaderSize = 10;
constexpr size_t kTrailerSize = 8;
// Output is taken from the inflater in pieces of this size. Large pieces keep
// zlib on its fast path and halve the copying into its window; with 4 KB
// pieces decoding ran at about 0.7 of zlib's one-pass speed, with 64 KB at
// about 0.95.
constexpr int64_t kReadSize = 65536;

// Could these first `n` bytes begin a member (the magic and deflate)?
bool MayStartMember(const unsigned char* p, size_t n) {
  static constexpr unsigned char kMagic[] = {0x1F, 0x8B, 0x08};
  return std::memcmp(p, kMagic, std::min(n, sizeof kMagic)) == 0;
}

uint32_t Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

TGzipDecompressStream::TGzipDecompressStream(TStream* target) { header_.Target = target; }

TGzipDecompressStream::~TGzipDecompressStream() = default;

void TGzipDecompressStream::Reset() {
  inflater_.reset();
  TStream* target = header_.Target;
  header_ = TGzipHeader{};
  header_.Target = target;
  state_ = kStateHeader;
  pending_.clear();
  pending_start_ = 0;
  consumed_ = 0;
  flags_ = 0;
  crc_ = 0;
  out_size_ = 0;
  members_ = 0;
  padding_ = false;
  not_gzip_ = false;
}

int64_t TGzipDecompressStream::Read(void*, int64_t) { return 0; }

int64_t TGzipDecompressStream::Seek(int64_t offset, SeekOrigin origin) {
  const bool stays = origin == SeekOrigin::kBeginning ? offset == consumed_ : offset == 0;
  if (!stays) throw EStreamError("TGzipDecompressStream can't change seek position");
  return consumed_;
}

int64_t TGzipDecompressStream::Write(const void* buffer, int64_t count) {
  // A stream that did not begin with a member is not gzip to its end: a
  // member header found later (a damaged file's second member, or bytes
  // that happen to look like one) would give part of a text as if whole.
  if (not_gzip_) return 0;
  const bool had_pending = Available() > 0;
  if (count > 0) pending_.append(static_cast<const char*>(buffer), static_cast<size_t>(count));

  // Bytes kept from the last call that do not start a member are not gzip:
  // give up on them, and on this block, so the caller uses both undecoded.
  if (had_pending && state_ == kStateHeader && members_ == 0 && !padding_ && Available() >= 2 &&
      !(Head()[0] == 0x1F && Head()[1] == 0x8B)) {
    pending_.clear();
    pending_start_ = 0;
    not_gzip_ = true;
    return 0;
  }

  int64_t used = 0;
  // The bytes taken before an error were consumed all the same.
  struct Settle {
    TGzipDecompressStream& self;
    int64_t& used;
    ~Settle() {
      if (self.pending_start_ > 0) {
        self.pending_.erase(0, self.pending_start_);
        self.pending_start_ = 0;
      }
      self.consumed_ += used;
    }
  } settle{*this, used};

  for (;;) {
    bool done = false;
    switch (state_) {
      case kStateHeader:
        done = RunHeader(used);
        break;
      case kStateExtra:
        done = RunExtra(used);
        break;
      case kStateName:
        done = RunString(kFlagName, header_.FileName, used);
        break;
      case kStateComment:
        done = RunString(kFlagComment, header_.Comment, used);
        break;
      case kStateHeaderCrc:
        done = RunHeaderCrc(used);
        break;
      case kStateData:
        done = RunData(used);
        break;
      case kStateTrailer:
        done = RunTrailer(used);
        break;
      default:
        // Member end: what is pending may start the next member, now.
        state_ = kStateHeader;
        continue;
    }
    if (!done) break;
    ++state_;
  }
  return used;
}

void TGzipDecompressStream::Finish() {
  if (state_ == kStateHeader) {
    if (Available() == 0) return;
    // Bytes that cannot start a member, before any member: not gzip at all.
    if (members_ == 0 && !MayStartMember(Head(), Available())) return;
  }
  throw EDecompressionError("gzip: the compressed data is incomplete");
}

bool TGzipDecompressStream::RunAfterMember(int64_t& used) {
  size_t zeros = 0;
  while (zeros < Available() && Head()[zeros] == 0) ++zeros;
  if (zeros > 0) {
    padding_ = true;
    Consume(zeros, used);
  }
  if (Available() == 0) return false;
  // What may still become a member header waits for its bytes.
  if (padding_ || !MayStartMember(Head(), Available())) {
    throw EDecompressionError("gzip: trailing garbage after the compressed data");
  }
  return true;
}

bool TGzipDecompressStream::RunHeader(int64_t& used) {
  if ((members_ > 0 || padding_) && !RunAfterMember(used)) return false;
  // One byte beyond the fixed header, so that a member is only started when
  // something follows it.
  if (Available() < kFixedHeaderSize + 1) return false;
  const unsigned char* h = Head();
  if (!MayStartMember(h, kFixedHeaderSize)) return false;
  header_.HeaderSeen = true;
  flags_ = h[3];
  header_.TextFlag = (flags_ & kFlagText) != 0;
  header_.ModificationTime = static_cast<int32_t>(Le32(h + 4)) / 86400.0;
  header_.ExtraFlags = h[8];
  header_.OperatingSystem = h[9];
  header_.ExtraField.clear();
  header_.FileName.clear();
  header_.Comment.clear();
  // The target is not emptied: the texts of joined members follow one
  // another, as gzip -d writes them.
  crc_ = 0;
  out_size_ = 0;
  header_crc_ = 0;
  ConsumeHeader(kFixedHeaderSize, used);
  return true;
}

void TGzipDecompressStream::ConsumeHeader(size_t n, int64_t& used) {
  header_crc_ = crc32(header_crc_, Head(), static_cast<uInt>(n));
  Consume(n, used);
}

bool TGzipDecompressStream::RunExtra(int64_t& used) {
  if ((flags_ & kFlagExtra) == 0) return true;
  if (Available() < 3) return false;
  const size_t xlen = Le16(Head());
  if (Available() < xlen + 2) return false;
  header_.ExtraField.assign(reinterpret_cast<const char*>(Head()) + 2, xlen);
  ConsumeHeader(xlen + 2, used);
  return true;
}

bool TGzipDecompressStream::RunString(uint32_t flag, std::string& into, int64_t& used) {
  if ((flags_ & flag) == 0) return true;
  const size_t available = Available();
  if (available == 0) return false;
  const char* begin = reinterpret_cast<const char*>(Head());
  const void* nul = std::memchr(begin, 0, available);
  if (nul == nullptr) {
    into.append(begin, available);
    ConsumeHeader(available, used);
    return false;
  }
  const size_t length = static_cast<const char*>(nul) - begin;
  into.append(begin, length);
  ConsumeHeader(length + 1, used);
  return true;
}

bool TGzipDecompressStream::RunHeaderCrc(int64_t& used) {
  if ((flags_ & kFlagHeaderCrc) == 0) return true;
  if (Available() < 2) return false;
  // The low 16 bits of the CRC-32 of every header byte before it, as gzip -d
  // and zlib check them.
  if (Le16(Head()) != (header_crc_ & 0xFFFF))
    throw EDecompressionError("gzip: header CRC mismatch");
  Consume(2, used);
  return true;
}

bool TGzipDecompressStream::RunData(int64_t& used) {
  if (Available() == 0) return false;
  if (!inflater_) inflater_ = std::make_unique<TDecompressionStream>();
  if (!out_buffer_) out_buffer_ = std::make_unique<unsigned char[]>(kReadSize);
  unsigned char* out = out_buffer_.get();
  // zpipe's loop: inflate while there is input, and again while the output
  // comes back full (zlib may hold more for the same input).
  for (;;) {
    const unsigned char* in = Head();
    size_t left = Available();
    int64_t got;
    try {
      got = inflater_->Inflate(in, left, out, kReadSize);
    } catch (const EDecompressionError&) {
      // Corrupt data: what was handed to zlib is used up all the same.
      Consume(Available(), used);
      throw;
    }
    // Counted before the target sees the output, which may throw.
    Consume(Available() - left, used);
    if (got > 0) {
      crc_ = crc32(crc_, out, static_cast<uInt>(got));
      out_size_ += static_cast<uint32_t>(got);
      if (header_.Target != nullptr) header_.Target->WriteBuffer(out, got);
    }
    if (inflater_->AtEnd()) break;
    if (got < kReadSize && Available() == 0) return false;
  }
  // The bytes after the deflate data (the trailer and beyond) were never
  // taken by zlib; they stay pending.
  inflater_.reset();
  return true;
}

bool TGzipDecompressStream::RunTrailer(int64_t& used) {
  // A trailer split across blocks waits for its last bytes.
  if (Available() < kTrailerSize) return false;
  if (Le32(Head()) != crc_) throw EDecompressionError("gzip: CRC-32 mismatch");
  // The stored size counts modulo 2^32, as out_size_ does.
  if (Le32(Head() + 4) != out_size_) throw EDecompressionError("gzip: size mismatch");
  Consume(kTrailerSize, used);
  ++members_;
  return true;
}

}  // namespace zelvaro
