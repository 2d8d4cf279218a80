// zelvaro-cli position [--moves FILE] [--png OUT [--last-move] [--flip]]:
// applies move texts to the starting position and prints the result as one
// JSON object; optionally writes the board picture of the final position.
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/BoardCommands.h"
#include "cli/BoardPicture.h"
#include "cli/Command.h"
#include "game/untKyokumen.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro::cli {
namespace {

// The move texts of FILE: one per line, UTF-8, empty lines skipped. A CR
// before the LF and a byte-order mark are not part of any move.
std::vector<std::string> ReadMoveTexts(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EFileError("cannot open " + path);
  std::ostringstream all;
  all << in.rdbuf();
  std::string text = all.str();
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  std::vector<std::string> moves;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) moves.push_back(line);
  }
  return moves;
}

void Run(const std::string& moves_path, const std::string& png_path, const TBoardOptions& board) {
  TKyokumen position;
  LayOutStartingPosition(position);
  nlohmann::ordered_json errors = nlohmann::ordered_json::array();
  if (!moves_path.empty()) {
    int number = 0;
    for (const std::string& move : ReadMoveTexts(moves_path)) {
      ++number;
      position.Turn = number % 2 == 1 ? 1 : -1;
      // A failed move must leave nothing behind, whatever it touched first.
      const TKyokumen before = position;
      try {
        position.ApplyMove(Utf8ToUtf16(move));
      } catch (const Exception&) {
        position = before;
        errors.push_back("指し手エラー " + move);
      }
    }
  }
  if (!png_path.empty()) WriteBoardPicture(position, u" ", u" ", png_path, board);

  nlohmann::ordered_json out;
  out["board"] = position.Board;
  out["sente_hand"] = position.SenteHand;
  out["gote_hand"] = position.GoteHand;
  out["turn"] = position.Turn;
  out["last_square"] = position.LastSquare;
  out["errors"] = errors;
  std::cout << out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

const CommandRegistration kRegistration([](CLI::App& app) {
  auto* cmd = app.add_subcommand(kPositionCommand.name, kPositionCommand.description);
  auto moves = std::make_shared<std::string>();
  auto png = std::make_shared<std::string>();
  auto board = std::make_shared<TBoardOptions>();
  cmd->add_option("--moves", *moves, "UTF-8 file, one move text per line (e.g. ７六歩(77))");
  auto* png_option = cmd->add_option(
      "--png", *png, "write the 380 x 420 board picture of the final position here");
  AddBoardPictureFlags(cmd, png_option, *board);
  cmd->callback([moves, png, board] {
    try {
      Run(*moves, *png, *board);
    } catch (const Exception& e) {
      std::cerr << "zelvaro-cli position: " << e.Message() << "\n";
      Exit(1);
    }
  });
});

}  // namespace
}  // namespace zelvaro::cli
