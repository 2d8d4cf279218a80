#include "broadcast/HandOver.h"

#include <fstream>

#include "game/Record.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {

std::string RecordFileBytes(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

THandOverResult FetchHandOver(TRecordFetch& fetch, std::string_view file_name) {
  THandOverResult result;
  try {
    result.bytes = fetch.Fetch();
    // What is no record neither replaces the file nor reaches the viewer.
    const std::u16string_view refusal =
        RecordRefusal(result.bytes, TRecordEncoding::kCp932, file_name);
    if (!refusal.empty()) result.error = Utf16ToUtf8(refusal);
  } catch (const std::exception& e) {
    result.error = FetchErrorMessage(e);
    if (result.error.empty()) result.error = "Unknown error.";
  }
  if (!result.error.empty()) result.bytes.clear();
  return result;
}

void SaveRecordLines(const std::string& path, const std::vector<std::string>& lines) {
  WriteRecordFile(path, RecordFileBytes(lines));
}

TRecordDownloadFetch::TRecordDownloadFetch(std::string url, std::unique_ptr<ILineFetcher> fetcher,
                                           std::string path, std::shared_ptr<TFollowState> follow,
                                           Kind kind)
    : url_(std::move(url)),
      fetcher_(std::move(fetcher)),
      path_(std::move(path)),
      follow_(std::move(follow)),
      kind_(kind) {}

std::string TRecordDownloadFetch::Fetch() {
  if (follow_ && kind_ == kRefresh) return FetchFollowedRecord(*fetcher_, url_, *follow_, result_);
  fetcher_->FetchLines(url_);
  if (follow_) result_.changed = follow_->Remember(fetcher_->Lines(), {}, {});
  return RecordFileBytes(fetcher_->Lines());
}

void TRecordDownloadFetch::Keep(const std::string& bytes) {
  // A record the file already holds is not written again (an unchanged
  // one, as a rule; but the write of a change may have failed before).
  if (follow_ && FileHolds(path_, bytes)) return;
  WriteRecordFile(path_, bytes);
}

std::string FetchFollowedRecord(ILineFetcher& fetcher, const std::string& url, TFollowState& state,
                                TRecordFetchResult& result) {
  result = {};
  try {
    const TFollowAnswer answer = fetcher.FetchFollowLines(url, state);
    result.changed = answer.changed;
    result.http_status = answer.http_status;
    result.body_bytes = answer.body_bytes;
  } catch (const std::exception& e) {
    result.retry_after = RetryAfterOf(e);
    throw;
  }
  return RecordFileBytes(fetcher.Lines());
}

bool FileHolds(const std::string& path, const std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::string held;
  held.resize(bytes.size() + 1);
  file.read(held.data(), static_cast<std::streamsize>(held.size()));
  return static_cast<size_t>(file.gcount()) == bytes.size() &&
         std::string_view(held.data(), bytes.size()) == bytes;
}

}  // namespace zelvaro
