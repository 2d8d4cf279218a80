// Legal-move generation, SFEN both ways, the KI2 notation of every legal
// move, and the reading of a long record (every move read by the rules too).
// No peer library is packaged for Debian; the figures stand on their own
// (an engine analysing a game asks for a position command per row, a KI2
// reader for the legal moves of each position).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "game/KifReader.h"
#include "game/Notation.h"
#include "game/RecordUsi.h"
#include "game/Rules.h"
#include "game/Sfen.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

// A middle game with pieces in hand on both sides and many drops.
constexpr std::string_view kMiddle =
    "l6nl/5+P1gk/2np1S3/p1p4Pp/3P2Sp1/1PPb2P1P/P5GS1/R8/LN4bKL w RGgsn5p 92";

void BM_LegalMovesStart(benchmark::State& state) {
  const TKyokumen p = ParseSfen(kStartSfen);
  for (auto _ : state) benchmark::DoNotOptimize(LegalMoves(p));
}
BENCHMARK(BM_LegalMovesStart);

void BM_LegalMovesMiddle(benchmark::State& state) {
  const TKyokumen p = ParseSfen(kMiddle);
  state.counters["moves"] = static_cast<double>(LegalMoves(p).size());
  for (auto _ : state) benchmark::DoNotOptimize(LegalMoves(p));
}
BENCHMARK(BM_LegalMovesMiddle);

void BM_Perft3(benchmark::State& state) {
  const TKyokumen p = ParseSfen(kStartSfen);
  int64_t nodes = 0;
  for (auto _ : state) nodes += CountMoveSequences(p, 3);
  state.counters["nodes/s"] =
      benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Perft3)->Unit(benchmark::kMillisecond);

void BM_SfenRoundTrip(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ToSfen(ParseSfen(kMiddle), 92));
}
BENCHMARK(BM_SfenRoundTrip);

void BM_Ki2OfEveryLegalMove(benchmark::State& state) {
  const TKyokumen p = ParseSfen(kMiddle);
  const std::vector<TMove> moves = LegalMoves(p);
  for (auto _ : state) {
    for (const TMove& m : moves) benchmark::DoNotOptimize(Ki2MoveText(p, m));
  }
}
BENCHMARK(BM_Ki2OfEveryLegalMove);

// A 300-move record read as the viewer reads it, then the position command
// of its last row.
std::vector<std::u16string> LongRecord() {
  const char* kShuffle[] = {"５八玉(59)", "５二玉(51)", "５九玉(58)", "５一玉(52)"};
  std::vector<std::u16string> lines;
  for (int n = 1; n <= 300; ++n) {
    lines.push_back(
        Utf8ToUtf16(std::to_string(n) + " " + kShuffle[(n - 1) % 4] + "   ( 0:01/00:00:01)"));
  }
  return lines;
}

void BM_ReadRecord300(benchmark::State& state) {
  const std::vector<std::u16string> lines = LongRecord();
  for (auto _ : state) {
    TKifRecord record;
    TKifReader reader(record);
    reader.Begin(u"");
    reader.ReadLines(lines);
    benchmark::DoNotOptimize(record.rows.size());
  }
}
BENCHMARK(BM_ReadRecord300)->Unit(benchmark::kMillisecond);

void BM_PositionCommandOfLastRow(benchmark::State& state) {
  TKifRecord record;
  TKifReader reader(record);
  reader.Begin(u"");
  reader.ReadLines(LongRecord());
  const int last = static_cast<int>(record.rows.size()) - 1;
  for (auto _ : state) benchmark::DoNotOptimize(PositionCommandOfRow(record, last));
}
BENCHMARK(BM_PositionCommandOfLastRow)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zelvaro

BENCHMARK_MAIN();
