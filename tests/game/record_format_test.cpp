// The other record formats (CSA, KI2, SFEN/USI) read into the same record as
// KIF, and the writers: what is written, read back, is the same game.
#include <gtest/gtest.h>
#include <iconv.h>

#include <filesystem>

#include "game/Notation.h"
#include "game/RecordFormat.h"
#include "game/RecordUsi.h"
#include "game/RecordWriter.h"
#include "game/Rules.h"
#include "game/Sfen.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

namespace fs = std::filesystem;

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

TKifRecord Read(std::string_view bytes, std::string_view name = {},
                TRecordEncoding encoding = TRecordEncoding::kDetect) {
  TKifRecord record;
  ReadRecordBytes(record, bytes, encoding, name);
  return record;
}

// The rows as "caption move time other" lines.
std::vector<std::string> Rows(const TKifRecord& record) {
  std::vector<std::string> rows;
  for (size_t i = 1; i < record.rows.size(); ++i) {
    const auto& r = record.rows[i];
    rows.push_back(U8(r.caption + u" " + r.move + u" " + r.time + u" " + r.other));
  }
  return rows;
}

TEST(RecordFormat, DetectedFromContentThenName) {
  struct Case {
    const char* bytes;
    const char* name;
    TRecordFormat format;
  } cases[] = {
      {"V2.2\nPI\n+\n+7776FU\n", "", TRecordFormat::kCsa},
      {"+7776FU,T3\n-3334FU,T1\n", "a.kif", TRecordFormat::kCsa},
      {"N+sente\nN-gote\n", "", TRecordFormat::kCsa},
      {"   1 ７六歩(77)\n", "a.csa", TRecordFormat::kKif},
      {"\xe2\x96\xb2\xef\xbc\x97\xe5\x85\xad\xe6\xad\xa9\n", "", TRecordFormat::kKi2},  // ▲７六歩
      {"\x81\xa3\x82\x56\x98\x5a\x95\xe0\n", "", TRecordFormat::kKi2},  // the same in CP932
      {"lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1\n", "",
       TRecordFormat::kSfen},
      {"sfen 4k4/9/9/9/9/9/9/9/4K4 b G 1 moves G*5b\n", "", TRecordFormat::kSfen},
      {"startpos moves 7g7f\n", "", TRecordFormat::kSfen},
      {"position startpos moves 7g7f 3c3d\n", "", TRecordFormat::kUsi},
      {"\x8a\x4a\x8e\x6e\n", "a.csa", TRecordFormat::kCsa},  // a header only: the name
      {"\x8a\x4a\x8e\x6e\n", "a.KI2", TRecordFormat::kKi2},
      {"\x8a\x4a\x8e\x6e\n", "a.txt", TRecordFormat::kKif},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DetectRecordFormat(c.bytes, c.name), c.format) << c.bytes;
  }
}

TEST(CsaReader, StatementsMovesTimesAndComments) {
  const TKifRecord record = Read(
      "'a file comment\n"
      "V2.2\n"
      "N+Sente Player\nN-Gote\n"
      "$EVENT:Cup 1\n$START_TIME:2024/01/02 10:00:00\n$TIME_LIMIT:00:10+30\n"
      "PI\n+\n"
      "'*before move 1\n"
      "+7776FU,T12\n"
      "-3334FU\nT75\n"
      "'** 30 +8822UM\n"
      "+8822UM,T1,'not a statement\n"
      "-3122GI,T2\n"
      "+0055KA,T3.6\n"
      "%TORYO,T9\n");
  EXPECT_EQ(Rows(record), (std::vector<std::string>{
                              "1 ▲７六歩(77)  0分(計0分)  ",
                              "2 △３四歩(33)  1分(計1分) ｺﾒﾝﾄ",
                              "3 ▲２二角成(88)  0分(計0分)  ",
                              "4 △同　銀(31)  0分(計1分)  ",
                              "5 ▲５五角打  0分(計0分)  ",
                              "6 △投了  0分(計1分)  ",
                          }));
  EXPECT_EQ(record.rows[4].total_seconds, 77);
  EXPECT_EQ(record.rows[5].seconds, 3);
  EXPECT_EQ(U8(record.sente_name), "Sente Player");
  EXPECT_EQ(U8(record.gote_name), "Gote");
  EXPECT_EQ(U8(record.caption), "Zelvaro - [ Cup 1 ]");
  EXPECT_NE(record.header_body.find(u"開始日時：2024/01/02 10:00:00<BR>"), std::u16string::npos);
  // Version 2's limit is hours:minutes+byo-yomi seconds; version 3's $TIME
  // is seconds+byo-yomi+increment.
  EXPECT_NE(record.header_body.find(u"持ち時間：各10分<BR>秒読み：30秒<BR>"), std::u16string::npos);
  EXPECT_EQ(record.time_limit, (TTimeLimit{600, 30, 0}));
  EXPECT_EQ(Read("$TIME_LIMIT:01:30+00\nPI\n+\n").time_limit, (TTimeLimit{5400, 0, 0}));
  EXPECT_EQ(Read("$TIME:300+0+10\nPI\n+\n").time_limit, (TTimeLimit{300, 0, 10}));
  EXPECT_EQ(U8(record.row_positions[0].Comment), "a file comment<BR>before move 1<BR>");
  // "'**": a program's score and the moves it expects, in words.
  EXPECT_EQ(U8(record.row_positions[2].Comment), "評価値 30 読み筋 ▲２二角成<BR>");
  const TKyokumen& p = record.MainPosition(5);
  EXPECT_EQ(p.Board[55], kKaku);
  EXPECT_EQ(p.Board[22], kGin + kGoteOffset);
  EXPECT_EQ(p.SenteHand[kHandKaku], 0);
  EXPECT_EQ(p.GoteHand[kHandKaku], 1);
  EXPECT_TRUE(record.reports.empty());
}

