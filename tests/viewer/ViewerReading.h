// Readings of the viewer window run aside and end later: what its tests
// wait for before they look.
#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "tests/common/QtTestSupport.h"
#include "viewer/untMain.h"

namespace zelvaro::testing {

// Waits until the reading under way, if any, has ended and what it read is shown.
inline bool WaitForReading(TForm1& form) {
  return WaitFor([&] { return !form.Follower->Reading(); });
}

// Opens `path` as Ctrl+O does and waits for the outcome: whether it is shown.
inline bool OpenFile(TForm1& form, const QString& path) {
  auto shown = std::make_shared<std::optional<bool>>();
  if (!form.Actions->OpenRecordFile(path, [shown](bool ok) { *shown = ok; })) return false;
  WaitFor([&] { return shown->has_value(); });
  return shown->value_or(false);
}

}  // namespace zelvaro::testing
