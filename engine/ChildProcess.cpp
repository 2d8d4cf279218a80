#include "engine/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

extern char** environ;

namespace zelvaro {
namespace {

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

TChildProcess::~TChildProcess() { Stop(std::chrono::milliseconds(0)); }

bool TChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
  if (pid_ > 0) return false;
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return false;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  if (error != 0) {
    ::close(in[1]);
    ::close(out[0]);
    return false;
  }
  pid_ = pid;
  in_fd_ = in[1];
  out_fd_ = out[0];
  splitter_.Reset();
  // A child that stops reading must not end us with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  return true;
}

bool TChildProcess::WriteLine(const std::string& line) {
  if (in_fd_ < 0) return false;
  const std::string data = line + "\n";
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(in_fd_, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      CloseFd(in_fd_);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::vector<std::string> TChildProcess::ReadLines(std::chrono::milliseconds timeout) {
  std::vector<std::string> lines;
  if (out_fd_ < 0) return lines;
  pollfd fd{out_fd_, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&fd, 1, static_cast<int>(timeout.count()));
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return lines;
  char buffer[65536];
  ssize_t n;
  do {
    n = ::read(out_fd_, buffer, sizeof buffer);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    lines = splitter_.Finish();
    CloseFd(out_fd_);
    return lines;
  }
  return splitter_.Feed(std::string_view(buffer, static_cast<size_t>(n)));
}

bool TChildProcess::Exited() {
  if (pid_ <= 0) return true;
  int status;
  pid_t r;
  do {
    r = ::waitpid(pid_, &status, WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return false;
  pid_ = -1;
  return true;
}

void TChildProcess::Stop(std::chrono::milliseconds limit) {
  CloseFd(in_fd_);
  const auto end = std::chrono::steady_clock::now() + limit;
  while (pid_ > 0 && !Exited() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  CloseFd(out_fd_);
}

TUsiEngine::~TUsiEngine() { Quit(); }

void TUsiEngine::HandleEvent(const TUsiEvent& event) {
  switch (event.kind) {
    case TUsiEvent::Kind::kReady:
      ready_ = true;
      break;
    case TUsiEvent::Kind::kInfo:
      if (event.info.serial == client_.Serial()) analysis_.Add(event.info);
      break;
    case TUsiEvent::Kind::kBestMove:
      if (event.info.serial == client_.Serial()) bestmove_ = true;
      break;
    case TUsiEvent::Kind::kFault:
      process_.Stop(std::chrono::milliseconds(0));
      throw EEngineError(UsiFaultMessage(*event.fault));
  }
}

template <typename Done>
void TUsiEngine::Run(Done done, std::optional<TUsiClock::time_point> until) {
  for (;;) {
    for (const std::string& command : client_.TakeCommands()) process_.WriteLine(command);
    for (const TUsiEvent& event : client_.TakeEvents()) HandleEvent(event);
    auto now = TUsiClock::now();
    if (done() || (until && now >= *until)) return;
    auto next = client_.NextDeadline();
    if (until && (!next || *until < *next)) next = until;
    auto wait = next ? std::chrono::duration_cast<std::chrono::milliseconds>(*next - now)
                     : std::chrono::milliseconds(1000);
    // Short waits: the engine's exit is noticed by the process itself, since
    // a child it left behind may hold its output open.
    wait = std::clamp(wait, std::chrono::milliseconds(1), std::chrono::milliseconds(100));
    for (const std::string& line : process_.ReadLines(wait)) client_.OnLine(line, TUsiClock::now());
    if (!process_.Finished() && process_.Exited()) {
      // What it wrote before it ended is still read, without waiting for more.
      for (int i = 0; i < 64 && !process_.Finished(); ++i) {
        const std::vector<std::string> lines = process_.ReadLines(std::chrono::milliseconds(0));
        if (lines.empty()) break;
        for (const std::string& line : lines) client_.OnLine(line, TUsiClock::now());
      }
      process_.Stop(std::chrono::milliseconds(0));
      client_.OnExit(TUsiClock::now());
    } else if (process_.Finished()) {
      process_.Stop(std::chrono::milliseconds(0));
      client_.OnExit(TUsiClock::now());
    }
    client_.OnTick(TUsiClock::now());
  }
}

void TUsiEngine::Start(const std::string& program) {
  if (!process_.Start(program)) {
    throw EEngineError(UsiFaultMessage({TUsiFaultKind::kNotStarted, ""}) + " (" + program + ")");
  }
  client_.Start(TUsiClock::now());
  Run([this] { return ready_; }, std::nullopt);
}

TUsiAnalysis TUsiEngine::Analyse(const std::string& position, std::chrono::milliseconds duration) {
  analysis_ = {};
  bestmove_ = false;
  client_.SetPosition(position, TUsiClock::now());
  // The merge of quick changes may hold the start back: the time counts from "go".
  Run([this] { return !client_.Searching().empty() || bestmove_; }, std::nullopt);
  Run([this] { return bestmove_; }, TUsiClock::now() + duration);
  client_.ClearPosition(TUsiClock::now());
  Run([this] { return bestmove_; }, std::nullopt);
  return analysis_;
}

TUsiAnalysis TUsiEngine::AnalyseNodes(const std::string& position, std::int64_t nodes) {
  analysis_ = {};
  bestmove_ = false;
  client_.SetGoCommand("go nodes " + std::to_string(nodes));
  client_.SetPosition(position, TUsiClock::now());
  // An engine that ignores the node count is stopped after kNodesSearchLimit,
  // as a timed search is: no row waits without bound.
  Run([this] { return bestmove_; }, TUsiClock::now() + kNodesSearchLimit);
  if (!bestmove_) {
    client_.ClearPosition(TUsiClock::now());
    Run([this] { return bestmove_; }, std::nullopt);
  }
  client_.SetGoCommand("go infinite");
  return analysis_;
}

void TUsiEngine::Quit() {
  if (!process_.Running()) return;
  client_.Quit(TUsiClock::now());
  for (const std::string& command : client_.TakeCommands()) process_.WriteLine(command);
  process_.Stop(kQuitLimit);
}

}  // namespace zelvaro
