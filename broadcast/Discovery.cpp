#include "broadcast/Discovery.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

// Neither name resolves anywhere: there is no public broadcast behind this
// build, so a search without --server and --sponsor reports each page as
// unreachable instead of scraping someone else's site.
constexpr char kDefaultServer[] = "http://broadcast.zelvaro.example";
constexpr char kDefaultSponsor[] = "http://sponsor.zelvaro.example";

constexpr std::array<const char*, kTournamentCount> kPagePaths = {
    "/ryuou/",
    "/oui/",
    "/ouza/",
    "/kiou/",
    "/kisei/",
    "/asahi/",
    "/knowledge/shogi/live/index.html",
    "/shinjin/",
    "/seiryu/",
    "/tatsujin/",
    "/joryu_ouza/",
    "/joryumeijin/",
    "/joryu-oui/",
    "/kurashikitouka/"};

constexpr size_t kHeaderValueLength = 128;

struct HeaderLabel {
  std::u16string_view label;
  size_t first_char;  // counted from 1
};
constexpr HeaderLabel kStartLabel{u"開始日時：", 6};
constexpr HeaderLabel kTournamentLabel{u"棋戦：", 4};
constexpr HeaderLabel kSenteLabel{u"先手：", 4};
constexpr HeaderLabel kGoteLabel{u"後手：", 4};

void ReadLabel(std::u16string_view line, const HeaderLabel& label, std::u16string& value) {
  if (line.find(label.label) == std::u16string_view::npos) return;
  // The place is fixed: where the value starts when the label begins the
  // line, wherever the label actually stands.
  const size_t from = label.first_char - 1;
  value =
      from < line.size() ? std::u16string(line.substr(from, kHeaderValueLength)) : std::u16string();
}

bool IsUrlCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
         c == '/' || c == ':' || c == '_' || c == '~' || c == '-';
}

}  // namespace

TBroadcastHosts DefaultHosts() { return {kDefaultServer, kDefaultSponsor}; }

std::string NormaliseBaseUrl(std::string_view url) {
  std::string base(url);
  while (base.size() > 7 && base.back() == '/') base.pop_back();
  constexpr std::string_view kScheme = "http://";
  bool ok = base.size() > kScheme.size() && base.compare(0, kScheme.size(), kScheme) == 0;
  for (size_t i = kScheme.size(); ok && i < base.size(); ++i) ok = IsUrlCharacter(base[i]);
  if (!ok) {
    throw Exception(
        "使えないアドレスです: \"" + std::string(url) +
        "\"（http://ホスト[:ポート][/パス] の形で、英数字と . : / _ ~ - だけが使えます）");
  }
  return base;
}

TTournamentTable TournamentTable(const TBroadcastHosts& hosts) {
  TTournamentTable table;
  for (int i = 0; i < kTournamentCount; ++i) {
    table[i] = (i == kSponsorEntry ? hosts.Sponsor : hosts.Server) + kPagePaths[i];
  }
  return table;
}

std::string CommentOpeningPattern() { return "^[\t]+[ ]+<!--"; }
std::string CommentClosingPattern() { return "-->"; }
std::string ServerLinkPattern(std::string_view server_base) {
  return ".*(" + std::string(server_base) + "/[0-9a-zA-Z./?_=~-]+).*";
}
std::string RecordLinkPattern() { return ".*<a href=\"(kifu/[0-9a-zA-Z./?_=~-]+).*"; }

std::string HtmlToKif(std::string url) {
  constexpr std::string_view kHtml = ".html", kKif = ".kif";
  for (size_t at = url.find(kHtml); at != std::string::npos; at = url.find(kHtml, at)) {
    url.replace(at, kHtml.size(), kKif);
    at += kKif.size();
  }
  return url;
}

TLinkScanner::TLinkScanner(std::string page_url, std::string_view server_base)
    : page_url_(std::move(page_url)), server_pattern_(ServerLinkPattern(server_base)) {}

void TLinkScanner::ScanLine(std::string_view line) {
  if (line.empty()) return;
  regex_.SetExpression(CommentOpeningPattern());
  if (regex_.Exec(line)) ++CommentDepth;
  if (CommentDepth > 0) {
    regex_.SetExpression(CommentClosingPattern());
    if (regex_.Exec(line)) --CommentDepth;
    return;
  }
  regex_.SetExpression(server_pattern_);
  if (regex_.Exec(line)) {
    Candidates.push_back(HtmlToKif(regex_.GroupText(1)));
    return;
  }
  regex_.SetExpression(RecordLinkPattern());
  if (regex_.Exec(line)) Candidates.push_back(HtmlToKif(page_url_ + regex_.GroupText(1)));
}

