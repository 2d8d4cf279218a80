#include "search/HandOver.h"

#include "game/KifReader.h"

namespace zelvaro {

void SaveRecordLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  WriteRecordFile(path, text);
}

void DownloadRecord(ILineFetcher& fetcher, std::string_view url, const std::string& path) {
  fetcher.FetchLines(url);
  SaveRecordLines(path, fetcher.Lines());
}

}  // namespace zelvaro
