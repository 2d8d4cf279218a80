// zelvaro-cli kif FILE [--font-size K] [--png N OUT]: reads FILE as the
// viewer reads a record and prints what the viewer would hold as one JSON
// object (texts UTF-8), with the time limit and each row's remaining time
// after them; optionally writes the board picture the viewer shows
// after a click on row N (--last-move and --flip as the viewer's options).
// FILE is KIF, KI2, CSA, SFEN or USI (ReadRecordBytes), CP932 or UTF-8. A FILE
// that is no record (RecordRefusal) gives "zelvaro-cli kif: <why>" and exit status 1.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/BoardCommands.h"
#include "cli/BoardPicture.h"
#include "cli/Command.h"
#include "game/Record.h"
#include "game/RecordUsi.h"
#include "game/TimeLimit.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"
#include "viewer/CommentPanel.h"

namespace zelvaro::cli {
namespace {

using Json = nlohmann::ordered_json;

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

// The position row `row` shows; "sfen" has the side to move next.
Json PositionJson(const TKifRecord& record, int row) {
  const TKyokumen& p = record.row_positions.at(static_cast<size_t>(row));
  return {{"board", p.Board},
          {"sente_hand", p.SenteHand},
          {"gote_hand", p.GoteHand},
          {"turn", row == 0 ? p.Turn : record.rows.at(static_cast<size_t>(row)).side},  // mover
          {"last_square", p.LastSquare},
          {"comment", U8(p.Comment)},
          {"sfen", SfenOfRow(record, row)}};
}

void Run(const std::string& path, int font_size, const std::vector<std::string>& png,
         const TBoardOptions& board) {
  const std::string bytes = ReadRecordFile(path);
  // What the viewer refuses, refused alike.
  if (const std::u16string_view refusal = RecordRefusal(bytes, TRecordEncoding::kDetect, path);
      !refusal.empty()) {
    throw Exception(Utf16ToUtf8(refusal));
  }
  TKifRecord record;
  ReadRecordBytes(record, bytes, TRecordEncoding::kDetect, path);

  int png_row = -1;
  if (!png.empty()) {
    try {
      size_t used = 0;
      png_row = std::stoi(png[0], &used);
      if (used != png[0].size()) png_row = -1;
    } catch (const std::exception&) {
      png_row = -1;
    }
    if (png_row < 0 || png_row >= static_cast<int>(record.rows.size())) {
      throw ERangeError("--png: " + png[0] + " is not a row from 0 to " +
                        std::to_string(record.rows.size() - 1));
    }
  }

  Json out;
  out["caption"] = U8(record.caption);
  out["sente"] = U8(record.sente_name);
  out["gote"] = U8(record.gote_name);
  out["tournament"] = U8(record.tournament_name);
  out["header_document"] =
      U8(DocumentPrefix(font_size) + record.header_body + std::u16string(kDocumentSuffix));

  Json rows = Json::array();
  for (const auto& row : record.rows) {
    rows.push_back({U8(row.caption), U8(row.move), U8(row.time), U8(row.other)});
  }
  out["rows"] = std::move(rows);

  Json positions = Json::array();
  for (const int row : record.main_line) positions.push_back(PositionJson(record, row));
  out["positions"] = std::move(positions);
  Json row_positions = Json::array();
  for (size_t row = 0; row < record.row_positions.size(); ++row) {
    row_positions.push_back(PositionJson(record, static_cast<int>(row)));
  }
  out["row_positions"] = std::move(row_positions);

  Json documents = Json::array();
  for (const TKyokumen& p : record.row_positions) {
    documents.push_back(U8(CommentDocument(font_size, p.Comment)));
  }
  out["comment_documents"] = std::move(documents);

  Json errors = Json::array();
  for (const auto& report : record.reports) errors.push_back(U8(report));
  out["errors"] = std::move(errors);

  // The clocks: the limit, and [sente, gote] seconds left after each row,
  // null for a row (or for all) that says nothing of the time used.
  if (record.time_limit) {
    out["time_limit"] = {{"seconds", record.time_limit->seconds},
                         {"byoyomi", record.time_limit->byoyomi},
                         {"increment", record.time_limit->increment}};
  } else {
    out["time_limit"] = nullptr;
  }
  if (HasClock(record)) {
    Json remaining = Json::array();
    for (size_t row = 0; row < record.rows.size(); ++row) {
      const std::optional<TClock> clock = ClockAt(record, row);
      remaining.push_back(clock ? Json{clock->remaining[0], clock->remaining[1]} : Json(nullptr));
    }
    out["remaining"] = std::move(remaining);
  } else {
    out["remaining"] = nullptr;
  }

  if (png_row >= 0) {
    WriteBoardPicture(record.row_positions[static_cast<size_t>(png_row)], record.sente_name,
                      record.gote_name, png[1], board);
  }
  std::cout << out.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

const CommandRegistration kRegistration([](CLI::App& app) {
  auto* cmd = app.add_subcommand(kKifCommand.name, kKifCommand.description);
  auto file = std::make_shared<std::string>();
  auto font_size = std::make_shared<int>(kDefaultFontSize);
  auto png = std::make_shared<std::vector<std::string>>();
  cmd->add_option("FILE", *file, "the record (CP932, or UTF-8 as the reader detects it)")
      ->required();
  cmd->add_option("--font-size", *font_size, "text size of the documents, 0 to 5")
      ->check(CLI::Range(0, kFontSizeCount - 1));
  auto board = std::make_shared<TBoardOptions>();
  auto* png_option =
      cmd->add_option("--png", *png, "N OUT: write the board picture a click on row N shows to OUT")
          ->expected(2);
  AddBoardPictureFlags(cmd, png_option, *board);
  cmd->callback([file, font_size, png, board] {
    try {
      Run(*file, *font_size, *png, *board);
    } catch (const Exception& e) {
      std::cerr << "zelvaro-cli kif: " << e.Message() << "\n";
      Exit(1);
    }
  });
});

}  // namespace
}  // namespace zelvaro::cli
