// TRegex against PCRE2 (interpreter and JIT) and std::regex on the work the
// program gives its six patterns:
//   time    the record reader's time pattern on 100,000 KIF move lines
//   link    the comment panel's address pattern on 5,000 comment texts, each
//           linked as the panel does it (up to 11 passes of search + replace)
//   open    "^[\t]+[ ]+<!--"      on 20,000 tournament-page lines
//   close   "-->"                  on the same lines
//   record  ".*<a href=\"(kifu/...).*"               on the same lines
//   server  ".*(http://live.example.jp/...).*"       on the same lines
// plus a failing leading-".*" search over long lines, which must take time
// in step with the line length.
//
// Every engine compiles each pattern once and runs it on the same work; the
// table at the end gives the median ns per line (per text for "link") and our
// time over each peer's. Run with --benchmark_filter etc. as usual.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <benchmark/benchmark.h>
#include <pcre2.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "regex/untRegex.h"
#include "toolkit/TextCodec.h"

namespace {

using zelvaro::TRegex;

const char* const kTimePattern = ".+\\(([0-9 ]+):[0-9]+\\/([0-9]+):([0-9]+):[0-9]+\\)";
const char* const kLinkPattern = ".*(http[s:]+[0-9a-zA-Z./?_=~-]+).*";
const char* const kOpenPattern = "^[\t]+[ ]+<!--";
const char* const kClosePattern = "-->";
const char* const kRecordPattern = ".*<a href=\"(kifu/[0-9a-zA-Z./?_=~-]+).*";
const char* const kServerPattern = ".*(http://live.example.jp/[0-9a-zA-Z./?_=~-]+).*";

// ---------------------------------------------------------------------------
// Work

std::string Sjis(const char* utf8) { return zelvaro::Utf8ToSjis(utf8); }

std::vector<std::string> MoveLines() {
  std::mt19937 rng(1);
  const std::vector<std::string> moves = {Sjis("７六歩(77)"), Sjis("３四歩(33)"),
                                          Sjis("同　銀(31)"), Sjis("２二角成(88)"),
                                          Sjis("５五桂打"),   Sjis("投了")};
  std::vector<std::string> lines;
  char buf[128];
  for (int i = 0; i < 100000; ++i) {
    const int n = 1 + i % 150;
    const std::string& move = moves[rng() % moves.size()];
    std::snprintf(buf, sizeof buf, "%4d ", n);
    std::string line = buf + move;
    line.append(14 - std::min<size_t>(13, move.size()), ' ');
    std::snprintf(buf, sizeof buf, "(%2u:%02u/%02u:%02u:%02u)", static_cast<unsigned>(rng() % 60),
                  static_cast<unsigned>(rng() % 60), static_cast<unsigned>(rng() % 6),
                  static_cast<unsigned>(rng() % 60), static_cast<unsigned>(rng() % 60));
    line += buf;
    if (rng() % 10 == 0) line += "+";
    lines.push_back(line);
  }
  return lines;
}

std::string RandomText(std::mt19937& rng, size_t length) {
  static const std::vector<std::string> words = {
      Sjis("先手"), Sjis("後手"), Sjis("棋戦"), Sjis("中継"), Sjis("解説"), "the", "shogi",
      "h",          "ht",         "http",       "<b>",        ":",          " ",   "2024",
  };
  std::string s;
  while (s.size() < length) s += words[rng() % words.size()];
  s.resize(length);
  return s;
}

std::vector<std::string> PageLines() {
  std::mt19937 rng(2);
  std::vector<std::string> lines;
  for (int i = 0; i < 20000; ++i) {
    const int kind = static_cast<int>(rng() % 100);
    std::string line;
    if (kind < 30) {
      line = "<tr><td><a href=\"kifu/ryuou2024" + std::to_string(10000 + rng() % 90000) +
             ".html\">" + RandomText(rng, 10 + rng() % 40) + "</a></td></tr>";
    } else if (kind < 45) {
      line = "<li>" + RandomText(rng, rng() % 40) + "<a href=\"http://live.example.jp/kifu/" +
             std::to_string(rng() % 100000) + ".html\">" + RandomText(rng, 10) + "</a></li>";
    } else if (kind < 50) {
      line = "\t\t  <!-- " + RandomText(rng, rng() % 30);
    } else if (kind < 55) {
      line = RandomText(rng, rng() % 30) + " -->";
    } else if (kind < 60) {
      line = "\t<td class=\"x\">" + RandomText(rng, 20 + rng() % 100) + "</td>";
    } else {
      line = "<p>" + RandomText(rng, 20 + rng() % 160) + "</p>";
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> CommentTexts() {
  std::mt19937 rng(3);
  std::vector<std::string> texts;
  for (int i = 0; i < 5000; ++i) {
    const size_t length = 100 + rng() % 1901;
    const int addresses = static_cast<int>(rng() % 13);
    std::string text;
    for (int a = 0; a < addresses; ++a) {
      text += RandomText(rng, length / (addresses + 1));
      text += (rng() % 2 ? "http://" : "https://") + std::string("www.example.jp/") +
              std::to_string(rng() % 1000) + "/page.html?x=" + std::to_string(a) + "<BR>";
    }
    if (text.size() < length) text += RandomText(rng, length - text.size());
    texts.push_back(text);
  }
  return texts;
}

const std::vector<std::string>& Moves() {
  static const auto* v = new std::vector<std::string>(MoveLines());
  return *v;
}
const std::vector<std::string>& Pages() {
  static const auto* v = new std::vector<std::string>(PageLines());
  return *v;
}
const std::vector<std::string>& Comments() {
  static const auto* v = new std::vector<std::string>(CommentTexts());
  return *v;
}

// ---------------------------------------------------------------------------
// Engines: Search(text) -> matched, Group1() -> text of group 1.

class Ours {
 public:
  explicit Ours(const char* pattern) { re_.SetExpression(pattern); }
  bool Search(const std::string& text) { return re_.Exec(text); }
  std::string Group1() { return re_.GroupText(1); }

 private:
  TRegex re_;
};

class Pcre {
 public:
  Pcre(const char* pattern, bool jit) : jit_(jit) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED,
                          PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY, &error, &offset, nullptr);
    if (jit_) pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE);
    data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
  }
  ~Pcre() {
    pcre2_match_data_free(data_);
    pcre2_code_free(code_);
  }
  bool Search(const std::string& text) {
    subject_ = &text;
    const auto* s = reinterpret_cast<PCRE2_SPTR>(text.data());
    const int rc = jit_ ? pcre2_jit_match(code_, s, text.size(), 0, 0, data_, nullptr)
                        : pcre2_match(code_, s, text.size(), 0, 0, data_, nullptr);
    return rc > 0;
  }
  std::string Group1() {
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data_);
    if (ov[2] == PCRE2_UNSET) return std::string();
    return subject_->substr(ov[2], ov[3] - ov[2]);
  }

