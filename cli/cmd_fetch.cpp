// zelvaro-cli fetch URL [--timeout S]: one page fetch as the search window
// makes it; --timeout sets the limit of the whole request in seconds
// (default 120). Each
// line taken goes to standard output followed by LF, bytes unchanged; exit
// status 0. On an error the lines taken before it are written, its message
// (for an error status, the status line) goes to standard error and the exit
// status is 1.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "cli/Command.h"
#include "net/PageFetch.h"

namespace zelvaro::cli {
namespace {

void WriteLines(const TPageFetcher& fetcher) {
  for (const std::string& line : fetcher.Lines()) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
}

CommandRegistration registration([](CLI::App& app) {
  auto* cmd = app.add_subcommand("fetch", "fetch a page as the program does; its lines to stdout");
  auto url = std::make_shared<std::string>();
  auto timeout = std::make_shared<double>(0);
  cmd->add_option("URL", *url, "http or https address")->required();
  AddTimeoutOption(*cmd, *timeout);
  cmd->callback([url, timeout] {
    auto fetcher = std::make_unique<TPageFetcher>();
    SetRequestTimeout(fetcher->FHttp, *timeout);
    try {
      fetcher->FetchLines(*url);
    } catch (const std::exception& e) {
      WriteLines(*fetcher);
      Fail(MessageOf(e));
    }
    WriteLines(*fetcher);
  });
});

}  // namespace
}  // namespace zelvaro::cli
