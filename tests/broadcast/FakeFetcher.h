// Shared by the broadcast and search tests: a fetcher that serves lines
// from a table instead of the network, and small records. No Qt.
#pragma once

#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "broadcast/Discovery.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"

namespace zelvaro::testing {

inline std::vector<std::string> Sjis(const std::vector<std::string>& utf8_lines) {
  std::vector<std::string> out;
  for (const auto& line : utf8_lines) out.push_back(Utf8ToSjis(line));
  return out;
}

// Serves pages from a table. An unknown URL fails like a 404; a URL in
// `failing` fails after delivering its lines (if any), like a connection
// that breaks part way.
//
// Used directly, it is one fetcher on the calling thread. Factory() makes
// fetchers for the windows, one per download, that serve from the same
// tables on worker threads: they note each request under a lock
// (Requested()), hand `on_fetch` to `post` (the window tests queue it on the
// window thread, so that it runs before the download's result can arrive
// there), and hold a download of a URL in `held` until Release or its abort.
class TableFetcher : public ILineFetcher {
 public:
  std::map<std::string, std::vector<std::string>> pages;  // Shift_JIS lines
  std::map<std::string, std::string> failing;             // URL -> message
  std::vector<std::string> requested;
  std::function<void(const std::string& url)> on_fetch;
  std::set<std::string> held;
  // Runs `on_fetch` for a worker's download; by default at once, on the
  // worker's thread.
  std::function<void(std::function<void()>)> post = [](std::function<void()> f) { f(); };

  void Serve(const std::string& url, const std::vector<std::string>& utf8_lines) {
    pages[url] = Sjis(utf8_lines);
  }

  void FetchLines(std::string_view url) override {
    const std::string key(url);
    requested.push_back(key);
    lines_.clear();
    if (on_fetch) on_fetch(key);
    Answer(key, lines_);
  }
  const std::vector<std::string>& Lines() const override { return lines_; }

  TFetcherFactory Factory() {
    return [this] { return std::make_unique<Remote>(*this); };
  }
  std::vector<std::string> Requested() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requested;
  }
  void Release(const std::string& url) {
    std::lock_guard<std::mutex> lock(mutex_);
    held.erase(url);
    wake_.notify_all();
  }

 private:
  class Remote : public ILineFetcher {
   public:
    explicit Remote(TableFetcher& owner) : owner_(owner) {}
    void FetchLines(std::string_view url) override {
      const std::string key(url);
      lines_.clear();
      if (owner_.on_fetch) {
        TableFetcher* owner = &owner_;
        owner_.post([owner, key] { owner->on_fetch(key); });
      }
      {
        std::unique_lock<std::mutex> lock(owner_.mutex_);
        owner_.requested.push_back(key);
        owner_.wake_.wait(lock, [&] { return aborted_ || owner_.held.count(key) == 0; });
        if (aborted_) throw Exception("Request aborted.");
      }
      owner_.Answer(key, lines_);
    }
    const std::vector<std::string>& Lines() const override { return lines_; }
    void Abort() override {
      std::lock_guard<std::mutex> lock(owner_.mutex_);
      aborted_ = true;
      owner_.wake_.notify_all();
    }

   private:
    TableFetcher& owner_;
    std::vector<std::string> lines_;
    bool aborted_ = false;  // under the owner's lock
  };

  void Answer(const std::string& url, std::vector<std::string>& lines) {
    auto page = pages.find(url);
    if (page != pages.end()) lines = page->second;
    auto failure = failing.find(url);
    if (failure != failing.end()) throw Exception(failure->second);
    if (page == pages.end()) throw Exception("HTTP/1.1 404 Not Found");
  }

  std::vector<std::string> lines_;
  std::mutex mutex_;
  std::condition_variable wake_;
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

// A fresh folder under /tmp that is the current folder for the test's
// lifetime; removed with what the test left in it.
struct TempCurrentFolder {
  std::string path;
  std::string previous;
  TempCurrentFolder() {
    char dir[] = "/tmp/zelvaro-test-XXXXXX";
    if (!::mkdtemp(dir)) throw std::runtime_error("mkdtemp failed");
    path = dir;
    char* cwd = ::getcwd(nullptr, 0);
    previous = cwd ? cwd : "/";
    std::free(cwd);
    if (::chdir(path.c_str()) != 0) throw std::runtime_error("chdir failed");
  }
  ~TempCurrentFolder() {
    if (::chdir(previous.c_str()) != 0) return;
    const std::string command = "rm -rf '" + path + "'";
    (void)std::system(command.c_str());
  }
};

}  // namespace zelvaro::testing
