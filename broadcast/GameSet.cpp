#include "broadcast/GameSet.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <thread>

#include "broadcast/Discovery.h"
#include "broadcast/HandOver.h"
#include "game/RecordFollow.h"
#include "game/RecordFormat.h"
#include "game/RecordUsi.h"
#include "game/RecordWriter.h"
#include "game/Sfen.h"
#include "net/FollowFetch.h"
#include "net/HttpDate.h"
#include "net/PageFetch.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

std::u16string Trimmed(std::u16string_view text) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\u3000' || c == u'\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::u16string(text);
}

// The file name of an address, which tells a reader the format when the
// content does not.
std::string FileNameOf(std::string_view url) {
  url = url.substr(0, url.find_first_of("?#"));
  const size_t slash = url.rfind('/');
  return std::string(slash == std::string_view::npos ? url : url.substr(slash + 1));
}

// "scheme://host[:port]" of `url`; empty when it holds anything a pattern
// could take for more than a host.
std::string OriginOf(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return {};
  const size_t end = url.find_first_of("/?#", scheme + 3);
  const std::string origin(url.substr(0, end));
  for (size_t i = scheme + 3; i < origin.size(); ++i) {
    const char c = origin[i];
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    c == '.' || c == '-' || c == ':';
    if (!ok) return {};
  }
  return origin.size() > scheme + 3 ? origin : std::string();
}

// A web page rather than a record: its markup shows in its first bytes.
bool LooksLikeHtml(std::string_view bytes) {
  std::string head(bytes.substr(0, 2048));
  for (char& c : head) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (std::string_view tag : {"<!doctype html", "<html", "<body", "<a href"}) {
    if (head.find(tag) != std::string::npos) return true;
  }
  return false;
}

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::u16string FollowErrorText(const std::exception& e) {
  return Utf8ToUtf16(FetchErrorMessage(e));
}

}  // namespace

TFollowFetch::TFollowFetch()
    : fetcher_(std::make_unique<TPageFetcher>()), state_(std::make_unique<TFollowState>()) {
  FollowAddressRedirects(fetcher_->FHttp);
}

TFollowFetch::~TFollowFetch() = default;

TFollowReply TFollowFetch::Download(const std::string& url) {
  // A 304 or an equal body leaves the last good lines in Lines().
  const TFollowAnswer answer = fetcher_->FetchFollowLines(url, *state_);
  TFollowReply reply;
  reply.changed = answer.changed;
  reply.bytes = RecordFileBytes(fetcher_->Lines());
  reply.last_modified = fetcher_->FHttp.Response.HeaderLines.Value("Last-Modified");
  return reply;
}

void TFollowFetch::Abort() { fetcher_->Abort(); }

std::optional<int> EndingWinner(std::u16string_view word) {
  static const std::map<std::u16string_view, int> kEndings = {
      {u"投了", -1},     {u"詰み", -1},   {u"詰", -1},      {u"切れ負け", -1}, {u"Time-up", -1},
      {u"反則負け", -1}, {u"不戦敗", -1}, {u"反則勝ち", 1}, {u"入玉勝ち", 1},  {u"不戦勝", 1},
      {u"千日手", 0},    {u"持将棋", 0},  {u"不詰", 0},     {u"エラー", 0}};
  const auto it = kEndings.find(word);
  if (it == kEndings.end()) return std::nullopt;
  return it->second;
}

std::u16string ResultText(const TGameState& state) {
  if (!state.result) return {};
  std::u16string text = u"まで" + Utf8ToUtf16(std::to_string(state.moves)) + u"手で";
  if (state.winner != 0) return text + (state.winner == 1 ? u"先手の勝ち" : u"後手の勝ち");
  return text + *state.result;
}

void FailGame(TGame& game, std::u16string message) {
  game.failed = true;
  game.state.error = std::move(message);
  // A game never read has nothing else to show; one read before keeps its
  // position and still counts as playing or ended.
  if (!game.read) game.state.status = TGameStatus::kError;
}

