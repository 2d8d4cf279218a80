// zelvaro-cli: the program's libraries without windows, for scripts and tests.
#include <cstdio>
#include <iostream>
#include <vector>

#include "cli/Command.h"

namespace zelvaro::cli {
namespace {

std::vector<CommandSetup>& Registry() {
  static std::vector<CommandSetup> setups;
  return setups;
}

struct ExitRequest {
  int status;
};

}  // namespace

CommandRegistration::CommandRegistration(CommandSetup setup) {
  Registry().push_back(std::move(setup));
}

void Exit(int status) { throw ExitRequest{status}; }

void Fail(std::string_view message, int status) {
  std::cout.flush();
  std::fflush(stdout);
  std::cerr << message << "\n";
  Exit(status);
}

}  // namespace zelvaro::cli

int main(int argc, char** argv) {
  CLI::App app{"zelvaro-cli: Zelvaro's libraries without windows"};
  app.require_subcommand(1);
  for (const auto& setup : zelvaro::cli::Registry()) setup(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const zelvaro::cli::ExitRequest& e) {
    std::cout.flush();
    return e.status;
  }
  return 0;
}
