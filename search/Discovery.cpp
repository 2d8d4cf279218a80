#include "search/Discovery.h"

#include <exception>
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
    throw Exception("not a usable base address: \"" + std::string(url) +
                    "\" (expected http://host[:port][/path] with letters, digits and . : / _ ~ -)");
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

void AddRecordRows(const std::vector<std::string>& candidates, ILineFetcher& fetcher,
                   ISearchListener& listener) {
  for (const auto& url : candidates) {
    if (IsSkippedCandidate(url)) continue;
    if (listener.Cancelled()) return;
    try {
      fetcher.FetchLines(url);
    } catch (const std::exception&) {
      // A record that cannot be fetched is no game to list; the user was
      // never told about it and the search goes on.
    }
    // The row is copied out before the listener runs: events it processes
    // may start another fetch that replaces the lines.
    if (std::optional<TGameRow> row = ProbeRecordLines(fetcher.Lines(), url)) {
      listener.RowFound(*row);
    }
  }
}

void RunSearch(const TBroadcastHosts& hosts, ILineFetcher& fetcher, ISearchListener& listener) {
  const TTournamentTable table = TournamentTable(hosts);
  for (int i = 0; i < kTournamentCount; ++i) {
    if (listener.Cancelled()) return;
    listener.PageStarted(i);
    try {
      fetcher.FetchLines(table[i]);
    } catch (const std::exception& e) {
      listener.PageFailed(i, FetchErrorMessage(e));
      if (listener.Cancelled()) return;
    }
    const std::vector<std::string> candidates = ScanPage(fetcher.Lines(), table[i], hosts.Server);
    AddRecordRows(candidates, fetcher, listener);
  }
}

}  // namespace zelvaro