TEST(CsaReader, StartsHandicapsAndSetUps) {
  // PI with pieces taken off; gote (the upper hand) moves first.
  TKifRecord r = Read("PI82HI22KA\n-\n-5142OU\n");
  EXPECT_EQ(r.row_positions[0].Board[82], kEmpty);
  EXPECT_EQ(r.row_positions[0].Board[22], kEmpty);
  EXPECT_EQ(U8(r.rows[1].move), "△４二玉(51)");
  EXPECT_EQ(r.MainPosition(1).Board[42], kOu + kGoteOffset);
  // A board, hands by piece and the rest of the pieces with 00AL.
  r = Read(
      "P1 *  *  *  *  *  *  *  * -OU\n"
      "P2 *  *  *  *  *  *  *  *  * \nP3 *  *  *  *  *  *  *  *  * \n"
      "P4 *  *  *  *  *  *  *  *  * \nP5 *  *  *  *  *  *  *  *  * \n"
      "P6 *  *  *  *  *  *  *  *  * \nP7 *  *  *  *  *  *  *  *  * \n"
      "P8 *  *  *  *  *  *  *  *  * \nP9 *  *  *  * +OU *  *  *  * \n"
      "P+00KI00KI\nP-00AL\n+\n+0012KI\n%TSUMI\n");
  EXPECT_EQ(r.row_positions[0].Board[11], kOu + kGoteOffset);
  EXPECT_EQ(r.row_positions[0].SenteHand, (std::array<int32_t, 7>{0, 0, 0, 0, 2, 0, 0}));
  EXPECT_EQ(r.row_positions[0].GoteHand, (std::array<int32_t, 7>{18, 4, 4, 4, 2, 2, 2}));
  EXPECT_EQ(U8(r.rows[1].move), "▲１二金打");
  EXPECT_EQ(U8(r.rows[2].move), "△詰み");
  // Pieces placed one by one on an empty board.
  r = Read("P-11OU\nP+33KI\nP+00FU\n+\n+3332KI\n");
  EXPECT_EQ(r.MainPosition(1).Board[32], kKin);
  EXPECT_EQ(r.MainPosition(1).Board[59], kEmpty);
  EXPECT_EQ(r.row_positions[0].SenteHand[kHandFu], 1);
}

TEST(CsaReader, EveryEnding) {
  struct Case {
    const char* ending;
    const char* row;  // after one sente move, so gote is to move
  } cases[] = {
      {"%TORYO", "△投了"},
      {"%CHUDAN", "△中断"},
      {"%SENNICHITE", "△千日手"},
      {"%TIME_UP", "△切れ負け"},
      {"%ILLEGAL_MOVE", "△反則負け"},
      {"%+ILLEGAL_ACTION", "△反則勝ち"},
      {"%-ILLEGAL_ACTION", "△反則負け"},
      {"%JISHOGI", "△持将棋"},
      {"%KACHI", "△入玉勝ち"},
      {"%HIKIWAKE", "△引き分け"},
      {"%MATTA", "△待った"},
      {"%TSUMI", "△詰み"},
      {"%FUZUMI", "△不詰"},
      {"%ERROR", "△エラー"},
      {"%MAX_MOVES", "△最大手数"},
  };
  for (const Case& c : cases) {
    const TKifRecord r = Read(std::string("PI\n+\n+7776FU\n") + c.ending + "\n");
    ASSERT_EQ(r.rows.size(), 3u) << c.ending;
    EXPECT_EQ(U8(r.rows[2].move), c.row) << c.ending;
    EXPECT_EQ(r.MainPosition(2).Board, r.MainPosition(1).Board) << c.ending;
    // Written out, the ending comes back.
    EXPECT_EQ(U8(Read(WriteRecord(r, TRecordFormat::kCsa), "x.csa").rows[2].move), c.row)
        << c.ending;
  }
}

