#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "game/KifReader.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

using Lines = std::vector<std::u16string>;

constexpr std::u16string_view kPrefix = u"<P>";

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

// A reading of `lines` into a fresh record (or into `record` to read again).
struct Reading {
  TKifRecord record;
  std::u16string header;
  std::u16string pending;

  explicit Reading(const Lines& lines) { Read(lines); }
  void Read(const Lines& lines) {
    TKifReader reader(record);
    reader.Begin(kPrefix);
    int number = 0;
    for (const auto& line : lines) {
      if (!reader.ReadLine(line, ++number)) break;
    }
    header = reader.HeaderText();
    pending = reader.PendingComment();
  }
  const TKifRecord::Row& Row(int i) const { return record.rows.at(i); }
  const TKyokumen& Pos(int i) const { return record.positions.at(i); }
};

std::u16string MoveLine(int n, std::u16string_view move,
                        std::u16string_view time = u"( 0:01/00:00:01)") {
  char number[8];
  std::snprintf(number, sizeof number, "%4d", n);
  std::u16string line = Utf8ToUtf16(number) + u" " + std::u16string(move);
  line.resize(std::max<size_t>(line.size(), 18), u' ');
  return line + std::u16string(time);
}

const Lines kOpening = {
    u"開始日時：2024/05/01 09:00",
    u"棋戦：名人戦",
    u"先手：佐藤一郎",
    u"後手：鈴木二郎",
    u"手数----指手---------消費時間--",
    u"*序盤の前",
    u"   1 ７六歩(77)   ( 0:01/00:00:01)",
    u"*序盤",
    u"   2 ３四歩(33)   ( 0:02/00:00:02)",
    u"   3 ２二角成(88) ( 1:00/00:01:01)",
    u"*角交換",
    u"*http://example.jp/a",
    u"   4 同　銀(31)   ( 5:12/01:10:30)",
    u"まで4手で中断",
    u"*終局後の感想",
};

TEST(KifReader, WorkedExample) {
  Reading r(kOpening);
  ASSERT_EQ(r.record.rows.size(), 5u);
  struct Expected {
    const char16_t *caption, *move, *time, *other;
  } rows[] = {
      {u"0", u"開始局面", u"0分(計0分)", u"ｺﾒﾝﾄ"},
      {u"1", u"▲７六歩(77)", u" 0分(計0分)", u"ｺﾒﾝﾄ"},
      {u"2", u"△３四歩(33)", u" 0分(計0分)", u" "},
      {u"3", u"▲２二角成(88)", u" 1分(計1分)", u"ｺﾒﾝﾄ"},
      {u"4", u"△同　銀(31)", u" 5分(計70分)", u" "},
  };
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(U8(r.Row(i).caption), U8(rows[i].caption));
    EXPECT_EQ(U8(r.Row(i).move), U8(rows[i].move));
    EXPECT_EQ(U8(r.Row(i).time), U8(rows[i].time));
    EXPECT_EQ(U8(r.Row(i).other), U8(rows[i].other));
  }
  EXPECT_EQ(U8(r.Pos(0).Comment), "序盤の前<BR>");
  EXPECT_EQ(U8(r.Pos(1).Comment), "序盤<BR>");
  EXPECT_EQ(U8(r.Pos(2).Comment), "");
  EXPECT_EQ(U8(r.Pos(3).Comment), "角交換<BR>http://example.jp/a<BR>");
  EXPECT_EQ(U8(r.Pos(4).Comment), "");
  // Comment lines after the last move and after まで reach no position.
  EXPECT_EQ(U8(r.pending), "終局後の感想<BR>");

  EXPECT_EQ(r.Pos(1).Board[77], 0);
  EXPECT_EQ(r.Pos(1).Board[76], kFu);
  EXPECT_EQ(r.Pos(2).Board[34], kFu + kGoteOffset);
  EXPECT_EQ(r.Pos(2).Board[76], kFu);
  EXPECT_EQ(r.Pos(3).Board[22], kUma);
  EXPECT_EQ(r.Pos(3).SenteHand[kHandKaku], 1);
  EXPECT_EQ(r.Pos(4).Board[22], kGin + kGoteOffset);
  EXPECT_EQ(r.Pos(4).GoteHand[kHandKaku], 1);
  EXPECT_EQ(r.Pos(0).Board[77], kFu);  // the starting position is never touched
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(r.Pos(i).Turn, i % 2 ? 1 : -1);

  EXPECT_EQ(
      U8(r.header),
      "<P>開始日時：2024/05/01 09:00<BR>棋戦：名人戦<BR>先手：佐藤一郎<BR>後手：鈴木二郎<BR>");
  EXPECT_EQ(U8(r.record.sente_name), "佐藤一郎");
  EXPECT_EQ(U8(r.record.gote_name), "鈴木二郎");
  EXPECT_EQ(U8(r.record.tournament_name), "名人戦");
  EXPECT_EQ(U8(r.record.caption), "Zelvaro - [ 名人戦 ]");
  EXPECT_TRUE(r.record.reports.empty());
}

