#include "cli/BoardPicture.h"

#include <QGuiApplication>
#include <QImage>
#include <memory>

#include "toolkit/Exception.h"

namespace zelvaro::cli {

void AddBoardPictureFlags(CLI::App* cmd, CLI::Option* png, TBoardOptions& options) {
  cmd->add_flag("--last-move", options.last_move,
                "mark the last move's destination and, for a board move, its origin")
      ->needs(png);
  cmd->add_flag("--flip", options.flip, "turn the board: gote at the bottom")->needs(png);
}

void WriteBoardPicture(const TKyokumen& position, const std::u16string& sente_name,
                       const std::u16string& gote_name, const std::string& path,
                       const TBoardOptions& options) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::unique_ptr<QGuiApplication> app;
  if (QGuiApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "zelvaro-cli";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  QImage picture;
  TBoardRenderer renderer(&picture);
  // InitBoard loads the blank picture; its starting position and names are
  // the renderer's own and are drawn over at once.
  TKyokumen scratch;
  std::u16string scratch_sente, scratch_gote;
  renderer.InitBoard(scratch, scratch_sente, scratch_gote);
  renderer.SetOptions(options);
  renderer.DrawPosition(position, sente_name, gote_name);
  if (!picture.save(QString::fromStdString(path), "PNG")) {
    throw EFileError("cannot write " + path);
  }
}

}  // namespace zelvaro::cli
