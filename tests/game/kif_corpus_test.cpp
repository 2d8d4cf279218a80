// Every record of the shared corpus, read as the viewer reads it, is checked
// against the rules of shogi: each row's move is legal and its position is
// the one before it with that move played (so sides alternate, captures go to
// the mover's hand, drops come from it and no piece appears or vanishes),
// the two fouls the records end on are marked, a game ending in mate ends
// in checkmate, every position reads back from its SFEN, and the USI moves
// of a row lead from the start to the row's position.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <numeric>

#include "game/KifReader.h"
#include "game/RecordUsi.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

namespace fs = std::filesystem;

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

TKifRecord ReadCorpusRecord(const fs::path& path) {
  TKifRecord record;
  ReadRecordBytes(record, ReadRecordFile(path.string()), TRecordEncoding::kDetect, path.string());
  return record;
}

const fs::path kCorpus = ZELVARO_SOURCE_DIR "/../shared/kif-corpus";

TEST(KifCorpus, EveryMoveFollowsTheRules) {
  if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
  // The number of the main line's last row, from the record itself.
  const std::map<int, int> kLastMain = {
      {1, 97},  {2, 152},  {3, 105}, {4, 115},  {5, 108},  {6, 103},  {7, 53},   {8, 86},
      {9, 13},  {10, 4},   {11, 3},  {12, 143}, {13, 105}, {14, 26},  {15, 62},  {16, 182},
      {17, 15}, {18, 4},   {19, 4},  {20, 3},   {21, 4},   {22, 117}, {23, 0},   {24, 12},
      {25, 0},  {26, 123}, {27, 8},  {28, 259}, {29, 86},  {30, 28},  {31, 194}, {32, 318},
      {33, 1},  {34, 13},  {35, 37}, {36, 224}, {37, 4},   {38, 157}};
  // The rows the rules forbid; both games end on them.
  const std::map<int, int> kFoulRow = {{30, 27}, {38, 157}};
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kCorpus)) {
    if (entry.path().extension() != ".kif") continue;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    ++files;
    const TKifRecord record = ReadCorpusRecord(entry.path());
    ASSERT_EQ(record.main_line.size() - 1, static_cast<size_t>(kLastMain.at(std::stoi(name))));

    const auto foul = kFoulRow.find(std::stoi(name));
    if (foul == kFoulRow.end()) {
      EXPECT_TRUE(record.reports.empty()) << U8(record.reports.front());
    } else {
      ASSERT_EQ(record.reports.size(), 1u);
      EXPECT_NE(U8(record.reports[0]).find(std::to_string(foul->second) + "手目"),
                std::string::npos);
    }
    for (int row = 1; row < static_cast<int>(record.rows.size()); ++row) {
      const TKifRecord::Row& r = record.rows[row];
      SCOPED_TRACE("row " + std::to_string(row) + " " + U8(r.caption) + " " + U8(r.move));
      const TKyokumen before = RulesPositionOfRow(record, r.parent);
      const TKyokumen& after = record.row_positions[row];
      if (!NamesDestination(std::u16string_view(r.move).substr(1))) {
        EXPECT_EQ(after.Board, before.Board);  // 投了, 中断, 封じ手, Time-up ...
        EXPECT_FALSE(r.rules_move.has_value());
      } else if (foul != kFoulRow.end() && foul->second == row) {
        EXPECT_EQ(U8(r.other), "反則");
        EXPECT_NE(r.foul, TFoul::kNone);
        EXPECT_FALSE(r.rules_move.has_value());
      } else {
        EXPECT_EQ(before.Turn, r.move[0] == u'▲' ? 1 : -1) << "sides alternate";
        ASSERT_TRUE(r.rules_move.has_value()) << "a legal move";
        EXPECT_EQ(r.foul, TFoul::kNone);
        TKyokumen played = before;
        PlayMove(played, *r.rules_move);
        EXPECT_EQ(after.Board, played.Board);
        EXPECT_EQ(after.SenteHand, played.SenteHand);
        EXPECT_EQ(after.GoteHand, played.GoteHand);
      }
      const std::string sfen = SfenOfRow(record, row);
      int32_t number = 0;
      const TKyokumen read = ParseSfen(sfen, &number);
      EXPECT_EQ(ToSfen(read, number), sfen);
      EXPECT_EQ(read.Board, after.Board);
      if (HasFailure()) break;  // the rest would follow from it
    }
    // The USI moves of each main-line row lead from the start to it.
    for (size_t n = 0; n < record.main_line.size(); ++n) {
      const int row = record.main_line[n];
      SCOPED_TRACE("main line row " + std::to_string(row));
      const TUsiRowMoves usi = UsiMovesOfRow(record, row);
      const bool after_foul = foul != kFoulRow.end() && row >= foul->second;
      EXPECT_EQ(usi.from_start, !after_foul);
      TUsiPosition replay = ParseUsiPosition(PositionCommandOfRow(record, row));
      for (const TMove& m : replay.moves) {
        ASSERT_TRUE(IsLegal(replay.start, m));
        PlayMove(replay.start, m);
      }
      EXPECT_EQ(ToSfen(replay.start, NextMoveNumberOfRow(record, row)), SfenOfRow(record, row));
      if (HasFailure()) break;
    }
    // Every comment line of the file is shown once, blank ones included.
    const auto lines = DecodeRecordLines(ReadRecordFile(entry.path().string()),
                                         TRecordEncoding::kDetect, entry.path().string());
    const auto comment_lines = std::count_if(
        lines.begin(), lines.end(), [](const auto& l) { return !l.empty() && l[0] == u'*'; });
    size_t shown = 0;
    for (const TKyokumen& p : record.row_positions) {
      for (size_t at = 0; (at = p.Comment.find(u"<BR>", at)) != std::u16string::npos; at += 4)
        ++shown;
    }
    EXPECT_EQ(shown, static_cast<size_t>(comment_lines));
    // Mate: the side to move after the last move is checkmated.
    const TKifRecord::Row& last = record.rows[record.main_line.back()];
    if (last.move.find(u"詰") != std::u16string::npos &&
        last.move.find(u"不詰") == std::u16string::npos) {
      EXPECT_TRUE(IsCheckmate(RulesPositionOfRow(record, record.main_line.back()))) << "mate";
    }
    for (size_t n = 1; n < record.main_line.size(); ++n) {
      const int row = record.main_line[n];
      if (row == 0) continue;  // before the first move
      EXPECT_EQ(record.rows[row].line, 0);
      EXPECT_EQ(U8(record.rows[row].caption), std::to_string(n));
    }
  }
  EXPECT_EQ(files, 38);
}

