#include "streams/untZLIB.h"

#include <algorithm>
#include <string>

namespace zelvaro {

int CheckResult(int code, const z_stream& stream) {
  // Z_BUF_ERROR only says no progress was possible; with the output full
  // that is the normal end of a read.
  if (code == Z_BUF_ERROR && stream.avail_out == 0) return Z_OK;
  if (code < 0) {
    std::string message = "error" + std::to_string(code) + " ";
    if (stream.msg != nullptr) message += stream.msg;
    throw EDecompressionError(message);
  }
  return code;
}

TCustomZlibStream::TCustomZlibStream(TStream* source)
    : source_(source),
      source_position_(source != nullptr ? source->Position() : 0),
      source_start_(source_position_) {}

TDecompressionStream::TDecompressionStream(TStream* source) : TCustomZlibStream(source) {
  zstream_.next_in = buffer_;
  zstream_.avail_in = 0;
  CheckResult(inflateInit2(&zstream_, -15), zstream_);
}

TDecompressionStream::~TDecompressionStream() { inflateEnd(&zstream_); }

int64_t TDecompressionStream::Read(void* buffer, int64_t count) {
  if (source_ == nullptr) throw EDecompressionError("Invalid stream operation");
  if (at_end_ || count <= 0) return 0;
  if (source_->Position() != source_position_)
    source_->Seek(source_position_, SeekOrigin::kBeginning);
  zstream_.next_out = static_cast<Bytef*>(buffer);
  // zlib counts in 32 bits; a larger request is served in part.
  zstream_.avail_out = static_cast<uInt>(std::min<int64_t>(count, 1 << 30));
  const uInt requested = zstream_.avail_out;
  while (zstream_.avail_out > 0) {
    if (zstream_.avail_in == 0) {
      int64_t got = source_->Read(buffer_, kBufferSize);
      if (got <= 0) break;
      zstream_.next_in = buffer_;
      zstream_.avail_in = static_cast<uInt>(got);
      source_position_ = source_->Position();
      if (OnProgress) OnProgress(*this);
    }
    if (CheckResult(inflate(&zstream_, Z_NO_FLUSH), zstream_) == Z_STREAM_END) {
      at_end_ = true;
      source_position_ -= zstream_.avail_in;
      source_->Seek(source_position_, SeekOrigin::kBeginning);
      zstream_.avail_in = 0;
      break;
    }
  }
  return requested - zstream_.avail_out;
}

int64_t TDecompressionStream::Inflate(const unsigned char*& input, size_t& available, void* output,
                                      int64_t count) {
  if (at_end_ || count <= 0) return 0;
  // zlib counts in 32 bits; larger pieces are served in part.
  zstream_.next_in = const_cast<Bytef*>(input);
  zstream_.avail_in = static_cast<uInt>(std::min<size_t>(available, 1u << 30));
  const uInt taken_from = zstream_.avail_in;
  zstream_.next_out = static_cast<Bytef*>(output);
  zstream_.avail_out = static_cast<uInt>(std::min<int64_t>(count, 1 << 30));
  const uInt requested = zstream_.avail_out;
  const int code = inflate(&zstream_, Z_NO_FLUSH);
  const size_t taken = taken_from - zstream_.avail_in;
  input += taken;
  available -= taken;
  zstream_.next_in = nullptr;
  zstream_.avail_in = 0;
  // No progress possible (no input left, nothing more to give): not an
  // error, the caller brings more input.
  if (code != Z_BUF_ERROR && CheckResult(code, zstream_) == Z_STREAM_END) at_end_ = true;
  return requested - zstream_.avail_out;
}

int64_t TDecompressionStream::Write(const void*, int64_t) {
  throw EDecompressionError("Invalid stream operation");
}

void TDecompressionStream::Discard(int64_t count) {
  char scrap[4096];
  while (count > 0) {
    int64_t got = Read(scrap, std::min<int64_t>(count, sizeof scrap));
    if (got <= 0) break;
    count -= got;
  }
}

int64_t TDecompressionStream::Seek(int64_t offset, SeekOrigin origin) {
  const int64_t produced = static_cast<int64_t>(zstream_.total_out);
  if (origin == SeekOrigin::kBeginning && offset == 0) {
    CheckResult(inflateReset(&zstream_), zstream_);
    zstream_.next_in = buffer_;
    zstream_.avail_in = 0;
    at_end_ = false;
    // Back to where the deflate data began, which need not be offset 0.
    source_position_ = source_start_;
    if (source_ != nullptr) source_->Seek(source_position_, SeekOrigin::kBeginning);
  } else if (origin == SeekOrigin::kCurrent && offset >= 0) {
    Discard(offset);
  } else if (origin == SeekOrigin::kBeginning && offset >= produced) {
    Discard(offset - produced);
  } else {
    throw EDecompressionError("Invalid stream operation");
  }
  return static_cast<int64_t>(zstream_.total_out);
}

}  // namespace zelvaro
