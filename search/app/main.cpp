// Zelvaro: the search window, which owns the viewer.
//
//   zelvaro [--server URL] [--sponsor URL]
//
// Without arguments the built-in tournament table is searched; the two
// options replace the broadcast server's and the sponsor host's base
// addresses (a mirror, or the demo broadcast). Nothing else is read.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "search/PageLineFetcher.h"
#include "search/untSubForm.h"
#include "toolkit/Exception.h"
#include "toolkit/qt/Platform.h"

namespace {

constexpr char kUsage[] = "usage: zelvaro [--server URL] [--sponsor URL]\n";

// An error no handler caught is shown and the program keeps running.
class TApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      // Running out of memory too: "Out of memory." in the box.
      zelvaro::ShowMessage(QString::fromStdString(zelvaro::MessageOf(e)),
                           QStringLiteral("Zelvaro"));
      return false;
    } catch (...) {
      zelvaro::ShowMessage(QStringLiteral("Unknown error."), QStringLiteral("Zelvaro"));
      return false;
    }
  }
};

// Reads --server and --sponsor (as "--name URL" or "--name=URL"). Returns
// false after writing the reason to standard error.
bool ReadArguments(int argc, char** argv, zelvaro::TBroadcastHosts& hosts) {
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i], value;
    const size_t eq = name.find('=');
    if (eq != std::string::npos && name.rfind("--", 0) == 0) {
      value = name.substr(eq + 1);
      name.resize(eq);
    } else if (name == "--server" || name == "--sponsor") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "zelvaro: %s needs a URL\n%s", name.c_str(), kUsage);
        return false;
      }
      value = argv[++i];
    }
    if (name == "-h" || name == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    std::string* target = name == "--server"    ? &hosts.Server
                          : name == "--sponsor" ? &hosts.Sponsor
                                                : nullptr;
    if (!target) {
      std::fprintf(stderr, "zelvaro: unknown argument %s\n%s", argv[i], kUsage);
      return false;
    }
    try {
      *target = zelvaro::NormaliseBaseUrl(value);
    } catch (const zelvaro::Exception& e) {
      std::fprintf(stderr, "zelvaro: %s: %s\n", name.c_str(), e.Message().c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  zelvaro::TBroadcastHosts hosts = zelvaro::DefaultHosts();
  if (!ReadArguments(argc, argv, hosts)) return 2;
  try {
    // Qt gets no arguments of its own: the program reads nothing else.
    int qt_argc = 1;
    TApplication app(qt_argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelvaro"));
    // The installed desktop entry and icon (none when run from the build).
    QGuiApplication::setDesktopFileName(QStringLiteral(ZELVARO_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(ZELVARO_APP_ID)));
    zelvaro::TForm2 form(hosts, zelvaro::MakePageFetcher);
    form.show();
    return QApplication::exec();
  } catch (const std::exception& e) {
    // Outside any event (creating the windows, say): nothing to show it in.
    std::fprintf(stderr, "zelvaro: %s\n", zelvaro::MessageOf(e).c_str());
    return 1;
  }
}
