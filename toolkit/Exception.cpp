#include "toolkit/Exception.h"

#include <new>

namespace zelvaro {

// Out of line so that the class has one home for its type information.
Exception::~Exception() = default;

std::string MessageOf(const std::exception& e) {
  if (const auto* ours = dynamic_cast<const Exception*>(&e)) return ours->Message();
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return "Out of memory.";
  return e.what();
}

}  // namespace zelvaro
