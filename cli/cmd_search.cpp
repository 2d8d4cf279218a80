// zelvaro-cli search [--server URL] [--sponsor URL]: the discovery without
// windows. One JSON line per game found, in the order the search finds them:
//   {"start": ..., "tournament": ..., "sente": ..., "gote": ..., "url": ...}
// (UTF-8). A page that cannot be fetched has its message written to standard
// error, in its place among the lines, and the search goes on. Exit status 0.
// The downloads run in parallel as in the search window; the lines come in
// the same order as from one download after the other.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "broadcast/Discovery.h"
#include "broadcast/PageLineFetcher.h"
#include "cli/Command.h"
#include "toolkit/TextCodec.h"

namespace zelvaro::cli {
namespace {

class JsonLines : public ISearchListener {
 public:
  void PageFailed(int, const std::string& message) override {
    std::cout.flush();
    std::cerr << message << std::endl;
  }
  void RowFound(const TGameRow& row) override {
    const nlohmann::ordered_json line = {{"start", SjisToUtf8(row.Start)},
                                         {"tournament", SjisToUtf8(row.Tournament)},
                                         {"sente", SjisToUtf8(row.Sente)},
                                         {"gote", SjisToUtf8(row.Gote)},
                                         {"url", SjisToUtf8(row.Url)}};
    std::cout << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << std::endl;
  }
};

CommandRegistration registration([](CLI::App& app) {
  auto* cmd = app.add_subcommand("search", "search the tournament pages; one JSON line per game");
  auto server = std::make_shared<std::string>();
  auto sponsor = std::make_shared<std::string>();
  cmd->add_option("--server", *server, "base URL of the broadcast server");
  cmd->add_option("--sponsor", *sponsor, "base URL of the sponsor host");
  cmd->callback([server, sponsor] {
    TBroadcastHosts hosts = DefaultHosts();
    try {
      if (!server->empty()) hosts.Server = NormaliseBaseUrl(*server);
      if (!sponsor->empty()) hosts.Sponsor = NormaliseBaseUrl(*sponsor);
    } catch (const Exception& e) {
      Fail(e.Message(), 2);
    }
    JsonLines out;
    RunSearch(hosts, MakePageFetcher, out);
  });
});

}  // namespace
}  // namespace zelvaro::cli
