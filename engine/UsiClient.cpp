#include "engine/UsiClient.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <thread>
#include <utility>

namespace zelvaro {
namespace {

// Splits at blanks (spaces and tabs); empty tokens are skipped.
std::vector<std::string_view> Tokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) tokens.push_back(line.substr(start, i - start));
  }
  return tokens;
}

template <typename T>
std::optional<T> Number(std::string_view token) {
  if (!token.empty() && token[0] == '+') token.remove_prefix(1);
  T value{};
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (error != std::errc() || end != token.data() + token.size()) return std::nullopt;
  return value;
}

std::string Joined(const std::vector<std::string_view>& tokens, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to && i < tokens.size(); ++i) {
    if (!text.empty()) text += ' ';
    text += tokens[i];
  }
  return text;
}

}  // namespace

int DefaultUsiThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 1 ? static_cast<int>(cores) - 1 : 1;
}

double WinChance(double cp, double scale) { return 1.0 / (1.0 + std::exp(-cp / scale)); }

double TUsiScore::SenteWinChance(double scale) const {
  if (mate) return sente_mates ? 1.0 : 0.0;
  return WinChance(cp, scale);
}

bool GoteToMove(std::string_view position_command) {
  const std::vector<std::string_view> tokens = Tokens(position_command);
  bool gote = false;
  size_t i = 1;
  if (tokens.size() > 1 && tokens[1] == "sfen") {
    // position sfen BOARD SIDE HAND N moves …
    if (tokens.size() > 3 && tokens[3] == "w") gote = true;
    i = 2;
  }
  const auto moves = std::find(tokens.begin() + std::min(i, tokens.size()), tokens.end(), "moves");
  if (moves != tokens.end()) {
    if ((tokens.end() - moves - 1) % 2 == 1) gote = !gote;
  }
  return gote;
}

TUsiInfo ParseUsiInfo(std::string_view line, bool gote_to_move) {
  const std::vector<std::string_view> t = Tokens(line);
  TUsiInfo info;
  // Each keyword takes the tokens after it; a value that is not a number is skipped.
  for (size_t i = 1; i < t.size(); ++i) {
    const std::string_view key = t[i];
    const std::string_view next = i + 1 < t.size() ? t[i + 1] : std::string_view();
    auto take_int = [&](std::optional<int>& field) {
      if (auto v = Number<int>(next)) field = v;
      ++i;
    };
    auto take_long = [&](std::optional<std::int64_t>& field) {
      if (auto v = Number<std::int64_t>(next)) field = v;
      ++i;
    };
    if (key == "depth") {
      take_int(info.depth);
    } else if (key == "seldepth") {
      take_int(info.seldepth);
    } else if (key == "hashfull") {
      take_int(info.hashfull);
    } else if (key == "nodes") {
      take_long(info.nodes);
    } else if (key == "nps") {
      take_long(info.nps);
    } else if (key == "time") {
      take_long(info.time_ms);
    } else if (key == "multipv") {
      if (auto v = Number<int>(next); v && *v >= 1 && *v <= kMaxMultiPv) info.multipv = *v;
      ++i;
    } else if (key == "score" && i + 2 < t.size()) {
      TUsiScore score;
      const std::string_view kind = t[i + 1], value = t[i + 2];
      i += 2;
      if (kind == "cp") {
        auto cp = Number<int>(value);
        if (!cp) continue;
        const int clamped = std::clamp(*cp, -kMaxUsiCp, kMaxUsiCp);
        score.cp = gote_to_move ? -clamped : clamped;
      } else if (kind == "mate") {
        score.mate = true;
        bool mover_mates = value[0] != '-';
        if (value == "+" || value == "-") {
          score.mate_plies = kUnknownMatePlies;
        } else {
          auto plies = Number<int>(value[0] == '-' ? value.substr(1) : value);
          if (!plies) continue;
          score.mate_plies = std::clamp(*plies, 0, kMaxMatePlies);
          // Mate in 0: the side to move is mated already, whatever the sign.
          if (*plies == 0) mover_mates = false;
        }
        score.sente_mates = mover_mates != gote_to_move;
      } else {
        continue;
      }
      if (i + 1 < t.size() && (t[i + 1] == "lowerbound" || t[i + 1] == "upperbound")) {
        // The bound of the side to move, turned as the score is.
        const bool lower = (t[i + 1] == "lowerbound") != gote_to_move;
        score.bound = lower ? TUsiBound::kLower : TUsiBound::kUpper;
        ++i;
      }
      info.score = score;
    } else if (key == "pv") {
      for (size_t j = i + 1; j < t.size(); ++j) info.pv.emplace_back(t[j]);
      break;
    } else if (key == "string") {
      info.text = Joined(t, i + 1, t.size());
      break;
    } else if (key == "currmove" || key == "currmovenumber" || key == "cpuload") {
      ++i;
    }
  }
  return info;
}

