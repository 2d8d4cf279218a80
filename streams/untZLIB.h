// A read-only stream that inflates raw deflate data (no zlib or gzip
// wrapper) taken from a source stream.
//
// The source is not owned and must outlive the inflater. The inflater takes
// input from the source in pieces of up to 64 KB; when the deflate data ends
// it moves the source back to just past the last byte that belonged to it,
// so whatever follows (a gzip trailer, say) can be read from the source again.
//
// Made without a source, the inflater is fed by its caller instead (Inflate):
// input is inflated where it lies, nothing of it is copied or kept.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>

#include "streams/Stream.h"
#include "toolkit/Exception.h"

namespace zelvaro {

class EZlibError : public Exception {
 public:
  using Exception::Exception;
};

class EDecompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};

// Passes zlib's result through: a buffer error with no output room left is
// success (0); any other negative code throws EDecompressionError with the
// message "error", the code in decimal, a space and zlib's own message
// (e.g. "error-3 invalid block type"); other codes come back unchanged.
int CheckResult(int code, const z_stream& stream);

class TCustomZlibStream : public TStream {
 public:
  using ProgressEvent = std::function<void(TCustomZlibStream&)>;

  // `source` may be null for an inflater its caller feeds.
  explicit TCustomZlibStream(TStream* source);
  TCustomZlibStream(const TCustomZlibStream&) = delete;
  TCustomZlibStream& operator=(const TCustomZlibStream&) = delete;

  // Called after every refill of the input buffer.
  ProgressEvent OnProgress;

 protected:
  static constexpr int kBufferSize = 65536;

  TStream* source_;
  int64_t source_position_;  // input has been taken from the source up to here
  int64_t source_start_;     // where the deflate data begins in the source
  z_stream zstream_{};
  unsigned char buffer_[kBufferSize];
};

class TDecompressionStream : public TCustomZlibStream {
 public:
  // Throws EDecompressionError when zlib cannot be initialised. Without a
  // source only Inflate can be used.
  explicit TDecompressionStream(TStream* source = nullptr);
  ~TDecompressionStream() override;

  // Inflates up to `count` bytes; fewer when the source runs dry or the
  // deflate data ends, 0 once it has ended. Throws EDecompressionError on
  // corrupt data, and without a source.
  int64_t Read(void* buffer, int64_t count) override;
  // For an inflater without a source: inflates from `input` (`available`
  // bytes) into up to `count` bytes of `output` and returns how many were
  // produced. `input` and `available` are advanced past what zlib took;
  // what follows the end of the deflate data (AtEnd) stays there. Fewer than
  // `count` bytes means zlib needs more input or has ended; `count` bytes
  // means it may have more output for the same input. Throws
  // EDecompressionError on corrupt data.
  int64_t Inflate(const unsigned char*& input, size_t& available, void* output, int64_t count);
  // Throws EDecompressionError("Invalid stream operation").
  int64_t Write(const void* buffer, int64_t count) override;
  // Offset 0 from the beginning starts over; forward moves inflate and
  // discard; anything else throws EDecompressionError. Returns the number of
  // bytes produced so far.
  int64_t Seek(int64_t offset, SeekOrigin origin) override;

  bool AtEnd() const { return at_end_; }

 private:
  void Discard(int64_t count);

  bool at_end_ = false;
};

}  // namespace zelvaro
