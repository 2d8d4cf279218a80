// The KIF record reader: turns the lines of a record into move-list rows,
// the position each row shows, the comments of those positions, the header
// document and the names of the players and the tournament.
//
// A reading fills a TKifRecord (game/Record.h) and nothing else: the window, the command line
// and the tests read into one and then show or print what it holds.
//
//   TKifRecord record;                       // names kept from the game on show, if any
//   TKifReader reader(record);
//   reader.Begin(header_prefix);             // move list back to row 0
//   reader.ReadLines(lines);               // wide text; ReadRecordBytes reads bytes
//   std::u16string header = reader.HeaderText() + suffix;
//
// What the reader understands:
//  - move lines: blanks, a decimal move number, blanks, the move text, and
//    optionally a time field "( m:ss/hh:mm:ss)" (blanks around the numbers
//    and the slash allowed, numbers unpadded, the total left out);
//  - comment lines ("*..."), which belong to the move line above them (row 0
//    before the first move line), also after the last move and after "まで";
//  - the start: "手合割：" with a handicap name, a board diagram with the
//    pieces in hand, "先手番"/"後手番" (also 下手/上手); 上手 and 下手 name
//    gote and sente;
//  - variations: "変化：N手" starts a line of moves that branches from the
//    position after move N-1 of the nearest line, going back through the
//    lines that enclose it, that holds move N-1 (the main line when none
//    does); its rows follow the main line's in file order and never change it.
//    A line that has ended (投了, 中断 ... at or before N-1) holds no move N-1.
//  - the end: moves after a row that ends the game on its line (投了, 中断,
//    千日手 ...; not 封じ手) are no part of the game, as other readers take
//    them: they are not read, and the first is reported; further terminal
//    words are still rows.
//  - the header document: the header lines, without "変化：" lines, "&"
//    lines and the board diagram's rows; the diagram is shown apart in a
//    fixed-width face, and "\n" or "¥n" inside a value breaks the line.
//
// The reader also reads each move by the rules (Rules.h): a row whose move is
// legal knows it as `rules_move`; a move the rules forbid is still applied as
// the record writes it, its row's last column says "反則" and the record gets
// one report naming such rows (kMaxReports of them; the rest are counted).
// "反則" takes the place of "変化" and is not replaced by "ｺﾒﾝﾄ": the comment
// of the row still shows when it is clicked, and a comment after a foul is
// most often about the foul. Nothing after the row cut (kMaxRecordRows) is read.
//  - the time limit: "持ち時間：" and "秒読み：" lines before the first move
//    (game/TimeLimit.h);
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "game/Record.h"
#include "regex/untRegex.h"

namespace zelvaro {

// Time field of a move line. Groups: 1 minutes of the move as written,
// 2 its seconds, 3 the total (unset when left out), 4 its hours, 5 its
// minutes, 6 its seconds.
inline constexpr std::string_view kTimePattern =
    R"re(.+\(([0-9 ]+):([0-9 ]+)\/(( *[0-9]+) *: *([0-9]+) *: *([0-9 ]+))?\))re";

// Whether one decoded line makes a text a record: a move line whose move
// names a square or ends the game, or a header line "key：value".
bool IsRecordLine(std::u16string_view line);

class TKifReader {
 public:
  explicit TKifReader(TKifRecord& record) : record_(record) {}

  // Starts a reading: the record holds only row 0 with the standard start,
  // the header text is `header_prefix`. Names and caption stay as they are,
  // so that a record lacking them keeps those of the game on show.
  void Begin(std::u16string_view header_prefix);

  // One line of the record.
  void ReadLine(std::u16string_view line);
  void ReadLines(const std::vector<std::u16string>& lines);

  // The header text so far: the prefix and the header lines, each with "<BR>".
  std::u16string HeaderText() const { return prefix_ + record_.header_body; }

 private:
  // A line of moves: the main line or one variation.
  struct Line {
    int32_t base_number;    // the move number before its first move
    std::vector<int> rows;  // rows[i]: the row of the position after move base_number + i
    int index;              // its TKifRecord::Row::line
    int32_t ended = 0;      // the number of its row that ends the game (投了 ...), 0 before one
  };

  void ReadStartLine(std::u16string_view line);
  void ReadClockLine(std::u16string_view line);
  void StartVariation(int32_t branch_number);
  void ReadMoveLine(int32_t number, std::u16string_view move, std::u16string_view line);
  void ReadByRules(int parent, TKifRecord::Row& row, std::u16string_view move,
                   const TKyokumen& after);
  void AddComment(std::u16string_view text);
  void AddHeader(std::u16string_view html, std::u16string_view line);
  // Sets the clock numbers of `clock`, the row being added.
  std::u16string TimeText(std::u16string_view line, int row, TKifRecord::Row& clock);
  void ShowStart();
  int32_t SideOf(int32_t number) const;

  TKifRecord& record_;
  std::u16string prefix_;
  TRegex time_regex_;

  // The start, until the first move line fixes it.
  TKyokumen start_;
  bool moves_begun_ = false;
  bool diagram_ = false;
  int diagram_rank_ = 0;
  int32_t first_side_ = 1;  // the side of move 1
  bool side_written_ = false;
  bool handicap_reported_ = false;
  bool rows_cut_ = false;  // kMaxRecordRows reached and reported

  std::vector<Line> lines_;  // the main line, then the variations it is in
  int variations_ = 0;
  bool mark_variation_ = false;      // the next move row is a variation's first
  int current_row_ = 0;              // where comment lines go
  int foul_report_ = -1;             // the index of the report on fouls, -1 before the first
  size_t fouls_listed_ = 0;          // fouls counted in it
  size_t fouls_named_size_ = 0;      // its length once kMaxReports fouls are named
  bool after_end_reported_ = false;  // a move after the end of its line was told
  // Per row: seconds spent so far by sente and gote on its line.
  std::vector<std::array<int64_t, 2>> spent_;
  std::u16string limit_text_, byoyomi_text_;  // after "持ち時間：" and "秒読み："
};

}  // namespace zelvaro
