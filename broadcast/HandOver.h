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
// `path` with WriteRecordFile (game/Record.h): the old record or the new
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
//
// With a `follow` state the download is one of a follow (a refresh): it
// keeps its connection and sends the validators the address gave
// (ILineFetcher::FetchFollowLines); Result says whether the record changed,
// and Keep leaves a file that already holds the record alone. A download
// that starts a follow (kStart) is a plain one that leaves its lines in the
// state, so that the first refresh can tell an unchanged record.
class TRecordDownloadFetch : public TRecordFetch {
 public:
  enum Kind { kRefresh, kStart };
  TRecordDownloadFetch(std::string url, std::unique_ptr<ILineFetcher> fetcher, std::string path,
                       std::shared_ptr<TFollowState> follow = nullptr, Kind kind = kRefresh);
  std::string Fetch() override;
  void Abort() override { fetcher_->Abort(); }
  void Keep(const std::string& bytes) override;
  TRecordFetchResult Result() const override { return result_; }

 private:
  const std::string url_;
  const std::unique_ptr<ILineFetcher> fetcher_;
  const std::string path_;
  const std::shared_ptr<TFollowState> follow_;
  const Kind kind_;
  TRecordFetchResult result_;
};

// One download of a follow through `fetcher`: the lines (the last good ones
// when unchanged) as a record file's bytes, and how it went in `result`
// (also when it throws: then the server's Retry-After, if any).
std::string FetchFollowedRecord(ILineFetcher& fetcher, const std::string& url, TFollowState& state,
                                TRecordFetchResult& result);

// Whether the file at `path` holds exactly `bytes` (false when it cannot be
// read).
bool FileHolds(const std::string& path, const std::string& bytes);

}  // namespace zelvaro