void ReadGame(TGame& game, const TFollowReply& reply, int64_t now) {
  const std::string file_name = FileNameOf(game.address);
  const std::u16string_view refusal =
      RecordRefusal(reply.bytes, TRecordEncoding::kDetect, file_name);
  // Text that holds no record line was no page with record links either
  // (Open looks for links first).
  // A page's "key：value" text is no record header.
  if (refusal == kNotRecordNoLines ||
      (refusal.empty() && !FormatByContent(reply.bytes) && LooksLikeHtml(reply.bytes))) {
    return FailGame(game, std::u16string(kNoRecordNoLinks));
  }
  if (!refusal.empty()) return FailGame(game, std::u16string(refusal));
  auto record = std::make_shared<TKifRecord>();
  try {
    ReadRecordBytes(*record, reply.bytes, TRecordEncoding::kDetect, file_name);
  } catch (const Exception& e) {
    return FailGame(game, Utf8ToUtf16(e.Message()));
  }
  TGameState state;
  state.sente = Trimmed(record->sente_name);
  state.gote = Trimmed(record->gote_name);
  int last_main = 0, last_move = 0;
  for (size_t row = 1; row < record->rows.size(); ++row) {
    const TKifRecord::Row& r = record->rows[row];
    if (r.line != 0) continue;
    last_main = static_cast<int>(row);
    if (r.moved) {
      ++state.moves;
      last_move = static_cast<int>(row);
    }
  }
  if (last_move > 0) state.last_move = record->rows[static_cast<size_t>(last_move)].move;
  state.sfen = SfenOfRow(*record, last_move);
  if (record->time_limit) {
    if (const std::optional<TClock> clock = ClockAt(*record, static_cast<size_t>(last_move))) {
      state.remaining = clock->remaining;
    } else if (last_move == 0) {
      state.remaining = {record->time_limit->seconds, record->time_limit->seconds};
    }
    if (record->time_limit->byoyomi > 0) state.byoyomi = record->time_limit->byoyomi;
  }
  if (last_main > last_move) {
    const TRowMove ending = MoveOfRow(*record, last_main);
    if (const std::optional<int> winner = EndingWinner(ending.word)) {
      state.result = ending.word;
      state.winner = *winner * ending.side;
      state.status = TGameStatus::kEnded;
    }
  }
  const bool moved = !game.read || game.state.moves != state.moves ||
                     game.state.last_move != state.last_move || game.state.sfen != state.sfen;
  if (moved) {
    const std::optional<TDateTime> modified = ParseHttpDate(reply.last_modified);
    game.move_time = modified ? modified->time_since_epoch().count() : now;
  }
  game.state = std::move(state);
  game.record = std::move(record);
  game.last_row = last_move;
  game.to_move = SideToMove(*game.record, last_move);
  game.read = true;
  game.failed = false;
}

std::vector<std::string> RecordLinksOfPage(const std::vector<std::string>& lines,
                                           const std::string& page_url) {
  // Without a host fit for the pattern, only the relative links count.
  const std::string origin = OriginOf(page_url);
  TLinkScanner scanner(page_url, origin.empty() ? std::string_view("\x01") : origin);
  for (const std::string& line : lines) scanner.ScanLine(line);
  std::vector<std::string> links;
  std::set<std::string> seen;
  for (std::string& url : scanner.Candidates) {
    if (IsSkippedCandidate(url) || !seen.insert(url).second) continue;
    links.push_back(std::move(url));
  }
  return links;
}

void ForEachByHost(const std::vector<std::string>& urls, int per_host,
                   const std::function<void(size_t)>& work) {
  std::map<std::string, std::vector<size_t>> by_host;
  for (size_t i = 0; i < urls.size(); ++i) by_host[HostOf(urls[i])].push_back(i);
  struct Queue {
    std::vector<size_t> items;
    std::atomic<size_t> next{0};
  };
  std::vector<std::unique_ptr<Queue>> queues;
  std::vector<std::thread> threads;
  for (auto& [host, items] : by_host) {
    queues.push_back(std::make_unique<Queue>());
    Queue* queue = queues.back().get();
    queue->items = std::move(items);
    const size_t count = std::min(queue->items.size(), static_cast<size_t>(std::max(1, per_host)));
    for (size_t t = 0; t < count; ++t) {
      threads.emplace_back([queue, &work] {
        for (size_t k; (k = queue->next++) < queue->items.size();) work(queue->items[k]);
      });
    }
  }
  for (std::thread& thread : threads) thread.join();
}

TGameSet::TGameSet(TFollowFetchFactory make_fetch, Clock now, PaceClock pace_now)
    : make_fetch_(make_fetch ? std::move(make_fetch) : TFollowFetchFactory([] {
        return std::make_unique<TFollowFetch>();
      })),
      now_(now ? std::move(now) : Clock(Now)),
      pace_now_(pace_now ? std::move(pace_now)
                         : PaceClock([] { return TFollowPace::Clock::now(); })) {}

void TGameSet::SetInterval(TFollowPace::Duration interval) {
  interval_ = interval;
  for (TFollowPace& pace : paces_) pace.SetInterval(interval);
}

