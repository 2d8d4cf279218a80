// Following a set of broadcast games at once, without windows: addresses
// expanded into records (a record's own address, or every record a page
// links), each game's state read from its record after every round of
// downloads, what changed since the round before, and the games that ended
// left alone. The grid window and `zelvaro-cli watch` show what it holds.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/KifReader.h"
#include "game/RecordFollow.h"

namespace zelvaro {

class TPageFetcher;
class TFollowState;

// The most games one set follows; further records are named in Message().
inline constexpr size_t kMaxFollowedGames = 64;
// The most downloads a round has under way to one host at a time.
inline constexpr int kMaxFollowConnectionsPerHost = 4;

inline constexpr std::u16string_view kNoRecordNoLinks =
    u"棋譜でも、棋譜へのリンクがあるページでもありません";

// What one download of a follow gave.
struct TFollowReply {
  std::string bytes;          // the body's lines, each ended by CR LF
  std::string last_modified;  // the reply's Last-Modified, empty without
  bool changed = true;        // false: the same record as the download before
};

// The download of one followed address, kept from one round to the next so
// that what a follow learns of its address stays with it: its validators
// (a record that did not change is not sent again) and the shared kept
// connections. Not thread-safe (Abort aside): one download at a time.
class TFollowFetch {
 public:
  TFollowFetch();
  virtual ~TFollowFetch();
  // The one place a follow downloads: throws what the page fetch throws.
  virtual TFollowReply Download(const std::string& url);
  void Abort();

 private:
  std::unique_ptr<TPageFetcher> fetcher_;
  std::unique_ptr<TFollowState> state_;
};

using TFollowFetchFactory = std::function<std::unique_ptr<TFollowFetch>()>;

enum class TGameStatus { kPlaying, kEnded, kError };

// What a game shows, compared round by round. Texts as the move list has them.
struct TGameState {
  std::u16string sente, gote;
  int moves = 0;                                    // the main line's moves
  std::optional<std::u16string> last_move;          // its last move row, "▲４五桂(37)"
  std::string sfen;                                 // the position after it
  std::optional<std::array<int64_t, 2>> remaining;  // seconds left to sente, gote
  std::optional<int64_t> byoyomi;
  std::optional<std::u16string> result;  // the word that ended the game, "投了"
  int winner = 0;                        // 1 sente, -1 gote, 0 none or unknown
  TGameStatus status = TGameStatus::kPlaying;
  std::optional<std::u16string> error;  // why the last download failed
  bool operator==(const TGameState&) const = default;
};

struct TGame {
  std::string address;
  TGameState state;
  bool read = false;  // a record was read at least once; `state` holds its last good reading
  std::shared_ptr<const TKifRecord> record;  // that reading
  int last_row = 0;         // the row of the main line's last move, 0 before the first
  int to_move = 1;          // the side to move after it
  int64_t move_time = 0;    // when that move was made (Unix seconds), see ReadGame
  bool changed = false;     // the state differs from the round before (every game on the first)
  bool failed = false;      // the last download failed or was refused
  bool downloaded = false;  // downloaded in the last round (Open's for the first)
  bool Followed() const { return state.status != TGameStatus::kEnded; }
};

// For a word that ends a game (EndsGame, game/RecordFollow.h): who wins
// when the side of the word's row said it (1 the mover, -1 the other side,
// 0 nobody or not known). 中断 and 封じ手 resume and are no ending: nullopt.
std::optional<int> EndingWinner(std::u16string_view word);

// 「まで98手で先手の勝ち」, 「まで120手で千日手」.
std::u16string ResultText(const TGameState& state);

// Reads one download into `game`: its state anew, or, for bytes that are no
// record, the error with the last good state kept. `now` (Unix seconds) is
// when the move was first seen; the reply's Last-Modified wins over it.
void ReadGame(TGame& game, const TFollowReply& reply, int64_t now);
void FailGame(TGame& game, std::u16string message);

// The records a page links, as the search finds them on a tournament page
// (the page's own host taking the broadcast server's place), in page order,
// each once, never those the search passes over (archives, indexes, the
// all-games files).
std::vector<std::string> RecordLinksOfPage(const std::vector<std::string>& lines,
                                           const std::string& page_url);

// Runs `work(i)` for i in [0, urls.size()) on threads of its own, at most
// `per_host` at a time for one host; returns when all have returned.
void ForEachByHost(const std::vector<std::string>& urls, int per_host,
                   const std::function<void(size_t)>& work);

// The games of a set of addresses, followed round by round. Each game has
// its own pace: with an interval set, a game whose download failed sits out
// the rounds until its wait (doubled per failure, or a Retry-After) has
// passed; a success brings it back to every round. Without an interval
// every round downloads every game still followed. Not thread-safe: one
// thread drives it (the rounds run their own threads).
class TGameSet {
 public:
  using Clock = std::function<int64_t()>;  // Unix seconds
  using PaceClock = std::function<TFollowPace::Clock::time_point()>;
  explicit TGameSet(TFollowFetchFactory make_fetch = nullptr, Clock now = nullptr,
                    PaceClock pace_now = nullptr);

