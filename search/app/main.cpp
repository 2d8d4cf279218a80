// Zelvaro: the search window, which owns the viewer.
//
//   zelvaro [--server URL] [--sponsor URL]
//
// Without arguments the built-in tournament table is searched; the two
// options replace the broadcast server's and the sponsor host's base
// addresses (a mirror, or the demo broadcast). Nothing else is read.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <exception>

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
      zelvaro::ShowMessage(QString::fromStdString(zelvaro::FetchErrorMessage(e)),
                           QStringLiteral("Zelvaro"));
      return false;
    }
  }
};

// Reads --server and --sponsor (as "--name URL" or "--name=URL"). Returns
// false after writing the reason to standard error.
bool ReadArguments(const QStringList& args, zelvaro::TBroadcastHosts& hosts) {
  for (int i = 1; i < args.size(); ++i) {
    QString name = args[i], value;
    const int eq = name.indexOf('=');
    if (eq > 0) {
      value = name.mid(eq + 1);
      name = name.left(eq);
    } else if (name == "--server" || name == "--sponsor") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "zelvaro: %s needs a URL\n%s", qPrintable(name), kUsage);
        return false;
      }
      value = args[++i];
    }
    if (name == "-h" || name == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    std::string* target = name == "--server"    ? &hosts.Server
                          : name == "--sponsor" ? &hosts.Sponsor
                                                : nullptr;
    if (!target) {
      std::fprintf(stderr, "zelvaro: unknown argument %s\n%s", qPrintable(args[i]), kUsage);
      return false;
    }
    try {
      *target = zelvaro::NormaliseBaseUrl(value.toStdString());
    } catch (const zelvaro::Exception& e) {
      std::fprintf(stderr, "zelvaro: %s: %s\n", qPrintable(name), e.Message().c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Zelvaro"));
  zelvaro::TBroadcastHosts hosts = zelvaro::DefaultHosts();
  if (!ReadArguments(QApplication::arguments(), hosts)) return 2;
  zelvaro::TForm2 form(hosts, zelvaro::MakePageFetcher());
  form.show();
  return QApplication::exec();
}
