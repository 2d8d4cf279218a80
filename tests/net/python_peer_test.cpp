// The client against a real peer: Python's http.server on 127.0.0.1.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "net/untHttp.h"

namespace zelvaro {
namespace {

namespace fs = std::filesystem;

// Runs "python3 -m http.server" on a free loopback port over `root` for as
// long as it lives.
class PythonHttpServer {
 public:
  explicit PythonHttpServer(const fs::path& root) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      std::FILE* null = std::fopen("/dev/null", "w");
      if (null) ::dup2(fileno(null), STDERR_FILENO);
      ::close(out[0]);
      ::execlp("python3", "python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
               "--directory", root.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(out[1]);
    // "Serving HTTP on 127.0.0.1 port N (...) ..."
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    size_t at = line.find(" port ");
    if (at != std::string::npos) port_ = std::stoi(line.substr(at + 6));
  }
  ~PythonHttpServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  int Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

TEST(PythonPeer, BodiesArriveByteForByte) {
  const fs::path root = fs::current_path() / ("python_peer_" + std::to_string(::getpid()));
  fs::create_directories(root);
  const size_t sizes[] = {0, 1, 32767, 32768, 100000, 5 * 1024 * 1024};
  std::vector<std::string> bodies;
  for (size_t size : sizes) {
    std::string body(size, '\0');
    uint32_t x = static_cast<uint32_t>(size) * 2654435761u + 1;
    for (char& b : body) {
      x = x * 1103515245u + 12345u;
      b = static_cast<char>(x >> 23);
    }
    std::ofstream(root / ("f" + std::to_string(size)), std::ios::binary) << body;
    bodies.push_back(std::move(body));
  }

  {
    PythonHttpServer server(root);
    if (server.Port() == 0) GTEST_SKIP() << "python3 http.server is not available";
    THttpClient client;
    ApplyProgramRequestSettings(client);
    for (size_t i = 0; i < std::size(sizes); ++i) {
      SCOPED_TRACE(sizes[i]);
      TMemoryStream out;
      client.Get(
          "http://127.0.0.1:" + std::to_string(server.Port()) + "/f" + std::to_string(sizes[i]),
          &out);
      EXPECT_EQ(client.Response.StatusCode, 200);
      EXPECT_EQ(out.Size(), static_cast<int64_t>(sizes[i]));
      EXPECT_TRUE(out.View() == bodies[i]);
    }
    try {
      client.Get("http://127.0.0.1:" + std::to_string(server.Port()) + "/missing.kif");
      FAIL();
    } catch (const EHttpProtocolError& e) {
      EXPECT_EQ(e.ErrorCode, 404);
      EXPECT_EQ(e.Message(), "HTTP/1.0 404 File not found");
    }
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace zelvaro
