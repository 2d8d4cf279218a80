// zelvaro-cli gunzip [--block N]: feeds standard input to the gzip decoder in
// blocks of N bytes (default 32768) and writes every byte that reaches its
// target to standard output as it comes. Input that is not gzip, damaged or
// cut gzip data and garbage after the last member are errors: the message
// goes to standard error and the exit status is 1. Empty input gives no
// output and status 0.
#include <cstdio>
#include <vector>

#include "cli/Command.h"
#include "cli/StdoutStream.h"
#include "streams/untGZIP.h"

namespace zelvaro::cli {
namespace {

CommandRegistration registration([](CLI::App& app) {
  auto* cmd = app.add_subcommand("gunzip", "decode gzip from standard input to standard output");
  auto block = std::make_shared<int64_t>(32768);
  cmd->add_option("--block", *block, "bytes per write to the decoder")
      ->check(CLI::Range(int64_t{1}, int64_t{1} << 30));
  cmd->callback([block] {
    try {
      std::vector<char> buffer(static_cast<size_t>(*block));
      // Straight to standard output: memory stays at one block and the
      // decoder's own buffers, whatever the text's size.
      StdoutStream out;
      TGzipDecompressStream gzip(&out);
      bool empty = true;
      for (;;) {
        // A full block, unless the input ends first.
        size_t got = std::fread(buffer.data(), 1, buffer.size(), stdin);
        if (got > 0) {
          empty = false;
          gzip.Write(buffer.data(), static_cast<int64_t>(got));
        }
        if (got < buffer.size()) {
          if (std::ferror(stdin)) throw EStreamError("Cannot read standard input");
          break;
        }
      }
      gzip.Finish();
      // The decoder leaves such input alone (a page labelled gzip may be
      // plain); a file given to gunzip must be gzip.
      if (!empty && !gzip.Header().HeaderSeen) throw EStreamError("gzip: not in gzip format");
    } catch (const std::exception& e) {
      Fail(MessageOf(e));
    }
    if (std::fflush(stdout) != 0) Fail("Cannot write to standard output");
  });
});

}  // namespace
}  // namespace zelvaro::cli