void TUsiAnalysis::Add(const TUsiInfo& info) {
  if (position.empty() && serial == 0) {
    position = info.position;
    serial = info.serial;
  }
  if (info.multipv == 1 || !depth) {
    if (info.depth) depth = info.depth;
    if (info.seldepth) seldepth = info.seldepth;
  }
  if (info.nodes) nodes = info.nodes;
  if (info.nps) nps = info.nps;
  if (info.time_ms) time_ms = info.time_ms;
  if (info.hashfull) hashfull = info.hashfull;
  if (!info.text.empty()) text = info.text;
  if (!info.score) return;
  const size_t index = static_cast<size_t>(info.multipv - 1);
  if (lines.size() <= index) {
    const size_t old = lines.size();
    lines.resize(index + 1);
    for (size_t k = old; k < lines.size(); ++k) lines[k].multipv = static_cast<int>(k) + 1;
  }
  TUsiLine& line = lines[index];
  line.score = *info.score;
  line.scored = true;
  line.depth = info.depth ? info.depth : depth;
  line.seldepth = info.seldepth;
  // A bound line often comes without moves: the line keeps the last ones.
  if (!info.pv.empty()) line.pv = info.pv;
}

std::string UsiFaultMessage(const TUsiFault& fault) {
  std::string message;
  switch (fault.kind) {
    case TUsiFaultKind::kNotStarted:
      message = "エンジンを起動できません。";
      break;
    case TUsiFaultKind::kNoUsiOk:
      message = "エンジンが応答しません (usi に usiok が返りません)。";
      break;
    case TUsiFaultKind::kNoReadyOk:
      message = "エンジンの準備ができません (isready に readyok が返りません)。";
      break;
    case TUsiFaultKind::kNoBestMove:
      message = "エンジンが探索を止めません (stop に bestmove が返りません)。";
      break;
    case TUsiFaultKind::kExited:
      message = "エンジンが終了しました。";
      break;
    case TUsiFaultKind::kTooManyOptions:
      message = "エンジンの設定項目が多すぎるか長すぎるため終了させました (上限 " +
                std::to_string(kMaxUsiOptions) + " 項目、1 行 " +
                std::to_string(kMaxUsiOptionLine) + " バイト)。";
      break;
  }
  message += fault.last_line.empty() ? std::string(" 最後の出力: なし")
                                     : " 最後の出力: " + fault.last_line;
  return message;
}

TUsiClient::TUsiClient(TUsiSettings settings) : settings_(settings) {
  settings_.hash_mb = std::max(settings_.hash_mb, 1);
  settings_.threads = std::max(settings_.threads, 1);
  settings_.multipv = std::clamp(settings_.multipv, 1, kMaxMultiPv);
}

void TUsiClient::Send(std::string command) { commands_.push_back(std::move(command)); }

void TUsiClient::Fail(TUsiFaultKind kind) {
  if (state_ == TUsiState::kFailed || state_ == TUsiState::kEnded) return;
  state_ = TUsiState::kFailed;
  deadline_.reset();
  pending_.reset();
  searching_ = {};
  TUsiEvent event{TUsiEvent::Kind::kFault, {}, {}, TUsiFault{kind, last_line_}};
  events_.push_back(std::move(event));
}

void TUsiClient::Start(TUsiClock::time_point now) {
  if (state_ != TUsiState::kNotStarted) return;
  state_ = TUsiState::kWaitingUsiOk;
  deadline_ = now + kUsiOkLimit;
  Send("usi");
}

const TUsiOption* TUsiClient::FindOption(std::initializer_list<std::string_view> names) const {
  for (std::string_view name : names) {
    for (const TUsiOption& option : options_) {
      if (option.name == name) return &option;
    }
  }
  return nullptr;
}

void TUsiClient::SendOptions() {
  auto set = [this](std::initializer_list<std::string_view> names, int value) {
    if (const TUsiOption* option = FindOption(names)) {
      Send("setoption name " + option->name + " value " + std::to_string(value));
    }
  };
  set({"USI_Hash", "Hash"}, settings_.hash_mb);
  set({"Threads"}, settings_.threads);
  set({"MultiPV", "USI_MultiPV"}, settings_.multipv);
}

