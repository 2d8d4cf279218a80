// Runs zelvaro-cli kif as a script would.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "game/Record.h"
#include "game/untKyokumen.h"
#include "tests/common/CliRun.h"
#include "tests/viewer/ViewerTestSupport.h"
#include "toolkit/TextCodec.h"
#include "viewer/BoardRenderer.h"

namespace zelvaro {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

using Result = testing::CliResult;

Result RunKif(const std::string& arguments) { return testing::RunCli("kif " + arguments); }

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

class KifCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(fs::path(ZELVARO_BINARY_DIR) / "zelvaro-cli"))
        << "build zelvaro-cli first";
  }
  testing::ScratchFolder folder;
};

TEST_F(KifCli, PrintsWhatTheViewerHolds) {
  testing::WriteRecord(
      "r.kif", {"棋戦：王座戦", "先手：甲", "後手：乙", "*前",
                testing::MoveLine(1, "７六歩(77)", "( 0:01/00:00:01)"), "*see http://example.jp/x",
                testing::MoveLine(2, "３四歩(3x)", "")});
  const Result r = RunKif("r.kif --font-size 0");
  ASSERT_EQ(r.status, 0);
  const json out = json::parse(r.out);
  const char* keys[] = {"caption",           "sente",  "gote",       "tournament",
                        "header_document",   "rows",   "positions",  "row_positions",
                        "comment_documents", "errors", "time_limit", "remaining"};
  size_t at = 0;
  for (const char* key : keys) {
    const size_t found = r.out.find("\"" + std::string(key) + "\":");
    EXPECT_NE(found, std::string::npos) << key;
    EXPECT_GE(found, at) << key;  // in this order
    at = found;
  }
  EXPECT_EQ(out["caption"], "Zelvaro - [ 王座戦 ]");
  EXPECT_EQ(out["sente"], "甲");
  EXPECT_EQ(out["gote"], "乙");
  EXPECT_EQ(out["tournament"], "王座戦");
  EXPECT_EQ(out["header_document"],
            "<html><body><font size=\"-2\"><b>棋戦：王座戦<BR>先手：甲<BR>後手：乙<BR>"
            "</b></font></body></html>");
  EXPECT_EQ(out["rows"], json::parse(R"j([["0","開始局面","0分(計0分)","ｺﾒﾝﾄ"],
      ["1","▲７六歩(77)"," 0分(計0分)","ｺﾒﾝﾄ"],["2","△３四歩(3x)",""," "]])j"));
  ASSERT_EQ(out["positions"].size(), 3u);
  EXPECT_EQ(out["positions"][1]["board"][76], 1);
  EXPECT_EQ(out["positions"][1]["turn"], 1);
  EXPECT_EQ(out["positions"][1]["last_square"], 76);
  EXPECT_EQ(out["positions"][1]["comment"], "see http://example.jp/x<BR>");
  EXPECT_EQ(out["positions"][2]["turn"], -1);
  EXPECT_EQ(out["positions"][2]["board"], out["positions"][1]["board"]);
  EXPECT_EQ(out["positions"][1]["sfen"],
            "lnsgkgsnl/1r5b1/ppppppppp/9/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL w - 2");
  EXPECT_EQ(out["row_positions"], out["positions"]);  // no variation: the same rows
  EXPECT_EQ(out["comment_documents"][1],
            "<html><body><font size=\"-2\"><b>see <a href=\"http://example.jp/x\" "
            "title=\"リンク先を見る\">http://example.jp/x</a><BR></b></font></body></html>");
  EXPECT_EQ(out["comment_documents"][2],
            "<html><body><font size=\"-2\"><b></b></font></body></html>");
  EXPECT_EQ(out["errors"], json::parse(R"j(["指し手エラー ３四歩(3x)"])j"));

  // The default size is +1; the picture is the viewer's after a click on row 1.
  const Result picture = RunKif("r.kif --png 1 one.png");
  ASSERT_EQ(picture.status, 0);
  EXPECT_EQ(json::parse(picture.out)["comment_documents"][2],
            "<html><body><font size=\"+1\"><b></b></font></body></html>");
  QImage expected;
  TBoardRenderer renderer(&expected);
  TKyokumen position;
  std::u16string sente, gote;
  renderer.InitBoard(position, sente, gote);
  position.ApplyMove(u"７六歩(77)");
  renderer.DrawPosition(position, u"甲", u"乙");
  EXPECT_EQ(QImage(QStringLiteral("one.png")).convertToFormat(QImage::Format_RGB888), expected);

  ASSERT_EQ(RunKif("r.kif --png 1 marked.png --last-move --flip").status, 0);
  renderer.SetOptions({.last_move = true, .flip = true});
  EXPECT_EQ(QImage(QStringLiteral("marked.png")).convertToFormat(QImage::Format_RGB888), expected);
  EXPECT_NE(expected, QImage(QStringLiteral("one.png")).convertToFormat(QImage::Format_RGB888));
}

