#include "net/PageFetch.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace zelvaro {
namespace {

// Could these first bytes of a body begin a gzip member (magic and the
// deflate method)?
bool MayStartGzip(std::string_view bytes) {
  static constexpr std::string_view kMagic("\x1F\x8B\x08", 3);
  return kMagic.substr(0, std::min(bytes.size(), kMagic.size())) ==
         bytes.substr(0, std::min(bytes.size(), kMagic.size()));
}

bool Contains(std::string_view text, std::string_view word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    bool same = true;
    for (size_t j = 0; j < word.size() && same; ++j)
      same = std::tolower(static_cast<unsigned char>(text[i + j])) == word[j];
    if (same) return true;
  }
  return false;
}

}  // namespace

int64_t TPageFetcher::TTextSink::Write(const void* buffer, int64_t count) {
  owner_.AppendText(static_cast<const char*>(buffer), count);
  return count;
}

TPageFetcher::TPageFetcher() {
  ApplyProgramRequestSettings(FHttp);
  FSink.SetOnWrite([this](const char* bytes, int64_t count) { ReceiveChunk(bytes, count); });
}

void TPageFetcher::FetchLines(std::string_view url) {
  FLines.clear();
  FBuffer.Clear();
  FReadPos = 0;
  // Every response starts a new gzip stream, whatever became of the last one.
  FGzip.Reset();
  decoding_ = Decoding::kUndecided;
  held_.clear();
  received_ = 0;

  FHttp.Get(url, &FSink);

  // The unfinished last line is whole only if the body is; a body cut short
  // may end in the middle of a line.
  if (!BodyComplete()) return;
  FBuffer.Seek(FReadPos, SeekOrigin::kBeginning);
  std::string line;
  FReader.ReadLine(line);
  if (!line.empty()) {
    FReadPos = FBuffer.Position();
    FLines.push_back(std::move(line));
  }
}

bool TPageFetcher::BodyComplete() const {
  const THttpResponse& response = FHttp.Response;
  const bool chunked = Contains(response.HeaderLines.Value("Transfer-Encoding"), "chunked");
  // A chunked body cut short raises in the client; a body with a length ends
  // without an error when the server closes early.
  if (!chunked && response.HasContentLength && received_ != response.ContentLength) return false;
  switch (decoding_) {
    case Decoding::kGzip:
      // Inside a member (data or trailer still missing): the text is cut.
      return FGzip.GzipState() == TGzipDecompressStream::kStateHeader;
    case Decoding::kUndecided:
      // Nothing but the first bytes of a gzip header arrived.
      return held_.empty();
    case Decoding::kPlain:
      break;
  }
  return true;
}

void TPageFetcher::ReceiveChunk(const char* bytes, int64_t count) {
  if (count <= 0) return;
  received_ += count;
  if (FHttp.Response.ContentEncoding != "gzip") {
    AppendText(bytes, count);
  } else {
    switch (decoding_) {
      case Decoding::kPlain:
        AppendText(bytes, count);
        break;
      case Decoding::kGzip:
        // Every byte belongs to the gzip stream; what the decoder does not
        // take (bytes after the last member) is not text either.
        FGzip.Write(bytes, count);
        break;
      case Decoding::kUndecided:
        held_.append(bytes, static_cast<size_t>(count));
        if (FGzip.Write(bytes, count) > 0) {
          decoding_ = Decoding::kGzip;
          held_.clear();
        } else if (!MayStartGzip(held_)) {
          // Labelled gzip but plain: use the bytes as they came.
          decoding_ = Decoding::kPlain;
          AppendText(held_.data(), static_cast<int64_t>(held_.size()));
          held_.clear();
        }
        break;
    }
  }
  TakeLines();
}

void TPageFetcher::AppendText(const char* bytes, int64_t count) {
  // NUL bytes are dropped like CR bytes; the line reader would stop at them.
  FBuffer.Seek(0, SeekOrigin::kEnd);
  const char* end = bytes + count;
  while (bytes < end) {
    const char* nul =
        static_cast<const char*>(std::memchr(bytes, 0, static_cast<size_t>(end - bytes)));
    const char* stop = nul != nullptr ? nul : end;
    if (stop > bytes) FBuffer.WriteBuffer(bytes, stop - bytes);
    bytes = stop + (nul != nullptr ? 1 : 0);
  }
}

void TPageFetcher::TakeLines() {
  FBuffer.Seek(FReadPos, SeekOrigin::kBeginning);
  std::string line;
  while (FReader.ReadLine(line) && !line.empty()) {
    FReadPos = FBuffer.Position();
    FLines.push_back(std::move(line));
  }
}

}  // namespace zelvaro
