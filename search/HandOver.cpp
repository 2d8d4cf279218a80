#include "search/HandOver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "toolkit/Exception.h"

namespace zelvaro {
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
  throw EFileError("\"" + path + "\" を保存できません: " + std::strerror(error));
}

}  // namespace

void SaveRecordLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  const std::string temp = path + ".part";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail(path, errno);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      Fail(path, error);
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    Fail(path, error);
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    Fail(path, error);
  }
}

TRecordDownloadFetch::TRecordDownloadFetch(std::string url, std::unique_ptr<ILineFetcher> fetcher,
                                           std::string path)
    : url_(std::move(url)), fetcher_(std::move(fetcher)), path_(std::move(path)) {}

std::vector<std::string> TRecordDownloadFetch::Fetch() {
  fetcher_->FetchLines(url_);
  return fetcher_->Lines();
}

}  // namespace zelvaro