// A UTF-8 file with a variation: the main line by number, every row its own.
TEST_F(KifCli, Utf8RecordWithAVariation) {
  {
    std::ofstream out("v.kifu", std::ios::binary);
    out << "先手：甲\n1 ７六歩(77)\n2 ３四歩(33)\n変化：2手\n2 ８四歩(83)\n";
  }
  const Result r = RunKif("v.kifu --png 3 v.png");
  ASSERT_EQ(r.status, 0);
  const json out = json::parse(r.out);
  EXPECT_EQ(out["sente"], "甲");
  ASSERT_EQ(out["rows"].size(), 4u);
  EXPECT_EQ(out["rows"][3], json::parse(R"j(["2","△８四歩(83)","","変化"])j"));
  ASSERT_EQ(out["positions"].size(), 3u);
  ASSERT_EQ(out["row_positions"].size(), 4u);
  EXPECT_EQ(out["positions"][2]["board"][34], 101);
  EXPECT_EQ(out["row_positions"][3]["board"][84], 101);
  EXPECT_EQ(out["row_positions"][3]["board"][34], 0);
  EXPECT_TRUE(fs::exists("v.png"));
}

// A move the rules forbid: its row says 反則 and the errors name it.
TEST_F(KifCli, ListsFoulsInItsErrors) {
  {
    std::ofstream out("f.kifu", std::ios::binary);
    out << "1 ７六歩(77)\n2 ３四歩(33)\n3 ２二角成(88)\n4 ５五角打\n5 反則負け\n";
  }
  const Result r = RunKif("f.kifu");
  ASSERT_EQ(r.status, 0);
  const json out = json::parse(r.out);
  EXPECT_EQ(out["rows"][4], json::parse(R"j(["4","△５五角打","","反則"])j"));
  EXPECT_EQ(out["errors"],
            json::parse(R"j(["反則の指し手があります: 4手目 △５五角打（持駒にない駒を打つ）"])j"));
  EXPECT_EQ(out["row_positions"][3]["sfen"],
            "lnsgkgsnl/1r5+B1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/7R1/LNSGKGSNL w B 4");
}

// The clocks: the limit and [sente, gote] seconds left after each row; null
// for a row without a time field, and for all when no clock can be told.
TEST_F(KifCli, TimeLimitAndRemaining) {
  testing::WriteRecord(
      "t.kif",
      {"持ち時間：各1時間", "秒読み：60秒", testing::MoveLine(1, "７六歩(77)", "(10:00/00:10:00)"),
       testing::MoveLine(2, "３四歩(33)", "( 0:30/00:00:30)"), testing::MoveLine(3, "投了", "")});
  json out = json::parse(RunKif("t.kif").out);
  EXPECT_EQ(out["time_limit"], json::parse(R"j({"seconds":3600,"byoyomi":60,"increment":0})j"));
  EXPECT_EQ(out["remaining"], json::parse("[[3600,3600],[3000,3600],[3000,3570],null]"));

  testing::WriteRecord("none.kif", {"持ち時間：持ち時間テスト",
                                    testing::MoveLine(1, "７六歩(77)", "( 1:00/00:01:00)")});
  out = json::parse(RunKif("none.kif").out);
  EXPECT_TRUE(out["time_limit"].is_null());
  EXPECT_TRUE(out["remaining"].is_null());
  testing::WriteRecord(
      "zero.kif", {"持ち時間：各5時間", testing::MoveLine(1, "７六歩(77)", "( 0:00/00:00:00)")});
  out = json::parse(RunKif("zero.kif").out);
  EXPECT_EQ(out["time_limit"]["seconds"], 18000);
  EXPECT_TRUE(out["remaining"].is_null());
}