 private:
  bool jit_;
  pcre2_code* code_ = nullptr;
  pcre2_match_data* data_ = nullptr;
  const std::string* subject_ = nullptr;
};

class StdRegex {
 public:
  explicit StdRegex(const char* pattern) : re_(pattern, std::regex::ECMAScript) {}
  bool Search(const std::string& text) { return std::regex_search(text, match_, re_); }
  std::string Group1() { return match_[1].matched ? match_[1].str() : std::string(); }

 private:
  std::regex re_;
  std::smatch match_;
};

// The comment panel's linking: the last address first, each found address
// replaced everywhere by a marker before the next search.
template <typename Engine>
size_t Linkify(Engine& engine, std::string text) {
  size_t found = 0;
  for (int i = 0; i <= 10; ++i) {
    if (!engine.Search(text)) break;
    const std::string address = engine.Group1();
    if (address.empty()) break;
    const std::string marker = "_MATCH_URL_" + std::to_string(i);
    for (size_t at = text.find(address); at != std::string::npos;
         at = text.find(address, at + marker.size())) {
      text.replace(at, address.size(), marker);
    }
    ++found;
  }
  return found;
}

template <typename Engine, typename... Args>
void RunLines(benchmark::State& state, const std::vector<std::string>& lines, const char* pattern,
              Args... args) {
  Engine engine(pattern, args...);
  size_t matched = 0;
  for (auto _ : state) {
    for (const auto& line : lines) matched += engine.Search(line) ? 1 : 0;
  }
  benchmark::DoNotOptimize(matched);
  state.counters["matched/pass"] =
      static_cast<double>(matched) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
}

// std::regex needs some 20 ms a text here, so it gets the first `limit` texts
// only; the table compares time per text.
template <typename Engine, typename... Args>
void RunComments(benchmark::State& state, size_t limit, Args... args) {
  Engine engine(kLinkPattern, args...);
  const size_t count = std::min(limit, Comments().size());
  size_t found = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < count; ++i) found += Linkify(engine, Comments()[i]);
  }
  benchmark::DoNotOptimize(found);
  state.counters["links/pass"] =
      static_cast<double>(found) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}

struct Work {
  const char* name;
  const char* pattern;
  const std::vector<std::string>& (*lines)();
};
const Work kWork[] = {
    {"time", kTimePattern, &Moves},     {"open", kOpenPattern, &Pages},
    {"close", kClosePattern, &Pages},   {"record", kRecordPattern, &Pages},
    {"server", kServerPattern, &Pages},
};

