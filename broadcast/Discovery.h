// Broadcast discovery without windows: the tournament table, the link scan
// of one page, the header probe of one record and the whole search, driven
// through two small interfaces so that tests can feed lines without a
// network and the window can show what comes back.
//
// Page lines and record lines are raw Shift_JIS bytes without line ends.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "net/FollowFetch.h"
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

// Hosts under the reserved ".example" names are placeholders (the program's
// defaults where no address is set): never asked for.
bool IsPlaceholderUrl(std::string_view url);
inline constexpr char kNotConfiguredMessage[] = "アドレスが設定されていません";

// Where lines come from. FetchLines replaces Lines() with the complete lines
// of the response and throws zelvaro::Exception (or another std::exception)
// on failure, leaving in Lines() what arrived before it. One fetcher serves
// one request at a time; requests on several threads each have their own.
class ILineFetcher {
 public:
  virtual ~ILineFetcher() = default;
  virtual void FetchLines(std::string_view url) = 0;
  virtual const std::vector<std::string>& Lines() const = 0;
  // Callable from any thread while FetchLines runs on another: it ends at
  // once with an error, and so does every later FetchLines.
  virtual void Abort() {}
  // FetchLines as one download of a record being followed, with what
  // `state` remembers of the address (TPageFetcher::FetchFollowLines). A
  // fetcher that sends no validators compares the lines with the last ones.
  virtual TFollowAnswer FetchFollowLines(std::string_view url, TFollowState& state) {
    FetchLines(url);
    TFollowAnswer answer;
    answer.http_status = 200;
    answer.changed = state.Remember(Lines(), {}, {});
    return answer;
  }
};

// What a search reports while it runs, always in the search's order: pages
// in table order, each page's rows in candidate order, a failed page in its
// place. No call comes while another one runs, even when a call waits for
// the user (a message box): what is due meanwhile is reported after it.
class ISearchListener {
 public:
  virtual ~ISearchListener() = default;
  // The search has reached page `index` of the table.
  virtual void PageStarted(int index) { (void)index; }
  virtual void PageFailed(int index, const std::string& message) = 0;
  // Page `index` lies on a placeholder host (IsPlaceholderUrl) and was not
  // asked for. By default it counts as failed with kNotConfiguredMessage.
  virtual void PageNotConfigured(int index) { PageFailed(index, kNotConfiguredMessage); }
  virtual void RowFound(const TGameRow& row) = 0;
  // Asked before every fetch and every report; true ends the search there.
  virtual bool Cancelled() { return false; }
};

// The message of an exception thrown by a fetch.
std::string FetchErrorMessage(const std::exception& e);

// The most connections a search has open to one host at a time, so that
// the broadcast server is not hammered.
inline constexpr int kMaxConnectionsPerHost = 4;

// One download of a search: tournament page `page` (record < 0), or the
// record-th candidate found on that page.
struct TSearchFetch {
  int page = 0;
  int record = -1;
  std::string url;
};

// What one download of a search came to, read where it was fetched.
struct TSearchFetchResult {
  std::vector<std::string> candidates;  // a page's candidates, in order
  std::optional<TGameRow> row;          // a record's row, when its header is complete
  std::optional<std::string> error;     // the fetch failed with this message
  bool not_configured = false;          // a placeholder host: nothing was asked
};

// Does one download with `fetcher` and reads from its lines what the search
// needs: a page's candidates, a record's row. The lines that arrived before
// a failure count. Needs nothing but `fetcher`, so downloads with fetchers
// of their own may run on several threads at once.
TSearchFetchResult RunSearchFetch(const TSearchFetch& fetch, ILineFetcher& fetcher,
                                  const TBroadcastHosts& hosts);

// The host part of `url` ("127.0.0.1:8080"), lower-cased: what the bound on
// connections counts.
std::string HostOf(std::string_view url);

// The order of a search whose downloads run at the same time and end in any
// order. It says which downloads may start (every page at once, each
// record as soon as its page's links are known; never a skipped candidate;
// within the bounds on connections), and it reports to the listener exactly
// what the search one download after the other would report, in the same
// order, as soon as that is known. Has no threads of its own: the caller
// runs the downloads and passes each result to Finish, on one thread.
class TSearchScheduler {
 public:
  // At most `per_host` downloads to one host and `total` in all at a time.
  TSearchScheduler(const TBroadcastHosts& hosts, ISearchListener& listener,
                   int per_host = kMaxConnectionsPerHost, int total = 1 << 30);

  // Reports the start of the first page.
  void Start();
  // The downloads that may start now, earliest in the search's order first.
  // Each counts as running until its Finish. None once the search is done.
  std::vector<TSearchFetch> Next();
  // A download that Next gave has ended: reports what is now due. Called
  // while a report waits (a message box), it keeps the result for the
  // report under way to take up.
  void Finish(const TSearchFetch& fetch, TSearchFetchResult result);
  // Everything is reported, or the search was cancelled.
  bool Done();
  // Nothing is started or reported any more.
  void Cancel() { cancelled_ = true; }
  // Downloads given by Next and not finished yet.
  int Running() const { return running_; }

 private:
  struct Record {
    std::string url;
    bool done = false;
    std::optional<TGameRow> row;
  };
  struct Page {
    bool done = false;
    bool started_reported = false;
    bool failure_reported = false;
    bool not_configured = false;
    std::optional<std::string> error;
    std::vector<Record> records;  // set once, when the page is done
  };

  bool Stopped() { return cancelled_ || listener_.Cancelled(); }
  const std::string& UrlOf(std::pair<int, int> job) const;
  void Report();
  // Reports the rows of the current page's candidates that are due, in
  // candidate order; true once every candidate is reported. A record that
  // could not be fetched, or lacks a header value, has no row.
  bool AddRecordRows();

  TBroadcastHosts hosts_;
  TTournamentTable table_;
  ISearchListener& listener_;
  int per_host_, total_;
  bool cancelled_ = false;
  bool reporting_ = false;
  std::array<Page, kTournamentCount> pages_;
  std::set<std::pair<int, int>> ready_;  // (page, record), record -1 for the page
  std::map<std::string, int> running_per_host_;
  int running_ = 0;
  int cursor_page_ = 0;       // the page whose reports are under way
  size_t cursor_record_ = 0;  // the next record of that page to report
};

// The whole search, one download after the other on the calling thread with
// one fetcher: every page of the table in order, its links, its records. A
// page that cannot be fetched is reported and the lines received before the
// failure are still scanned. The windows run the same search with parallel
// downloads from their event loop (search/ParallelSearch.h).
void RunSearch(const TBroadcastHosts& hosts, ILineFetcher& fetcher, ISearchListener& listener);

// Makes the fetcher of one download.
using TFetcherFactory = std::function<std::unique_ptr<ILineFetcher>()>;

// The same search with its downloads in parallel, each on a thread of its
// own with a fetcher from `make_fetcher`, within the bounds of
// TSearchScheduler; the listener hears everything on the calling thread, in
// the same order. Returns once everything is reported or the listener has
// cancelled the search (the downloads still in flight are then aborted).
// For programs without an event loop (zelvaro-cli).
void RunSearch(const TBroadcastHosts& hosts, const TFetcherFactory& make_fetcher,
               ISearchListener& listener, int per_host = kMaxConnectionsPerHost);

}  // namespace zelvaro
