#include "resources/Resources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE declares the registration function in the enclosing
// namespace, so it is called from outside namespace zelvaro.
static void RegisterEmbeddedImages() { Q_INIT_RESOURCE(resources); }

namespace zelvaro {

void InitResources() {
  static const bool registered = (RegisterEmbeddedImages(), true);
  (void)registered;
}

}  // namespace zelvaro
