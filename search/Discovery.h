// Broadcast discovery without windows: the tournament table, the link scan
// of one page, the header probe of one record and the whole search, driven
// through two small interfaces so that tests can feed lines without a
// network and the window can show what comes back.
//
// Page lines and record lines are raw Shift_JIS bytes without line ends.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "regex/untRegex.h"

namespace zelvaro {

// The two outside hosts. Each is a base URL: scheme, host and optional
// port, without a trailing slash.
struct TBroadcastHosts {
  std::string Server;
  std::string Sponsor;
};

// The hosts the program searches when the command line names none.
TBroadcastHosts DefaultHosts();

// Checks a base URL given on the command line and returns it without a
// trailing slash. It goes into a pattern unescaped, so only "http://"
// followed by host, port and path characters is accepted. Throws
// zelvaro::Exception with a message naming the URL otherwise.
std::string NormaliseBaseUrl(std::string_view url);

inline constexpr int kTournamentCount = 14;
inline constexpr int kSponsorEntry = 6;
using TTournamentTable = std::array<std::string, kTournamentCount>;

// The 14 tournament pages in search order; entry 6 lies on the sponsor host.
TTournamentTable TournamentTable(const TBroadcastHosts& hosts);

// The four patterns, exactly as the search gives them to TRegex.
std::string CommentOpeningPattern();
std::string CommentClosingPattern();
std::string ServerLinkPattern(std::string_view server_base);
std::string RecordLinkPattern();

// Every ".html" in `url` replaced by ".kif".
std::string HtmlToKif(std::string url);

// The link scan of one page: one scanner per page, fed the page's lines in
// order. Candidates keep their order of discovery, duplicates included.
class TLinkScanner {
 public:
  TLinkScanner(std::string page_url, std::string_view server_base);

  // Scans one line (empty lines are passed over). Throws ERegex only if a
  // pattern cannot compile, which NormaliseBaseUrl rules out.
  void ScanLine(std::string_view line);

  int32_t CommentDepth = 0;
  std::vector<std::string> Candidates;

 private:
  std::string page_url_;
  std::string server_pattern_;
  TRegex regex_;
};

// Scans a whole page.
std::vector<std::string> ScanPage(const std::vector<std::string>& lines, std::string page_url,
                                  std::string_view server_base);

// Candidates that are never fetched: "/archive", "/index" or "_multi.kif"
// anywhere in the URL (case-sensitive).
bool IsSkippedCandidate(std::string_view url);

// One row of the game list, all texts Shift_JIS as the list holds them.
struct TGameRow {
  std::string Start;
  std::string Tournament;
  std::string Sente;
  std::string Gote;
  std::string Url;
};

// The four header values of one record as they are read line by line.
struct TRecordHeader {
  std::u16string Start, Tournament, Sente, Gote;

  // Tests the four labels on one Shift_JIS line; a label found anywhere in
  // the line takes the value at the label's fixed place (from the 6th
  // character for "開始日時：", the 4th for the others), at most 128
  // characters.
  void ReadLine(std::string_view line);
  bool Complete() const;
};

// The header probe of one record's lines: the row of the first line at
// which all four values are known, or nothing.
std::optional<TGameRow> ProbeRecordLines(const std::vector<std::string>& lines,
                                         const std::string& url);

// Where lines come from. FetchLines replaces Lines() with the complete lines
// of the response and throws zelvaro::Exception (or another std::exception)
// on failure, leaving in Lines() what arrived before it.
class ILineFetcher {
 public:
  virtual ~ILineFetcher() = default;
  virtual void FetchLines(std::string_view url) = 0;
  virtual const std::vector<std::string>& Lines() const = 0;
};

// What a search reports while it runs. RowFound may process window events,
// and those may fetch with the same fetcher: the search does not read the
// fetcher's lines again after it, until its own next fetch.
class ISearchListener {
 public:
  virtual ~ISearchListener() = default;
  // Page `index` of the table is about to be fetched.
  virtual void PageStarted(int index) { (void)index; }
  virtual void PageFailed(int index, const std::string& message) = 0;
  virtual void RowFound(const TGameRow& row) = 0;
  // Checked before every fetch; true ends the search there.
  virtual bool Cancelled() { return false; }
};

// The message of an exception thrown by a fetch.
std::string FetchErrorMessage(const std::exception& e);

// Probes the candidates of one page and reports a row for every record whose
// four header values are found. Records that cannot be fetched are passed
// over in silence; the lines that arrived before the failure still count.
void AddRecordRows(const std::vector<std::string>& candidates, ILineFetcher& fetcher,
                   ISearchListener& listener);

// The whole search: every page of the table in order, its links, its
// records. A page that cannot be fetched is reported and the lines received
// before the failure are still scanned.
void RunSearch(const TBroadcastHosts& hosts, ILineFetcher& fetcher, ISearchListener& listener);

}  // namespace zelvaro