TEST(CsaReader, Encodings) {
  const std::string utf8 = "'CSA encoding=UTF-8\nV3.0\nN+\xe5\x85\x88\n+7776FU\n";  // 先
  // Declared UTF-8 is UTF-8 even where records are CP932 (a download).
  EXPECT_EQ(U8(Read(utf8, "", TRecordEncoding::kCp932).sente_name), "先");
  EXPECT_EQ(U8(Read(Utf8ToSjis("N+先\n+7776FU\n"), "", TRecordEncoding::kCp932).sente_name), "先");
  EXPECT_EQ(U8(Read(Utf8ToSjis("N+先\n+7776FU\n")).sente_name), "先");
}

TEST(CsaReader, Version3AsItsStandardWritesIt) {
  struct Case {
    const char* csa;
    std::vector<std::string> rows;
    int32_t square, code;  // a square of the start and what stands there
  } cases[] = {
      // Board cells with one blank between them, and in three columns.
      {"P1-KY-KE-GI-KI-OU-KI-GI-KE-KY\nP2 * -HI * * * * * -KA *\n"
       "P3-FU-FU-FU-FU-FU-FU-FU-FU-FU\nP4 * * * * * * * * *\nP5 * * * * * * * * *\n"
       "P6 * * * * * * * * *\nP7+FU+FU+FU+FU+FU+FU+FU+FU+FU\nP8 * +KA * * * * * +HI *\n"
       "P9+KY+KE+GI+KI+OU+KI+GI+KE+KY\n+\n+2726FU\n",
       {"1 ▲２六歩(27)   "},
       22,
       kKaku + kGoteOffset},
      {"P1 *  *  *  *  *  *  *  * -OU\nP9 *  *  *  * +OU *  *  * +KY\n+\n+1918KY\n",
       {"1 ▲１八香(19)   "},
       19,
       kKyo},
      // Fractions: the move keeps whole seconds, the total adds them up;
      // a time after comment lines is the move's above them.
      {"PI\n+\n+7776FU\nT6.5\n-3334FU\n'a comment\n'*another\nT6.123\n+2726FU,T0.6\n",
       {"1 ▲７六歩(77)  0分(計0分)  ", "2 △３四歩(33)  0分(計0分) ｺﾒﾝﾄ",
        "3 ▲２六歩(27)  0分(計0分)  "},
       33,
       kFu + kGoteOffset},
  };
  for (const Case& c : cases) {
    const TKifRecord r = Read(c.csa);
    EXPECT_EQ(Rows(r), c.rows) << c.csa;
    EXPECT_EQ(r.row_positions[0].Board[static_cast<size_t>(c.square)], c.code) << c.csa;
  }
  const TKifRecord timed = Read(cases[2].csa);
  EXPECT_EQ(timed.rows[2].seconds, 6);
  EXPECT_EQ(timed.rows[3].seconds, 0);
  EXPECT_EQ(timed.rows[3].total_seconds, 7);  // 6.5 + 0.6
}

TEST(CsaReader, JunkIsNoMoveAndNoRecord) {
  struct Case {
    const char* line;
    const char* report;
  } cases[] = {
      {"+hello", "指し手エラー +hello"},
      {"-9999ZZ", "指し手エラー -9999ZZ"},
      {"+0055XX", "指し手エラー +0055XX"},
      {"+7776FU and more", "指し手エラー +7776FU and more"},
  };
  for (const Case& c : cases) {
    const TKifRecord r = Read(std::string("PI\n+\n+7776FU\n") + c.line + "\n-3334FU\n");
    ASSERT_EQ(r.rows.size(), 4u) << c.line;
    ASSERT_EQ(r.reports.size(), 1u) << c.line;
    EXPECT_EQ(U8(r.reports[0]), c.report);
    // The row shows the line and moves nothing; the next move takes its number.
    EXPECT_FALSE(r.rows[2].moved) << c.line;
    EXPECT_EQ(r.row_positions[2].Board, r.MainPosition(1).Board) << c.line;
    EXPECT_EQ(U8(r.rows[3].move), "△３四歩(33)") << c.line;
    EXPECT_EQ(r.MainPosition(2).Board[34], kFu + kGoteOffset) << c.line;
  }
  // Reports stop at a hundred and count the rest.
  std::string many = "PI\n+\n";
  for (int i = 0; i < 150; ++i) many += "+junk\n";
  const TKifRecord r = Read(many);
  ASSERT_EQ(r.reports.size(), 101u);
  EXPECT_EQ(U8(r.reports.back()), "ほか 50 件のエラーがあります");
  // Text in which a line now and then looks like a statement is no record.
  std::string text;
  for (int i = 0; i < 200; ++i) text += i % 20 == 0 ? "N+garbage name\n" : "lorem ipsum dolor\n";
  EXPECT_EQ(FormatByContent(text), std::nullopt);
  EXPECT_EQ(RecordRefusal(text, TRecordEncoding::kDetect, "x.csa"), kNotRecordNoLines);
  EXPECT_EQ(FormatByContent("V2.2\nN+a\nPI\n+\n+7776FU\nT1\n'c\n%TORYO\n"), TRecordFormat::kCsa);
}

