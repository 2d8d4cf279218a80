// KIF lines read as the viewer reads a record, for tests of what is made of
// the record afterwards.
#pragma once

#include <string>
#include <vector>

#include "game/KifReader.h"

namespace zelvaro::testing {

inline TKifRecord ReadKif(const std::vector<std::u16string>& lines) {
  TKifRecord record;
  TKifReader reader(record);
  reader.Begin(u"");
  reader.ReadLines(lines);
  return record;
}

}  // namespace zelvaro::testing
