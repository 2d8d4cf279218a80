// A game record as the program holds it, and the one way its bytes come in
// and go out: reading and writing record files, telling their encodings
// apart, decoding them, refusing what is no record, and reading a record
// of any format into the model.
//
//   std::string bytes = ReadRecordFile(path);
//   if (std::u16string_view why = RecordRefusal(bytes, TRecordEncoding::kDetect, path);
//       !why.empty()) { ... refuse ... }
//   TKifRecord record;
//   ReadRecordBytes(record, bytes, TRecordEncoding::kDetect, path);
//
// Every caller that turns a record's bytes into text (reading, refusal,
// copying to the clipboard, analysis) decodes them with DecodeRecordLines,
// so the same bytes always give the same text.
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

namespace zelvaro {

// Row 0 of the move list and the marks of the last column.
inline constexpr std::u16string_view kFirstRowCaption = u"0";
inline constexpr std::u16string_view kFirstRowMove = u"開始局面";
inline constexpr std::u16string_view kFirstRowTime = u"0分(計0分)";
inline constexpr std::u16string_view kNoMark = u" ";
inline constexpr std::u16string_view kCommentMark = u"ｺﾒﾝﾄ";
inline constexpr std::u16string_view kVariationMark = u"変化";  // a variation's first row
inline constexpr std::u16string_view kFoulMark = u"反則";       // a move the rules forbid

// Move numbers above this are not read: the main line keeps a position per
// number, and no game comes near it.
inline constexpr int32_t kMaxMoveNumber = 9999;

// Rows past this are not read (row 0 counted), so that a huge input neither
// fills memory nor holds a window up; real records stay far below it.
inline constexpr size_t kMaxRecordRows = 20000;
inline constexpr std::u16string_view kRowsCutReport =
    u"棋譜が長すぎるため、20000 行目より後は読みません";
// A record keeps at most this many reports; AddReport sums up the rest in
// one last line "ほか N 件のエラーがあります".
inline constexpr size_t kMaxReports = 100;
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
    // 0 holds the side to move at the start. row_positions[row].Turn is the same.
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

  // Adds a report; past kMaxReports only the count of the rest grows.
  void AddReport(std::u16string text);

  std::vector<Row> rows;
  // What a click on each row shows; row 0 holds the start and the comment
  // before the first move.
  std::vector<TKyokumen> row_positions;
  // The row of each main-line move number from 0 to the last; numbers before
  // the first move and numbers a record skips give the row before them.
  std::vector<int> main_line;
  std::u16string header_body;  // the header lines, each followed by "<BR>"
  // The same lines as the record wrote them (the document shows a diagram
  // and "\n" breaks its own way), for writing the record again; as many as
  // the document holds.
  std::vector<std::u16string> header_lines;
  std::u16string sente_name = u" ", gote_name = u" ", tournament_name, caption = u"Zelvaro";
  std::vector<std::u16string> reports;  // problems the user is told about, in order
  // The number of the first move: the start's move number in SFEN.
  int32_t start_number = 1;
  std::optional<TTimeLimit> time_limit;  // from the header; none when it has no known one

 private:
  size_t reports_left_out_ = 0;  // counted in the last report once kMaxReports are kept
};

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

// The record formats fans exchange. kKifu is KIF in UTF-8 (written only;
// reading tells encodings apart by itself). Detection: game/RecordFormat.h.
enum class TRecordFormat { kKif, kKifu, kKi2, kCsa, kSfen, kUsi };

// How a record's bytes are decoded.
//  kCp932:  CP932. Broadcasts publish CP932, and the file a download
//           writes ("棋譜中継.txt") is read so.
//  kDetect: a local file of unknown origin. UTF-8 when the bytes begin with
//           the UTF-8 byte-order mark (dropped), or when they are valid UTF-8
//           and either the file name ends in ".kifu" (UTF-8 by convention) or
//           they hold non-ASCII characters and no "encoding=Shift_JIS" (or
//           CP932, SJIS) declaration on a "#KIF" line. Anything else is CP932.
//           Japanese CP932 text is practically never valid UTF-8, and plain
//           ASCII reads the same either way.
// Under both, a CSA record declaring "'CSA encoding=UTF-8" is UTF-8, SFEN
// and USI texts are UTF-8 (ASCII), and under kDetect a .ki2u file is UTF-8.
enum class TRecordEncoding { kCp932, kDetect };

// Whether `bytes` (a whole file named `file_name`) read as UTF-8 under
// kDetect by the first rule above.
bool IsUtf8Record(std::string_view bytes, std::string_view file_name);

// The lines of a record's bytes as wide text, by the rules above for the
// format the bytes are in. The one decoder of record bytes.
std::vector<std::u16string> DecodeRecordLines(std::string_view bytes, TRecordEncoding encoding,
                                              std::string_view file_name = {});

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

// Reads a record's bytes into `record`, in the format DetectRecordFormat
// finds, and returns that format. Whatever the format, the reading fills
// the same TKifRecord: CSA, KI2, SFEN and USI records are turned into the
// lines of the same game in KIF and read by the KIF reader, so rows,
// positions, comments, names and times mean the same everywhere. The
// header text is record.header_body, to be put after a prefix. Throws
// ENotationError (game/Sfen.h) for an SFEN or USI text that cannot be
// read, and then leaves `record` as it was.
TRecordFormat ReadRecordBytes(TKifRecord& record, std::string_view bytes, TRecordEncoding encoding,
                              std::string_view file_name = {});

}  // namespace zelvaro
