// zelvaro-cli fetch URL: one page fetch as the search window makes it. Each
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
  cmd->add_option("URL", *url, "http address")->required();
  cmd->callback([url] {
    auto fetcher = std::make_unique<TPageFetcher>();
    try {
      fetcher->FetchLines(*url);
    } catch (const Exception& e) {
      WriteLines(*fetcher);
      Fail(e.Message());
    }
    WriteLines(*fetcher);
  });
});

}  // namespace
}  // namespace zelvaro::cli
