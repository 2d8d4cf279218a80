// Runs zelvaro-cli, or any command line, as a script would: through the
// shell; standard output, standard error and the exit status come back.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace zelvaro::testing {

struct CliResult {
  int status;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs a shell command line; its standard output, standard error and exit
// status come back.
inline CliResult RunCommand(const std::string& command) {
  char err_path[] = "/tmp/zelvaro-cli-err-XXXXXX";
  const int fd = ::mkstemp(err_path);
  if (fd >= 0) ::close(fd);
  // Braced, so that redirections inside `command` still apply.
  const std::string full =
      "{ " + command + "\n} 2>" + std::string(fd >= 0 ? err_path : "/dev/null");
  CliResult result{-1, {}, {}};
  FILE* pipe = popen(full.c_str(), "r");
  if (pipe != nullptr) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  if (fd >= 0) {
    std::ifstream in(err_path, std::ios::binary);
    result.err.assign(std::istreambuf_iterator<char>(in), {});
    std::remove(err_path);
  }
  return result;
}

// zelvaro-cli of the build with `arguments`; `prefix` goes before the
// program (e.g. "prlimit --as=N").
inline CliResult RunCli(const std::string& arguments, const std::string& prefix = "") {
  return RunCommand(prefix + (prefix.empty() ? "" : " ") + std::string(ZELVARO_BINARY_DIR) +
                    "/zelvaro-cli " + arguments);
}

}  // namespace zelvaro::testing
