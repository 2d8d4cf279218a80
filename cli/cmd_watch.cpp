// zelvaro-cli watch [--interval S] [--count N] [--engine PATH] [--movetime MS]
// ADDRESS...: follows every game the addresses name (a record's address, or
// a page's: every record it links, in page order, each once, at most 64)
// and after each round of downloads prints one JSON line per game whose
// state changed since the round before (every game after the first), in
// the addresses' order:
//   {"address", "sente", "gote", "moves", "last_move", "sfen", "remaining":
//    {"sente", "gote"}, "byoyomi", "result", "winner", "status", "error", "eval"}
// Games left out past the 64th are named on standard error. Ends after N
// rounds (0: until interrupted, or until every game has ended); the exit
// status is 1 when every download of the last round failed, else 0.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "broadcast/GameSet.h"
#include "cli/Command.h"
#include "engine/ChildProcess.h"
#include "game/RecordUsi.h"
#include "toolkit/TextCodec.h"

namespace zelvaro::cli {
namespace {

using Json = nlohmann::ordered_json;

struct Options {
  std::vector<std::string> addresses;
  double interval = 60.0;
  long count = 0;
  std::string engine;
  int movetime_ms = 500;
};

Json Text(const std::optional<std::u16string>& text) {
  return text ? Json(Utf16ToUtf8(*text)) : Json(nullptr);
}

// Sente's score of the position after the game's last move; null without one.
Json Eval(TUsiEngine* engine, const TGame& game, int movetime_ms) {
  if (!engine || !game.record || !IsPlayablePositionOfRow(*game.record, game.last_row)) {
    return nullptr;
  }
  const TUsiAnalysis analysis = engine->Analyse(PositionCommandOfRow(*game.record, game.last_row),
                                                std::chrono::milliseconds(movetime_ms));
  if (!analysis.HasScore()) return nullptr;
  const TUsiScore& score = analysis.lines[0].score;
  if (!score.mate) return {{"cp", score.cp}};
  return {{"mate", score.SignedMate()}};
}

Json GameLine(const TGame& game, TUsiEngine* engine, int movetime_ms) {
  const TGameState& s = game.state;
  Json line;
  line["address"] = game.address;
  line["sente"] = Utf16ToUtf8(s.sente);
  line["gote"] = Utf16ToUtf8(s.gote);
  line["moves"] = s.moves;
  line["last_move"] = Text(s.last_move);
  line["sfen"] = game.read ? Json(s.sfen) : Json(nullptr);
  line["remaining"] = s.remaining ? Json{{"sente", (*s.remaining)[0]}, {"gote", (*s.remaining)[1]}}
                                  : Json{{"sente", nullptr}, {"gote", nullptr}};
  line["byoyomi"] = s.byoyomi ? Json(*s.byoyomi) : Json(nullptr);
  line["result"] = Text(s.result);
  line["winner"] = s.winner == 1 ? Json("sente") : s.winner == -1 ? Json("gote") : Json(nullptr);
  line["status"] = s.status == TGameStatus::kPlaying ? "playing"
                   : s.status == TGameStatus::kEnded ? "ended"
                                                     : "error";
  line["error"] = Text(s.error);
  line["eval"] = Eval(engine, game, movetime_ms);
  return line;
}

int Watch(const Options& options) {
  std::unique_ptr<TUsiEngine> engine;
  if (!options.engine.empty()) {
    engine = std::make_unique<TUsiEngine>(TUsiSettings{});
    engine->Start(options.engine);
  }
  TGameSet set;
  // The interval paces each game: one whose downloads fail sits out rounds
  // (printing nothing, as it did not change) until its wait has passed.
  set.SetInterval(std::chrono::duration_cast<TFollowPace::Duration>(
      std::chrono::duration<double>(std::max(0.0, options.interval))));
  set.Open(options.addresses);
  if (!set.Message().empty()) std::cerr << Utf16ToUtf8(set.Message()) << std::endl;
  const auto interval = std::chrono::duration<double>(options.interval);
  for (long round = 0; options.count == 0 || round < options.count; ++round) {
    if (round > 0) std::this_thread::sleep_for(interval);
    set.Round();
    for (const TGame& game : set.Games()) {
      if (!game.changed) continue;
      std::cout << GameLine(game, engine.get(), options.movetime_ms)
                       .dump(-1, ' ', false, Json::error_handler_t::replace)
                << std::endl;
    }
    if (set.AllEnded()) break;
  }
  if (engine) engine->Quit();
  // 1 when every game downloaded in the last round that downloaded any failed.
  return set.AllFailed() ? 1 : 0;
}

CommandRegistration registration([](CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "watch", "follow every game of records or pages; one JSON line per game that changed");
  auto options = std::make_shared<Options>();
  cmd->add_option("ADDRESS", options->addresses, "records, or pages that link records")->required();
  cmd->add_option("--interval", options->interval, "seconds between two rounds (default 60)")
      ->check(CLI::Range(0.0, 86400.0));
  cmd->add_option("--count", options->count, "how many rounds (default 0: until interrupted)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--engine", options->engine, "a USI engine to evaluate each changed position");
  cmd->add_option("--movetime", options->movetime_ms, "milliseconds of search (default 500)")
      ->check(CLI::Range(1, 3'600'000));
  cmd->callback([options] {
    int status = 0;
    try {
      status = Watch(*options);
    } catch (const Exception& e) {
      Fail("zelvaro-cli watch: " + e.Message());
    }
    if (status != 0) Exit(status);
  });
});

}  // namespace
}  // namespace zelvaro::cli
