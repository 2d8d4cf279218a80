// The KIF record reader: turns the lines of a record into move-list rows, one
// stored position per move, the comments of those positions, the header
// document and the names of the players and the tournament.
//
// The reader owns nothing the user sees. Rows, positions, names and reports
// go to a TKifSink: the viewer window is one, TKifRecord (below) another that
// keeps everything in memory for the command line and for tests.
//
//   TKifRecord record;                       // or the window
//   TKifReader reader(record);
//   reader.Begin(header_prefix);             // move list back to row 0
//   for (line : lines) if (!reader.ReadLine(line, number)) break;
//   std::u16string header = reader.HeaderText() + suffix;
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "game/untKyokumen.h"

namespace zelvaro {

// Positions 0..255: index = move number; position 0 is the starting position.
constexpr int kPositionCount = 256;
using TPositions = std::array<TKyokumen, kPositionCount>;

// Row 0 of the move list and the mark of a commented move.
inline constexpr std::u16string_view kFirstRowCaption = u"0";
inline constexpr std::u16string_view kFirstRowMove = u"開始局面";
inline constexpr std::u16string_view kFirstRowTime = u"0分(計0分)";
inline constexpr std::u16string_view kNoMark = u" ";
inline constexpr std::u16string_view kCommentMark = u"ｺﾒﾝﾄ";

// Time field of a move line: minutes of the move, hours and minutes of the total.
inline constexpr std::string_view kTimePattern =
    R"re(.+\(([0-9 ]+):[0-9]+\/([0-9]+):([0-9]+):[0-9]+\))re";

// Where a reading puts what it finds. Row indices count from 0 (row 0 is the
// starting position); a row's sub-items are move, time and other.
class TKifSink {
 public:
  virtual ~TKifSink();
  virtual void ClearRows() = 0;
  virtual void AppendRow(std::u16string_view caption, std::u16string_view move,
                         std::u16string_view time, std::u16string_view other) = 0;
  virtual int RowCount() const = 0;
  // Sets the last column of an existing row.
  virtual void SetOther(int row, std::u16string_view text) = 0;
  virtual TPositions& Positions() = 0;
  virtual void SetSenteName(std::u16string_view name) = 0;
  virtual void SetGoteName(std::u16string_view name) = 0;
  // Also sets the window caption to CaptionFor(name).
  virtual void SetTournamentName(std::u16string_view name) = 0;
  // A problem the user is told about; the reading goes on unless it says otherwise.
  virtual void Report(std::u16string_view message, std::u16string_view caption) = 0;
};

// "Zelvaro - [ " + tournament + " ]".
std::u16string CaptionFor(std::u16string_view tournament_name);

// Splits a file's bytes into lines at CR LF, LF or CR. A final line without
// an end of line is kept; the end of the text after a line break adds none.
std::vector<std::string> SplitLines(std::string_view bytes);

// Reads a whole file and splits it. Throws EFileError
// "ファイル <path> は開けません" when it cannot be opened or read.
std::vector<std::string> LoadRecordLines(const std::string& path);

class TKifReader {
 public:
  explicit TKifReader(TKifSink& sink) : sink_(sink) {}

  // Starts a reading: the move list holds only row 0, the header text is
  // `header_prefix` and the comment buffer is empty.
  void Begin(std::u16string_view header_prefix);

  // One line of the record (tests a to g). `line_number` counts from 1 and
  // only serves the report. Returns false when the reading has to end at
  // this line (a move number outside 0..255, already reported); the rows
  // and positions read so far stay.
  bool ReadLine(std::u16string_view line, int line_number);

  // Converts each Shift_JIS line and feeds it to ReadLine until one ends
  // the reading.
  void ReadLines(const std::vector<std::string>& sjis_lines);

  // Reads a move line into a row and a position; returns its move number,
  // or 0 when the line is no move line. Throws ERangeError for a move number
  // outside 0..255 (no row, no position is touched).
  int32_t ReadMoveLine(std::u16string_view line);

  // Position n becomes position n-1 with the move applied; a move that
  // cannot be applied is reported as "指し手エラー " + move text.
  void MakePosition(int32_t n, std::u16string_view move_text);

  // The header text so far (prefix and header lines, each with "<BR>").
  const std::u16string& HeaderText() const { return header_; }
  // Comment lines not yet attached to a position.
  const std::u16string& PendingComment() const { return comment_; }

 private:
  TKifSink& sink_;
  std::u16string header_;
  std::u16string comment_;
};

// Everything a reading produces, kept in memory.
class TKifRecord : public TKifSink {
 public:
  struct Row {
    std::u16string caption, move, time, other;
  };

  // Position 0 starts laid out; names start as " ", the caption as "Zelvaro".
  TKifRecord();

  void ClearRows() override { rows.clear(); }
  void AppendRow(std::u16string_view caption, std::u16string_view move, std::u16string_view time,
                 std::u16string_view other) override;
  int RowCount() const override { return static_cast<int>(rows.size()); }
  void SetOther(int row, std::u16string_view text) override;
  TPositions& Positions() override { return positions; }
  void SetSenteName(std::u16string_view name) override { sente_name = name; }
  void SetGoteName(std::u16string_view name) override { gote_name = name; }
  void SetTournamentName(std::u16string_view name) override;
  void Report(std::u16string_view message, std::u16string_view caption) override;

  std::vector<Row> rows;
  TPositions positions;
  std::u16string sente_name = u" ", gote_name = u" ", tournament_name, caption = u"Zelvaro";
  std::vector<std::u16string> reports;  // messages, in order
};

}  // namespace zelvaro
