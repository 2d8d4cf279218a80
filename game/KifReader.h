// The KIF record reader: turns the lines of a record into move-list rows,
// the position each row shows, the comments of those positions, the header
// document and the names of the players and the tournament.
//
// A reading fills a TKifRecord and nothing else: the window, the command line
// and the tests read into one and then show or print what it holds.
//
//   TKifRecord record;                       // names kept from the game on show, if any
//   TKifReader reader(record);
//   reader.Begin(header_prefix);             // move list back to row 0
//   reader.ReadLines(DecodeRecordLines(bytes, TRecordEncoding::kCp932));
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
// one report naming every such row. "反則" takes the place of "変化" and is
// not replaced by "ｺﾒﾝﾄ": the comment of the row still shows when it is
// clicked, and a comment after a foul is most often about the foul.
//  - the time limit: "持ち時間：" and "秒読み：" lines before the first move
//    (game/TimeLimit.h);
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/Rules.h"
#include "game/TimeLimit.h"
#include "game/untKyokumen.h"
#include "regex/untRegex.h"

namespace zelvaro {

// Row 0 of the move list and the marks of the last column.
inline constexpr std::u16string_view kFirstRowCaption = u"0";
inline constexpr std::u16string_view kFirstRowMove = u"開始局面";
inline constexpr std::u16string_view kFirstRowTime = u"0分(計0分)";
inline constexpr std::u16string_view kNoMark = u" ";
inline constexpr std::u16string_view kCommentMark = u"ｺﾒﾝﾄ";
inline constexpr std::u16string_view kVariationMark = u"変化";  // a variation's first row
inline constexpr std::u16string_view kFoulMark = u"反則";       // a move the rules forbid

// Time field of a move line. Groups: 1 minutes of the move as written,
// 2 its seconds, 3 the total (unset when left out), 4 its hours, 5 its
// minutes, 6 its seconds.
inline constexpr std::string_view kTimePattern =
    R"re(.+\(([0-9 ]+):([0-9 ]+)\/(( *[0-9]+) *: *([0-9]+) *: *([0-9 ]+))?\))re";

// Move numbers above this are not read: the main line keeps a position per
// number, and no game comes near it.
inline constexpr int32_t kMaxMoveNumber = 9999;

// Rows past this are not read (row 0 counted), so that a huge input neither
// fills memory nor holds a window up; real records stay far below it.
inline constexpr size_t kMaxRecordRows = 20000;
inline constexpr std::u16string_view kRowsCutReport =
    u"棋譜が長すぎるため、20000 行目より後は読みません";
// The header document and each comment hold at most this many characters;
// what comes after is dropped and kDocumentCutNote says so in its place.
inline constexpr size_t kMaxDocumentChars = 32768;
inline constexpr std::u16string_view kDocumentCutNote =
    u"<BR>（長すぎるため、ここから先は表示しません）<BR>";

// Why a text is no record. Each says so in words a user understands.
inline constexpr std::u16string_view kNotRecordEmpty = u"棋譜ではありません: 中身が空です";
inline constexpr std::u16string_view kNotRecordBinary =
    u"棋譜ではありません: Shift_JIS (CP932) の文字でも UTF-8 の文字でもないデータです";
inline constexpr std::u16string_view kNotRecordNoLines =
    u"棋譜ではありません: 指し手の行も棋譜情報の行（「棋戦：」など）もありません";

// "Zelvaro - [ " + tournament + " ]".
std::u16string CaptionFor(std::u16string_view tournament_name);

// Splits a file's bytes into lines at CR LF, LF or CR. A final line without
// an end of line is kept; the end of the text after a line break adds none.
std::vector<std::string> SplitLines(std::string_view bytes);

// A whole file's bytes. Throws EFileError "ファイル <path> は開けません" when
// it cannot be opened or read.
std::string ReadRecordFile(const std::string& path);
// ReadRecordFile, split into lines.
std::vector<std::string> LoadRecordLines(const std::string& path);
// Writes `bytes` to `path` as they stand. They go to a file beside it first,
// which then replaces `path` in one step, so a reader of `path` sees the old
// record or the new one, never a part. Throws EFileError
// "\"<path>\" を保存できません: <reason>"; the old file is then left as it was.
void WriteRecordFile(const std::string& path, std::string_view bytes);

// How a record's bytes are decoded.
//  kCp932:  always CP932. Broadcasts publish CP932, and the file a download
//           writes ("棋譜中継.txt") is read so.
//  kDetect: a local file of unknown origin. UTF-8 when the bytes begin with
//           the UTF-8 byte-order mark (dropped), or when they are valid UTF-8
//           and either the file name ends in ".kifu" (UTF-8 by convention) or
//           they hold non-ASCII characters and no "encoding=Shift_JIS" (or
//           CP932, SJIS) declaration on a "#KIF" line. Anything else is CP932.
//           Japanese CP932 text is practically never valid UTF-8, and plain
//           ASCII reads the same either way.
enum class TRecordEncoding { kCp932, kDetect };

// Whether `bytes` (a whole file named `file_name`) read as UTF-8 under kDetect.
bool IsUtf8Record(std::string_view bytes, std::string_view file_name);

// The lines of a record file as wide text.
std::vector<std::u16string> DecodeRecordLines(std::string_view bytes, TRecordEncoding encoding,
                                              std::string_view file_name = {});

// Whether one decoded line makes a text a record: a move line whose move
// names a square or ends the game, or a header line "key：value".
bool IsRecordLine(std::u16string_view line);

// Whether `bytes` (a whole file or download named `file_name`, decoded into
// `lines`) are a record; empty when they are, else why not (one of the
// kNotRecord messages). Every place that reads a record asks this first,
// and refuses what it is given with the message: the game on show stays.
std::u16string_view RecordRefusal(std::string_view bytes, const std::vector<std::u16string>& lines,
                                  std::string_view file_name = {});
// The same for bytes not decoded yet, decoded as DecodeRecordLines would
// decode them, and only as far as the first line that makes them a record.
std::u16string_view RecordRefusal(std::string_view bytes, TRecordEncoding encoding,
                                  std::string_view file_name = {});

// Everything a reading produces.
class TKifRecord {
 public:
  struct Row {
    std::u16string caption, move, time, other;
    int line = 0;  // 0 the main line, k the k-th variation in file order
    // The row whose position this row's move starts from (0 for row 0).
    int parent = 0;
    // The move by the rules, when the record's move is legal and the row's
    // position is the one before it with this move played.
    std::optional<TMove> rules_move;
    // Why the rules forbid the move (kNone for a legal move or none).
    TFoul foul = TFoul::kNone;
    // Whether the row's text names a move that was applied (a square and a
    // piece); false for 投了, 中断, ... and for rows that show the one above.
    bool moved = false;
    // The side to move in the row's position: the other side after a move,
    // the side to move of the parent row after a row that moved nothing. Row
    // 0 holds the side to move at the start (as row_positions[0].Turn does).
    int32_t side_to_move = 1;
    // The time field in seconds: this move's and the mover's total so far
    // (the written total, else the sum of the side's times); -1 without one.
    int64_t seconds = -1, total_seconds = -1;
    // The clock, as numbers: the side that made the move (1 sente, -1 gote;
    // 0 for row 0) and, for sente and gote, on the row's line up to this
    // row, the seconds used (the total the record writes, else the side's
    // own times summed) and the moves made (those that name a square).
    int32_t side = 0;
    std::array<int64_t, 2> used{};
    std::array<int32_t, 2> moves{};
  };

