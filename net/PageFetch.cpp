#include "net/PageFetch.h"

#include <algorithm>
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

// Text already in FLines is dropped from FBuffer once at least this much of
// it has gathered and it outweighs the unfinished rest, so moving the rest
// to the front stays cheap and the buffer holds about one line.
constexpr int64_t kDropTakenTextAt = int64_t{1} << 20;

std::string SizeText(int64_t bytes) {
  if (bytes % (int64_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
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
  decoded_ = 0;
  received_ = 0;
  scan_from_ = 0;

  FHttp.Get(url, &FSink);

  // The client has raised for a body cut short of its framing; a gzip body
  // is whole only when it ends with a whole member.
  if (FHttp.Response.ContentEncoding == "gzip" && decoding_ != Decoding::kPlain) FGzip.Finish();
  // The body is complete, so its last line is too, LF or not.
  FBuffer.Seek(FReadPos, SeekOrigin::kBeginning);
  std::string line;
  FReader.ReadLine(line);
  if (!line.empty()) {
    FReadPos = FBuffer.Position();
    TakeLine(std::move(line));
  }
}

TFollowAnswer TPageFetcher::FetchFollowLines(std::string_view url, TFollowState& state,
                                             TConnectionPool& pool) {
  THttpRequest& request = FHttp.Request;
  // Only this download differs from the fetcher's other requests.
  struct Restore {
    THttpClient& http;
    std::string connection;
    TConnectionPool* pool;
    ~Restore() {
      http.Request.Connection = std::move(connection);
      http.Request.IfNoneMatch.clear();
      http.Request.IfModifiedSince.clear();
      http.Pool = pool;
    }
  } restore{FHttp, request.Connection, FHttp.Pool};
  request.Connection.clear();
  FHttp.Pool = &pool;

  TFollowAnswer answer;
  const std::shared_ptr<const TRecordLines> last = state.Last();
  const TFollowState::TValidators validators = state.Next();
  answer.conditional = last && validators.Any();
  auto ask = [&](const TFollowState::TValidators& sent) {
    request.IfNoneMatch = sent.etag;
    request.IfModifiedSince = sent.last_modified;
    FetchLines(url);
  };
  try {
    try {
      ask(answer.conditional ? validators : TFollowState::TValidators{});
    } catch (const EHttpProtocolError& e) {
      if (!answer.conditional || (e.ErrorCode != 400 && e.ErrorCode != 412)) throw;
      // A server that does not take our validators: asked once more as a
      // plain download, and never again with them.
      state.RefuseValidators();
      answer.conditional = false;
      ask({});
    }
  } catch (const EHttpProtocolError& e) {
    if (e.ErrorCode != 304) throw;
    if (!answer.conditional) {
      throw EHttpError("サーバーが条件なしの要求に「変更なし」と答えました (" + e.Message() +
                       ", but the request carried no validators)");
    }
    FLines = *last;
    answer.http_status = 304;
    answer.body_bytes = 0;
    answer.changed = false;
    return answer;
  }
  answer.http_status = FHttp.Response.StatusCode;
  answer.body_bytes = received_;
  const THeaderList& head = FHttp.Response.HeaderLines;
  answer.changed = state.Remember(FLines, head.Value("ETag"), head.Value("Last-Modified"),
                                  head.Value("Content-Type"));
  return answer;
}

void TPageFetcher::ReceiveChunk(const char* bytes, int64_t count) {
  if (count <= 0) return;
  received_ += count;
  if (FHttp.Response.ContentEncoding != "gzip") {
    AppendText(bytes, count);
    return;
  }
  switch (decoding_) {
    case Decoding::kPlain:
      AppendText(bytes, count);
      break;
    case Decoding::kGzip:
      // Every byte belongs to the gzip stream; the decoder's output reaches
      // AppendText through text_sink_.
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
        std::string plain = std::move(held_);
        held_.clear();
        AppendText(plain.data(), static_cast<int64_t>(plain.size()));
      }
      break;
  }
}

void TPageFetcher::AppendText(const char* bytes, int64_t count) {
  // Checked before the bytes are held: a page past the cap is never kept.
  decoded_ += count;
  if (decoded_ > MaxPageSize)
    throw EPageTooLarge("the page is larger than " + SizeText(MaxPageSize));
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
  TakeLines();
}

void TPageFetcher::TakeLines() {
  // Only a new LF can complete a line, and the text before scan_from_ has
  // been searched already: an unfinished line is scanned once, however many
  // blocks it spans.
  const int64_t size = FBuffer.Size();
  if (FBuffer.View().find('\n', static_cast<size_t>(scan_from_)) == std::string_view::npos) {
    scan_from_ = size;
    return;
  }
  FBuffer.Seek(FReadPos, SeekOrigin::kBeginning);
  std::string line;
  while (FReader.ReadLine(line) && !line.empty()) {
    FReadPos = FBuffer.Position();
    TakeLine(std::move(line));
  }
  // What follows FReadPos now holds no LF after a byte of a line.
  scan_from_ = size;
  if (FReadPos >= kDropTakenTextAt && FReadPos >= size - FReadPos) {
    FBuffer.DropFront(FReadPos);
    scan_from_ -= FReadPos;
    FReadPos = 0;
  }
}

void TPageFetcher::TakeLine(std::string&& line) {
  if (FLines.size() >= MaxPageLines) {
    throw EPageTooLarge("the page has more than " + std::to_string(MaxPageLines) + " lines");
  }
  FLines.push_back(std::move(line));
}

}  // namespace zelvaro
