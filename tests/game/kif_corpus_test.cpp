// Every real record of the shared corpus, read as the viewer reads it, is
// checked against the rules of shogi, which the reader itself does not know:
// each row's position must follow from the position before it by exactly the
// move its text names (the piece can reach its square, a capture goes to the
// mover's hand, a drop comes from it), the sides alternate, no piece appears
// or vanishes, and a game ending in mate ends with the king in check.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <numeric>

#include "game/KifReader.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

namespace fs = std::filesystem;

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

int Side(int32_t code) { return code == 0 ? 0 : code > kGoteOffset ? -1 : 1; }
int32_t Kind(int32_t code) { return code > kGoteOffset ? code - kGoteOffset : code; }
int32_t Demoted(int32_t kind) {
  switch (kind) {
    case kTo:
      return kFu;
    case kNariKyo:
      return kKyo;
    case kNariKei:
      return kKei;
    case kNariGin:
      return kGin;
    case kRyu:
      return kHisya;
    case kUma:
      return kKaku;
    default:
      return kind;
  }
}
int HandIndex(int32_t kind) {
  switch (kind) {
    case kFu:
      return kHandFu;
    case kKyo:
      return kHandKyo;
    case kKei:
      return kHandKei;
    case kGin:
      return kHandGin;
    case kKin:
      return kHandKin;
    case kHisya:
      return kHandHisya;
    case kKaku:
      return kHandKaku;
    default:
      return -1;
  }
}

