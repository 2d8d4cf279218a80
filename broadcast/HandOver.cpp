#include "broadcast/HandOver.h"

#include "game/KifReader.h"
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
                                           std::string path)
    : url_(std::move(url)), fetcher_(std::move(fetcher)), path_(std::move(path)) {}

std::string TRecordDownloadFetch::Fetch() {
  fetcher_->FetchLines(url_);
  return RecordFileBytes(fetcher_->Lines());
}

void TRecordDownloadFetch::Keep(const std::string& bytes) { WriteRecordFile(path_, bytes); }

}  // namespace zelvaro