  // The time between two rounds, the interval of every game's pace.
  void SetInterval(TFollowPace::Duration interval);

  // Downloads every address once: a record is a game, read now; a page
  // gives a game for each record it links; anything else is a game in error.
  // A record met again is left out, and so is every game past the 64th
  // (Message() names them). Games keep the addresses' order.
  void Open(const std::vector<std::string>& addresses);
  // Downloads every game still followed and due by its pace (not those
  // Open has just read) and reads it; sets each game's `changed` and
  // `downloaded`. A game is due when less than half an interval of its wait
  // is left, so that rounds a little early or late keep the count of
  // intervals a wait spans. `all`: every game still followed is
  // downloaded, due or not (a refresh the user asks for).
  void Round(bool all = false);
  // The pace of game `i`, as its downloads so far have set it.
  const TFollowPace& Pace(size_t i) const { return paces_[i]; }

  std::vector<TGame>& Games() { return games_; }
  const std::vector<TGame>& Games() const { return games_; }
  // Empty, or which records were left out past the 64th.
  const std::u16string& Message() const { return message_; }
  // Every download of the last round that downloaded any (Open's for the
  // first) failed: a round in which every game sat out keeps the verdict of
  // the round before.
  bool AllFailed() const { return all_failed_; }
  // No game is followed any more.
  bool AllEnded() const;
  // Callable from any thread while Open or Round runs on another: their
  // downloads end at once with an error, and so does every later one.
  void Abort();

 private:
  TFollowFetchFactory make_fetch_;
  Clock now_;
  std::vector<TGame> games_;
  PaceClock pace_now_;
  TFollowPace::Duration interval_ = TFollowPace::Duration::zero();
  std::vector<std::unique_ptr<TFollowFetch>> fetches_;  // one per game
  std::vector<TFollowPace> paces_;                      // one per game
  std::vector<bool> fresh_;  // read by Open, not to be downloaded by the first round
  std::vector<TGameState> before_;
  bool first_round_ = true;
  bool all_failed_ = false;
  std::u16string message_;
  std::mutex fetch_mutex_;              // guards fetches_'s growth and opening_ against Abort
  std::vector<TFollowFetch*> opening_;  // the downloads of Open under way
  bool aborted_ = false;
};

// What a ticking clock shows `elapsed` seconds after the last move for the
// side to move with `remaining` seconds: the seconds left, else the seconds
// of byo-yomi left (`in_byoyomi`); 0 once both are used up.
struct TTick {
  int64_t seconds = 0;
  bool in_byoyomi = false;
};
TTick TickClock(int64_t remaining, int64_t byoyomi, int64_t elapsed);

}  // namespace zelvaro
