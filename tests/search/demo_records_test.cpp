// The demo broadcast's records replay on the position model: at every move
// the origin holds a piece of the side to move, a drop takes a piece that is
// in hand, and nothing lands on a piece of the mover's own side.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "game/untKyokumen.h"
#include "toolkit/TextCodec.h"

namespace zelvaro {
namespace {

namespace fs = std::filesystem;

const fs::path kRecords = fs::path(ZELVARO_SOURCE_DIR) / "tools/demo-broadcast/records";

std::vector<std::u16string> ReadLines(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  std::vector<std::u16string> lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(SjisToUtf16(bytes.substr(start, end - start)));
  }
  EXPECT_EQ(start, bytes.size()) << path << ": the last line lacks CR LF";
  return lines;
}

bool OwnedBy(int32_t piece, int32_t turn) {
  return turn == 1 ? (piece >= 1 && piece <= 14) : (piece >= 101 && piece <= 114);
}

int HandIndexOf(char16_t name) {
  const std::u16string names = u"歩香桂銀金飛角";
  return static_cast<int>(names.find(name));
}

bool IsTimeField(std::u16string_view t) {
  // "( m:ss/hh:mm:ss)"
  if (t.size() != 16 || t[0] != u'(' || t[3] != u':' || t[6] != u'/' || t[9] != u':' ||
      t[12] != u':' || t[15] != u')')
    return false;
  for (int i : {2, 4, 5, 7, 8, 10, 11, 13, 14})
    if (t[i] < u'0' || t[i] > u'9') return false;
  return t[1] == u' ' || (t[1] >= u'0' && t[1] <= u'9');
}

TEST(DemoRecordsTest, EveryMoveIsConsistentWithThePosition) {
  int records = 0, with_url_comment = 0, missing_label = 0;
  for (const auto& entry : fs::directory_iterator(kRecords)) {
    if (entry.path().extension() != ".kif") continue;
    ++records;
    SCOPED_TRACE(entry.path().filename().string());
    const auto lines = ReadLines(entry.path());
    TKyokumen position;
    LayOutStartingPosition(position);
    int expected_number = 1, labels = 0;
    bool url_comment = false;
    for (const auto& line : lines) {
      for (std::u16string_view label : {u"開始日時：", u"棋戦：", u"先手：", u"後手："}) {
        if (line.rfind(label, 0) == 0) ++labels;
      }
      if (line.rfind(u"*", 0) == 0 && line.find(u"http://") != std::u16string::npos)
        url_comment = true;
      if (line.empty() || line[0] != u' ') continue;
      const int number = std::stoi(Utf16ToUtf8(line.substr(0, 4)));
      ASSERT_EQ(number, expected_number++);
      const std::u16string rest = line.substr(5);
      const std::u16string move = rest.substr(0, rest.find(u' '));
      ASSERT_TRUE(IsTimeField(rest.substr(rest.find_last_of(u'('))));
      if (move == u"投了") continue;
      const int32_t turn = number % 2 == 1 ? 1 : -1;
      position.Turn = turn;
      auto& hand = turn == 1 ? position.SenteHand : position.GoteHand;
      const size_t paren = move.find(u'(');
      if (move.find(u'打') != std::u16string::npos) {
        const int index = HandIndexOf(move[2]);
        ASSERT_GE(index, 0) << Utf16ToUtf8(move);
        ASSERT_GT(hand[index], 0) << number << " " << Utf16ToUtf8(move) << ": not in hand";
      } else {
        ASSERT_NE(paren, std::u16string::npos) << Utf16ToUtf8(move);
        const int origin = std::stoi(Utf16ToUtf8(move.substr(paren + 1, 2)));
        ASSERT_TRUE(OwnedBy(position.Board[origin], turn))
            << number << " " << Utf16ToUtf8(move) << ": the origin holds "
            << position.Board[origin];
      }
      position.ApplyMove(move);
      ASSERT_TRUE(OwnedBy(position.Board[position.LastSquare], turn))
          << number << " " << Utf16ToUtf8(move);
    }
    EXPECT_GT(expected_number, 12) << "a real-looking game has more moves";
    if (labels < 4) ++missing_label;
    if (url_comment) ++with_url_comment;
  }
  EXPECT_GE(records, 12);
  EXPECT_GE(missing_label, 1);
  EXPECT_GE(with_url_comment, 3);
}

}  // namespace
}  // namespace zelvaro
