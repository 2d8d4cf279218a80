// zelvaro-cli analyse FILE [--engine PATH] [--movetime MS | --nodes N]
// [--multipv N] [--rows A-B] [--hash MB] [--threads N] [--scale S]: reads
// FILE as the viewer reads a record (any format it reads, refusing what it
// refuses) and has a USI engine search the position of each row for MS
// milliseconds ("go infinite", then "stop") or to N nodes ("go nodes N"),
// printing one JSON line per row in row order as soon as it is done, with
// sente's winning chance, the position in words and, for a move whose
// position before was searched too, the mover's loss and the move's mark;
// then one line with each player's tally. An engine that fails ends the
// program with status 1 and its message; the rows printed before stay.
#include <charconv>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/Command.h"
#include "engine/ChildProcess.h"
#include "engine/Evaluation.h"
#include "engine/RecordPositions.h"
#include "game/KifReader.h"
#include "game/RecordFormat.h"
#include "game/Sfen.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro::cli {
namespace {

using Json = nlohmann::ordered_json;

struct Options {
  std::string file;
  std::string engine = "/usr/games/fairy-stockfish";
  int movetime_ms = 1000;
  std::int64_t nodes = 0;  // 0: by time
  int scale = kDefaultWinRateScale;
  int multipv = kDefaultMultiPv;
  std::string rows;
  int hash_mb = kDefaultHashMb;
  int threads = DefaultUsiThreads();
};

// "A-B" (either end may be left out) as a range of rows, clipped to the record.
std::pair<int, int> RowRange(const std::string& text, int row_count) {
  if (text.empty()) return {0, row_count - 1};
  const size_t dash = text.find('-');
  auto number = [&](std::string_view part, int fallback) {
    if (part.empty()) return fallback;
    int value = -1;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (error != std::errc() || end != part.data() + part.size() || value < 0) {
      throw ERangeError("--rows: " + text + " is not A-B with rows from 0");
    }
    return value;
  };
  const std::string_view all = text;
  const int first = number(all.substr(0, dash), 0);
  const int last = dash == std::string::npos ? first : number(all.substr(dash + 1), row_count - 1);
  if (first > last) throw ERangeError("--rows: " + text + " ends before it begins");
  return {first, std::min(last, row_count - 1)};
}

Json LineJson(const std::string& position, const TUsiLine& line) {
  Json out;
  out["depth"] = line.depth ? Json(*line.depth) : Json(nullptr);
  if (line.score.mate) {
    out["score"] = {{"mate", line.score.mate_plies == kUnknownMatePlies
                                 ? Json(nullptr)
                                 : Json(line.score.SignedMate())}};
  } else {
    out["score"] = {{"cp", line.score.cp}};
  }
  out["bound"] = line.score.bound == TUsiBound::kLower   ? Json("lower")
                 : line.score.bound == TUsiBound::kUpper ? Json("upper")
                                                         : Json(nullptr);
  out["pv"] = line.pv;
  out["pv_text"] = PvText(position, line.pv);
  return out;
}

Json TallyJson(const TPlayerTally& tally) {
  Json out;
  for (int i = 1; i <= kMoveMarkCount; ++i) {
    const auto mark = static_cast<TMoveMark>(i);
    out[std::string(MoveMarkName(mark))] = tally.Count(mark);
  }
  out["average_loss"] = Json::parse(OneDecimal(tally.AverageLoss()));
  out["moves"] = tally.moves;
  return out;
}

void Run(const Options& options) {
  const std::string bytes = ReadRecordFile(options.file);
  // What the viewer refuses, refused alike.
  if (const std::u16string_view refusal =
          RecordRefusal(bytes, TRecordEncoding::kDetect, options.file);
      !refusal.empty()) {
    throw Exception(Utf16ToUtf8(refusal));
  }
  TKifRecord record;
  ReadRecordBytes(record, bytes, TRecordEncoding::kDetect, options.file);
  const std::vector<TRecordPosition> positions = RecordPositions(record);
  const auto [first, last] = RowRange(options.rows, static_cast<int>(positions.size()));

  TUsiEngine engine(TUsiSettings{options.hash_mb, options.threads, options.multipv});
  engine.Start(options.engine);
  // The rows searched in this run, for the moves after them.
  std::map<int, TUsiAnalysis> searched;
  TGameTally tally;
  for (int row = first; row <= last; ++row) {
    const TRecordPosition& position = positions[static_cast<size_t>(row)];
    if (position.command.empty()) continue;
    const TUsiAnalysis analysis =
        options.nodes > 0
            ? engine.AnalyseNodes(position.command, options.nodes)
            : engine.Analyse(position.command, std::chrono::milliseconds(options.movetime_ms));
    searched[row] = analysis;
    Json out;
    out["row"] = row;
    out["sfen"] = position.sfen;
    out["position"] = position.command;
    TUsiLine best;
    if (analysis.HasScore()) best = analysis.lines[0];
    const Json first_line = LineJson(position.command, best);
    out["depth"] = first_line["depth"];
    out["score"] = analysis.HasScore() ? first_line["score"] : Json(nullptr);
    out["bound"] = first_line["bound"];
    out["pv"] = first_line["pv"];
    out["pv_text"] = first_line["pv_text"];
    Json all = Json::array();
    for (const TUsiLine& line : analysis.lines) {
      if (line.scored) all.push_back(LineJson(position.command, line));
    }
    out["lines"] = std::move(all);
    out["win_rate"] = analysis.HasScore()
                          ? Json::parse(OneDecimal(SenteWinRate(best.score, options.scale)))
                          : Json(nullptr);
    out["words"] = analysis.HasScore() ? Json(EvalWords(best.score)) : Json(nullptr);
    // A move the rules took (no foul, no 投了) from a row searched here.
    const TKifRecord::Row& kif_row = record.rows[static_cast<size_t>(row)];
    const auto before = searched.find(kif_row.parent);
    if (row > 0 && kif_row.moved && kif_row.rules_move && kif_row.foul == TFoul::kNone &&
        before != searched.end()) {
      const std::optional<TMoveVerdict> verdict = JudgeMove(
          before->second, analysis, ToUsi(*kif_row.rules_move), kif_row.side > 0, options.scale);
      const TUsiAnalysis& b = before->second;
      out["loss"] = verdict ? Json::parse(OneDecimal(verdict->loss)) : Json(nullptr);
      out["best"] = b.HasScore() && !b.lines[0].pv.empty() ? Json(b.lines[0].pv[0]) : Json(nullptr);
      out["mark"] = verdict && verdict->mark != TMoveMark::kNone
                        ? Json(std::string(MoveMarkName(verdict->mark)))
                        : Json(nullptr);
      if (verdict && kif_row.line == 0) tally.Add(*verdict);
    }
    std::cout << out.dump(-1, ' ', false, Json::error_handler_t::replace) << std::endl;
  }
  engine.Quit();
  Json summary;
  summary["summary"]["sente"] = TallyJson(tally.sente);
  summary["summary"]["gote"] = TallyJson(tally.gote);
  std::cout << summary.dump(-1, ' ', false, Json::error_handler_t::replace) << std::endl;
}

const CommandRegistration kRegistration([](CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "analyse",
      "search the position of each row of a record with a USI engine, one JSON line a row");
  auto options = std::make_shared<Options>();
  cmd->add_option("FILE", options->file, "the record (CP932, or UTF-8 as the reader detects it)")
      ->required();
  cmd->add_option("--engine", options->engine, "the USI engine program")->capture_default_str();
  cmd->add_option("--movetime", options->movetime_ms, "milliseconds of search per row")
      ->check(CLI::Range(1, 3'600'000))
      ->capture_default_str();
  cmd->add_option("--nodes", options->nodes,
                  "search each row to N nodes (\"go nodes\") instead of --movetime")
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{1} << 50));
  cmd->add_option("--scale", options->scale,
                  "centipawns of the winning chance's curve: 100 / (1 + e^(-cp / SCALE))")
      ->check(CLI::Range(kMinWinRateScale, kMaxWinRateScale))
      ->capture_default_str();
  cmd->add_option("--multipv", options->multipv, "lines per position")
      ->check(CLI::Range(1, kMaxMultiPv))
      ->capture_default_str();
  cmd->add_option("--rows", options->rows, "A-B: only rows A to B (from 0)");
  cmd->add_option("--hash", options->hash_mb, "the engine's hash in MB")
      ->check(CLI::Range(1, 1 << 20))
      ->capture_default_str();
  cmd->add_option("--threads", options->threads, "the engine's threads")
      ->check(CLI::Range(1, 1024))
      ->capture_default_str();
  cmd->callback([options] {
    try {
      Run(*options);
    } catch (const Exception& e) {
      Fail("zelvaro-cli analyse: " + e.Message());
    }
  });
});

}  // namespace
}  // namespace zelvaro::cli
