// Shared by the window tests: one QApplication for the whole executable, a
// message-box catcher and a current folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <optional>
#include <vector>

#include "toolkit/qt/Platform.h"

namespace zelvaro::testing {

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "zelvaro_test";
  static char* argv[] = {name, nullptr};
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
  // Settings a test forgets to point elsewhere stay off the user's own.
  static QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Creates the QApplication before the first test of the executable, so that
// no test creates a lesser QGuiApplication first.
struct TestAppEnvironment : ::testing::Environment {
  void SetUp() override { TestApp(); }
};
inline ::testing::Environment* const kTestAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new TestAppEnvironment);

// Answers every message box and keeps what it said; `on_message` runs after
// each one.
struct MessageCatcher {
  struct Message {
    QString text, caption;
  };
  std::vector<Message> messages;
  std::function<void()> on_message;
  MessageCatcher() {
    SetMessageHook([this](const QString& t, const QString& c) {
      messages.push_back({t, c});
      if (on_message) on_message();
    });
  }
  ~MessageCatcher() { SetMessageHook({}); }
};

// Processes events until `done` holds, for at most `ms` milliseconds;
// whether it held. For work that ends off the window thread.
inline bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
  const QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(2);
  }
  return true;
}

// Answers every file dialog with the next of `answers` (empty, as a cancel,
// when none is left) and keeps what each asked.
struct FileDialogCatcher {
  struct Ask {
    TFileDialog kind;
    QString caption, path, filters;
  };
  std::vector<Ask> asks;
  std::vector<QString> answers;
  FileDialogCatcher() {
    SetFileDialogHook([this](TFileDialog kind, const QString& caption, const QString& path,
                             const QString& filters) {
      asks.push_back({kind, caption, path, filters});
      if (answers.empty()) return QString();
      QString answer = answers.front();
      answers.erase(answers.begin());
      return answer;
    });
  }
  ~FileDialogCatcher() { SetFileDialogHook({}); }
};

// Answers every text dialog with the next of `answers` (nothing, as a
// cancel, when none is left) and keeps what each asked.
struct TextDialogCatcher {
  struct Ask {
    QString caption, label, text;
  };
  std::vector<Ask> asks;
  std::vector<std::optional<QString>> answers;
  TextDialogCatcher() {
    SetTextDialogHook([this](const QString& caption, const QString& label, const QString& text) {
      asks.push_back({caption, label, text});
      std::optional<QString> answer;
      if (!answers.empty()) {
        answer.swap(answers.front());
        answers.erase(answers.begin());
      }
      return answer;
    });
  }
  ~TextDialogCatcher() { SetTextDialogHook({}); }
};

// Runs the test in a fresh current folder (tests of one executable run in
// parallel processes from the same folder).
struct ScratchFolder {
  QTemporaryDir dir;
  QString previous = QDir::currentPath();
  ScratchFolder() { QDir::setCurrent(dir.path()); }
  ~ScratchFolder() { QDir::setCurrent(previous); }
};

}  // namespace zelvaro::testing
