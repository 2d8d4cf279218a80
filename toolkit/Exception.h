// The one base class of every error the program raises. The message is
// UTF-8 and is what a message box shows.
#pragma once

#include <exception>
#include <string>

namespace zelvaro {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  ~Exception() override;
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// The message of any error that reaches a top-level catch: ours as it
// stands, running out of memory as "Out of memory.", anything else by what().
std::string MessageOf(const std::exception& e);

// A text that should hold a number does not.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// An index outside its table.
class ERangeError : public Exception {
 public:
  using Exception::Exception;
};

// A file that cannot be opened, read or written.
class EFileError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace zelvaro
