#include "search/HandOver.h"

#include "game/Record.h"

namespace zelvaro {

std::string RecordFileBytes(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
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
