// The record file the viewer reads: written whole or not at all.
#pragma once

#include <string>
#include <vector>

namespace zelvaro {

// Writes `lines`, each followed by CR LF and with its bytes unchanged, to
// `path`. The text goes to a file beside it first, which then replaces
// `path` in one step, so a reader of `path` sees the old record or the new
// one, never a part. Throws EFileError naming the file and the reason; the
// old file is then left as it was.
void SaveRecordLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace zelvaro
