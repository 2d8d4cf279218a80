// DrawPosition of a full board and ApplyMove per move. The peer for the
// square copy is QPainter::drawImage of the same 81 cells (gote turned by a
// transform), which is what the row tables avoid.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

#include "game/untKyokumen.h"
#include "resources/Resources.h"
#include "toolkit/qt/Platform.h"
#include "viewer/BoardRenderer.h"

namespace zelvaro {
namespace {

// Every square occupied, both sides, all kinds; full hands and names.
TKyokumen FullBoard() {
  TKyokumen p;
  int code = 1;
  for (int f = 1; f <= 9; ++f) {
    for (int r = 1; r <= 9; ++r) {
      p.Board[f * 10 + r] = (r <= 4 ? kGoteOffset : 0) + code;
      code = code % 14 + 1;
    }
  }
  p.SenteHand = {9, 2, 2, 2, 2, 1, 1};
  p.GoteHand = {9, 2, 2, 2, 2, 1, 1};
  return p;
}

struct Board {
  QImage picture;
  TBoardRenderer renderer{&picture};
  std::u16string sente, gote;
  Board() {
    TKyokumen start;
    renderer.InitBoard(start, sente, gote);
    sente = u"羽生善治";
    gote = u"藤井聡太";
  }
};

void BM_DrawPosition_FullBoard(benchmark::State& state) {
  Board board;
  const TKyokumen position = FullBoard();
  for (auto _ : state) {
    board.renderer.DrawPosition(position, board.sente, board.gote);
    benchmark::DoNotOptimize(board.picture.constBits());
  }
}
BENCHMARK(BM_DrawPosition_FullBoard)->Unit(benchmark::kMicrosecond);

void BM_Squares_RowCopy(benchmark::State& state) {
  Board board;
  const TKyokumen position = FullBoard();
  for (auto _ : state) {
    for (int r = 1; r <= 9; ++r) {
      for (int f = 1; f <= 9; ++f) {
        board.renderer.DrawPiece(static_cast<uint8_t>(position.Board[f * 10 + r]), FileLeft(f),
                                 RankTop(r));
      }
    }
    benchmark::DoNotOptimize(board.picture.constBits());
  }
}
BENCHMARK(BM_Squares_RowCopy)->Unit(benchmark::kMicrosecond);

void BM_Squares_QPainterPeer(benchmark::State& state) {
  InitResources();
  const char* names[] = {"none",    "fu",  "tokin", "kyo",   "narikyo", "kei",  "narikei", "gin",
                         "narigin", "kin", "ou",    "hisya", "ryu",     "kaku", "uma"};
  std::vector<QImage> cells;
  for (const char* name : names) cells.push_back(LoadImageResource(name));
  QImage picture = LoadImageResource("initialize_ban");
  const TKyokumen position = FullBoard();
  for (auto _ : state) {
    QPainter painter(&picture);
    for (int r = 1; r <= 9; ++r) {
      for (int f = 1; f <= 9; ++f) {
        const int code = position.Board[f * 10 + r];
        const QImage& cell = cells[code % 100];
        if (code > 100) {
          painter.save();
          painter.translate(FileLeft(f) + 33, RankTop(r) + 38);
          painter.rotate(180);
          painter.drawImage(0, 0, cell);
          painter.restore();
        } else {
          painter.drawImage(FileLeft(f), RankTop(r), cell);
        }
      }
    }
    painter.end();
    benchmark::DoNotOptimize(picture.constBits());
  }
}
BENCHMARK(BM_Squares_QPainterPeer)->Unit(benchmark::kMicrosecond);

// One iteration replays a short opening with a capture, a promotion and a
// drop; the time per move is the time per item.
void BM_ApplyMove(benchmark::State& state) {
  const std::vector<std::u16string> moves = {u"７六歩(77)",   u"３四歩(33)", u"２二角成(88)",
                                             u"同　銀(31)",   u"４五角打",   u"５二金(41)",
                                             u"２三角成(45)", u"同　飛(82)"};
  TKyokumen start;
  LayOutStartingPosition(start);
  for (auto _ : state) {
    TKyokumen p = start;
    int32_t turn = 1;
    for (const std::u16string& move : moves) {
      p.Turn = turn;
      p.ApplyMove(move);
      turn = -turn;
    }
    benchmark::DoNotOptimize(p.Board.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(moves.size()));
}
BENCHMARK(BM_ApplyMove);

}  // namespace
}  // namespace zelvaro

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