std::vector<std::string> ScanPage(const std::vector<std::string>& lines, std::string page_url,
                                  std::string_view server_base) {
  TLinkScanner scanner(std::move(page_url), server_base);
  for (const auto& line : lines) scanner.ScanLine(line);
  return std::move(scanner.Candidates);
}

bool IsSkippedCandidate(std::string_view url) {
  return url.find("/archive") != std::string_view::npos ||
         url.find("/index") != std::string_view::npos ||
         url.find("_multi.kif") != std::string_view::npos;
}

void TRecordHeader::ReadLine(std::string_view line) {
  const std::u16string text = SjisToUtf16(line);
  ReadLabel(text, kStartLabel, Start);
  ReadLabel(text, kTournamentLabel, Tournament);
  ReadLabel(text, kSenteLabel, Sente);
  ReadLabel(text, kGoteLabel, Gote);
}

bool TRecordHeader::Complete() const {
  return !Start.empty() && !Tournament.empty() && !Sente.empty() && !Gote.empty();
}

std::optional<TGameRow> ProbeRecordLines(const std::vector<std::string>& lines,
                                         const std::string& url) {
  TRecordHeader header;
  for (const auto& line : lines) {
    header.ReadLine(line);
    if (header.Complete()) {
      return TGameRow{Utf16ToSjis(header.Start), Utf16ToSjis(header.Tournament),
                      Utf16ToSjis(header.Sente), Utf16ToSjis(header.Gote), url};
    }
  }
  return std::nullopt;
}

std::string FetchErrorMessage(const std::exception& e) { return MessageOf(e); }

bool IsPlaceholderUrl(std::string_view url) {
  std::string host = HostOf(url);
  host = host.substr(0, host.find(':'));
  while (!host.empty() && host.back() == '.') host.pop_back();
  constexpr std::string_view kReserved = ".example";
  return host == kReserved.substr(1) ||
         (host.size() > kReserved.size() &&
          host.compare(host.size() - kReserved.size(), kReserved.size(), kReserved) == 0);
}

TSearchFetchResult RunSearchFetch(const TSearchFetch& fetch, ILineFetcher& fetcher,
                                  const TBroadcastHosts& hosts) {
  TSearchFetchResult result;
  if (IsPlaceholderUrl(fetch.url)) {
    result.not_configured = true;
    return result;
  }
  try {
    fetcher.FetchLines(fetch.url);
  } catch (const std::exception& e) {
    result.error = FetchErrorMessage(e);
  }
  if (fetch.record < 0) {
    result.candidates = ScanPage(fetcher.Lines(), fetch.url, hosts.Server);
  } else {
    result.row = ProbeRecordLines(fetcher.Lines(), fetch.url);
  }
  return result;
}

std::string HostOf(std::string_view url) {
  const size_t scheme = url.find("://");
  const size_t from = scheme == std::string_view::npos ? 0 : scheme + 3;
  const size_t to = url.find_first_of("/?#", from);
  std::string host(url.substr(from, to == std::string_view::npos ? url.npos : to - from));
  for (char& c : host) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return host;
}

TSearchScheduler::TSearchScheduler(const TBroadcastHosts& hosts, ISearchListener& listener,
                                   int per_host, int total)
    : hosts_(hosts),
      table_(TournamentTable(hosts)),
      listener_(listener),
      per_host_(std::max(per_host, 1)),
      total_(std::max(total, 1)) {
  for (int i = 0; i < kTournamentCount; ++i) ready_.emplace(i, -1);
}

void TSearchScheduler::Start() { Report(); }

const std::string& TSearchScheduler::UrlOf(std::pair<int, int> job) const {
  return job.second < 0 ? table_[job.first]
                        : pages_[job.first].records[static_cast<size_t>(job.second)].url;
}

std::vector<TSearchFetch> TSearchScheduler::Next() {
  std::vector<TSearchFetch> start;
  if (Stopped()) return start;
  for (auto it = ready_.begin(); it != ready_.end() && running_ < total_;) {
    const std::string& url = UrlOf(*it);
    int& on_host = running_per_host_[HostOf(url)];
    if (on_host >= per_host_) {
      ++it;
      continue;
    }
    ++on_host;
    ++running_;
    start.push_back({it->first, it->second, url});
    it = ready_.erase(it);
  }
  return start;
}

