// zelvaro-cli follow URL [--interval S] [--count N]: downloads the record at
// URL (http or https; redirects followed, never from https to http) through
// the page fetch every S seconds (default 60), N times (default
// 0: until interrupted), and after each download prints one JSON line
//   {"moves": M, "last_row": [caption, move, time, other], "changed": B}
// M counts the move rows (row 0 not included), last_row is the move list's
// last row as the viewer shows it (UTF-8), and changed says whether the
// record's lines differ from the previous download's (true on the first).
// A download that fails prints no line: its message goes to standard error,
// the next download is compared with the last one that succeeded, and the
// exit status is 1 when any failed, else 0.
#include <chrono>
#include <cmath>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/Command.h"
#include "game/KifReader.h"
#include "net/PageFetch.h"
#include "game/RecordFormat.h"
#include "broadcast/Discovery.h"
#include "toolkit/TextCodec.h"

namespace zelvaro::cli {
namespace {

using Json = nlohmann::ordered_json;

Json FollowLine(const std::vector<std::string>& lines, bool changed) {
  // Any record format the viewer reads; the page fetch gives CP932 lines.
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\n";
  TKifRecord record;
  ReadRecordBytes(record, bytes, TRecordEncoding::kCp932);
  const TKifRecord::Row& last = record.rows.back();  // row 0 is always there
  return {{"moves", record.rows.size() - 1},
          {"last_row",
           {Utf16ToUtf8(last.caption), Utf16ToUtf8(last.move), Utf16ToUtf8(last.time),
            Utf16ToUtf8(last.other)}},
          {"changed", changed}};
}

int Follow(const std::string& url, double interval_seconds, long count) {
  // Redirects are followed as the viewer follows an address.
  auto fetcher = std::make_unique<TPageFetcher>();
  FollowAddressRedirects(fetcher->FHttp);
  std::optional<std::vector<std::string>> previous;
  int status = 0;
  const auto interval = std::chrono::duration<double>(interval_seconds);
  for (long i = 0; count == 0 || i < count; ++i) {
    if (i > 0) std::this_thread::sleep_for(interval);
    try {
      fetcher->FetchLines(url);
    } catch (const std::exception& e) {
      std::cerr << FetchErrorMessage(e) << std::endl;
      status = 1;
      continue;
    }
    const std::vector<std::string>& lines = fetcher->Lines();
    const bool changed = !previous || *previous != lines;
    std::cout << FollowLine(lines, changed).dump(-1, ' ', false, Json::error_handler_t::replace)
              << std::endl;
    previous = lines;
  }
  return status;
}

CommandRegistration registration([](CLI::App& app) {
  auto* cmd =
      app.add_subcommand("follow", "download a record again and again; one JSON line per download");
  auto url = std::make_shared<std::string>();
  auto interval = std::make_shared<double>(60.0);
  auto count = std::make_shared<long>(0);
  cmd->add_option("URL", *url, "http or https address of the record")->required();
  cmd->add_option("--interval", *interval, "seconds between two downloads (default 60)")
      ->check(CLI::Range(0.0, 86400.0));
  cmd->add_option("--count", *count, "how many downloads (default 0: until interrupted)")
      ->check(CLI::NonNegativeNumber);
  cmd->callback([url, interval, count] {
    if (const int status = Follow(*url, *interval, *count); status != 0) Exit(status);
  });
});

}  // namespace
}  // namespace zelvaro::cli
