// The record file the viewer reads: written whole or not at all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "search/Discovery.h"

namespace zelvaro {

// Writes `lines`, each followed by CR LF and with its bytes unchanged, to
// `path` with WriteRecordFile (game/KifReader.h): the old record or the new
// one, never a part. Throws EFileError naming the file and the reason; the
// old file is then left as it was.
void SaveRecordLines(const std::string& path, const std::vector<std::string>& lines);

// Downloads the record at `url` with `fetcher` and saves its lines to
// `path` as above. A fetch that fails throws what the fetcher threw, before
// `path` is touched: part of a record is never saved. A failed write throws
// EFileError.
void DownloadRecord(ILineFetcher& fetcher, std::string_view url, const std::string& path);

}  // namespace zelvaro
