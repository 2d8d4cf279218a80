// A write-only stream that decodes a gzip file (RFC 1952) handed to it in
// blocks of any size and writes the decompressed bytes to a target stream.
//
// Each Write decodes as far as the bytes received so far allow; what cannot
// be used yet waits in Pending for the next Write. Write returns the number of
// input bytes consumed during the call (which may include bytes kept from
// earlier calls), 0 when no progress was made. Input that does not begin with
// the gzip magic is never decoded: the first Write stops without consuming
// it, the next one drops the kept bytes and returns 0, and so does every
// Write after it until Reset, even one that brings a gzip header.
//
// Deflate data is inflated from the bytes each Write brings; only what zlib
// has not taken yet is kept, so memory does not grow with the input.
//
// Members that follow one another are all decoded, in the same Write, and
// their texts reach the target one after the other, as gzip -d gives them.
// Every member's trailer is checked: a CRC-32 or size that does not match
// throws EDecompressionError ("gzip: CRC-32 mismatch", "gzip: size
// mismatch"); so is a header CRC (FHCRC), "gzip: header CRC mismatch". After the last member, zero
// bytes (padding) are consumed and ignored, as gzip -d does; any other byte that does not start a
// member throws "gzip: trailing garbage after the compressed data". gzip -d only warns about such
// garbage, but here it is most likely a damaged member whose text would be missing, so it is an
// error. When the input has ended the caller calls Finish, which throws if it ended inside a
// member.
//
// After any error the decoder stays where it stopped (further Writes throw
// again or make no progress) until Reset.
//
// The target is not owned and may be null; it must outlive the decoder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "streams/Stream.h"
#include "streams/untZLIB.h"

namespace zelvaro {

struct TGzipHeader {
  bool TextFlag = false;    // FTEXT
  bool HeaderSeen = false;  // a member header has been parsed
  uint32_t ExtraFlags = 0;  // XFL
  uint32_t OperatingSystem = 0;
  std::string ExtraField;  // FEXTRA data
  std::string FileName;    // FNAME, without its NUL
  std::string Comment;     // FCOMMENT, without its NUL
  // MTIME as days since 1970-01-01 (MTIME / 86400).
  double ModificationTime = 0;
  TStream* Target = nullptr;
};

class TGzipDecompressStream : public TStream {
 public:
  enum : uint8_t {
    kStateHeader = 0,
    kStateExtra = 1,
    kStateName = 2,
    kStateComment = 3,
    kStateHeaderCrc = 4,
    kStateData = 5,
    kStateTrailer = 6,
    kStateMemberEnd = 7,
  };

  static constexpr uint32_t kFlagText = 0x01;
  static constexpr uint32_t kFlagHeaderCrc = 0x02;
  static constexpr uint32_t kFlagExtra = 0x04;
  static constexpr uint32_t kFlagName = 0x08;
  static constexpr uint32_t kFlagComment = 0x10;

  explicit TGzipDecompressStream(TStream* target);
  ~TGzipDecompressStream() override;
  TGzipDecompressStream(const TGzipDecompressStream&) = delete;
  TGzipDecompressStream& operator=(const TGzipDecompressStream&) = delete;

  // Nothing can be read back: always 0.
  int64_t Read(void* buffer, int64_t count) override;
  // Throws EDecompressionError on corrupt deflate data, a trailer that does
  // not match or garbage after the last member; also what the target throws.
  int64_t Write(const void* buffer, int64_t count) override;
  // The input has ended: throws EDecompressionError("gzip: the compressed
  // data is incomplete") when it ended inside a member or its header. Input
  // that never began a member (not gzip) is no error.
  void Finish();
  // Only a request that does not move is allowed; it returns Consumed.
  // Anything else throws EStreamError.
  int64_t Seek(int64_t offset, SeekOrigin origin) override;

  // Back to the state just after creation (same target): a member header is
  // awaited, nothing is pending, the header fields are cleared.
  void Reset();

  uint8_t GzipState() const { return state_; }
  // Input received but not yet consumed.
  std::string_view Pending() const { return std::string_view(pending_).substr(pending_start_); }
  int64_t Consumed() const { return consumed_; }
  const TGzipHeader& Header() const { return header_; }
  // Members decoded completely, trailer checked.
  int64_t Members() const { return members_; }
  uint32_t Flags() const { return flags_; }
  uint32_t Crc() const { return crc_; }
  uint32_t OutSize() const { return out_size_; }

 private:
  // Each returns false when it needs more bytes than are pending; `used`
  // grows by the bytes it consumed (and may shrink when bytes go back).
  bool RunHeader(int64_t& used);
  // After the last member: consumes zero padding, throws on garbage.
  bool RunAfterMember(int64_t& used);
  bool RunExtra(int64_t& used);
  bool RunString(uint32_t flag, std::string& into, int64_t& used);
  bool RunHeaderCrc(int64_t& used);
  bool RunData(int64_t& used);
  bool RunTrailer(int64_t& used);

  size_t Available() const { return pending_.size() - pending_start_; }
  const unsigned char* Head() const {
    return reinterpret_cast<const unsigned char*>(pending_.data()) + pending_start_;
  }
  void Consume(size_t n, int64_t& used) {
    pending_start_ += n;
    used += static_cast<int64_t>(n);
  }
  // Consume for header bytes, which the header CRC covers.
  void ConsumeHeader(size_t n, int64_t& used);

  uint8_t state_ = kStateHeader;
  std::string pending_;
  size_t pending_start_ = 0;  // bytes before this in pending_ are consumed
  int64_t consumed_ = 0;
  TGzipHeader header_;
  uint32_t flags_ = 0;
  std::unique_ptr<TDecompressionStream> inflater_;  // while inside deflate data
  uint32_t crc_ = 0;
  uint32_t out_size_ = 0;
  uint32_t header_crc_ = 0;  // CRC-32 of the member header so far
  int64_t members_ = 0;
  bool padding_ = false;                         // zero bytes after the last member began
  bool not_gzip_ = false;                        // the stream did not begin with a member
  std::unique_ptr<unsigned char[]> out_buffer_;  // inflater output, made on first use
};

}  // namespace zelvaro
