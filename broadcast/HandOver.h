// The record file the viewer reads: written whole or not at all; and the
// download that fills it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "broadcast/Discovery.h"
#include "broadcast/RecordFetch.h"

namespace zelvaro {

// Writes `lines`, each followed by CR LF and with its bytes unchanged, to
// `path` with WriteRecordFile (game/KifReader.h): the old record or the new
// one, never a part. Throws EFileError naming the file and the reason; the
// old file is then left as it was.
void SaveRecordLines(const std::string& path, const std::vector<std::string>& lines);

// The bytes of a record file that holds `lines`: each line ends in CR LF.
std::string RecordFileBytes(const std::vector<std::string>& lines);

// What the hand-over of a double-clicked game came to: the record file's
// bytes, or the message to show instead (then nothing is kept or shown).
struct THandOverResult {
  std::string bytes;
  std::string error;  // empty when the record came whole and is a record
};

// On a worker thread: `fetch`'s bytes, refused (as a file named
// `file_name` would be) when they are no record. A failed fetch gives its
// message, never part of a record.
THandOverResult FetchHandOver(TRecordFetch& fetch, std::string_view file_name);

// The download of one record for the viewer, with a fetcher of its own:
// Fetch gets the lines of `url` (off the window thread) as a record file's
// bytes and throws what the fetcher throws, so part of a record is never
// kept; Keep writes them to `path` with WriteRecordFile (on the window
// thread, the file's one writer).
class TRecordDownloadFetch : public TRecordFetch {
 public:
  TRecordDownloadFetch(std::string url, std::unique_ptr<ILineFetcher> fetcher, std::string path);
  std::string Fetch() override;
  void Abort() override { fetcher_->Abort(); }
  void Keep(const std::string& bytes) override;

 private:
  const std::string url_;
  const std::unique_ptr<ILineFetcher> fetcher_;
  const std::string path_;
};

}  // namespace zelvaro
