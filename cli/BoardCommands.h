// The commands that draw the board picture (kif, position) need Qt's
// libraries; the other commands do not. They live in a companion program,
// zelvaro-cli-board, so that zelvaro-cli itself loads no Qt library: a
// process that maps Qt's libraries takes about 17 MB before it does any
// work, which `zelvaro-cli gunzip` and friends should not pay. zelvaro-cli
// runs the companion for these commands with the same arguments, so both
// behave as one program.
#pragma once

namespace zelvaro::cli {

struct TBoardCommand {
  const char* name;
  const char* description;
};

inline constexpr TBoardCommand kKifCommand{
    "kif", "read a KIF record as the viewer reads it and print rows, positions and documents"};
inline constexpr TBoardCommand kPositionCommand{
    "position", "apply move texts to the starting position and print it as JSON"};
inline constexpr TBoardCommand kBoardCommands[] = {kKifCommand, kPositionCommand};

// The companion's file name; it is looked for beside zelvaro-cli (the build
// tree) and in ../libexec/zelvaro/ from there (an installed program).
inline constexpr char kBoardProgram[] = "zelvaro-cli-board";
inline constexpr char kBoardProgramInstallDir[] = "../libexec/zelvaro";

}  // namespace zelvaro::cli
