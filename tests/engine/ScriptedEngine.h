// The scripted engine of tests/engine/scripted_engine.py as a program a
// test can name: a small shell script that runs it in one mode.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace zelvaro::testing {

// Writes (once per mode and log) and returns the path of a program that runs
// the scripted engine in `mode`, logging the commands it reads to `log`.
inline std::string ScriptedEngine(const std::string& mode, const std::string& log = "/dev/null") {
  // Debian's interpreter starts quickest; a shim in PATH may take seconds.
  const char* python = ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
  std::string name = mode;
  for (char c : log) name += (c == '/' ? '_' : c);
  const std::string path = "/tmp/zelvaro-engine-" + std::to_string(::getpid()) + "-" + name + ".sh";
  std::ofstream(path) << "#!/bin/sh\nexec " << python << " " ZELVARO_SOURCE_DIR
                      << "/tests/engine/scripted_engine.py " << mode << " " << log << "\n";
  ::chmod(path.c_str(), 0755);
  return path;
}

}  // namespace zelvaro::testing
