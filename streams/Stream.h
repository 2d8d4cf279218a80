// The stream base the program's byte pipelines share: a stream reads,
// writes and seeks, and knows its size. TMemoryStream holds its bytes in
// memory; TStringStream is a memory stream seen as a byte string.
//
// A stream never owns the streams it reads from or writes to.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/Exception.h"

namespace zelvaro {

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

enum class SeekOrigin { kBeginning, kCurrent, kEnd };

class TStream {
 public:
  virtual ~TStream();

  // Reads up to `count` bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to `count` bytes; returns how many were taken.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new position. Throws EStreamError where
  // the stream cannot move there.
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  // The size; by default found by seeking to the end and back.
  virtual int64_t Size();
  // Cuts or extends the stream. Throws EStreamError unless overridden.
  virtual void SetSize(int64_t size);

  int64_t Position() { return Seek(0, SeekOrigin::kCurrent); }
  void SetPosition(int64_t position) { Seek(position, SeekOrigin::kBeginning); }

  // Write/Read that must move every byte; throw EStreamError otherwise.
  void WriteBuffer(const void* buffer, int64_t count);
  void ReadBuffer(void* buffer, int64_t count);
  void WriteString(std::string_view bytes) {
    WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
};

class TMemoryStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

  // Size 0, position 0.
  void Clear();
  // Removes the first `count` bytes (at most the size); the position moves
  // back with the bytes after them.
  void DropFront(int64_t count);
  const char* Memory() const { return data_.data(); }
  std::string_view View() const { return data_; }

 protected:
  std::string data_;
  int64_t position_ = 0;
};

class TStringStream : public TMemoryStream {
 public:
  TStringStream() = default;
  explicit TStringStream(std::string_view bytes) { data_.assign(bytes); }
  const std::string& DataString() const { return data_; }
};

}  // namespace zelvaro
