// Runs zelvaro-cli, or any command line, as a script would: through the
// shell; standard output and the exit status come back.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace zelvaro::testing {

struct CliResult {
  int status;  // -1 when the program did not exit normally
  std::string out;
};

// Runs a shell command line; its standard output and exit status come back.
inline CliResult RunCommand(const std::string& command) {
  CliResult result{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// zelvaro-cli of the build with `arguments`; standard error is dropped.
inline CliResult RunCli(const std::string& arguments) {
  return RunCommand(std::string(ZELVARO_BINARY_DIR) + "/zelvaro-cli " + arguments + " 2>/dev/null");
}

}  // namespace zelvaro::testing