void TSearchScheduler::Finish(const TSearchFetch& fetch, TSearchFetchResult result) {
  --running_;
  --running_per_host_[HostOf(fetch.url)];
  Page& page = pages_[fetch.page];
  if (fetch.record < 0) {
    page.done = true;
    page.error = std::move(result.error);
    page.not_configured = result.not_configured;
    for (std::string& url : result.candidates) {
      // A skipped candidate is never fetched: it is done, with no row.
      const bool skipped = IsSkippedCandidate(url);
      page.records.push_back({std::move(url), skipped, std::nullopt});
      if (!skipped) ready_.emplace(fetch.page, static_cast<int>(page.records.size()) - 1);
    }
  } else {
    Record& record = page.records[static_cast<size_t>(fetch.record)];
    record.done = true;
    record.row = std::move(result.row);
  }
  Report();
}

bool TSearchScheduler::Done() { return Stopped() || cursor_page_ >= kTournamentCount; }

void TSearchScheduler::Report() {
  // A report that waits for the user lets results arrive; the loop below
  // takes them up once it goes on, so reports never nest.
  if (reporting_) return;
  reporting_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{reporting_};
  while (cursor_page_ < kTournamentCount && !Stopped()) {
    Page& page = pages_[cursor_page_];
    if (!page.started_reported) {
      page.started_reported = true;
      listener_.PageStarted(cursor_page_);
      continue;
    }
    if (!page.done) return;
    if (!page.failure_reported) {
      page.failure_reported = true;
      if (page.not_configured) {
        listener_.PageNotConfigured(cursor_page_);
      } else if (page.error) {
        listener_.PageFailed(cursor_page_, *page.error);
      }
      continue;
    }
    if (!AddRecordRows()) return;
    ++cursor_page_;
    cursor_record_ = 0;
  }
}

bool TSearchScheduler::AddRecordRows() {
  const std::vector<Record>& records = pages_[cursor_page_].records;
  while (cursor_record_ < records.size()) {
    if (Stopped()) return false;
    const Record& record = records[cursor_record_];
    if (!record.done) return false;
    ++cursor_record_;
    if (record.row) listener_.RowFound(*record.row);
  }
  return true;
}

void RunSearch(const TBroadcastHosts& hosts, ILineFetcher& fetcher, ISearchListener& listener) {
  TSearchScheduler scheduler(hosts, listener, 1, 1);
  scheduler.Start();
  while (!scheduler.Done()) {
    const std::vector<TSearchFetch> next = scheduler.Next();
    if (next.empty()) return;
    for (const TSearchFetch& fetch : next) {
      scheduler.Finish(fetch, RunSearchFetch(fetch, fetcher, hosts));
    }
  }
}

void RunSearch(const TBroadcastHosts& hosts, const TFetcherFactory& make_fetcher,
               ISearchListener& listener, int per_host) {
  TSearchScheduler scheduler(hosts, listener, per_host);
  struct Flight {
    TSearchFetch fetch;
    std::shared_ptr<ILineFetcher> fetcher;
    std::thread thread;
  };
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::pair<size_t, TSearchFetchResult>> results;  // under the lock
  std::vector<Flight> flights;
  struct Join {
    std::vector<Flight>& flights;
    ~Join() {
      for (Flight& flight : flights) {
        if (!flight.thread.joinable()) continue;
        flight.fetcher->Abort();
        flight.thread.join();
      }
    }
  } join{flights};

  scheduler.Start();
  while (!scheduler.Done()) {
    for (TSearchFetch& fetch : scheduler.Next()) {
      const size_t index = flights.size();
      std::shared_ptr<ILineFetcher> fetcher = make_fetcher();
      flights.push_back({std::move(fetch), fetcher, {}});
      flights.back().thread = std::thread([&, index, fetch = flights.back().fetch, fetcher] {
        TSearchFetchResult result = RunSearchFetch(fetch, *fetcher, hosts);
        const std::lock_guard<std::mutex> lock(mutex);
        results.emplace_back(index, std::move(result));
        arrived.notify_one();
      });
    }
    if (scheduler.Running() == 0) break;  // cancelled: nothing more comes
    std::unique_lock<std::mutex> lock(mutex);
    arrived.wait(lock, [&] { return !results.empty(); });
    auto [index, result] = std::move(results.front());
    results.pop_front();
    lock.unlock();
    flights[index].thread.join();
    scheduler.Finish(flights[index].fetch, std::move(result));
  }
}

}  // namespace zelvaro
