// The demo broadcast (tools/demo-broadcast) run by a test on a free port of
// 127.0.0.1.
#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "broadcast/PageLineFetcher.h"

namespace zelvaro::testing {

// The demo broadcast as a child process; killed when the test ends.
class DemoBroadcast {
 public:
  explicit DemoBroadcast(const QStringList& extra = {}) {
    const QString port_file = dir_.filePath("port");
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(
        "python3",
        QStringList{QString(ZELVARO_SOURCE_DIR) + "/tools/demo-broadcast/demo_broadcast.py",
                    "--port", "0", "--port-file", port_file, "--live-interval", "0"} +
            extra);
    for (int i = 0; i < 200 && base_.empty(); ++i) {
      QFile file(port_file);
      if (file.open(QIODevice::ReadOnly)) {
        base_ = "http://127.0.0.1:" + file.readAll().trimmed().toStdString();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
  }
  ~DemoBroadcast() { Stop(); }
  // Ends the server; its port then refuses connections.
  void Stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(5000);
  }
  const std::string& Base() const { return base_; }

  // The control paths answer in plain lines.
  std::vector<std::string> Get(const std::string& path) {
    auto fetcher = MakePageFetcher();
    fetcher->FetchLines(base_ + path);
    return fetcher->Lines();
  }

 private:
  QTemporaryDir dir_;
  QProcess process_;
  std::string base_;
};

}  // namespace zelvaro::testing