// Starts, sides and times that the rules above cannot tell: a few cells and
// texts as the records show them.
TEST(KifCorpus, StartsAndTimes) {
  if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
  std::map<int, TKifRecord> records;
  for (const auto& entry : fs::directory_iterator(kCorpus)) {
    if (entry.path().extension() == ".kif")
      records[std::stoi(entry.path().filename().string())] = ReadCorpusRecord(entry.path());
  }
  ASSERT_EQ(records.size(), 38u);
  struct Cell {
    int file, row, square;
    int32_t piece;
  } cells[] = {
      {12, 0, 11, kEmpty},
      {12, 0, 91, kKyo + kGoteOffset},  // 香落ち
      {14, 0, 22, kEmpty},
      {14, 0, 31, kEmpty},
      {14, 0, 41, kKin + kGoteOffset},  // 八枚落ち
      {15, 0, 11, kOu + kGoteOffset},
      {15, 0, 29, kFu + kGoteOffset},
      {15, 0, 59, kEmpty},
      {21, 0, 34, kUma},
      {21, 0, 53, kTo},
      {23, 0, 99, kOu},  // diagrams
      {37, 0, 76, kFu},
      {37, 0, 77, kEmpty},
      {2, 114, 77, kRyu + kGoteOffset},
      {2, 114, 87, kEmpty},  // 同　竜(87)
  };
  for (const auto& c : cells) {
    EXPECT_EQ(records[c.file].row_positions.at(c.row).Board[c.square], c.piece)
        << c.file << " row " << c.row << " square " << c.square;
  }
  struct Text {
    int file, row;
    const char16_t *move, *time;
  } texts[] = {
      {12, 1, u"△３四歩(33)", u""},
      {13, 1, u"△５四歩(53)", u" 0分(計0分)"},
      {15, 1, u"▲１三香打", u" 0分(計0分)"},
      {33, 1, u"△入玉勝ち", u" 0分(計0分)"},
      {37, 1, u"△５四歩(53)", u""},
      {28, 1, u"▲２六歩(27)", u"01分(計1分)"},
      {31, 194, u"△Time-up", u" 0分(計23分)"},
      {38, 10, u"△５二金(61)", u"0分(計1分)"},
      {32, 317, u"▲１三歩成(14)", u""},
  };
  for (const auto& t : texts) {
    const TKifRecord::Row& row = records[t.file].rows.at(t.row);
    EXPECT_EQ(U8(row.move), U8(t.move)) << t.file << " row " << t.row;
    EXPECT_EQ(U8(row.time), U8(t.time)) << t.file << " row " << t.row;
  }
  EXPECT_EQ(records[15].row_positions[0].SenteHand, (std::array<int32_t, 7>{0, 4, 0, 0, 0, 2, 0}));
  EXPECT_EQ(records[15].row_positions[0].GoteHand, (std::array<int32_t, 7>{0, 0, 4, 4, 0, 0, 0}));
  EXPECT_EQ(records[21].row_positions[0].GoteHand, (std::array<int32_t, 7>{17, 4, 4, 1, 4, 2, 1}));
  EXPECT_EQ(U8(records[12].sente_name), "糸谷哲郎");  // 下手
  EXPECT_EQ(U8(records[12].gote_name), "深浦康市");   // 上手
}

}  // namespace
}  // namespace zelvaro
