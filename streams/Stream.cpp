#include "streams/Stream.h"

#include <algorithm>
#include <cstring>

namespace zelvaro {

TStream::~TStream() = default;

int64_t TStream::Size() {
  int64_t here = Seek(0, SeekOrigin::kCurrent);
  int64_t end = Seek(0, SeekOrigin::kEnd);
  Seek(here, SeekOrigin::kBeginning);
  return end;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EStreamError("Stream read error");
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= Size()) return 0;
  int64_t n = std::min(count, Size() - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const char* bytes = static_cast<const char*>(buffer);
  if (position_ == Size()) {
    data_.append(bytes, static_cast<size_t>(count));
  } else {
    if (position_ + count > Size()) data_.resize(static_cast<size_t>(position_ + count));
    std::memcpy(data_.data() + position_, bytes, static_cast<size_t>(count));
  }
  position_ += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = origin == SeekOrigin::kBeginning ? 0
                 : origin == SeekOrigin::kCurrent ? position_
                                                  : Size();
  int64_t target = base + offset;
  if (target < 0) throw EStreamError("Invalid stream position");
  position_ = target;  // beyond the end is allowed; a write there fills with zeros
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EStreamError("Invalid stream size");
  data_.resize(static_cast<size_t>(size));
  position_ = std::min(position_, size);
}

void TMemoryStream::DropFront(int64_t count) {
  count = std::clamp<int64_t>(count, 0, Size());
  data_.erase(0, static_cast<size_t>(count));
  position_ = std::max<int64_t>(position_ - count, 0);
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

}  // namespace zelvaro
