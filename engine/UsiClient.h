// The USI protocol as a state machine. The client is fed the engine's lines
// (OnLine), the passing of time (OnTick) and the end of the process
// (OnExit); it answers with the commands to write to the engine
// (TakeCommands) and what it learned (TakeEvents). It never touches a
// process, so tests drive it with scripted lines and a made-up clock.
//
// Start: "usi", the id and option lines up to "usiok" (kUsiOkLimit), the
// options (hash, threads, multi-PV, under the names the engine declared),
// "isready" up to "readyok" (kReadyOkLimit), "usinewgame".
// Analysing: SetPosition asks for a position; the client sends "position …"
// and "go infinite". A new position while one is searched sends one "stop"
// and waits for "bestmove" (kBestMoveLimit) before the next "position".
// Positions asked for less than kMergeInterval after the one before are
// merged: only the last is searched. Every info is tagged with the
// position it was computed for; lines after "bestmove" and before the next
// "go" belong to no position and are dropped.
// Faults (a limit passed, the process gone) end the client in kFailed with
// a fault event carrying the engine's last line; a new client starts again.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelvaro {

using TUsiClock = std::chrono::steady_clock;

inline constexpr std::chrono::milliseconds kUsiOkLimit{10000};
inline constexpr std::chrono::milliseconds kReadyOkLimit{30000};
// From "stop" to "bestmove": longer counts as an engine that hangs.
inline constexpr std::chrono::milliseconds kBestMoveLimit{10000};
// From "quit" to the end of the process; then it is killed.
inline constexpr std::chrono::milliseconds kQuitLimit{1000};
// Positions asked for quicker than this one after the other are merged.
inline constexpr std::chrono::milliseconds kMergeInterval{100};
// A line longer than this is cut there (the rest of it is dropped).
inline constexpr size_t kMaxUsiLineLength = 64 * 1024;
// At most this many lines of multi-PV are kept.
inline constexpr int kMaxMultiPv = 16;
// The options' defaults: hash in MB, multi-PV lines.
inline constexpr int kDefaultHashMb = 128;
inline constexpr int kDefaultMultiPv = 1;
// The scale of the winning chance: 1 / (1 + e^(-cp / kWinChanceScale)).
inline constexpr double kWinChanceScale = 600.0;
// A mate whose distance the engine did not give ("mate +", "mate -").
inline constexpr int kUnknownMatePlies = -1;
// Scores beyond these are taken as these: no engine means more, and turning
// them to sente's side must stay within int.
inline constexpr int kMaxUsiCp = 1000000;
inline constexpr int kMaxMatePlies = 10000;
// An engine may declare at most this many options before "usiok", each line
// at most kMaxUsiOptionLine bytes long; beyond either it is ended.
inline constexpr size_t kMaxUsiOptions = 1000;
inline constexpr size_t kMaxUsiOptionLine = 4096;

// Threads: the number of cores minus one, at least 1.
int DefaultUsiThreads();

struct TUsiSettings {
  int hash_mb = kDefaultHashMb;
  int threads = DefaultUsiThreads();
  int multipv = kDefaultMultiPv;
};

enum class TUsiBound { kExact, kLower, kUpper };

// A score from sente's side.
struct TUsiScore {
  bool mate = false;
  int cp = 0;                // when !mate
  int mate_plies = 0;        // when mate: plies to mate, or kUnknownMatePlies
  bool sente_mates = false;  // when mate: which side gives it
  TUsiBound bound = TUsiBound::kExact;
  // Sente's winning chance, 0..1: the logistic curve of cp; a mate is 1 or 0.
  double SenteWinChance(double scale = kWinChanceScale) const;
  // The mate as USI signs it, from sente's side: +plies when sente mates.
  int SignedMate() const { return sente_mates ? mate_plies : -mate_plies; }
  bool operator==(const TUsiScore&) const = default;
};

// The winning chance of a score of `cp` centipawns:
// 1 / (1 + e^(-cp / scale)).
double WinChance(double cp, double scale = kWinChanceScale);

// Whether gote moves in `command`'s position (the side to move of its start,
// flipped by each move after "moves").
bool GoteToMove(std::string_view position_command);

// One "info" line. Fields the line lacks stay empty.
struct TUsiInfo {
  std::string position;      // the position command it was computed for
  std::uint64_t serial = 0;  // which search of the client (each SetPosition's search has its own)
  int multipv = 1;
  std::optional<int> depth, seldepth, hashfull;
  std::optional<std::int64_t> nodes, nps, time_ms;
  std::optional<TUsiScore> score;
  std::vector<std::string> pv;
  std::string text;  // "string …"
};
// Reads an info line ("info" and what follows). `gote_to_move` turns the
// score to sente's side. Tokens it does not know are skipped.
TUsiInfo ParseUsiInfo(std::string_view line, bool gote_to_move);