TEST(KifReader, TimeColumn) {
  struct Case {
    std::u16string_view field, time;
  } cases[] = {
      {u"( 0:01/00:00:01)", u" 0分(計0分)"},
      {u"( 5:12/01:10:30)", u" 5分(計70分)"},
      {u"(12:00/02:05:10)", u"12分(計125分)"},
      {u"( 0:10/01:23:45)", u" 0分(計83分)"},
      {u"( 3:00/00:59:59)", u" 3分(計59分)"},  // 0 hours add nothing
      {u"(123:00/100:00:00)", u"123分(計6000分)"},
      {u"( 1:00/99999999:00:00)", u" 1分(計5999999940分)"},  // no 32-bit overflow
      {u"( 1:00/99999999999:00:00)", u" 1分(計0分)"},        // unconvertible hours count 0
      {u"( 0:01/00:01)", u""},                               // short form: no match
      {u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.field));
    Reading r({MoveLine(1, u"７六歩(77)", c.field)});
    ASSERT_EQ(r.record.rows.size(), 2u);
    EXPECT_EQ(U8(r.Row(1).time), U8(c.time));
  }
}

TEST(KifReader, LinesThatAreSkippedOrIgnored) {
  struct Case {
    const char* name;
    Lines lines;
    size_t rows;
    std::u16string_view pending;
  } cases[] = {
      {"one character comment", {u"*"}, 1, u""},
      {"comment of one space", {u"* "}, 1, u" <BR>"},
      {"short move line", {u"*a", u"   1 ７六"}, 1, u"a<BR>"},
      {"number not an integer", {u"*a", u"  x1 ７六歩(77)   ( 0:01/00:00:01)"}, 1, u"a<BR>"},
      {"number with inner blank", {u"*a", u" 1 2 ７六歩(77)   ( 0:01/00:00:01)"}, 1, u"a<BR>"},
      {"full-width number", {u"*a", u" １２ ７六歩(77)   ( 0:01/00:00:01)"}, 1, u"a<BR>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reading r(c.lines);
    EXPECT_EQ(r.record.rows.size(), c.rows);
    EXPECT_EQ(U8(r.pending), U8(c.pending));
    EXPECT_EQ(U8(r.header), U8(kPrefix));
  }
}

TEST(KifReader, HeaderLinesAndKeys) {
  Reading r({
      u"# ---- 棋譜ファイル ----",
      u"開始日時：2024/05/01",
      u"場所：<i>東京</i>",
      u"手合割：平手",
      u"手数----指手----",
      u"#先手：シャープ行の先手",
      u"*後手：コメント行の後手",
      u"まで棋戦：閉じ行の棋戦",
      u" 棋戦：X",
  });
  EXPECT_EQ(r.record.rows.size(), 1u);
  EXPECT_EQ(U8(r.header), "<P>開始日時：2024/05/01<BR>場所：<i>東京</i><BR>手合割：平手<BR>");
  // Characters 4 onwards, whatever the line starts with.
  EXPECT_EQ(U8(r.record.sente_name), "：シャープ行の先手");
  EXPECT_EQ(U8(r.record.gote_name), "：コメント行の後手");
  EXPECT_EQ(U8(r.record.tournament_name), "：X");  // the last key line wins
  EXPECT_EQ(U8(r.record.caption), "Zelvaro - [ ：X ]");
}

TEST(KifReader, HeaderValuesAreCutAt128Characters) {
  std::u16string name(200, u'名');
  Reading r({u"先手：" + name, u"棋戦：" + name});
  EXPECT_EQ(r.record.sente_name, name.substr(0, 128));
  EXPECT_EQ(r.record.tournament_name, name.substr(0, 128));
}

TEST(KifReader, LongCommentLinesStayWhole) {
  std::u16string text(800, u'解');
  text += u"END";
  Reading r({u"*" + text, MoveLine(1, u"７六歩(77)")});
  EXPECT_EQ(r.Pos(0).Comment, text + u"<BR>");
}

TEST(KifReader, MoveText) {
  struct Case {
    std::u16string line;
    std::u16string move;
  } cases[] = {
      {u"   1 ７六歩(77)   ( 0:01/00:00:01)", u"▲７六歩(77)"},
      {u"   2 同　歩(33)", u"△同　歩(33)"},              // the ideographic space is no cut
      {u"   1 ７六歩(77)", u"▲７六歩(77)"},              // no time field: ten characters suffice
      {u"   1 ７六歩(77)x" + std::u16string(200, u'y'),  // at most 128 characters
       u"▲７六歩(77)x" + std::u16string(120, u'y')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.line));
    Reading r({c.line});
    ASSERT_EQ(r.record.rows.size(), 2u);
    EXPECT_EQ(U8(r.Row(1).move), U8(c.move));
  }
}

