// The page fetch: one GET whose body is cut into text lines while it
// arrives. Every download of the program (a tournament page, a game record)
// goes through FetchLines; callers read the lines from Lines() afterwards.
//
// The body comes from the HTTP client in blocks (ReceiveChunk). A response
// labelled exactly "gzip" whose body starts with the gzip magic is decoded;
// one labelled "gzip" that is plain text is used as it stands; any other
// label is never decoded. The text is appended to FBuffer and every line
// whose LF has arrived is moved to FLines, without CR, LF or NUL bytes and
// without blank lines. When the body has arrived completely, a last line
// without LF is taken too.
//
// A body that did not arrive whole is an error, never a shorter page: the
// client raises for a cut plain or chunked body, and a gzip body that ends
// inside a member raises "gzip: the compressed data is incomplete" (as do a
// trailer that does not match and garbage after the last member). The lines
// completed before an error stay in FLines.
//
// Memory is bounded by the page's lines: the decoded text is capped at
// MaxPageSize bytes and MaxPageLines lines (EPageTooLarge, raised while the
// body arrives, which ends the request), and the text already moved to
// FLines is dropped from FBuffer as the body goes on.
//
// Not thread-safe (Abort aside); one fetcher serves one request at a time.
// Requests on several threads at once each need a fetcher of their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/FollowFetch.h"
#include "net/untHttp.h"
#include "streams/Stream.h"
#include "streams/untGZIP.h"
#include "streams/untStreamTool.h"

namespace zelvaro {

// A page beyond the fetch's size or line cap.
class EPageTooLarge : public Exception {
 public:
  using Exception::Exception;
};

class TPageFetcher {
 public:
  // The decoded size one page may have. Real tournament pages and game
  // records are well under 1 MiB; 64 MiB is far above any of them and still
  // a size a desktop holds easily, while a hostile or broken server (a gzip
  // bomb inflating to gigabytes, an endless body) is stopped early.
  static constexpr int64_t kMaxPageSize = int64_t{64} << 20;
  // Lines one page may have. Each line costs about 32 bytes of bookkeeping
  // beside its text, so a page of very short lines would otherwise hold many
  // times its size; a long game record has a few thousand lines.
  static constexpr size_t kMaxPageLines = size_t{1} << 20;

  // Applies the program's request settings to FHttp.
  TPageFetcher();
  TPageFetcher(const TPageFetcher&) = delete;
  TPageFetcher& operator=(const TPageFetcher&) = delete;

  // Fills FLines with the lines of the body of `url`. Every error of the
  // request or of the decoding propagates (an error status as
  // EHttpProtocolError, damaged or cut gzip data as EDecompressionError, a
  // page beyond the caps as EPageTooLarge, a request past FHttp's
  // RequestTimeout as ERequestTimeout); FLines then holds the lines
  // completed before it.
  void FetchLines(std::string_view url);

  // FetchLines as a download of a record being followed: the request
  // leaves out "Connection: close" (the connection is kept in `pool` for the
  // next download from that place: one connection per place at a time) and
  // sends the validators `state` holds. A 304 to them, or a body equal to
  // the last good one, is "unchanged" (FLines then holds the last good
  // lines); a 400 or 412 to them is asked again once without, and `state`
  // sends none again. A good download's validators and lines go to `state`.
  // A 304 to a request without validators is an EHttpError; every other
  // error is FetchLines's. Every other request setting is FetchLines's.
  TFollowAnswer FetchFollowLines(std::string_view url, TFollowState& state,
                                 TConnectionPool& pool = TConnectionPool::Shared());

  // Callable from any thread while FetchLines runs on another: the request
  // ends at once with EAborted (FHttp.Abort), and every later one too.
  void Abort() { FHttp.Abort(); }

  // The caps of the next fetches (tests lower them).
  int64_t MaxPageSize = kMaxPageSize;
  size_t MaxPageLines = kMaxPageLines;

  // The body target's write handler: takes one block of the body.
  void ReceiveChunk(const char* bytes, int64_t count);

  // The lines of the last fetch: raw bytes (Shift_JIS), without line ends.
  const std::vector<std::string>& Lines() const { return FLines; }

 private:
  // The decoder's target: appends to FBuffer.
  class TTextSink : public TStream {
   public:
    explicit TTextSink(TPageFetcher& owner) : owner_(owner) {}
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t, SeekOrigin) override { return 0; }
    void SetSize(int64_t) override {}

   private:
    TPageFetcher& owner_;
  };

  // How the blocks of a response labelled "gzip" are used. Undecided while
  // the first bytes could still be the start of a gzip member.
  enum class Decoding { kUndecided, kGzip, kPlain };

  void AppendText(const char* bytes, int64_t count);
  void TakeLines();
  void TakeLine(std::string&& line);

  TTextSink text_sink_{*this};
  Decoding decoding_ = Decoding::kUndecided;
  std::string held_;       // first bytes of a "gzip" body while undecided
  int64_t decoded_ = 0;    // bytes of text this response has given
  int64_t received_ = 0;   // bytes of this response's body, as sent
  int64_t scan_from_ = 0;  // FBuffer holds no LF that ends a line before here

 public:
  // The fetch members the search window's design names.
  THttpClient FHttp;
  TMemoryStreamEx FSink;  // body target; forwards to ReceiveChunk
  // Decoded text of the current response from about the last line taken
  // on; the text before FReadPos is in FLines and is dropped now and then.
  TMemoryStream FBuffer;
  TStreamReader FReader{&FBuffer};
  int64_t FReadPos = 0;                      // just past the last line moved to FLines
  TGzipDecompressStream FGzip{&text_sink_};  // writes to the end of FBuffer
  std::vector<std::string> FLines;
};

}  // namespace zelvaro
