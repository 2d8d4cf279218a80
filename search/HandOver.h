// The record file the viewer reads: written whole or not at all; and the
// download that fills it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "search/Discovery.h"
#include "viewer/RecordFetch.h"

namespace zelvaro {

// Writes `lines`, each followed by CR LF and with its bytes unchanged, to
// `path`. The text goes to a file beside it first, which then replaces
// `path` in one step, so a reader of `path` sees the old record or the new
// one, never a part. Throws EFileError naming the file and the reason; the
// old file is then left as it was.
void SaveRecordLines(const std::string& path, const std::vector<std::string>& lines);

// The download of one record for the viewer, with a fetcher of its own:
// Fetch gets the lines of `url` (off the window thread) and throws what the
// fetcher throws, so part of a record is never kept; Keep saves them to
// `path` with SaveRecordLines (on the window thread, the file's one writer).
class TRecordDownloadFetch : public TRecordFetch {
 public:
  TRecordDownloadFetch(std::string url, std::unique_ptr<ILineFetcher> fetcher, std::string path);
  std::vector<std::string> Fetch() override;
  void Abort() override { fetcher_->Abort(); }
  void Keep(const std::vector<std::string>& lines) override { SaveRecordLines(path_, lines); }

 private:
  const std::string url_;
  const std::unique_ptr<ILineFetcher> fetcher_;
  const std::string path_;
};

}  // namespace zelvaro
