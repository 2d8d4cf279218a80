// A record's bytes in and out: files, encodings, the one decoder, the
// refusal of what is no record, and the bounds a huge input meets.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "game/CsaReader.h"
#include "game/Ki2Reader.h"
#include "game/Record.h"
#include "game/SfenRecord.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

std::string Repeat(std::string_view text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// Megabytes of moves that cannot be read: the reports stop at kMaxReports
// and a last one counts the rest, and the formats turned into KIF before
// reading convert no more moves than the KIF reader reads.
TEST(RecordIntake, HugeInputsKeepTheirReportsAndConversionsBounded) {
  struct Case {
    const char* name;
    std::string bytes;
    size_t left_out;  // reports past the kept ones
    std::function<size_t(const std::vector<std::u16string>&)> converted;  // move lines made
  };
  const auto none = [](const std::vector<std::u16string>&) { return size_t{0}; };
  const auto csa = [](const std::vector<std::u16string>& l) { return CsaToKifLines(l).size(); };
  const auto ki2 = [](const std::vector<std::u16string>& l) {
    return Ki2ToKifLines(l).written.size();
  };
  const auto usi = [](const std::vector<std::u16string>& l) { return SfenToKifLines(l).size(); };
  const Case cases[] = {
      // Numbers above 9999 are reported, not read.
      {"KIF", "#KIF\n" + Repeat("10000 ７六歩(77)\n", 150000), 150000 - kMaxReports, none},
      // 9999 moves no piece can make, then numbers above 9999.
      {"KI2", Repeat("▲５五金\n", 300000), kMaxRecordRows - kMaxReports, ki2},
      {"CSA", "V2.2\nPI\n+\n" + Repeat("+5958OU\n-5152OU\n+5859OU\n-5251OU\n", 75000),
       kMaxRecordRows - kMaxMoveNumber - kMaxReports, csa},
      // Lines that are no move: rows up to the cut, each told.
      {"CSA junk", "PI\n+\n" + Repeat("+junk\n", 300000), kMaxRecordRows + 1 - kMaxReports, csa},
      {"USI", "position startpos moves" + Repeat(" 5i5h 5a5b 5h5i 5b5a", 75000),
       kMaxRecordRows - kMaxMoveNumber - kMaxReports, usi},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_GT(c.bytes.size(), 1000000u);
    TKifRecord record;
    ReadRecordBytes(record, c.bytes, TRecordEncoding::kDetect, "");
    EXPECT_LE(record.rows.size(), kMaxRecordRows);
    ASSERT_EQ(record.reports.size(), kMaxReports + 1);
    EXPECT_EQ(U8(record.reports.back()),
              "ほか " + std::to_string(c.left_out) + " 件のエラーがあります");
    EXPECT_LE(c.converted(DecodeRecordLines(c.bytes, TRecordEncoding::kDetect)),
              kMaxRecordRows + 40);
  }
}

// The one report on fouls names the first kMaxReports and counts the rest.
TEST(RecordIntake, TheFoulReportIsBounded) {
  std::string kif;
  for (int n = 1; n <= 300; ++n) kif += std::to_string(n) + " ５五歩打\n";  // no pawn in hand
  TKifRecord record;
  ReadRecordBytes(record, kif, TRecordEncoding::kDetect, "a.kif");
  ASSERT_EQ(record.reports.size(), 1u);
  const std::string report = U8(record.reports[0]);
  EXPECT_TRUE(report.starts_with("反則の指し手があります: 1手目 ▲５五歩打（")) << report;
  EXPECT_TRUE(report.ends_with("）、ほか 200 件")) << report.substr(report.size() - 100);
  EXPECT_NE(report.find("100手目 △５五歩打"), std::string::npos);
  EXPECT_EQ(report.find("101手目"), std::string::npos);
}

// What is not a record is refused with the reason.
TEST(RecordIntake, RecordRefusal) {
  const std::string random_binary("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\x01\x02\x03", 19);
  struct Case {
    std::string bytes;
    std::u16string_view refusal;
  };
  const Case cases[] = {
      {"", kNotRecordEmpty},
      {"\r\n \n", kNotRecordEmpty},
      {random_binary, kNotRecordBinary},
      {std::string(300, '\x07') + "1 ７六歩(77)\n", kNotRecordBinary},
      {"hello world\n12 abc def\nfoo: bar\n", kNotRecordNoLines},
      {"*コメントだけ\n# 注釈\n", kNotRecordNoLines},
      {"1 ７六歩(77)\n", {}},
      {"   3 投了\n", {}},
      {"棋戦：名人戦\n", {}},
      {Utf8ToSjis("先手：甲\n"), {}},  // CP932
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const auto lines = DecodeRecordLines(c.bytes, TRecordEncoding::kDetect, "x.kif");
    EXPECT_EQ(U8(RecordRefusal(c.bytes, lines, "x.kif")), U8(c.refusal));
    EXPECT_EQ(U8(RecordRefusal(c.bytes, TRecordEncoding::kDetect, "x.kif")), U8(c.refusal));
  }
}

TEST(RecordIntake, SplitLines) {
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

// Bytes to lines: CP932 unless the file is plainly UTF-8.
TEST(RecordIntake, DecodeRecordLines) {
  const std::string utf8 = "先手：佐藤\n   1 ７六歩(77)\n";
  const std::string cp932 = Utf8ToSjis(utf8);
  struct Case {
    const char* name;
    std::string bytes;
    std::string file_name;
    TRecordEncoding encoding;
    bool read_right;  // false: read as CP932 although the bytes are UTF-8
  } cases[] = {
      {"CP932", cp932, "a.kif", TRecordEncoding::kDetect, true},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + utf8, "a.kif", TRecordEncoding::kDetect, true},
      {"UTF-8 without BOM", utf8, "a.kif", TRecordEncoding::kDetect, true},
      {"UTF-8 declared Shift_JIS", "#KIF version=2.0 encoding=Shift_JIS\n" + utf8, "a.kif",
       TRecordEncoding::kDetect, false},
      {"CP932 named .kifu", cp932, "a.kifu", TRecordEncoding::kDetect, true},
      {"a download is CP932", utf8, "a.kif", TRecordEncoding::kCp932, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto lines = DecodeRecordLines(c.bytes, c.encoding, c.file_name);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2] == u"先手：佐藤", c.read_right);
    if (c.read_right) {
      EXPECT_EQ(lines.back(), u"   1 ７六歩(77)");
    }
  }
  // A CSA record's own declaration counts in downloads and files alike.
  const std::string csa = "'CSA encoding=UTF-8\nN+先手\n+7776FU\n";
  EXPECT_EQ(DecodeRecordLines(csa, TRecordEncoding::kCp932, "棋譜中継.txt")[1], u"N+先手");
  EXPECT_EQ(DecodeRecordLines(csa, TRecordEncoding::kDetect, "a.csa")[1], u"N+先手");
  // Plain ASCII reads the same either way; .kifu is UTF-8 by convention.
  const std::string ascii = "#KIF version=2.0 encoding=Shift_JIS\n   1 x\n";
  EXPECT_EQ(DecodeRecordLines(ascii, TRecordEncoding::kDetect),
            DecodeRecordLines(ascii, TRecordEncoding::kCp932));
  EXPECT_TRUE(IsUtf8Record(ascii, "A.KIFU"));
  EXPECT_FALSE(IsUtf8Record(ascii, "a.kif"));
}

TEST(RecordIntake, LoadRecordLines) {
  const std::string path = "record_intake_test_record.txt";
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
  EXPECT_THROW(ReadRecordFile("."), EFileError) << "a folder";
}

}  // namespace
}  // namespace zelvaro
