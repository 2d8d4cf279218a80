// The board picture for zelvaro-cli: drawn as the viewer draws it, on an
// offscreen QGuiApplication when no application runs yet.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "game/untKyokumen.h"
#include "viewer/BoardRenderer.h"

namespace zelvaro::cli {

// Adds --last-move and --flip, which set `options` and need the picture
// option `png`. `options` must outlive the parsing.
void AddBoardPictureFlags(CLI::App* cmd, CLI::Option* png, TBoardOptions& options);

// Writes the 380 x 420 picture of `position` with the two names as a PNG.
// Throws EFileError when the file cannot be written.
void WriteBoardPicture(const TKyokumen& position, const std::u16string& sente_name,
                       const std::u16string& gote_name, const std::string& path,
                       const TBoardOptions& options = {});

}  // namespace zelvaro::cli