TEST(KifReader, TerminalWordKeepsThePosition) {
  Reading r({MoveLine(1, u"７六歩(77)"), MoveLine(2, u"３四歩(33)"),
             u"   3 投了         ( 0:10/01:23:45)"});
  ASSERT_EQ(r.record.rows.size(), 4u);
  EXPECT_EQ(U8(r.Row(3).caption), "3");
  EXPECT_EQ(U8(r.Row(3).move), "▲投了");
  EXPECT_EQ(U8(r.Row(3).time), " 0分(計83分)");
  EXPECT_EQ(r.Pos(3).Board, r.Pos(2).Board);
  EXPECT_EQ(r.Pos(3).LastSquare, r.Pos(2).LastSquare);
  EXPECT_EQ(r.Pos(3).Turn, 1);
}

TEST(KifReader, VariationLinesOverwritePositions) {
  Reading r({MoveLine(1, u"７六歩(77)"), MoveLine(2, u"３四歩(33)"), MoveLine(3, u"２六歩(27)"),
             u"変化：2手", MoveLine(2, u"８四歩(83)"), MoveLine(3, u"２六歩(27)")});
  ASSERT_EQ(r.record.rows.size(), 6u);
  EXPECT_EQ(U8(r.Row(4).caption), "2");
  EXPECT_EQ(U8(r.Row(4).move), "△８四歩(83)");
  EXPECT_EQ(r.Pos(2).Board[84], kFu + kGoteOffset);
  EXPECT_EQ(r.Pos(2).Board[34], 0);
  EXPECT_EQ(r.Pos(2).Board[33], kFu + kGoteOffset);
  EXPECT_EQ(r.Pos(3).Board[84], kFu + kGoteOffset);
  EXPECT_NE(r.header.find(u"変化：2手<BR>"), std::u16string::npos);
}

TEST(KifReader, SideToMoveFollowsTheNumberOnly) {
  // A record with gote to move still shows ▲ on odd numbers and places sente pieces.
  Reading r({u"手番：後手", MoveLine(1, u"３四歩(33)"), MoveLine(2, u"７六歩(77)")});
  EXPECT_EQ(U8(r.Row(1).move), "▲３四歩(33)");
  EXPECT_EQ(U8(r.Row(2).move), "△７六歩(77)");
  EXPECT_EQ(r.Pos(1).Turn, 1);
  EXPECT_EQ(r.Pos(1).Board[34], kFu);
  EXPECT_EQ(r.Pos(2).Board[76], kFu + kGoteOffset);
}