TEST(RecordEncodings, EucJpIsReadLikeCp932AndUtf8) {
  // "N+先手名" and "棋戦：名人戦" written in EUC-JP.
  const std::string csa = "V2.2\nN+\xC0\xE8\xBC\xEA\xCC\xBE\nPI\n+\n+7776FU\n";
  const std::string kif = "\xB4\xFD\xC0\xEF\xA1\xA7\xCC\xBE\xBF\xCD\xC0\xEF\n";
  EXPECT_EQ(U8(Read(csa).sente_name), "先手名");
  EXPECT_EQ(U8(Read(csa, "", TRecordEncoding::kCp932).sente_name), "先手名");
  EXPECT_EQ(U8(Read(kif, "a.kif").tournament_name), "名人戦");
  EXPECT_EQ(RecordRefusal(kif, TRecordEncoding::kDetect, "a.kif"), u"");
  // CP932 stays CP932, and EUC-JP is told by its bytes alone.
  EXPECT_EQ(U8(Read(Utf8ToSjis("棋戦：名人戦\n"), "a.kif").tournament_name), "名人戦");
  EXPECT_FALSE(LooksEucJp(Utf8ToSjis("棋戦：名人戦 ｺﾒﾝﾄ")));
  EXPECT_FALSE(LooksEucJp("plain ascii"));
  EXPECT_TRUE(LooksEucJp(kif));
  EXPECT_EQ(EucJpToUtf16("a\xB4\xFD\xFF"), u"a棋\xDCFF");
}

TEST(SfenRecord, BareSfenKeepsItsMoveNumber) {
  for (const char* sfen : {"4k4/9/9/9/9/9/9/9/4K4 b G 124", "4k4/9/9/9/9/9/9/9/4K4 w G 7",
                           "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1"}) {
    const TKifRecord r = Read(sfen);
    EXPECT_EQ(SfenOfRow(r, 0), sfen);
    // Written as KIF and read back, the number stays.
    EXPECT_EQ(SfenOfRow(Read(WriteRecord(r, TRecordFormat::kKif), "x.kif"), 0), sfen);
  }
}

