// zelvaro-cli get URL [-v] [--timeout S]: one GET with the program's request
// settings; --timeout sets the limit of the whole request in seconds
// (default 120).
// The body goes to standard output byte for byte; exit status 0. With -v the
// request head and each reply head go to standard error as they pass. On an
// error its message (for an error status, the status line) goes to standard
// error and the exit status is 1.
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/Command.h"
#include "cli/StdoutStream.h"
#include "net/untHttp.h"

namespace zelvaro::cli {
namespace {

CommandRegistration registration([](CLI::App& app) {
  auto* cmd =
      app.add_subcommand("get", "GET a URL with the program's request settings; body to stdout");
  auto url = std::make_shared<std::string>();
  auto verbose = std::make_shared<bool>(false);
  auto timeout = std::make_shared<double>(0);
  cmd->add_option("URL", *url, "http or https address")->required();
  cmd->add_flag("-v", *verbose, "write the request and reply heads to standard error");
  AddTimeoutOption(*cmd, *timeout);
  cmd->callback([url, verbose, timeout] {
    THttpClient client;
    ApplyProgramRequestSettings(client);
    SetRequestTimeout(client, *timeout);
    if (*verbose) {
      client.OnHeadSent = [](std::string_view head) { std::cerr << head << std::flush; };
      client.OnHeadReceived = [](std::string_view head) { std::cerr << head << std::flush; };
    }
    StdoutStream out;
    try {
      client.Get(*url, &out);
    } catch (const std::exception& e) {
      Fail(MessageOf(e));
    }
    std::fflush(stdout);
  });
});

}  // namespace
}  // namespace zelvaro::cli