void RegisterAll() {
  for (const Work& w : kWork) {
    const std::string base = std::string("regex/") + w.name + "/";
    benchmark::RegisterBenchmark((base + "ours").c_str(), [w](benchmark::State& s) {
      RunLines<Ours>(s, w.lines(), w.pattern);
    });
    benchmark::RegisterBenchmark((base + "pcre2").c_str(), [w](benchmark::State& s) {
      RunLines<Pcre>(s, w.lines(), w.pattern, false);
    });
    benchmark::RegisterBenchmark((base + "pcre2-jit").c_str(), [w](benchmark::State& s) {
      RunLines<Pcre>(s, w.lines(), w.pattern, true);
    });
    benchmark::RegisterBenchmark((base + "std").c_str(), [w](benchmark::State& s) {
      RunLines<StdRegex>(s, w.lines(), w.pattern);
    });
  }
  benchmark::RegisterBenchmark("regex/link/ours",
                               [](benchmark::State& s) { RunComments<Ours>(s, SIZE_MAX); });
  benchmark::RegisterBenchmark("regex/link/pcre2",
                               [](benchmark::State& s) { RunComments<Pcre>(s, SIZE_MAX, false); });
  benchmark::RegisterBenchmark("regex/link/pcre2-jit",
                               [](benchmark::State& s) { RunComments<Pcre>(s, SIZE_MAX, true); });
  benchmark::RegisterBenchmark("regex/link/std",
                               [](benchmark::State& s) { RunComments<StdRegex>(s, 250); });

  // A failing leading-.* search: the time per byte must not grow with the
  // line. The line is full of "h" and "http" so that every byte is a place
  // the address could start.
  auto long_line = [](benchmark::State& s, bool plain) {
    std::mt19937 rng(4);
    const std::string line = RandomText(rng, static_cast<size_t>(s.range(0)));
    TRegex re;
    re.SetPlainSearch(plain);
    re.SetMatchLimit(0);
    re.SetExpression(kServerPattern);
    for (auto _ : s) benchmark::DoNotOptimize(re.Exec(line));
    s.SetBytesProcessed(static_cast<int64_t>(s.iterations()) * s.range(0));
  };
  benchmark::RegisterBenchmark("longline/ours", [=](benchmark::State& s) { long_line(s, false); })
      ->RangeMultiplier(4)
      ->Range(16 << 10, 1 << 20)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("longline/ours-every-start",
                               [=](benchmark::State& s) { long_line(s, true); })
      ->RangeMultiplier(4)
      ->Range(4 << 10, 64 << 10)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark(
      "longline/pcre2",
      [](benchmark::State& s) {
        std::mt19937 rng(4);
        const std::string line = RandomText(rng, static_cast<size_t>(s.range(0)));
        Pcre re(kServerPattern, false);
        for (auto _ : s) benchmark::DoNotOptimize(re.Search(line));
        s.SetBytesProcessed(static_cast<int64_t>(s.iterations()) * s.range(0));
      })
      ->RangeMultiplier(4)
      ->Range(16 << 10, 1 << 20)
      ->Unit(benchmark::kMicrosecond);
}

// Collects the median of every benchmark for the table printed at the end.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      const std::string name = run.run_name.function_name;
      const auto items = run.counters.find("items_per_second");
      if (items == run.counters.end() || items->second.value <= 0) continue;
      ns_per_item_[name] = 1e9 / items->second.value;
    }
  }
  void PrintTable() const {
    std::printf("\n%-8s %12s %12s %12s %12s   %9s %9s %9s\n", "pattern", "ours ns", "pcre2 ns",
                "jit ns", "std ns", "/pcre2", "/jit", "/std");
    for (const char* name : {"time", "link", "open", "close", "record", "server"}) {
      auto get = [&](const char* engine) {
        const auto it = ns_per_item_.find(std::string("regex/") + name + "/" + engine);
        return it == ns_per_item_.end() ? -1.0 : it->second;
      };
      const double ours = get("ours");
      const double pcre = get("pcre2");
      const double jit = get("pcre2-jit");
      const double stdre = get("std");
      if (ours < 0) continue;
      auto ratio = [&](double peer) { return peer > 0 ? ours / peer : 0.0; };
      std::printf("%-8s %12.1f %12.1f %12.1f %12.1f   %9.2f %9.2f %9.3f\n", name, ours, pcre, jit,
                  stdre, ratio(pcre), ratio(jit), ratio(stdre));
    }
    std::printf("(ns per line; for link ns per comment text with all its passes)\n");
  }

 private:
  std::map<std::string, double> ns_per_item_;
};

}  // namespace

int main(int argc, char** argv) {
  // Medians of five runs unless told otherwise.
  std::vector<char*> args(argv, argv + argc);
  std::string reps = "--benchmark_repetitions=5";
  std::string aggregates = "--benchmark_report_aggregates_only=true";
  bool has_reps = false;
  for (int i = 1; i < argc; ++i)
    has_reps |= std::string(argv[i]).find("repetitions") != std::string::npos;
  if (!has_reps) {
    args.push_back(reps.data());
    args.push_back(aggregates.data());
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  RegisterAll();
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintTable();
  benchmark::Shutdown();
  return 0;
}