TEST(SfenRecord, PositionsMovesAndHands) {
  TKifRecord r = Read("position startpos moves 7g7f 3c3d 8h2b+ 3a2b");
  EXPECT_EQ(Rows(r), (std::vector<std::string>{"1 ▲７六歩(77)   ", "2 △３四歩(33)   ",
                                               "3 ▲２二角成(88)   ", "4 △同　銀(31)   "}));
  EXPECT_EQ(r.MainPosition(4).SenteHand[kHandKaku], 1);
  EXPECT_EQ(SfenOfRow(r, 4), "lnsgkg1nl/1r5s1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/7R1/LNSGKGSNL b Bb 5");
  EXPECT_EQ(SfenOfRow(r, 0), std::string(kStartSfen));
  // Hands with counts; gote to move at move 12: rows numbered from there.
  r = Read("4k4/9/9/9/9/9/9/9/4K4 w 2G3p 12 moves P*5b 5i4h");
  EXPECT_EQ(r.row_positions[0].SenteHand, (std::array<int32_t, 7>{0, 0, 0, 0, 2, 0, 0}));
  EXPECT_EQ(r.row_positions[0].GoteHand, (std::array<int32_t, 7>{3, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Rows(r), (std::vector<std::string>{"12 △５二歩打   ", "13 ▲４八玉(59)   "}));
  EXPECT_EQ(r.MainPosition(12).Board[52], kFu + kGoteOffset);
  EXPECT_EQ(SfenOfRow(r, 2), "4k4/4p4/9/9/9/9/9/5K3/9 w 2G2p 14");
  // The SFEN of a row, read again, is that row's position.
  const TKifRecord again = Read(SfenOfRow(r, 1));
  EXPECT_EQ(again.row_positions[0].Board, r.row_positions[1].Board);
  EXPECT_EQ(again.row_positions[0].GoteHand, r.row_positions[1].GoteHand);
  const std::string sfen = SfenOfRow(r, 1);
  EXPECT_EQ(SfenOfRow(again, 0).substr(0, sfen.rfind(' ')), sfen.substr(0, sfen.rfind(' ')));
  // A text that is no position is an error and leaves the record as it was.
  TKifRecord kept = Read("position startpos moves 7g7f");
  EXPECT_THROW(ReadRecordBytes(kept, "sfen 9/9 b - 1", TRecordEncoding::kDetect, ""),
               ENotationError);
  EXPECT_EQ(kept.rows.size(), 2u);
}

// Every legal move of positions where 右 左 直 上 引 寄, 成/不成 and 打 are
// needed, written by the rules' notation, reads back as that move.
TEST(Ki2Reader, EveryLegalMoveReadsBack) {
  const char* kPositions[] = {
      "8k/9/9/9/9/9/3GGG3/3G1G3/K8 b - 1",  // six golds round 58: 上 引 寄 直
      "8k/9/9/1+B5+B1/9/9/9/9/K8 b - 1",    // two horses: 右 左
      "8k/9/9/9/9/9/9/9/K+R5+R1 b - 1",     // two dragons on one rank
      "8k/9/9/3SSS3/9/9/9/9/K8 b 2G 1",     // silvers into the zone, drops
      "k8/9/3ss4/9/9/4N1N2/9/9/8K b N 1",   // knights: 成 不成 打 右 左
      "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL w - 1",  // gote to move
      "6gB1/9/5g3/4k4/9/9/9/9/4K4 w - 1",  // a pinned gold still asks for 上
      "k6+Rr/9/8+R/9/9/9/9/9/8K b - 1",    // a pinned dragon still asks for 引
  };
  int moves = 0;
  for (const char* sfen : kPositions) {
    const TKyokumen p = ParseSfen(sfen);
    for (const TMove& m : LegalMoves(p)) {
      const std::u16string text = Ki2MoveText(p, m, true);
      SCOPED_TRACE(std::string(sfen) + " " + U8(text));
      const std::string ki2 = Utf16ToSjis(JoinLines(BodLines(p, p.Turn), u"\n") + text + u"\n");
      const TKifRecord r = Read(ki2, "x.ki2");
      ASSERT_EQ(r.rows.size(), 2u);
      EXPECT_EQ(U8(r.rows[1].move), U8(text));
      TKyokumen expected = p;
      PlayMove(expected, m);
      EXPECT_EQ(r.row_positions[1].Board, expected.Board);
      EXPECT_EQ(r.row_positions[1].SenteHand, expected.SenteHand);
      EXPECT_TRUE(r.reports.empty()) << U8(r.reports.front());
      ++moves;
    }
  }
  EXPECT_GT(moves, 150);
}

TEST(Ki2Reader, WrittenFormsAndMovesThatCannotBeFound) {
  // No blanks, 同 without its space, 龍 and 竜, moves on several lines.
  TKifRecord r =
      Read(Utf8ToSjis("手合割：平手\n▲７六歩△３四歩▲２二角成△同銀\n*角交換\n▲１四角打 △５二金右\n"
                      "▲２三角成    △同　銀\nまで8手で後手の勝ち\n"));
  EXPECT_EQ(Rows(r), (std::vector<std::string>{"1 ▲７六歩   ", "2 △３四歩   ", "3 ▲２二角成   ",
                                               "4 △同銀  ｺﾒﾝﾄ", "5 ▲１四角打   ", "6 △５二金右   ",
                                               "7 ▲２三角成   ", "8 △同　銀   ", "9 ▲投了   "}));
  EXPECT_EQ(r.row_positions[8].Board[23], kGin + kGoteOffset);
  EXPECT_EQ(r.row_positions[8].Board[52], kKin + kGoteOffset);
  EXPECT_EQ(r.row_positions[8].Board[61], kEmpty);
  EXPECT_TRUE(r.reports.empty());
  // Two golds can go to ５八 and the text does not say which; no piece can
  // reach １一: both are told, and the reading goes on from the same position.
  r = Read(Utf8ToSjis("手合割：平手\n▲５八金 △３四歩 ▲１一飛 △８四歩 ▲７八金\n"));
  ASSERT_EQ(r.rows.size(), 6u);
  EXPECT_EQ(U8(r.rows[1].move), "▲５八金");
  EXPECT_EQ(r.row_positions[1].Board, r.row_positions[0].Board);
  EXPECT_EQ(r.reports,
            (std::vector<std::u16string>{u"指し手エラー ５八金", u"指し手エラー １一飛"}));
  EXPECT_EQ(r.row_positions[5].Board[78], kKin);  // 69 is the only gold that reaches 78
  EXPECT_EQ(r.row_positions[4].Board[84], kFu + kGoteOffset);
}

TEST(Ki2Reader, OtherProgramsForms) {
  const std::vector<std::string> kOpening = {"1 ▲７六歩   ", "2 △３四歩   ", "3 ▲２六歩   "};
  for (const char* ki2 : {
           "▲７六歩 △３四歩 ▲２六歩",    // as KI2 writes it
           "▲76歩 △34歩 ▲26歩",          // half-width digits
           "▲7六歩 △3四歩 ▲2六歩",       // the file half-width
           "▲７６歩　△３４歩　▲２６歩",  // the rank a full-width digit
           "▼７六歩 ▽３四歩 ▼２六歩",    // ▼ ▽ for the sides
           "▲７六歩▽３四歩▲２六歩",      // no blanks between the moves
           "☗76歩☖34歩\n☗26歩",
       }) {
    const TKifRecord r = Read(std::string("手合割：平手\n") + ki2 + "\n", "x.ki2");  // UTF-8
    EXPECT_EQ(Rows(r), kOpening) << ki2;
    EXPECT_TRUE(r.reports.empty()) << ki2;
    EXPECT_EQ(r.MainPosition(3).Board[26], kFu) << ki2;
  }
  EXPECT_EQ(DetectRecordFormat(Utf8ToSjis("▼７六歩 ▽３四歩\n")), TRecordFormat::kKi2);
  EXPECT_EQ(DetectRecordFormat("\xe2\x96\xbc"
                               "76\xe6\xad\xa9\n"),
            TRecordFormat::kKi2);  // ▼76歩
}

// Moves after the line's end are no part of the game, in KIF and KI2 alike:
// not read, the first reported; a variation does not branch from a line that
// ended before its move.
TEST(RecordReaders, MovesAfterTheEnd) {
  struct Case {
    const char* text;
    const char* name;
    size_t rows;
    const char* report;
  } cases[] = {
      {"   1 ７六歩(77)\n   2 投了\n   3 ２六歩(27)\n   4 ８四歩(83)\n", "x.kif", 2,
       "終局の後の指し手は読みません: 3手目 ２六歩(27)"},
      {"▲７六歩 △３四歩\nまで2手で先手の勝ち\n▲２六歩 △８四歩\n", "x.ki2", 3,
       "終局の後の指し手は読みません: ２六歩"},
      {"▲７六歩 △投了 ▲２六歩\nまで1手で先手の勝ち\n", "x.ki2", 2,
       "終局の後の指し手は読みません: ２六歩"},
      // A second word is still a row (投了 then 中断, as broadcasts write).
      {"   1 ７六歩(77)\n   2 投了\n   3 中断\n", "x.kif", 3, nullptr},
  };
  for (const Case& c : cases) {
    const TKifRecord r = Read(Utf8ToSjis(c.text), c.name);
    EXPECT_EQ(r.rows.size(), c.rows + 1) << c.text;
    if (c.report) {
      ASSERT_EQ(r.reports.size(), 1u) << c.text;
      EXPECT_EQ(U8(r.reports[0]), c.report);
    } else {
      EXPECT_TRUE(r.reports.empty()) << c.text;
    }
  }
  // 変化：3手 after a variation that ended at move 2 branches from the main
  // line; written back in either format it stays there, and the variations
  // are written deepest branch first.
  const std::string kif = Utf8ToSjis(
      "   1 ７六歩(77)\n   2 ３四歩(33)\n   3 ２六歩(27)\n   4 ８四歩(83)\n"
      "変化：2手\n   2 投了\n変化：3手\n   3 ６六歩(67)\n   4 ８四歩(83)\n");
  const TKifRecord r = Read(kif, "x.kif");
  ASSERT_EQ(r.rows.size(), 8u);
  EXPECT_EQ(r.rows[6].parent, 2);
  EXPECT_EQ(RowsInWritingOrder(r), (std::vector<int>{1, 2, 3, 4, 6, 7, 5}));
  for (TRecordFormat format : {TRecordFormat::kKif, TRecordFormat::kKi2}) {
    const TKifRecord back = Read(WriteRecord(r, format), "x");
    ASSERT_EQ(back.rows.size(), 8u) << FormatName(format);
    EXPECT_TRUE(back.reports.empty()) << FormatName(format);
    for (int row : {6, 7}) {  // the variation from move 3 comes first now
      EXPECT_EQ(back.row_positions[static_cast<size_t>(row - 1)].Board,
                r.row_positions[static_cast<size_t>(row)].Board)
          << FormatName(format) << " row " << row;
    }
    EXPECT_EQ(back.rows[5].parent, 2) << FormatName(format);
  }
}

// The KI2 and CSA records of the corpus that have a KIF twin give the same
// positions as the twin after every move.
TEST(RecordFormat, CorpusTwinsAgree) {
  const fs::path corpus = ZELVARO_SOURCE_DIR "/../shared/kif-corpus";
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  const auto read = [&](std::string_view prefix) {
    for (const auto& entry : fs::directory_iterator(corpus)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(prefix, 0) == 0) return Read(ReadRecordFile(entry.path().string()), name);
    }
    ADD_FAILURE() << "no " << prefix;
    return TKifRecord();
  };
  for (auto [twin, kif] : {std::pair{"42-", "10-"}, {"44-", "14-"}, {"45-", "15-"}}) {
    SCOPED_TRACE(twin);
    const TKifRecord a = read(twin), b = read(kif);
    ASSERT_EQ(a.rows.size(), b.rows.size());
    for (size_t row = 0; row < a.rows.size(); ++row) {
      EXPECT_EQ(a.row_positions[row].Board, b.row_positions[row].Board) << row;
      EXPECT_EQ(a.row_positions[row].SenteHand, b.row_positions[row].SenteHand) << row;
      EXPECT_EQ(a.rows[row].line, b.rows[row].line) << row;
    }
  }
  // And every KI2 and CSA record reads without a move that cannot be found.
  for (const char* prefix : {"39-", "40-", "41-", "42-", "43-", "44-", "45-", "46-"}) {
    const TKifRecord r = read(prefix);
    for (const auto& report : r.reports)
      EXPECT_EQ(report.find(u"指し手エラー"), std::u16string::npos) << prefix;
    EXPECT_GT(r.rows.size(), 3u) << prefix;
  }
}

// CP932 bytes as EUC-JP (as old servers kept records); empty when some
// character has no EUC-JP form.
std::string ToEucJp(const std::string& cp932) {
  const iconv_t cd = iconv_open("EUC-JP-MS", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(cp932.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(cp932.data());
  char* dst = out.data();
  size_t in_left = cp932.size(), out_left = out.size();
  const size_t r = iconv(cd, &in, &in_left, &dst, &out_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || in_left != 0) return {};
  out.resize(out.size() - out_left);
  return out;
}

// Every corpus record with Japanese text, written in EUC-JP, reads as it
// does in CP932.
TEST(RecordFormat, CorpusInEucJpReadsAlike) {
  const fs::path corpus = ZELVARO_SOURCE_DIR "/../shared/kif-corpus";
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".md") continue;
    const std::string bytes = ReadRecordFile(entry.path().string());
    const std::string euc = ToEucJp(bytes);
    if (euc.empty() || euc == bytes) continue;  // ASCII, or a character EUC-JP lacks
    SCOPED_TRACE(name);
    const TKifRecord a = Read(bytes, name), b = Read(euc, name);
    ASSERT_EQ(a.rows.size(), b.rows.size());
    for (size_t row = 0; row < a.rows.size(); ++row) {
      EXPECT_EQ(a.row_positions[row].Board, b.row_positions[row].Board) << row;
      EXPECT_EQ(U8(a.rows[row].move), U8(b.rows[row].move)) << row;
    }
    EXPECT_EQ(U8(a.sente_name), U8(b.sente_name));
    EXPECT_EQ(U8(a.header_body), U8(b.header_body));
    ++compared;
  }
  EXPECT_GE(compared, 30);
}

TEST(RecordWriter, BoardDiagram) {
  TKyokumen p;
  p.Board[11] = kOu + kGoteOffset;
  p.Board[22] = kNariGin;
  p.Board[59] = kOu;
  p.SenteHand[kHandFu] = 12;
  p.SenteHand[kHandHisya] = 1;
  const std::vector<std::u16string> lines = BodLines(p, -1);
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(U8(lines[0]), "後手の持駒：なし");
  EXPECT_EQ(U8(lines[3]), "| ・ ・ ・ ・ ・ ・ ・ ・v玉|一");
  EXPECT_EQ(U8(lines[4]), "| ・ ・ ・ ・ ・ ・ ・ 全 ・|二");
  EXPECT_EQ(U8(lines[13]), "先手の持駒：飛　歩十二　");
  EXPECT_EQ(U8(lines[14]), "後手番");
}

// The header is written back as it was read: a "\\n" stays in its line, a
// diagram and a "<" are not written as the document shows them.
TEST(RecordWriter, HeaderLinesAsRead) {
  const std::string kif = Utf16ToSjis(
      u"棋戦：A\\nB <c>\r\n後手の持駒：なし\r\n  ９ ８ ７ ６ ５ ４ ３ ２ １\r\n"
      u"+---------------------------+\r\n| ・ ・ ・ ・ ・ ・ ・ ・v玉|一\r\n"
      u"+---------------------------+\r\n先手の持駒：なし\r\n");
  const std::string written = WriteRecord(Read(kif, "a.kif"), TRecordFormat::kKif);
  EXPECT_NE(written.find(Utf16ToSjis(u"\r\n棋戦：A\\nB <c>\r\n")), std::string::npos);
  EXPECT_EQ(written.find("<font"), std::string::npos);
  EXPECT_EQ(written.find("&nbsp;"), std::string::npos);
  EXPECT_EQ(U8(Read(written, "a.kif").tournament_name), U8(Read(kif, "a.kif").tournament_name));
}

// A set-up after ▲７六歩 whose first move is gote's: the side to move is
// "後手番" when written, else the even first number; written out, the
// diagram says 後手番 (the line other readers go by) and appears once.
TEST(RecordWriter, SetupSideToMoveKeptWhenWritten) {
  const std::string diagram =
      "後手の持駒：なし\n  ９ ８ ７ ６ ５ ４ ３ ２ １\n+---------------------------+\n"
      "|v香v桂v銀v金v玉v金v銀v桂v香|一\n| ・v飛 ・ ・ ・ ・ ・v角 ・|二\n"
      "|v歩v歩v歩v歩v歩v歩v歩v歩v歩|三\n| ・ ・ ・ ・ ・ ・ ・ ・ ・|四\n"
      "| ・ ・ ・ ・ ・ ・ ・ ・ ・|五\n| ・ ・ 歩 ・ ・ ・ ・ ・ ・|六\n"
      "| 歩 歩 ・ 歩 歩 歩 歩 歩 歩|七\n| ・ 角 ・ ・ ・ ・ ・ 飛 ・|八\n"
      "| 香 桂 銀 金 玉 金 銀 桂 香|九\n+---------------------------+\n先手の持駒：なし\n";
  const std::string after = "lnsgkgsnl/1r5b1/pppp1pppp/4p4/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL b";
  const struct {
    const char* side_line;
    const char* moves;
  } cases[] = {
      {"", "手数----指手---------消費時間--\n  2 ５四歩(53)\n  3 ３六歩(37)\n"},
      {"後手番\n", "手数----指手---------消費時間--\n  2 ５四歩(53)\n  3 ３六歩(37)\n"},
      {"後手番\n", "手数----指手---------消費時間--\n  1 ５四歩(53)\n  2 ３六歩(37)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.side_line) + c.moves);
    const TKifRecord r = Read(diagram + c.side_line + c.moves, "a.kifu");
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0].side_to_move, -1);
    EXPECT_EQ(SfenOfRow(r, 1).substr(0, after.size()), after);
    const std::string written = WriteRecord(r, TRecordFormat::kKifu);
    EXPECT_NE(written.find("先手の持駒：なし\r\n後手番\r\n"), std::string::npos) << written;
    EXPECT_EQ(written.find("<font"), std::string::npos) << written;
    const TKifRecord back = Read(written, "a.kifu");
    ASSERT_EQ(back.rows.size(), 3u);
    EXPECT_EQ(SfenOfRow(back, 1), SfenOfRow(r, 1));
    EXPECT_EQ(SfenOfRow(back, 2), SfenOfRow(r, 2));
  }
}

