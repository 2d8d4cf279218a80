// The errors of the TCP connection and the HTTP client. Every one derives
// from zelvaro::Exception; its message is what the user is shown.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/Exception.h"

namespace zelvaro {

// Base of the connection errors: whatever went wrong below HTTP.
class ETcpError : public Exception {
 public:
  using Exception::Exception;
};

// "Socket Error # <number>" CR LF "<system text>".
class ESocketError : public ETcpError {
 public:
  ESocketError(int errorNumber, const std::string& text);
  int ErrorNumber() const { return errorNumber_; }

 private:
  int errorNumber_;
};

class EConnectTimeout : public ETcpError {
 public:
  EConnectTimeout() : ETcpError("Connect timed out.") {}
};

// The server sent nothing for longer than the read limit.
class EReadTimeout : public ETcpError {
 public:
  EReadTimeout() : ETcpError("Read timed out.") {}
};

// One whole request took longer than its overall limit.
class ERequestTimeout : public ETcpError {
 public:
  ERequestTimeout() : ETcpError("Request timed out.") {}
};

// The server took nothing for longer than the read limit while we sent.
class EWriteTimeout : public ETcpError {
 public:
  EWriteTimeout() : ETcpError("Write timed out.") {}
};

// The request was abandoned by the program (TTcpConnection::Abort): what
// arrived is not to be used, and nobody is shown this.
class EAborted : public ETcpError {
 public:
  EAborted() : ETcpError("Request aborted.") {}
};

class ENotConnected : public ETcpError {
 public:
  ENotConnected() : ETcpError("Not Connected") {}
};

class EAlreadyConnected : public ETcpError {
 public:
  EAlreadyConnected() : ETcpError("Already connected.") {}
};

// The server closed the connection while a line was awaited.
class EConnClosedGracefully : public ETcpError {
 public:
  EConnClosedGracefully() : ETcpError("Connection closed by the server.") {}

 protected:
  explicit EConnClosedGracefully(const std::string& message) : ETcpError(message) {}
};

class EMaxLineLengthExceeded : public ETcpError {
 public:
  EMaxLineLengthExceeded() : ETcpError("Max line length exceeded.") {}
};

// Base of the HTTP-level errors.
class EHttpError : public Exception {
 public:
  using Exception::Exception;
};

// A reply other than 2xx that was not followed. The message is the status
// line; the body the server sent with it is kept in ErrorMessage.
class EHttpProtocolError : public EHttpError {
 public:
  EHttpProtocolError(int32_t code, const std::string& statusLine, std::string body)
      : EHttpError(statusLine), ErrorCode(code), ErrorMessage(std::move(body)) {}
  int32_t ErrorCode;
  std::string ErrorMessage;
  // The reply's Retry-After value, as sent (empty: none).
  std::string RetryAfter;
};

// A reply whose head or framing cannot be read: no status line, too many
// header lines, a negative or disputed Content-Length, a chunk size that is
// not hexadecimal.
class EHttpMalformedReply : public EHttpError {
 public:
  using EHttpError::EHttpError;
};

class EUnknownProtocol : public EHttpError {
 public:
  using EHttpError::EHttpError;
};

class EUriError : public EHttpError {
 public:
  using EHttpError::EHttpError;
};

}  // namespace zelvaro