TEST(KifReader, MoveErrorsAreReportedAndTheReadingGoesOn) {
  Reading r({MoveLine(1, u"７六歩(7x)"), u"*まだ読む", MoveLine(2, u"３四歩(33)"),
             MoveLine(3, u"２六歩(-1)")});
  ASSERT_EQ(r.record.rows.size(), 4u);
  ASSERT_EQ(r.record.reports.size(), 2u);
  EXPECT_EQ(U8(r.record.reports[0]), "指し手エラー ７六歩(7x)");
  EXPECT_EQ(U8(r.record.reports[1]), "指し手エラー ２六歩(-1)");
  EXPECT_EQ(U8(r.Row(1).move), "▲７六歩(7x)");
  EXPECT_EQ(r.Pos(1).Board, r.Pos(0).Board);
  EXPECT_EQ(r.Pos(2).Board[34], kFu + kGoteOffset);
  EXPECT_EQ(U8(r.Pos(1).Comment), "まだ読む<BR>");
}

TEST(KifReader, MoveNumbersOutsideThePositionTable) {
  Lines lines;
  for (int n = 1; n <= 255; ++n)
    lines.push_back(MoveLine(n, n % 2 ? u"５八玉(59)" : u"５二玉(51)"));
  lines.push_back(u"*最後のコメント");
  Lines over = lines;
  over.push_back(MoveLine(256, u"５九玉(58)"));
  over.push_back(u"棋戦：読まれない");

  {
    Reading r(lines);
    EXPECT_EQ(r.record.rows.size(), 256u);
    EXPECT_TRUE(r.record.reports.empty());
  }
  {
    Reading r(over);
    EXPECT_EQ(r.record.rows.size(), 256u);  // rows so far stay
    ASSERT_EQ(r.record.reports.size(), 1u);
    const std::string report = U8(r.record.reports[0]);
    EXPECT_NE(report.find("257 行目"), std::string::npos) << report;
    EXPECT_NE(report.find("256"), std::string::npos) << report;
    EXPECT_EQ(U8(r.record.tournament_name), "");  // the lines after it are not read
    EXPECT_EQ(U8(r.record.caption), "Zelvaro");
  }
  {
    Reading r({u"*始め", MoveLine(1, u"７六歩(77)"), u"  -1 ７六歩(77)   ( 0:01/00:00:01)",
               MoveLine(2, u"３四歩(33)")});
    EXPECT_EQ(r.record.rows.size(), 2u);
    ASSERT_EQ(r.record.reports.size(), 1u);
    EXPECT_NE(U8(r.record.reports[0]).find("3 行目"), std::string::npos);
  }
  {
    // Move 0 gives a row and no position, and leaves the comments waiting.
    Reading r({u"*始め", MoveLine(0, u"７六歩(77)"), MoveLine(1, u"２六歩(27)")});
    ASSERT_EQ(r.record.rows.size(), 3u);
    EXPECT_EQ(U8(r.Row(1).caption), "0");
    EXPECT_EQ(U8(r.Row(1).move), "△７六歩(77)");
    EXPECT_EQ(r.Pos(0).Board[76], 0);
    EXPECT_EQ(r.Pos(1).Board[26], kFu);
    EXPECT_EQ(U8(r.Pos(0).Comment), "始め<BR>");
    EXPECT_TRUE(r.record.reports.empty());
  }
}

TEST(KifReader, RecordStartingLaterThanMoveOne) {
  Reading r({u"*前置き", MoveLine(40, u"７六歩(77)"), u"*次", MoveLine(41, u"３四歩(33)")});
  ASSERT_EQ(r.record.rows.size(), 3u);
  EXPECT_EQ(U8(r.Row(1).caption), "40");
  EXPECT_EQ(U8(r.Pos(39).Comment), "前置き<BR>");
  EXPECT_EQ(U8(r.Pos(40).Comment), "次<BR>");
}

