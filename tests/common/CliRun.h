// Runs zelvaro-cli as a script would: the arguments go through the shell;
// standard output, standard error and the exit status come back.
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

// `prefix` goes before the program (e.g. "prlimit --as=N").
inline CliResult RunCli(const std::string& arguments, const std::string& prefix = "") {
  char err_path[] = "/tmp/zelvaro-cli-err-XXXXXX";
  const int fd = ::mkstemp(err_path);
  if (fd >= 0) ::close(fd);
  const std::string command = prefix + (prefix.empty() ? "" : " ") +
                              std::string(ZELVARO_BINARY_DIR) + "/zelvaro-cli " + arguments +
                              " 2>" + (fd >= 0 ? err_path : "/dev/null");
  CliResult result{-1, {}, {}};
  FILE* pipe = popen(command.c_str(), "r");
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

}  // namespace zelvaro::testing
