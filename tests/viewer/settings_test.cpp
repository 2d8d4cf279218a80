// The settings file: what is written is read back, a damaged file gives the
// defaults, and the viewer applies and keeps the options and its window.
#include "viewer/Settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTest>

#include "tests/viewer/ViewerWindowFixture.h"

namespace zelvaro {
namespace {

using testing::WriteFile;

TEST(SettingsFile, WhatIsSavedIsReadBack) {
  testing::TestApp();
  testing::ScratchFolder folder;
  const TSettings defaults;
  EXPECT_EQ(TSettingsFile(QStringLiteral("none.ini")).Values(), defaults) << "no file";
  EXPECT_EQ(defaults.font_size, 3);
  EXPECT_EQ(defaults.refresh_choice, 2);
  EXPECT_FALSE(defaults.viewer.has_value());

  const TSettings cases[] = {
      {},
      {.font_size = 0, .refresh_choice = 0, .board = {true, false}},
      {.font_size = 5,
       .refresh_choice = 3,
       .board = {false, true},
       .viewer = TSettings::Window{{-20, 900}, {1280, 960}}},
      {.viewer = TSettings::Window{{18, 29}, {760, 516}}},
      {.refresh_choice = 1, .server = "http://127.0.0.1:8123/live"},
      {.notify = {.popup = false, .sound = true}},
      {.win_rate_scale = 1200, .graph_win_rate = true},
  };
  int n = 0;
  for (const TSettings& settings : cases) {
    const QString path = QStringLiteral("sub/round%1.ini").arg(n++);  // the folder is made
    TSettingsFile file(path);
    file.Values() = settings;
    file.Save();
    EXPECT_EQ(TSettingsFile(path).Values(), settings) << n;
  }
}

TEST(SettingsFile, DamagedValuesGiveTheirDefaults) {
  testing::TestApp();
  testing::ScratchFolder folder;
  const std::string window = "[viewer]\nleft=5\ntop=6\nwidth=800\nheight=600\n";
  struct Case {
    std::string text;
    TSettings expected;
  } cases[] = {
      {std::string("\0\xff\xfe[[[\n=\n\x01\"\\", 13), {}},
      {"[options\nfont_size=1\n", {}},  // QSettings cannot read it at all
      {"[options]\nfont_size=6\nrefresh=-1\nlast_move=yes\nflip=true\n", {.board = {false, true}}},
      {"[options]\nfont_size=x1\nrefresh=3\n", {.refresh_choice = 3}},
      {"[options]\nnotify=no\nnotify_sound=true\n", {.notify = {.popup = true, .sound = true}}},
      {"[options]\nfont_size=\" 0 \"\n", {.font_size = 0}},
      {window, {.viewer = TSettings::Window{{5, 6}, {800, 600}}}},
      {"[viewer]\nleft=5\ntop=6\nwidth=700\nheight=600\n", {}},  // smaller than the layout
      {"[viewer]\nleft=5\nwidth=800\nheight=600\n", {}},         // no top
      {"[viewer]\nleft=5\ntop=6\nwidth=800\nheight=99999\n", {}},
      {"[search]\nserver=http://x.test, http://y.test\n", {}},  // a list, not one address
      {"[search]\nserver = http://x.test \n", {.server = "http://x.test"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string path = "damaged" + std::to_string(n++) + ".ini";
    WriteFile(path, c.text);
    TSettingsFile file(QString::fromStdString(path));
    EXPECT_EQ(file.Values(), c.expected);
    // Saving replaces the damage with a file that reads back whole.
    file.Values().font_size = 1;
    file.Save();
    TSettings saved = c.expected;
    saved.font_size = 1;
    EXPECT_EQ(TSettingsFile(QString::fromStdString(path)).Values(), saved);
  }
}

class ViewerSettings : public testing::ViewerWindow {
 protected:
  QString path = QDir::current().absoluteFilePath(QStringLiteral("Zelvaro.ini"));
};

// A second start finds the options and the window as the first left them.
TEST_F(ViewerSettings, KeptBetweenStarts) {
  {
    TSettingsFile file(path);
    form.Settings->KeepSettings(&file);
    EXPECT_EQ(form.size(), QSize(760, 516)) << "a first start is a plain start";
    EXPECT_EQ(form.pos(), QPoint(18, 29));
    EXPECT_EQ(form.OptionsDialog->RadioGroup1->ItemIndex(), 3);
    form.OptionsDialog->RadioGroup1->Item(5)->click();
    form.OptionsDialog->RadioGroup2->Item(0)->click();
    form.OptionsDialog->CheckBox2->click();
    EXPECT_EQ(form.OptionsDialog->NotifyOptions(), TNotifyOptions{}) << "popup on, sound off";
    form.OptionsDialog->CheckBox4->click();
    EXPECT_EQ(TSettingsFile(path).Values().font_size, 5) << "written at once";
    form.show();
    form.resize(770, 520);
    form.move(10, 20);
    form.hide();
    form.Settings->KeepSettings(nullptr);
  }
  TSettingsFile file(path);
  EXPECT_EQ(file.Values(), (TSettings{.font_size = 5,
                                      .refresh_choice = 0,
                                      .board = {false, true},
                                      .notify = {.popup = true, .sound = true},
                                      .viewer = TSettings::Window{{10, 20}, {770, 520}}}));
  TForm1 again;
  again.Settings->KeepSettings(&file);
  EXPECT_EQ(again.OptionsDialog->RadioGroup1->ItemIndex(), 5);
  EXPECT_EQ(again.Follower->RefreshInterval(), 0);
  EXPECT_TRUE(again.FlipAction->isChecked());
  EXPECT_TRUE(again.OptionsDialog->CheckBox4->isChecked());
  EXPECT_EQ(again.Renderer().Options(), (TBoardOptions{false, true}));
  EXPECT_EQ(again.size(), QSize(770, 520));
  EXPECT_EQ(again.pos(), QPoint(10, 20));
  again.show();
  EXPECT_EQ(again.WebBrowser1->width(), 417 + 10);
  again.hide();

  // A place on no screen is not taken; the size is.
  file.Values().viewer = TSettings::Window{{-9000, -9000}, {770, 520}};
  TForm1 elsewhere;
  elsewhere.Settings->KeepSettings(&file);
  EXPECT_EQ(elsewhere.pos(), QPoint(18, 29));
  EXPECT_EQ(elsewhere.size(), QSize(770, 520));

  // Larger than the screen (800 x 800 offscreen): fitted into it.
  file.Values().viewer = TSettings::Window{{300, 200}, {1300, 900}};
  TForm1 large;
  large.Settings->KeepSettings(&file);
  EXPECT_EQ(QRect(large.pos(), large.size()), QRect(0, 0, 784, 752));
}

// A kept window is fitted into the screen's free area, frame counted.
TEST(FitToScreen, KeepsWhatFitsShrinksAndMovesTheRest) {
  const QRect screen(0, 0, 1920, 1040);
  const struct {
    QRect kept, fitted;
  } cases[] = {
      {{100, 50, 1300, 900}, {100, 50, 1300, 900}},
      {{100, 50, 2600, 1800}, {0, 0, 1904, 992}},      // twice the scale
      {{1500, 600, 1300, 900}, {604, 92, 1300, 900}},  // moved inside
      {{-50, -20, 800, 600}, {0, 0, 800, 600}},
      {{10, 10, 2000, 2000}, {0, 0, 1904, 992}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FitToScreen(c.kept, screen), c.fitted) << c.kept.x() << "," << c.kept.width();
  }
  // A screen smaller than the smallest window: the smallest, at its corner.
  EXPECT_EQ(FitToScreen({300, 300, 1000, 800}, {0, 0, 640, 480}), QRect(0, 0, 760, 516));
}

TEST_F(ViewerSettings, AFailedWriteIsToldOnce) {
  WriteFile("plain-file", "x");
  TSettingsFile file(QStringLiteral("plain-file/Zelvaro.ini"));
  form.Settings->KeepSettings(&file);
  form.OptionsDialog->RadioGroup1->Item(0)->click();
  form.OptionsDialog->RadioGroup1->Item(1)->click();
  ASSERT_EQ(catcher.messages.size(), 1u);
  EXPECT_TRUE(catcher.messages[0].text.contains(QStringLiteral("plain-file/Zelvaro.ini")));
  EXPECT_EQ(form.OptionsDialog->RadioGroup1->ItemIndex(), 1) << "the choice holds all the same";
}

}  // namespace
}  // namespace zelvaro
