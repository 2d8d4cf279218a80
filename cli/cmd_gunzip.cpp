// zelvaro-cli gunzip [--block N]: feeds standard input to the gzip decoder in
// blocks of N bytes (default 32768) and writes every byte that reaches its
// target to standard output. Input that is not gzip gives no output. On an
// error the message goes to standard error and the exit status is 1.
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#include "cli/Command.h"
#include "streams/untGZIP.h"

namespace zelvaro::cli {
namespace {

// Hands what the decoder wrote to standard output and empties the target, so
// that memory stays bounded by one block's output.
void Flush(TMemoryStream& target) {
  if (target.Size() == 0) return;
  if (std::fwrite(target.Memory(), 1, static_cast<size_t>(target.Size()), stdout) !=
      static_cast<size_t>(target.Size())) {
    throw EStreamError("Cannot write to standard output");
  }
  target.Clear();
}

CommandRegistration registration([](CLI::App& app) {
  auto* cmd = app.add_subcommand("gunzip", "decode gzip from standard input to standard output");
  auto block = std::make_shared<int64_t>(32768);
  cmd->add_option("--block", *block, "bytes per write to the decoder")
      ->check(CLI::Range(int64_t{1}, int64_t{1} << 30));
  cmd->callback([block] {
    std::vector<char> buffer(static_cast<size_t>(*block));
    TMemoryStream target;
    TGzipDecompressStream gzip(&target);
    try {
      for (;;) {
        // A full block, unless the input ends first.
        size_t got = std::fread(buffer.data(), 1, buffer.size(), stdin);
        if (got > 0) {
          gzip.Write(buffer.data(), static_cast<int64_t>(got));
          Flush(target);
        }
        if (got < buffer.size()) {
          if (std::ferror(stdin)) throw EStreamError("Cannot read standard input");
          break;
        }
      }
    } catch (const Exception& e) {
      Fail(e.Message());
    }
    std::fflush(stdout);
  });
});

}  // namespace
}  // namespace zelvaro::cli
