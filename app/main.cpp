// Zelvaro: the search window, which owns the viewer.
//
//   zelvaro [--server URL] [--sponsor URL] [--desktop-entry] [FILE | RECORD-URL]
//
// --desktop-entry is what the installed desktop entry passes: the program
// was started from the desktop menu, whose current folder is the home
// folder, so the record file goes to the user's cache folder instead of
// the current folder (RecordFilePlace).
// The two options give the broadcast server's and the sponsor host's base
// addresses (a mirror, or the demo broadcast); without --server the address
// the user entered at an earlier start is used, and without one of those the
// search window asks for it. FILE, a record file, is opened in the viewer at
// once; an http or https address of a record is downloaded and followed in
// the viewer. The settings file (viewer/Settings.h) keeps the options, the
// viewer's window and the entered server address between starts.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "broadcast/PageLineFetcher.h"
#include "search/untSubForm.h"
#include "toolkit/Exception.h"
#include "toolkit/qt/Platform.h"
#include "viewer/AddressOpen.h"
#include "viewer/Settings.h"

namespace {

constexpr char kUsage[] =
    "usage: zelvaro [--server URL] [--sponsor URL] [--desktop-entry] [FILE | RECORD-URL]\n";

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

// Reads --server and --sponsor (as "--name URL" or "--name=URL") and one
// record file. Returns false after writing the reason to standard error.
bool ReadArguments(int argc, char** argv, zelvaro::TBroadcastHosts& hosts, std::string& file,
                   bool& desktop_entry) {
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i], value;
    // A file's name may begin with "-" after "--".
    if (options_done || name.empty() || name[0] != '-') {
      if (!file.empty()) {
        std::fprintf(stderr, "zelvaro: one record file at most (%s)\n%s", argv[i], kUsage);
        return false;
      }
      file = name;
      continue;
    }
    if (name == "--") {
      options_done = true;
      continue;
    }
    if (name == "--desktop-entry") {
      desktop_entry = true;
      continue;
    }
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
  // The built-in server is a placeholder: --server, the settings file or the
  // user gives the real one.
  hosts.Server.clear();
  std::string file;
  bool desktop_entry = false;
  if (!ReadArguments(argc, argv, hosts, file, desktop_entry)) return 2;
  try {
    // Qt gets no arguments of its own: the program reads nothing else.
    int qt_argc = 1;
    TApplication app(qt_argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelvaro"));
    // The installed desktop entry and icon (none when run from the build).
    QGuiApplication::setDesktopFileName(QStringLiteral(ZELVARO_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(ZELVARO_APP_ID)));
    // Declared first, so that it outlives the windows that write to it.
    zelvaro::TSettingsFile settings(zelvaro::TSettingsFile::DefaultPath());
    // Qt's standard dialogs in the desktop's language.
    QTranslator qt_translator;
    if (qt_translator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QCoreApplication::installTranslator(&qt_translator);
    }
    zelvaro::TForm2 form(hosts, zelvaro::MakePageFetcher);
    form.FViewer->Follower->SetRecordFile(zelvaro::RecordFilePlace(desktop_entry));
    form.KeepSettings(&settings);
    form.FViewer->Settings->KeepSettings(&settings);
    form.show();
    if (file.empty() && form.ServerUnknown()) {
      // A first start: ask for the server once the window stands and search
      // with it. Opening a file needs no server; the search button asks then.
      QTimer::singleShot(0, &form, [&form] { form.FirstStart(); });
    }
    const bool address = zelvaro::AddressInText(QString::fromLocal8Bit(file)).has_value();
    if (address) {
      // Downloaded in the background; the viewer shows itself with the record.
      const QString url = zelvaro::AddressInText(QString::fromLocal8Bit(file)).value();
      QTimer::singleShot(0, &form, [&form, url] {
        form.FViewer->Button1->hide();
        form.FViewer->Actions->OpenAddress(url);
      });
    } else if (!file.empty()) {
      // Once both windows are up, so that a box about the file has a window to stand over.
      const QString path = QFileInfo(QString::fromLocal8Bit(file)).absoluteFilePath();
      QTimer::singleShot(0, &form, [&form, path] {
        zelvaro::TForm1* viewer = form.FViewer;
        viewer->Actions->OpenRecordFile(path, [viewer](bool shown) {
          if (!shown) return;
          viewer->Button1->hide();  // as after a hand-over: the record came another way
          viewer->show();
          viewer->raise();
          viewer->activateWindow();
        });
      });
    }
    return QApplication::exec();
  } catch (const std::exception& e) {
    // Outside any event (creating the windows, say): nothing to show it in.
    std::fprintf(stderr, "zelvaro: %s\n", zelvaro::MessageOf(e).c_str());
    return 1;
  }
}
