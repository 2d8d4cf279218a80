// Dates as HTTP and cookies write them.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace zelvaro {

using TDateTime = std::chrono::sys_seconds;

// "Sun, 06 Nov 1994 08:49:37 GMT".
std::string FormatHttpDate(TDateTime when);

// Reads the date forms servers send: RFC 1123, RFC 850, asctime() and the
// cookie form "Sun, 06-Nov-1994 08:49:37 GMT". The time is taken as GMT;
// a numeric zone is ignored. Empty when no date can be read.
std::optional<TDateTime> ParseHttpDate(std::string_view text);

}  // namespace zelvaro
