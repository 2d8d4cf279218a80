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
// without LF is taken too; when the body was cut short it is not.
//
// Not thread-safe; the search window owns one fetcher.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/untHttp.h"
#include "streams/Stream.h"
#include "streams/untGZIP.h"
#include "streams/untStreamTool.h"

namespace zelvaro {

class TPageFetcher {
 public:
  // Applies the program's request settings to FHttp.
  TPageFetcher();
  TPageFetcher(const TPageFetcher&) = delete;
  TPageFetcher& operator=(const TPageFetcher&) = delete;

  // Fills FLines with the lines of the body of `url`. Every error of the
  // request or of the decoding propagates (an error status as
  // EHttpProtocolError, corrupt gzip data as EDecompressionError); FLines
  // then holds the lines completed before it.
  void FetchLines(std::string_view url);

  // The body target's write handler: takes one block of the body.
  void ReceiveChunk(const char* bytes, int64_t count);

  // The lines of the last fetch: raw bytes (Shift_JIS), without line ends.
  const std::vector<std::string>& Lines() const { return FLines; }

 private:
  // The decoder's target: appends to FBuffer. The text of a response is the
  // text of all its gzip members, so the emptying at a member header is not
  // passed on (each fetch starts with FBuffer empty anyway).
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
  bool BodyComplete() const;

  TTextSink text_sink_{*this};
  Decoding decoding_ = Decoding::kUndecided;
  std::string held_;  // first bytes of a "gzip" body while undecided
  int64_t received_ = 0;

 public:
  // The fetch members the search window's design names.
  THttpClient FHttp;
  TMemoryStreamEx FSink;  // body target; forwards to ReceiveChunk
  TMemoryStream FBuffer;  // decoded text of the current response
  TStreamReader FReader{&FBuffer};
  int64_t FReadPos = 0;                      // just past the last line moved to FLines
  TGzipDecompressStream FGzip{&text_sink_};  // writes to the end of FBuffer
  std::vector<std::string> FLines;
};

}  // namespace zelvaro
