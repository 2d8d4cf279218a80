// zelvaro-cli kif FILE [--font-size K] [--png N OUT]: reads FILE as the
// viewer reads "棋譜中継.txt" and prints what the viewer would hold as one
// JSON object (texts UTF-8); optionally writes the board picture of
// position N as the viewer shows it after a click on row N (--last-move and
// --flip as the viewer's options).
#include <algorithm>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/BoardPicture.h"
#include "cli/Command.h"
#include "game/KifReader.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"
#include "viewer/CommentPanel.h"

namespace zelvaro::cli {
namespace {

using Json = nlohmann::ordered_json;

std::string U8(std::u16string_view s) { return Utf16ToUtf8(s); }

void Run(const std::string& path, int font_size, const std::vector<std::string>& png,
         const TBoardOptions& board) {
  int png_position = -1;
  if (!png.empty()) {
    try {
      size_t used = 0;
      png_position = std::stoi(png[0], &used);
      if (used != png[0].size()) png_position = -1;
    } catch (const std::exception&) {
      png_position = -1;
    }
    if (png_position < 0 || png_position >= kPositionCount) {
      throw ERangeError("--png: position " + png[0] + " is not a number from 0 to 255");
    }
  }

  TKifRecord record;
  TKifReader reader(record);
  reader.Begin(DocumentPrefix(font_size));
  reader.ReadLines(LoadRecordLines(path));

  Json out;
  out["caption"] = U8(record.caption);
  out["sente"] = U8(record.sente_name);
  out["gote"] = U8(record.gote_name);
  out["tournament"] = U8(record.tournament_name);
  out["header_document"] = U8(reader.HeaderText() + std::u16string(kDocumentSuffix));

  Json rows = Json::array();
  int last = 0;  // the highest move number read
  for (const auto& row : record.rows) {
    rows.push_back({U8(row.caption), U8(row.move), U8(row.time), U8(row.other)});
    last = std::max(last, std::stoi(U8(row.caption)));
  }
  out["rows"] = std::move(rows);

  Json positions = Json::array();
  for (int n = 0; n <= last; ++n) {
    const TKyokumen& p = record.positions[n];
    positions.push_back({{"board", p.Board},
                         {"sente_hand", p.SenteHand},
                         {"gote_hand", p.GoteHand},
                         {"turn", p.Turn},
                         {"last_square", p.LastSquare},
                         {"comment", U8(p.Comment)}});
  }
  out["positions"] = std::move(positions);

  // A row past the position table (variation rows of a long record) shows
  // nothing in the viewer.
  Json documents = Json::array();
  for (size_t i = 0; i < record.rows.size(); ++i) {
    if (i < static_cast<size_t>(kPositionCount)) {
      documents.push_back(U8(CommentDocument(font_size, record.positions[i].Comment)));
    } else {
      documents.push_back(nullptr);
    }
  }
  out["comment_documents"] = std::move(documents);

  Json errors = Json::array();
  for (const auto& report : record.reports) errors.push_back(U8(report));
  out["errors"] = std::move(errors);

  if (png_position >= 0) {
    WriteBoardPicture(record.positions.at(png_position), record.sente_name, record.gote_name,
                      png[1], board);
  }
  std::cout << out.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

const CommandRegistration kRegistration([](CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "kif", "read a KIF record as the viewer reads it and print rows, positions and documents");
  auto file = std::make_shared<std::string>();
  auto font_size = std::make_shared<int>(kDefaultFontSize);
  auto png = std::make_shared<std::vector<std::string>>();
  auto board = std::make_shared<TBoardOptions>();
  cmd->add_option("FILE", *file, "the record (Shift_JIS / CP932)")->required();
  cmd->add_option("--font-size", *font_size, "text size of the documents, 0 to 5")
      ->check(CLI::Range(0, kFontSizeCount - 1));
  auto* png_option =
      cmd->add_option("--png", *png, "N OUT: write the board picture of position N to OUT")
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
