// zelvaro-cli: the program's libraries without windows, for scripts and tests.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <vector>

#include "cli/Command.h"
#include "net/untHttp.h"
#include "toolkit/Exception.h"

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

void AddTimeoutOption(CLI::App& command, double& seconds) {
  command
      .add_option("--timeout", seconds,
                  "limit of the whole request in seconds (default " +
                      std::to_string(THttpClient::kDefaultRequestTimeout.count()) + ")")
      ->check(CLI::Range(0.001, 86400.0));
}

void SetRequestTimeout(THttpClient& client, double seconds) {
  if (seconds <= 0) return;
  client.RequestTimeout = std::max(std::chrono::milliseconds(1),
                                   std::chrono::milliseconds(std::llround(seconds * 1000)));
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
  } catch (const std::exception& e) {
    // Whatever a command did not catch itself, running out of memory too:
    // a message and status 1, never an abort.
    std::fflush(stdout);
    std::cerr << zelvaro::MessageOf(e) << "\n";
    return 1;
  } catch (...) {
    std::fflush(stdout);
    std::cerr << "Unknown error.\n";
    return 1;
  }
  return 0;
}
