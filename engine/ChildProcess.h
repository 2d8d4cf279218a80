// A child process with pipes, for programs without Qt (zelvaro-cli): the
// engine is started with posix_spawn, its standard input written line by
// line, its standard output (standard error too) read as lines of any
// length and any bytes. The destructor kills the child if it is still
// there and reaps it, so no engine outlives its owner.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/LineSplitter.h"
#include "engine/UsiClient.h"
#include "toolkit/Exception.h"

namespace zelvaro {

// An engine that failed: its fault in words, with its last line.
class EEngineError : public Exception {
 public:
  using Exception::Exception;
};

class TChildProcess {
 public:
  TChildProcess() = default;
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // Starts `program` with `arguments`. False (and nothing running) when it
  // cannot be started, e.g. a missing or non-executable file.
  bool Start(const std::string& program, const std::vector<std::string>& arguments = {});
  // Writes `line` and a line end; false when the child no longer reads.
  bool WriteLine(const std::string& line);
  // Waits up to `timeout` for output and returns the complete lines read
  // (without line ends; a line longer than kMaxUsiLineLength is cut). At
  // the end of the output the unfinished last line is returned and
  // Finished() becomes true.
  std::vector<std::string> ReadLines(std::chrono::milliseconds timeout);
  bool Finished() const { return out_fd_ < 0; }
  bool Running() const { return pid_ > 0; }
  // Whether the child has ended (reaped now if so).
  bool Exited();
  // Waits up to `limit` for the child to end, then kills it; reaps it.
  void Stop(std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  int in_fd_ = -1;
  int out_fd_ = -1;
  TLineSplitter splitter_;
};

// Runs a USI engine in a child process for one search after the other:
// what zelvaro-cli's analyse uses. Errors throw EEngineError with the
// fault's message (Japanese, with the engine's last line).
class TUsiEngine {
 public:
  explicit TUsiEngine(TUsiSettings settings) : client_(settings) {}
  ~TUsiEngine();
  // Starts the engine and waits until it is ready.
  void Start(const std::string& program);
  // Searches `position` ("go infinite") for `duration`, then stops it and
  // returns what was found once "bestmove" has come.
  TUsiAnalysis Analyse(const std::string& position, std::chrono::milliseconds duration);
  // Searches `position` to `nodes` nodes ("go nodes"): what was found once
  // the engine has ended the search with "bestmove", or once it has been
  // stopped after kNodesSearchLimit without ending it.
  static constexpr std::chrono::seconds kNodesSearchLimit{60};
  TUsiAnalysis AnalyseNodes(const std::string& position, std::int64_t nodes);
  // "quit", and the process killed after kQuitLimit.
  void Quit();
  const TUsiClient& Client() const { return client_; }

 private:
  // Writes the client's commands, reads lines into it and takes its events
  // until `until` or until `done` says so.
  template <typename Done>
  void Run(Done done, std::optional<TUsiClock::time_point> until);
  void HandleEvent(const TUsiEvent& event);

  TUsiClient client_;
  TChildProcess process_;
  bool ready_ = false;
  bool bestmove_ = false;
  TUsiAnalysis analysis_;
};

}  // namespace zelvaro