void TUsiClient::OnLine(std::string_view line, TUsiClock::time_point now) {
  if (line.size() > kMaxUsiLineLength) line = line.substr(0, kMaxUsiLineLength);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
  if (line.empty()) return;
  last_line_.assign(line);
  const std::vector<std::string_view> t = Tokens(line);
  if (t.empty()) return;
  const std::string_view head = t[0];
  switch (state_) {
    case TUsiState::kWaitingUsiOk:
      if (head == "id" && t.size() > 2 && t[1] == "name") {
        name_ = Joined(t, 2, t.size());
      } else if (head == "option") {
        if (options_.size() >= kMaxUsiOptions || line.size() > kMaxUsiOptionLine) {
          last_line_ = last_line_.substr(0, 200);
          Fail(TUsiFaultKind::kTooManyOptions);
          return;
        }
        // option name NAME type TYPE default VALUE …; a name may hold blanks.
        TUsiOption option;
        const auto type = std::find(t.begin(), t.end(), "type");
        if (t.size() > 2 && t[1] == "name") option.name = Joined(t, 2, type - t.begin());
        if (type != t.end() && type + 1 != t.end()) option.type = *(type + 1);
        const auto def = std::find(t.begin(), t.end(), "default");
        if (def != t.end() && def + 1 != t.end()) option.default_value = *(def + 1);
        if (!option.name.empty()) options_.push_back(std::move(option));
      } else if (head == "usiok") {
        SendOptions();
        Send("isready");
        state_ = TUsiState::kWaitingReadyOk;
        deadline_ = now + kReadyOkLimit;
      }
      return;
    case TUsiState::kWaitingReadyOk:
      if (head == "readyok") {
        Send("usinewgame");
        state_ = TUsiState::kIdle;
        deadline_.reset();
        events_.push_back({TUsiEvent::Kind::kReady, {}, {}, {}});
        StartPending(now);
      }
      return;
    case TUsiState::kSearching:
    case TUsiState::kStopping:
      if (head == "info") {
        TUsiInfo info = ParseUsiInfo(line, searching_gote_);
        info.position = searching_;
        info.serial = search_serial_;
        events_.push_back({TUsiEvent::Kind::kInfo, std::move(info), {}, {}});
      } else if (head == "bestmove") {
        TUsiEvent event{TUsiEvent::Kind::kBestMove, {}, t.size() > 1 ? std::string(t[1]) : "", {}};
        event.info.position = searching_;
        event.info.serial = search_serial_;
        events_.push_back(std::move(event));
        searching_ = {};
        state_ = TUsiState::kIdle;
        deadline_.reset();
        StartPending(now);
      }
      return;
    default:
      // Idle, quitting, failed: whatever the engine says belongs to no search.
      return;
  }
}

void TUsiClient::SetPosition(std::string position, TUsiClock::time_point now) {
  if (state_ == TUsiState::kFailed || state_ == TUsiState::kEnded ||
      state_ == TUsiState::kQuitting) {
    return;
  }
  ++serial_;
  // Quick changes wait until they have settled; the first one starts at once.
  const bool quick = last_request_ && now - *last_request_ < kMergeInterval;
  last_request_ = now;
  pending_ = std::move(position);
  pending_not_before_ = quick ? now + kMergeInterval : now;
  if (state_ == TUsiState::kSearching) {
    if (*pending_ == searching_) {
      // Already searched: nothing to stop.
      pending_.reset();
      search_serial_ = serial_;
      return;
    }
    Send("stop");
    state_ = TUsiState::kStopping;
    deadline_ = now + kBestMoveLimit;
    return;
  }
  if (state_ == TUsiState::kIdle) StartPending(now);
}

void TUsiClient::ClearPosition(TUsiClock::time_point now) {
  pending_.reset();
  if (state_ == TUsiState::kSearching) {
    Send("stop");
    state_ = TUsiState::kStopping;
    deadline_ = now + kBestMoveLimit;
  }
}

void TUsiClient::StartPending(TUsiClock::time_point now) {
  if (state_ != TUsiState::kIdle || !pending_ || now < pending_not_before_) return;
  searching_ = std::move(*pending_);
  pending_.reset();
  searching_gote_ = GoteToMove(searching_);
  search_serial_ = serial_;
  Send(searching_);
  Send(go_);
  state_ = TUsiState::kSearching;
}

void TUsiClient::OnTick(TUsiClock::time_point now) {
  if (deadline_ && now >= *deadline_) {
    switch (state_) {
      case TUsiState::kWaitingUsiOk:
        Fail(TUsiFaultKind::kNoUsiOk);
        return;
      case TUsiState::kWaitingReadyOk:
        Fail(TUsiFaultKind::kNoReadyOk);
        return;
      case TUsiState::kStopping:
        Fail(TUsiFaultKind::kNoBestMove);
        return;
      default:
        deadline_.reset();
        break;
    }
  }
  StartPending(now);
}

void TUsiClient::OnExit(TUsiClock::time_point, bool started) {
  if (state_ == TUsiState::kQuitting) {
    state_ = TUsiState::kEnded;
    return;
  }
  Fail(started ? TUsiFaultKind::kExited : TUsiFaultKind::kNotStarted);
}

void TUsiClient::Quit(TUsiClock::time_point now) {
  if (state_ == TUsiState::kQuitting || state_ == TUsiState::kEnded) return;
  if (state_ == TUsiState::kSearching) Send("stop");
  if (state_ != TUsiState::kNotStarted && state_ != TUsiState::kFailed) Send("quit");
  pending_.reset();
  state_ = TUsiState::kQuitting;
  deadline_ = now + kQuitLimit;
}

std::vector<std::string> TUsiClient::TakeCommands() {
  std::vector<std::string> taken(commands_.begin(), commands_.end());
  commands_.clear();
  return taken;
}

std::vector<TUsiEvent> TUsiClient::TakeEvents() { return std::exchange(events_, {}); }

std::optional<TUsiClock::time_point> TUsiClient::NextDeadline() const {
  std::optional<TUsiClock::time_point> next = deadline_;
  if (pending_ && state_ == TUsiState::kIdle) {
    if (!next || pending_not_before_ < *next) next = pending_not_before_;
  }
  return next;
}

}  // namespace zelvaro