// The squares a piece on `from` attacks, by the movement rules.
bool Reaches(const TKyokumen& p, int from, int to) {
  const int32_t code = p.Board[from];
  const int side = Side(code), kind = Kind(code);
  const int fwd = -side;  // sente moves towards rank 1
  const int df = to / 10 - from / 10, dr = to % 10 - from % 10;
  auto step = [&](std::initializer_list<std::pair<int, int>> steps) {
    for (auto [f, r] : steps)
      if (df == f && dr == r) return true;
    return false;
  };
  auto slide = [&](std::initializer_list<std::pair<int, int>> dirs) {
    for (auto [f, r] : dirs) {
      for (int k = 1; k < 9; ++k) {
        const int file = from / 10 + f * k, rank = from % 10 + r * k;
        if (file < 1 || file > 9 || rank < 1 || rank > 9) break;
        if (file * 10 + rank == to) return true;
        if (p.Board[file * 10 + rank] != 0) break;
      }
    }
    return false;
  };
  const auto gold = {std::pair{0, fwd}, {1, fwd}, {-1, fwd}, {1, 0}, {-1, 0}, {0, -fwd}};
  switch (kind) {
    case kFu:
      return step({{0, fwd}});
    case kKyo:
      return slide({{0, fwd}});
    case kKei:
      return step({{1, 2 * fwd}, {-1, 2 * fwd}});
    case kGin:
      return step({{0, fwd}, {1, fwd}, {-1, fwd}, {1, -fwd}, {-1, -fwd}});
    case kKin:
    case kTo:
    case kNariKyo:
    case kNariKei:
    case kNariGin:
      return step(gold);
    case kOu:
      return std::abs(df) <= 1 && std::abs(dr) <= 1 && (df || dr);
    case kHisya:
      return slide({{1, 0}, {-1, 0}, {0, 1}, {0, -1}});
    case kKaku:
      return slide({{1, 1}, {-1, 1}, {1, -1}, {-1, -1}});
    case kRyu:
      return slide({{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) || (std::abs(df) == 1 && std::abs(dr) == 1);
    case kUma:
      return slide({{1, 1}, {-1, 1}, {1, -1}, {-1, -1}}) || std::abs(df) + std::abs(dr) == 1;
    default:
      return false;
  }
}

bool InCheck(const TKyokumen& p, int side) {
  for (int k = 11; k <= 99; ++k) {
    if (p.Board[k] != kOu + (side == 1 ? 0 : kGoteOffset)) continue;
    for (int from = 11; from <= 99; ++from)
      if (Side(p.Board[from]) == -side && Reaches(p, from, k)) return true;
  }
  return false;
}

// Pieces of each unpromoted kind on the board and in both hands.
std::map<int32_t, int> Material(const TKyokumen& p) {
  std::map<int32_t, int> count;
  for (int k = 11; k <= 99; ++k)
    if (p.Board[k]) ++count[Demoted(Kind(p.Board[k]))];
  const int32_t kinds[] = {kFu, kKyo, kKei, kGin, kKin, kHisya, kKaku};
  for (int i = 0; i < 7; ++i) count[kinds[i]] += p.SenteHand[i] + p.GoteHand[i];
  return count;
}

// The kind a move text names ("歩", "成銀", "全", ...), 0 when none.
int32_t NamedKind(std::u16string_view name) {
  static const std::map<std::u16string, int32_t> kNames = {
      {u"歩", kFu},      {u"香", kKyo},       {u"桂", kKei},     {u"銀", kGin},
      {u"金", kKin},     {u"角", kKaku},      {u"飛", kHisya},   {u"玉", kOu},
      {u"王", kOu},      {u"と", kTo},        {u"馬", kUma},     {u"龍", kRyu},
      {u"竜", kRyu},     {u"成香", kNariKyo}, {u"杏", kNariKyo}, {u"成桂", kNariKei},
      {u"圭", kNariKei}, {u"成銀", kNariGin}, {u"全", kNariGin}};
  const auto it = kNames.find(std::u16string(name));
  return it == kNames.end() ? 0 : it->second;
}

struct Check {
  const TKifRecord& record;
  std::vector<int> dest;  // per row, the square its move went to

  // The row whose position the move of `row` starts from: the latest row
  // before it with the number before its own (variations are written after
  // the line they leave), row 0 when there is none.
  int Parent(int row) const {
    const int n = std::stoi(U8(record.rows[row].caption));
    for (int r = row - 1; r > 0; --r)
      if (std::stoi(U8(record.rows[r].caption)) == n - 1) return r;
    return 0;
  }

  void Row(int row) {
    const TKifRecord::Row& text = record.rows[row];
    const int parent = Parent(row);
    const TKyokumen& before = record.row_positions[parent];
    const TKyokumen& after = record.row_positions[row];
    const int side = text.move[0] == u'▲' ? 1 : -1;
    const std::u16string move = text.move.substr(1);
    SCOPED_TRACE("row " + std::to_string(row) + " " + U8(text.caption) + " " + U8(text.move));
    if (parent > 0) {
      EXPECT_NE(record.rows[parent].move[0], text.move[0]) << "sides alternate";
    }
    const bool same = !move.empty() && move[0] == u'同';
    constexpr std::u16string_view kRanks = u"一二三四五六七八九";
    const bool square = move.size() >= 2 && move[0] >= u'１' && move[0] <= u'９' &&
                        kRanks.find(move[1]) != std::u16string_view::npos;
    if (!same && !square) {  // 投了, 中断, 封じ手, Time-up ...: nothing changes
      EXPECT_EQ(after.Board, before.Board);
      EXPECT_EQ(after.SenteHand, before.SenteHand);
      EXPECT_EQ(after.GoteHand, before.GoteHand);
      dest[row] = dest[parent];
      return;
    }
    const int target =
        same ? dest[parent] : (move[0] - u'０') * 10 + static_cast<int>(kRanks.find(move[1])) + 1;
    dest[row] = target;
    size_t at = 2;
    if (same) {
      at = 1;
      while (at < move.size() && (move[at] == u'　' || move[at] == u' ')) ++at;
    }
    const std::u16string name = move.substr(at, move[at] == u'成' ? 2 : 1);
    const int32_t named = NamedKind(name);
    ASSERT_NE(named, 0) << "piece name " << U8(name);
    EXPECT_EQ(after.LastSquare, target);
    EXPECT_NE(Side(before.Board[target]), side) << "no capture of one's own piece";

    const auto& hand_before = side == 1 ? before.SenteHand : before.GoteHand;
    const auto& hand_after = side == 1 ? after.SenteHand : after.GoteHand;
    const auto& other_before = side == 1 ? before.GoteHand : before.SenteHand;
    const auto& other_after = side == 1 ? after.GoteHand : after.SenteHand;
    EXPECT_EQ(other_after, other_before);
    std::array<int32_t, 7> hand_expected = hand_before;
    int origin = 0;
    if (move.find(u'打') != std::u16string::npos) {
      EXPECT_EQ(before.Board[target], 0) << "a drop lands on an empty square";
      ASSERT_GE(HandIndex(named), 0);
      EXPECT_GT(hand_before[HandIndex(named)], 0) << "a drop comes from the hand";
      --hand_expected[HandIndex(named)];
      EXPECT_EQ(after.Board[target], named + (side == 1 ? 0 : kGoteOffset));
    } else {
      const size_t paren = move.find(u'(');
      ASSERT_NE(paren, std::u16string::npos);
      origin = std::stoi(U8(move.substr(paren + 1, 2)));
      const int32_t piece = before.Board[origin];
      EXPECT_EQ(Side(piece), side) << "the origin holds a piece of the mover";
      EXPECT_EQ(Kind(piece), named) << "the piece the text names";
      EXPECT_TRUE(Reaches(before, origin, target))
          << "the piece reaches " << target << " from " << origin;
      EXPECT_EQ(after.Board[origin], 0);
      const int32_t placed = Kind(after.Board[target]);
      EXPECT_EQ(Side(after.Board[target]), side);
      if (placed != Kind(piece)) {
        EXPECT_EQ(Demoted(placed), Kind(piece)) << "a promotion";
        const bool zone = side == 1 ? (origin % 10 <= 3 || target % 10 <= 3)
                                    : (origin % 10 >= 7 || target % 10 >= 7);
        EXPECT_TRUE(zone) << "promotes in the zone";
      }
      if (before.Board[target] != 0) {
        const int k = HandIndex(Demoted(Kind(before.Board[target])));
        ASSERT_GE(k, 0) << "a king is never taken";
        ++hand_expected[k];
      }
    }
    EXPECT_EQ(hand_after, hand_expected) << "the mover's hand";
    for (int k = 0; k < 100; ++k) {
      if (k != target && k != origin) {
        EXPECT_EQ(after.Board[k], before.Board[k]) << "square " << k;
      }
    }
  }
};

TKifRecord ReadCorpusRecord(const fs::path& path) {
  TKifRecord record;
  TKifReader reader(record);
  reader.Begin(u"");
  reader.ReadLines(
      DecodeRecordLines(ReadRecordFile(path.string()), TRecordEncoding::kDetect, path.string()));
  return record;
}

const fs::path kCorpus = ZELVARO_SOURCE_DIR "/../shared/kif-corpus";

TEST(KifCorpus, EveryRowFollowsTheRules) {
  if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
  // The number of the main line's last row, from the record itself.
  const std::map<int, int> kLastMain = {
      {1, 97},  {2, 152},  {3, 105}, {4, 115},  {5, 108},  {6, 103},  {7, 53},   {8, 86},
      {9, 13},  {10, 4},   {11, 3},  {12, 143}, {13, 105}, {14, 26},  {15, 62},  {16, 182},
      {17, 15}, {18, 4},   {19, 4},  {20, 3},   {21, 4},   {22, 117}, {23, 0},   {24, 12},
      {25, 0},  {26, 123}, {27, 8},  {28, 259}, {29, 86},  {30, 28},  {31, 194}, {32, 318},
      {33, 1},  {34, 13},  {35, 37}, {36, 224}, {37, 4},   {38, 157}};
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kCorpus)) {
    if (entry.path().extension() != ".kif") continue;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    ++files;
    const TKifRecord record = ReadCorpusRecord(entry.path());
    EXPECT_TRUE(record.reports.empty()) << U8(record.reports.front());
    ASSERT_EQ(record.main_line.size() - 1, static_cast<size_t>(kLastMain.at(std::stoi(name))));

    Check check{record, std::vector<int>(record.rows.size(), 0)};
    const auto material = Material(record.row_positions[0]);
    const auto* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    const int failures_before = result->total_part_count();
    for (int row = 1; row < static_cast<int>(record.rows.size()); ++row) {
      check.Row(row);
      EXPECT_EQ(Material(record.row_positions[row]), material) << "row " << row;
      if (result->total_part_count() > failures_before) break;  // the rest would follow from it
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
    // Mate: the side to move after the last move is in check.
    const TKifRecord::Row& last = record.rows[record.main_line.back()];
    if (last.move.find(u"詰") != std::u16string::npos &&
        last.move.find(u"不詰") == std::u16string::npos) {
      const TKyokumen& end = record.MainPosition(record.main_line.size() - 1);
      EXPECT_TRUE(InCheck(end, last.move[0] == u'▲' ? 1 : -1)) << "mate";
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
