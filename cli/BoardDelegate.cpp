// zelvaro-cli's side of the board commands: each is registered so that it
// is listed in the help, and running it replaces this process with the
// companion program given the same arguments (see BoardCommands.h).
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/BoardCommands.h"
#include "cli/Command.h"

namespace zelvaro::cli {
namespace {

std::filesystem::path BoardProgram() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::filesystem::path dir = error ? std::filesystem::path(".") : self.parent_path();
  for (const auto& candidate :
       {dir / kBoardProgram, dir / kBoardProgramInstallDir / kBoardProgram}) {
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return dir / kBoardProgram;
}

[[noreturn]] void RunBoardProgram(const char* command, const std::vector<std::string>& arguments) {
  const std::filesystem::path program = BoardProgram();
  // Usage lines name the program the user ran.
  std::vector<std::string> words{program_invocation_name, command};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  Fail("zelvaro-cli: cannot run " + program.string() + ": " + std::strerror(errno));
}

const CommandRegistration kRegistration([](CLI::App& app) {
  for (const TBoardCommand& board : kBoardCommands) {
    auto* cmd = app.add_subcommand(board.name, board.description);
    // Everything after the name, --help included, is the companion's.
    cmd->prefix_command();
    cmd->set_help_flag();
    const char* name = board.name;
    cmd->callback([cmd, name] { RunBoardProgram(name, cmd->remaining()); });
  }
});

}  // namespace
}  // namespace zelvaro::cli
