#include "toolkit/Exception.h"

namespace zelvaro {

// Out of line so that the class has one home for its type information.
Exception::~Exception() = default;

}  // namespace zelvaro
