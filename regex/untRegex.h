// TRegex: the program's backtracking regular-expression engine over bytes.
//
// This header states the part of the interface every caller relies on; the
// engine's settings, modifiers and hints are declared beside it.
//
//   TRegex re;
//   re.SetExpression(pattern);   // compiled at the next Exec, kept while unchanged
//   if (re.Exec(line)) use(re.GroupText(1));
//
// Errors raise ERegex (ErrorNumber, ErrorPosition).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/Exception.h"

namespace zelvaro {

class ERegex : public Exception {
 public:
  ERegex(std::string message, int32_t error_number, int32_t error_position)
      : Exception(std::move(message)), ErrorNumber(error_number), ErrorPosition(error_position) {}
  int32_t ErrorNumber;
  int32_t ErrorPosition;
};

class TRegex {
 public:
  TRegex();
  ~TRegex();
  TRegex(const TRegex&) = delete;
  TRegex& operator=(const TRegex&) = delete;

  void SetExpression(std::string_view pattern);
  bool Exec(std::string_view input);
  // Group n (0 = the whole match) of the last Exec; empty when unset.
  std::string GroupText(int n) const;
};

}  // namespace zelvaro