  // Row 0 with the standard starting position; names " ", caption "Zelvaro".
  TKifRecord();

  // The main-line position after move n (0 <= n < main_line.size()).
  const TKyokumen& MainPosition(size_t n) const { return row_positions.at(main_line.at(n)); }

  std::vector<Row> rows;
  // What a click on each row shows; row 0 holds the start and the comment
  // before the first move.
  std::vector<TKyokumen> row_positions;
  // The row of each main-line move number from 0 to the last; numbers before
  // the first move and numbers a record skips give the row before them.
  std::vector<int> main_line;
  std::u16string header_body;  // the header lines, each followed by "<BR>"
  std::u16string sente_name = u" ", gote_name = u" ", tournament_name, caption = u"Zelvaro";
  std::vector<std::u16string> reports;  // problems the user is told about, in order
  // The number of the first move: the start's move number in SFEN.
  int32_t start_number = 1;
  std::optional<TTimeLimit> time_limit;  // from the header; none when it has no known one
};

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
  // Lines of CP932 bytes (a download).
  void ReadLines(const std::vector<std::string>& cp932_lines);

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
  void AddHeader(std::u16string_view html);
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
  bool mark_variation_ = false;  // the next move row is a variation's first
  int current_row_ = 0;          // where comment lines go
  int foul_report_ = -1;         // the index of the report on fouls, -1 before the first
  bool after_end_reported_ = false;  // a move after the end of its line was told
  // Per row: seconds spent so far by sente and gote on its line.
  std::vector<std::array<int64_t, 2>> spent_;
  std::u16string limit_text_, byoyomi_text_;  // after "持ち時間：" and "秒読み："
};

}  // namespace zelvaro