// The engine's option as declared ("option name N type T default D …").
struct TUsiOption {
  std::string name, type, default_value;
};

// One line of a search: its score and moves, as the last info with a score
// for its multi-PV number gave them.
struct TUsiLine {
  int multipv = 1;
  bool scored = false;  // a score has come for it
  std::optional<int> depth, seldepth;
  TUsiScore score;
  std::vector<std::string> pv;
};

// What a search has found so far: the lines by multi-PV number and the
// latest counts. Add takes the infos of one search (position and serial).
struct TUsiAnalysis {
  std::string position;
  std::uint64_t serial = 0;
  std::vector<TUsiLine> lines;  // lines[k] is multi-PV k+1; an empty pv until one came
  std::optional<int> depth, seldepth, hashfull;
  std::optional<std::int64_t> nodes, nps, time_ms;
  std::string text;  // the last "string"
  // Takes `info` (of this analysis's position, which the first info sets).
  void Add(const TUsiInfo& info);
  bool HasScore() const { return !lines.empty() && lines[0].scored; }
};

enum class TUsiState {
  kNotStarted,
  kWaitingUsiOk,
  kWaitingReadyOk,
  kIdle,       // ready, no search
  kSearching,  // "go infinite" sent
  kStopping,   // "stop" sent, waiting for "bestmove"
  kQuitting,   // "quit" sent
  kFailed,
  kEnded,
};

enum class TUsiFaultKind {
  kNoUsiOk,
  kNoReadyOk,
  kNoBestMove,
  kExited,
  kNotStarted,
  kTooManyOptions
};

struct TUsiFault {
  TUsiFaultKind kind;
  std::string last_line;  // the engine's last line, empty when there was none
};
// What a fault says to a user, in Japanese (UTF-8), with the engine's last line.
std::string UsiFaultMessage(const TUsiFault& fault);

struct TUsiEvent {
  enum class Kind { kReady, kInfo, kBestMove, kFault } kind;
  TUsiInfo info;          // kInfo; for kBestMove its position and serial
  std::string best_move;  // kBestMove
  std::optional<TUsiFault> fault;
};

class TUsiClient {
 public:
  explicit TUsiClient(TUsiSettings settings = {});

  // Sends "usi". Only once.
  void Start(TUsiClock::time_point now);
  // One line of the engine's output, without its line end.
  void OnLine(std::string_view line, TUsiClock::time_point now);
  // Checks the limits and starts a merged position whose wait has passed.
  void OnTick(TUsiClock::time_point now);
  // The process has ended (or could not be started).
  void OnExit(TUsiClock::time_point now, bool started = true);
  // Asks for `position` ("position startpos moves …" or "position sfen …")
  // to be searched; replaces any asked for before. Its
  // search gets the serial Serial() returns afterwards.
  void SetPosition(std::string position, TUsiClock::time_point now);
  // Ends the search (if any) and asks for none.
  void ClearPosition(TUsiClock::time_point now);
  // The command that starts each search: "go infinite" unless set ("go
  // nodes N": the engine ends the search by itself with "bestmove").
  void SetGoCommand(std::string go) { go_ = std::move(go); }
  // "stop" if searching, then "quit"; the process should end within kQuitLimit.
  void Quit(TUsiClock::time_point now);

  std::vector<std::string> TakeCommands();
  std::vector<TUsiEvent> TakeEvents();
  // When OnTick has work to do next; none when nothing waits.
  std::optional<TUsiClock::time_point> NextDeadline() const;

  TUsiState State() const { return state_; }
  bool Ready() const {
    return state_ == TUsiState::kIdle || state_ == TUsiState::kSearching ||
           state_ == TUsiState::kStopping;
  }
  // The position being searched now (empty when none).
  const std::string& Searching() const { return searching_; }
  std::uint64_t Serial() const { return serial_; }
  const std::string& EngineName() const { return name_; }
  const std::vector<TUsiOption>& Options() const { return options_; }
  const std::string& LastLine() const { return last_line_; }

 private:
  void Send(std::string command);
  void Fail(TUsiFaultKind kind);
  void SendOptions();
  void StartPending(TUsiClock::time_point now);
  const TUsiOption* FindOption(std::initializer_list<std::string_view> names) const;

  TUsiSettings settings_;
  TUsiState state_ = TUsiState::kNotStarted;
  std::deque<std::string> commands_;
  std::vector<TUsiEvent> events_;
  std::vector<TUsiOption> options_;
  std::string name_;
  std::string last_line_;
  std::optional<TUsiClock::time_point> deadline_;  // of the wait under way
  std::string searching_;
  bool searching_gote_ = false;
  std::uint64_t search_serial_ = 0;
  std::optional<std::string> pending_;
  TUsiClock::time_point pending_not_before_{};
  std::optional<TUsiClock::time_point> last_request_;
  std::uint64_t serial_ = 0;
  std::string go_ = "go infinite";
};

}  // namespace zelvaro
