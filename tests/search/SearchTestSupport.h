// Shared by the search tests: a fetcher that serves lines from a table
// instead of the network, and records (with tests/common's Qt support).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "search/Discovery.h"
#include "tests/common/QtTestSupport.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"
#include "toolkit/qt/Platform.h"

namespace zelvaro::testing {

inline std::vector<std::string> Sjis(const std::vector<std::string>& utf8_lines) {
  std::vector<std::string> out;
  for (const auto& line : utf8_lines) out.push_back(Utf8ToSjis(line));
  return out;
}

// Serves pages from a table. An unknown URL fails like a 404; a URL in
// `failing` fails after delivering its lines (if any), like a connection
// that breaks part way.
class FakeFetcher : public ILineFetcher {
 public:
  std::map<std::string, std::vector<std::string>> pages;  // Shift_JIS lines
  std::map<std::string, std::string> failing;             // URL -> message
  std::vector<std::string> requested;
  std::function<void(const std::string& url)> on_fetch;

  void Serve(const std::string& url, const std::vector<std::string>& utf8_lines) {
    pages[url] = Sjis(utf8_lines);
  }

  void FetchLines(std::string_view url) override {
    const std::string key(url);
    requested.push_back(key);
    lines_.clear();
    if (on_fetch) on_fetch(key);
    auto page = pages.find(key);
    if (page != pages.end()) lines_ = page->second;
    auto failure = failing.find(key);
    if (failure != failing.end()) throw Exception(failure->second);
    if (page == pages.end()) throw Exception("HTTP/1.1 404 Not Found");
  }
  const std::vector<std::string>& Lines() const override { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// A small record with the four header labels (any of them left out when
// its value is empty) and a few moves.
inline std::vector<std::string> RecordLines(const std::string& start, const std::string& tournament,
                                            const std::string& sente, const std::string& gote) {
  std::vector<std::string> lines = {"# ---- テスト棋譜 ----"};
  if (!start.empty()) lines.push_back("開始日時：" + start);
  if (!tournament.empty()) lines.push_back("棋戦：" + tournament);
  if (!sente.empty()) lines.push_back("先手：" + sente);
  if (!gote.empty()) lines.push_back("後手：" + gote);
  lines.push_back("手数----指手---------消費時間--");
  lines.push_back("   1 ７六歩(77)    ( 0:01/00:00:01)");
  lines.push_back("*序盤");
  lines.push_back("   2 ３四歩(33)    ( 0:02/00:00:02)");
  return lines;
}

}  // namespace zelvaro::testing
