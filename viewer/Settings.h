// What the program keeps between starts: the options dialog's choices and
// the viewer window's size and place, in one .ini file (QSettings'
// IniFormat). Every value missing from the file, unreadable or out of range
// gives its default, and a file QSettings cannot read at all gives every
// default: a first start, or one after the file was damaged, behaves as the
// program does without settings.
//
// The file as written:
//   [options]
//   font_size=3        comment text size, 0 (極小) .. 5 (極大)
//   refresh=2          自動更新: 0 しない, 1 30秒, 2 1分, 3 3分
//   last_move=false    最終手を表示
//   flip=false         盤面反転
//   notify=true        a followed game's new move: a desktop notification
//   notify_sound=false                        and a short sound
//   [viewer]
//   left=18            the window's place (its frame's top-left corner)
//   top=29
//   width=760          its client area, at least 760 x 516
//   height=516
//   [search]
//   server=http://…    the broadcast server's base address the user entered
//   [addresses]
//   recent=…           the last record addresses opened, newest first (at most 10)
//   sponsor=http://…   the sponsor host's base address (the server's when entered with it)
//   [grid]             the grid window 「全局」's toggles
//   playing_only=false 対局中のみ
//   hide_results=false 結果を隠す
//   eval=false         評価値
//   [engine]           (only what differs from the defaults)
//   path=/usr/games/…  the analysing engine; none: the default program
//   hash=128           MB
//   threads=1
//   multipv=1
//   time_ms=1000       per position of the evaluation graph
//   [analysis]
//   scale=600          centipawns of the winning chance's curve (100..3000)
//   graph=winrate      the graph shows winning chances (none: evaluations)
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "engine/Evaluation.h"
#include "viewer/BoardRenderer.h"
#include "viewer/CommentPanel.h"
#include "viewer/EngineProcess.h"
#include "viewer/untOptionForm.h"

namespace zelvaro {

// The viewer's smallest and default client area.
inline constexpr QSize kViewerSize(760, 516);
// A window larger than this each way is taken for a damaged value.
inline constexpr int kMaxWindowExtent = 16384;

// The grid window's toggles.
struct TGridOptions {
  bool playing_only = false;  // 「対局中のみ」: ended games hidden
  bool hide_results = false;  // 「結果を隠す」: results, clocks and boards of ended games hidden
  bool eval = false;  // 「評価値」: a gauge of sente's winning chance beside each board
  bool operator==(const TGridOptions&) const = default;
};

struct TSettings {
  int font_size = kDefaultFontSize;            // RadioGroup1's item
  int refresh_choice = kDefaultRefreshChoice;  // RadioGroup2's item
  TBoardOptions board;
  TNotifyOptions notify;
  // The viewer window as the user left it; none until it has been shown.
  struct Window {
    QPoint place;
    QSize size;
    bool operator==(const Window&) const = default;
  };
  std::optional<Window> viewer;
  // The broadcast server's base address as the search window kept it; empty
  // when none is kept. The search window checks it before it uses it.
  std::string server;
  // The record addresses opened last, newest first.
  QStringList addresses;
  // The sponsor host's base address, kept alike; empty when none is kept.
  std::string sponsor;
  // The engine page of the options.
  TEngineSettings engine;
  TGridOptions grid;
  // 「勝率換算の係数」 and the graph's choice of 「勝率」 over 「評価値」.
  int win_rate_scale = kDefaultWinRateScale;
  bool graph_win_rate = false;

  bool operator==(const TSettings&) const = default;
};

// Where a window kept at `frame` (its place and client size) opens on a
// screen whose free area is `available`: as kept when it fits, else made
// smaller (not below what the screen holds) and moved inside, `decoration`
// (the frame around the client area) counted.
QRect FitToScreen(const QRect& frame, const QRect& available, QSize decoration = QSize(16, 48));

class TSettingsFile {
 public:
  // Reads `path` (a missing file gives the defaults).
  explicit TSettingsFile(QString path);

  // <the user's config folder>/Zelvaro/Zelvaro.ini, e.g.
  // ~/.config/Zelvaro/Zelvaro.ini.
  static QString DefaultPath();

  const QString& Path() const { return path_; }
  TSettings& Values() { return values_; }
  const TSettings& Values() const { return values_; }

  // Writes every value (a damaged file is replaced). Throws EFileError
  // naming the file when it cannot be written.
  void Save() const;

 private:
  QString path_;
  TSettings values_;
};

}  // namespace zelvaro
