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

}  // namespace zelvaro::cli