TEST(KifReader, ReadingAgainKeepsWhatTheNewRecordLacks) {
  Reading r(kOpening);
  r.Read({u"先手：別の人", u"*前", MoveLine(1, u"２六歩(27)")});
  EXPECT_EQ(r.record.rows.size(), 2u);
  EXPECT_EQ(U8(r.record.sente_name), "別の人");
  EXPECT_EQ(U8(r.record.gote_name), "鈴木二郎");
  EXPECT_EQ(U8(r.record.caption), "Zelvaro - [ 名人戦 ]");
  EXPECT_EQ(r.Pos(1).Board[26], kFu);
  EXPECT_EQ(r.Pos(1).Board[76], 0);
  EXPECT_EQ(r.Pos(4).Board[22], kGin + kGoteOffset);  // beyond the new record: left as it was

  // Without a move line the comment of position 0 stays.
  r.Read({u"棋戦：順位戦", u"*読まれない"});
  EXPECT_EQ(r.record.rows.size(), 1u);
  EXPECT_EQ(U8(r.Pos(0).Comment), "前<BR>");
  EXPECT_EQ(U8(r.record.caption), "Zelvaro - [ 順位戦 ]");
}

TEST(KifReader, SplitLines) {
  struct Case {
    std::string_view bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"\n\nx", {"", "", "x"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.bytes));
    EXPECT_EQ(SplitLines(c.bytes), c.lines);
  }
}

TEST(KifReader, LoadRecordLines) {
  const std::string path = "kif_reader_test_record.txt";
  {
    std::ofstream out(path, std::ios::binary);
    out << Utf8ToSjis("先手：佐藤\r\n") << "   1 " << Utf8ToSjis("７六歩(77)") << "\r";
  }
  auto lines = LoadRecordLines(path);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(SjisToUtf8(lines[0]), "先手：佐藤");
  std::remove(path.c_str());

  try {
    LoadRecordLines("no-such-dir/棋譜中継.txt");
    FAIL() << "no error";
  } catch (const EFileError& e) {
    EXPECT_EQ(e.Message(), "ファイル no-such-dir/棋譜中継.txt は開けません");
  }
}

// Every real record reads without a crash, and after each move that names
// its origin the destination holds a piece of the moving side of the kind
// the move names.
TEST(KifReader, RealRecords) {
  const std::filesystem::path corpus = ZELVARO_SOURCE_DIR "/../shared/kif-corpus";
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  int files = 0, checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() != ".kif") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++files;
    TKifRecord record;
    TKifReader reader(record);
    reader.Begin(kPrefix);
    reader.ReadLines(LoadRecordLines(entry.path().string()));
    ASSERT_GE(record.rows.size(), 1u);

    // The last row with each number produced that number's position.
    std::map<int, std::u16string> last_move;
    for (size_t i = 1; i < record.rows.size(); ++i) {
      last_move[std::stoi(U8(record.rows[i].caption))] = record.rows[i].move.substr(1);
    }
    for (const auto& [n, move] : last_move) {
      if (n < 1 || move.find(u'(') == std::u16string::npos) continue;
      bool failed = false;
      for (const auto& report : record.reports) failed |= report == u"指し手エラー " + move;
      if (failed) continue;
      const TKyokumen& pos = record.positions.at(n);
      std::u16string name = move.substr(2, move[2] == u'成' ? 2 : 1);
      int32_t code = PieceCodeOfName(name);
      if (code == 0) continue;  // a name the position model does not place
      const bool promotes =
          move.size() > 3 &&
          (move[3] == u'成' || move.substr(3, 2) == u"上成" || move.substr(3, 2) == u"直成" ||
           move.substr(3, 2) == u"引成" || move.substr(3, 2) == u"寄成");
      if (promotes && code != kKin && code != kOu && code % 2 == 1) ++code;
      const int32_t expected = pos.Turn == 1 ? code : code + kGoteOffset;
      EXPECT_EQ(pos.Board.at(pos.LastSquare), expected) << "move " << n << " " << U8(move);
      ++checked;
    }
  }
  EXPECT_GT(files, 30);
  EXPECT_GT(checked, 1000);
}

}  // namespace
}  // namespace zelvaro