void TGameSet::Open(const std::vector<std::string>& addresses) {
  struct Download {
    std::unique_ptr<TFollowFetch> fetch;
    std::optional<TFollowReply> reply;
    std::u16string error;
    std::optional<std::chrono::seconds> retry_after;
  };
  std::vector<Download> downloads(addresses.size());
  {
    std::lock_guard lock(fetch_mutex_);
    for (Download& d : downloads) {
      d.fetch = make_fetch_();
      if (aborted_) d.fetch->Abort();
      opening_.push_back(d.fetch.get());
    }
  }
  ForEachByHost(addresses, kMaxFollowConnectionsPerHost, [&](size_t i) {
    try {
      downloads[i].reply = downloads[i].fetch->Download(addresses[i]);
    } catch (const std::exception& e) {
      downloads[i].error = FollowErrorText(e);
      downloads[i].retry_after = RetryAfterOf(e);
    }
  });

  {
    std::lock_guard lock(fetch_mutex_);
    opening_.clear();
  }
  const int64_t now = now_();
  const TFollowPace::Clock::time_point pace_now = pace_now_();
  std::set<std::string> seen;
  std::vector<std::string> left_out;
  const auto add = [&](const std::string& address, std::unique_ptr<TFollowFetch> fetch) -> TGame* {
    if (!seen.insert(address).second) return nullptr;
    if (games_.size() >= kMaxFollowedGames) {
      left_out.push_back(address);
      return nullptr;
    }
    games_.emplace_back();
    games_.back().address = address;
    std::lock_guard lock(fetch_mutex_);
    fetches_.push_back(fetch ? std::move(fetch) : make_fetch_());
    if (aborted_) fetches_.back()->Abort();
    fresh_.push_back(false);
    paces_.emplace_back(interval_);
    before_.emplace_back();
    return &games_.back();
  };
  for (size_t i = 0; i < addresses.size(); ++i) {
    Download& d = downloads[i];
    std::vector<std::string> links;
    if (d.reply && !FormatByContent(d.reply->bytes)) {
      links = RecordLinksOfPage(SplitLines(d.reply->bytes), addresses[i]);
    }
    if (!links.empty()) {
      for (const std::string& link : links) add(link, nullptr);
      continue;
    }
    TGame* game = add(addresses[i], std::move(d.fetch));
    if (!game) continue;
    fresh_.back() = true;
    if (!d.reply) {
      FailGame(*game, d.error);
      paces_.back().Failed(pace_now, d.retry_after);
      continue;
    }
    ReadGame(*game, *d.reply, now);
    if (game->failed) {
      paces_.back().Failed(pace_now);
    } else {
      paces_.back().Succeeded(pace_now);
    }
  }
  if (!left_out.empty()) {
    message_ = u"全局に並べるのは " + Utf8ToUtf16(std::to_string(kMaxFollowedGames)) +
               u" 局までです。並べなかった棋譜 (" + Utf8ToUtf16(std::to_string(left_out.size())) +
               u" 局):";
    for (const std::string& url : left_out) message_ += u" " + Utf8ToUtf16(url);
  }
}

void TGameSet::Round(bool all) {
  std::vector<std::string> urls;
  std::vector<size_t> which;
  const TFollowPace::Clock::time_point round_start = pace_now_();
  for (size_t i = 0; i < games_.size(); ++i) {
    games_[i].downloaded = fresh_[i];
    if (fresh_[i] || !games_[i].Followed()) continue;
    const std::optional<TFollowPace::Duration> left = paces_[i].Remaining(round_start);
    if (!all && left && *left > interval_ / 2) continue;
    urls.push_back(games_[i].address);
    which.push_back(i);
  }
  const int64_t now = now_();
  std::vector<std::optional<std::chrono::seconds>> retry_after(which.size());
  ForEachByHost(urls, kMaxFollowConnectionsPerHost, [&](size_t k) {
    TGame& game = games_[which[k]];
    try {
      const TFollowReply reply = fetches_[which[k]]->Download(game.address);
      // The record read well last time, unchanged, reads the same again.
      if (reply.changed || !game.read || game.failed) ReadGame(game, reply, now);
    } catch (const std::exception& e) {
      FailGame(game, FollowErrorText(e));
      retry_after[k] = RetryAfterOf(e);
    }
  });
  // Waits count from the round's start, so that the next round, an interval
  // later, finds a game that succeeded due again.
  // A download that gave no record (refused) failed as much as one that broke.
  for (size_t k = 0; k < which.size(); ++k) {
    TGame& game = games_[which[k]];
    game.downloaded = true;
    if (game.failed) {
      paces_[which[k]].Failed(round_start, retry_after[k]);
    } else {
      paces_[which[k]].Succeeded(round_start);
    }
  }
  bool any = false, any_good = false;
  for (size_t i = 0; i < games_.size(); ++i) {
    TGame& game = games_[i];
    if (game.downloaded) {
      any = true;
      any_good = any_good || !game.failed;
    }
    game.changed = first_round_ || game.state != before_[i];
    before_[i] = game.state;
    fresh_[i] = false;
  }
  if (any) all_failed_ = !any_good;
  first_round_ = false;
}

void TGameSet::Abort() {
  std::lock_guard lock(fetch_mutex_);
  aborted_ = true;
  for (TFollowFetch* fetch : opening_) fetch->Abort();
  for (const auto& fetch : fetches_) fetch->Abort();
}

bool TGameSet::AllEnded() const {
  return std::none_of(games_.begin(), games_.end(), [](const TGame& g) { return g.Followed(); });
}

TTick TickClock(int64_t remaining, int64_t byoyomi, int64_t elapsed) {
  elapsed = std::max<int64_t>(0, elapsed);
  if (elapsed < remaining) return {remaining - elapsed, false};
  if (byoyomi <= 0) return {0, false};
  const int64_t over = elapsed - std::max<int64_t>(0, remaining);
  return {std::max<int64_t>(0, byoyomi - over), true};
}

}  // namespace zelvaro
