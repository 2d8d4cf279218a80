// zelvaro-cli follow URL [--interval S] [--count N] [--keep-going]: downloads
// the record at URL (http or https; redirects followed, never from https to
// http) through the page fetch every S seconds (default 60), N times
// (default 0: until interrupted), and after each download prints one JSON
// line
//   {"moves": M, "last_row": [caption, move, time, other], "changed": B,
//    "http_status": H, "body_bytes": N, "finished": F}
// M counts the move rows (row 0 not included), last_row is the move list's
// last row as the viewer shows it (UTF-8), and changed says whether the
// record's lines differ from the previous good download's (true on the
// first). Every download is one of a follow: the connection is kept for the
// next one and the validators the server gave (ETag, Last-Modified) are sent
// back, so an unchanged record may come as a 304 (H 304, N 0, the last good
// record's M and last_row); H is the final answer's status, N the record
// body's bytes as received. F says the main line has ended (投了, 詰み, ...);
// following then stops with exit status 0, unless --keep-going.
// A download that fails prints no line: its message goes to standard error,
// the next download is compared with the last one that succeeded, the wait
// before it doubles with every failure in a row (at most 10 minutes, or the
// interval when that is longer; at least what a 429 or 503 asks for with
// Retry-After, at most an hour), and the exit status is 1 when any failed,
// else 0.
#include <chrono>
#include <cmath>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "broadcast/Discovery.h"
#include "cli/Command.h"
#include "game/Record.h"
#include "game/RecordFollow.h"
#include "net/PageFetch.h"
#include "toolkit/TextCodec.h"

namespace zelvaro::cli {
namespace {

using Json = nlohmann::ordered_json;

Json FollowLine(const std::vector<std::string>& lines, const TFollowAnswer& answer) {
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
          {"changed", answer.changed},
          {"http_status", answer.http_status},
          {"body_bytes", answer.body_bytes},
          {"finished", RecordFinished(record)}};
}

int Follow(const std::string& url, double interval_seconds, long count, bool keep_going) {
  // Redirects are followed as the viewer follows an address.
  auto fetcher = std::make_unique<TPageFetcher>();
  FollowAddressRedirects(fetcher->FHttp);
  TFollowState state;
  TFollowPace pace(std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::duration<double>(interval_seconds)));
  int status = 0;
  for (long i = 0; count == 0 || i < count; ++i) {
    if (i > 0) std::this_thread::sleep_for(pace.Wait());
    TFollowAnswer answer;
    try {
      answer = fetcher->FetchFollowLines(url, state);
    } catch (const std::exception& e) {
      std::cerr << FetchErrorMessage(e) << std::endl;
      pace.Failed(TFollowPace::Clock::now(), RetryAfterOf(e));
      status = 1;
      continue;
    }
    pace.Succeeded(TFollowPace::Clock::now());
    const Json line = FollowLine(fetcher->Lines(), answer);
    std::cout << line.dump(-1, ' ', false, Json::error_handler_t::replace) << std::endl;
    // The game is over: nothing more will come.
    if (line["finished"].get<bool>() && !keep_going) return 0;
  }
  return status;
}

CommandRegistration registration([](CLI::App& app) {
  auto* cmd =
      app.add_subcommand("follow", "download a record again and again; one JSON line per download");
  auto url = std::make_shared<std::string>();
  auto interval = std::make_shared<double>(60.0);
  auto count = std::make_shared<long>(0);
  auto keep_going = std::make_shared<bool>(false);
  cmd->add_option("URL", *url, "http or https address of the record")->required();
  cmd->add_option("--interval", *interval, "seconds between two downloads (default 60)")
      ->check(CLI::Range(0.0, 86400.0));
  cmd->add_option("--count", *count, "how many downloads (default 0: until interrupted)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_flag("--keep-going", *keep_going, "go on following after the game has ended");
  cmd->callback([url, interval, count, keep_going] {
    if (const int status = Follow(*url, *interval, *count, *keep_going); status != 0) Exit(status);
  });
});

}  // namespace
}  // namespace zelvaro::cli