TEST_F(KifCli, RefusesWhatItCannotDo) {
  testing::WriteRecord("r.kif", {"棋戦：王座戦"});
  for (const char* arguments :
       {"missing.kif", "r.kif --font-size 6", "r.kif --font-size -1", "r.kif --png 256 x.png",
        "r.kif --png x x.png", "r.kif --png 1", "r.kif --flip", "r.kif --last-move", ""}) {
    SCOPED_TRACE(arguments);
    const Result r = RunKif(arguments);
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.out.empty());
  }
}

// What is no record: refused as the viewer refuses it, status 1, by kif and
// by convert alike.
TEST_F(KifCli, RefusesWhatIsNoRecord) {
  testing::WriteFile("empty.kif", "");
  testing::WriteFile("binary.kif", std::string("\x89PNG\r\n\x1a\n\0\0\x01\x02", 12));
  testing::WriteFile("text.kif", "lorem ipsum\n12 dolor sit\n");
  testing::WriteFile("random.csa", std::string("\x93\xff\x01 \x80\x9f\xfe\n\xa0\x81", 11));
  for (const auto& [file, why] :
       {std::pair{"empty.kif", kNotRecordEmpty}, std::pair{"binary.kif", kNotRecordBinary},
        std::pair{"text.kif", kNotRecordNoLines}, std::pair{"random.csa", kNotRecordBinary}}) {
    for (const std::string command : {"kif", "convert"}) {
      SCOPED_TRACE(command + " " + file);
      const Result r = testing::RunCli(command + (command == "kif" ? " " : " --to csa ") + file);
      EXPECT_EQ(r.status, 1);
      EXPECT_TRUE(r.out.empty());
      EXPECT_NE(r.err.find("zelvaro-cli " + command + ": " + Utf16ToUtf8(why)), std::string::npos)
          << r.err;
    }
  }
}

// Every real record: no crash, one document per row, and after each move
// that names its origin the destination holds a piece of the moving side.
TEST_F(KifCli, RealRecords) {
  const fs::path corpus = ZELVARO_SOURCE_DIR "/../shared/kif-corpus";
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".kif") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++files;
    const Result r = RunKif(Quote(entry.path()));
    ASSERT_EQ(r.status, 0);
    const json out = json::parse(r.out);
    const json& rows = out["rows"];
    ASSERT_GE(rows.size(), 1u);
    EXPECT_EQ(out["comment_documents"].size(), rows.size());
    int highest = 0;
    std::map<int, std::string> last_move;  // the last row of each number made its position
    for (size_t i = 1; i < rows.size(); ++i) {
      const int n = std::stoi(rows[i][0].get<std::string>());
      highest = std::max(highest, n);
      last_move[n] = rows[i][1].get<std::string>();
    }
    ASSERT_EQ(out["positions"].size(), static_cast<size_t>(highest + 1));
    for (const auto& [n, shown] : last_move) {
      const size_t paren = shown.find('(');
      if (n < 1 || paren == std::string::npos) continue;
      const std::string move = shown.substr(3);  // after ▲ or △
      if (std::find(out["errors"].begin(), out["errors"].end(), "指し手エラー " + move) !=
          out["errors"].end()) {
        continue;
      }
      // Names the position model does not place (the variant 竜 and the like) are left out.
      const std::u16string text = Utf8ToUtf16(move);
      if (PieceCodeOfName(text.substr(2, text.size() > 2 && text[2] == u'成' ? 2 : 1)) == 0) {
        continue;
      }
      const json& p = out["positions"][n];
      const int piece = p["board"][p["last_square"].get<int>()];
      EXPECT_EQ(piece != 0 && (piece > 100) == (p["turn"] == -1), true)
          << "move " << n << " " << shown << " piece " << piece;
    }
  }
  EXPECT_GT(files, 30);
}

}  // namespace
}  // namespace zelvaro
