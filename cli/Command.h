// zelvaro-cli subcommands register themselves: each cmd_*.cpp defines one
// static CommandRegistration whose setup adds a subcommand to the app.
//
//   static zelvaro::cli::CommandRegistration reg([](CLI::App& app) {
//     auto* cmd = app.add_subcommand("name", "what it does");
//     ...
//     cmd->callback([=] { ...; zelvaro::cli::Exit(1); });
//   });
//
// A callback ends the program with a non-zero status through Exit().
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string_view>

namespace zelvaro {
class THttpClient;
}

namespace zelvaro::cli {

using CommandSetup = std::function<void(CLI::App&)>;

struct CommandRegistration {
  explicit CommandRegistration(CommandSetup setup);
};

// Ends the program with `status` once the callback returns to main.
[[noreturn]] void Exit(int status);

// Flushes what was written to standard output, writes `message` and a line
// end to standard error and ends the program with `status`.
[[noreturn]] void Fail(std::string_view message, int status = 1);

// --timeout S: the limit of one whole request in seconds; `seconds` stays 0
// when the option is not given.
void AddTimeoutOption(CLI::App& command, double& seconds);
// Sets the client's request limit from --timeout (0: keep its default).
void SetRequestTimeout(THttpClient& client, double seconds);

}  // namespace zelvaro::cli
