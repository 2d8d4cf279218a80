// zelvaro-cli get URL [-v]: one GET with the program's request settings.
// The body goes to standard output byte for byte; exit status 0. With -v the
// request head and each reply head go to standard error as they pass. On an
// error its message (for an error status, the status line) goes to standard
// error and the exit status is 1.
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/Command.h"
#include "net/untHttp.h"

namespace zelvaro::cli {
namespace {

// Writes the body straight through to standard output as it arrives.
class StdoutStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    size_t written = std::fwrite(buffer, 1, static_cast<size_t>(count), stdout);
    position_ += static_cast<int64_t>(written);
    return static_cast<int64_t>(written);
  }
  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    // Only where it already is: the client asks its position and size.
    int64_t target = origin == SeekOrigin::kCurrent ? position_ + offset : offset;
    if (origin == SeekOrigin::kEnd) target = position_ + offset;
    if (target != position_) throw EStreamError("Standard output cannot seek");
    return position_;
  }

 private:
  int64_t position_ = 0;
};

CommandRegistration registration([](CLI::App& app) {
  auto* cmd =
      app.add_subcommand("get", "GET a URL with the program's request settings; body to stdout");
  auto url = std::make_shared<std::string>();
  auto verbose = std::make_shared<bool>(false);
  cmd->add_option("URL", *url, "http address")->required();
  cmd->add_flag("-v", *verbose, "write the request and reply heads to standard error");
  cmd->callback([url, verbose] {
    THttpClient client;
    ApplyProgramRequestSettings(client);
    if (*verbose) {
      client.OnHeadSent = [](std::string_view head) { std::cerr << head << std::flush; };
      client.OnHeadReceived = [](std::string_view head) { std::cerr << head << std::flush; };
    }
    StdoutStream out;
    try {
      client.Get(*url, &out);
    } catch (const Exception& e) {
      Fail(e.Message());
    }
    std::fflush(stdout);
  });
});

}  // namespace
}  // namespace zelvaro::cli