// The rows of the main line's moves, numbers a record skips left out.
// With `moves_only`, the rows of words (投了, 封じ手 ...) too, which CSA
// has no statement for in every case.
std::vector<int> MainRows(const TKifRecord& record, bool moves_only) {
  std::vector<int> rows;
  for (int row : record.main_line) {
    if (!rows.empty() && rows.back() == row) continue;
    if (moves_only && row > 0 && MoveOfRow(record, row).kind == TRowMove::kWord) continue;
    rows.push_back(row);
  }
  return rows;
}

// Every corpus record, written in each format and read back: the same
// positions after every main-line move, the same times and comments; KIF
// keeps the variations too.
TEST(RecordWriter, CorpusRoundTrips) {
  const fs::path corpus = ZELVARO_SOURCE_DIR "/../shared/kif-corpus";
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".md") continue;
    ++files;
    const TKifRecord original = Read(ReadRecordFile(entry.path().string()), name);
    for (TRecordFormat format :
         {TRecordFormat::kKif, TRecordFormat::kKifu, TRecordFormat::kKi2, TRecordFormat::kCsa}) {
      SCOPED_TRACE(name + " as " + std::string(FormatName(format)));
      const std::string written = WriteRecord(original, format);
      const TKifRecord back =
          Read(written, format == TRecordFormat::kKifu ? "x.kifu" : "x", TRecordEncoding::kDetect);
      // CSA numbers no moves: a record starting at move 2 starts at 1 there.
      // KI2 and CSA have no move numbers and fewer endings than KIF; KI2 no times.
      const bool kif = format == TRecordFormat::kKif || format == TRecordFormat::kKifu;
      const std::vector<int> a_rows = MainRows(original, !kif), b_rows = MainRows(back, !kif);
      ASSERT_EQ(a_rows.size(), b_rows.size());
      EXPECT_EQ(back.reports, original.reports);
      for (size_t n = 0; n < a_rows.size(); ++n) {
        const TKyokumen &a = original.row_positions[a_rows[n]], &b = back.row_positions[b_rows[n]];
        ASSERT_EQ(a.Board, b.Board) << "move " << n;
        ASSERT_EQ(a.SenteHand, b.SenteHand) << "move " << n;
        ASSERT_EQ(a.GoteHand, b.GoteHand) << "move " << n;
        const auto &ra = original.rows[a_rows[n]], &rb = back.rows[b_rows[n]];
        if (format != TRecordFormat::kKi2) {
          EXPECT_EQ(ra.seconds, rb.seconds) << "move " << n;
          if (ra.seconds >= 0) {
            EXPECT_EQ(ra.total_seconds, rb.total_seconds) << "move " << n;
          }
        }
        EXPECT_EQ(U8(a.Comment), U8(b.Comment)) << "move " << n;
      }
      if (format == TRecordFormat::kKi2) {
        EXPECT_EQ(back.rows.back().line, original.rows.back().line) << "the variations";
      }
      if (!kif) continue;
      ASSERT_EQ(back.rows.size(), original.rows.size());
      for (size_t row = 0; row < original.rows.size(); ++row) {
        EXPECT_EQ(back.rows[row].line, original.rows[row].line) << "row " << row;
        EXPECT_EQ(back.row_positions[row].Board, original.row_positions[row].Board)
            << "row " << row;
        EXPECT_EQ(U8(back.row_positions[row].Comment), U8(original.row_positions[row].Comment));
      }
      EXPECT_EQ(U8(back.sente_name), U8(original.sente_name));
      EXPECT_EQ(U8(back.caption), U8(original.caption));
    }
  }
  EXPECT_GE(files, 38);
}

}  // namespace
}  // namespace zelvaro
