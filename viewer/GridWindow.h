// The grid window 「全局」: every game of a round at once, one small board
// per game in the order given, as many columns as the width allows. The
// games are followed at the viewer's refresh interval: each round of
// downloads, the reading of the records and the drawing of the changed
// boards' pictures run off the window thread (broadcast/GameSet.h does the
// following), and the window only puts what came back on the boards.
//
// Toggles kept in the settings: 「対局中のみ」, 「結果を隠す」, 「評価値」
// (one engine for the whole grid, the analysis panel's engine settings,
// each changed board in view searched for at most 500 ms in turn).
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "broadcast/GameSet.h"
#include "toolkit/qt/Background.h"
#include "viewer/GridBoard.h"
#include "viewer/Settings.h"

namespace zelvaro {

class TAnalysisSession;

// How long the grid's engine searches one board's position.
inline constexpr int kGridEvalMs = 500;

// The board picture of `game`'s newest position, its last move marked,
// turned when `flip`, scaled to `size` (device pixels; the picture's own
// size when empty); null for a game never read. Runs on any thread; needs
// a QGuiApplication.
QImage DrawGridPicture(const TGame& game, bool flip, QSize size);

// Columns and board width for `count` boards in `width` pixels with `gap`
// between them: as many columns as boards of kGridBoardMinWidth fit, the
// boards then as wide as the columns allow, at most kGridBoardMaxWidth.
struct TGridLayout {
  int columns = 1;
  int board_width = kGridBoardMinWidth;
};
TGridLayout GridLayoutFor(int width, int count, int gap);

class TGridWindow : public QWidget {
  Q_OBJECT
 public:
  explicit TGridWindow(QWidget* parent = nullptr);
  ~TGridWindow() override;

  // Follows the games of `addresses` (records, or pages whose records are
  // all taken), replacing the games shown before; the first round starts now.
  void Open(const std::vector<std::string>& addresses);
  // What a click or Enter on a board does with its game's address.
  void SetOpenGame(std::function<void(const std::string&)> open) { open_game_ = std::move(open); }
  // Milliseconds between rounds; 0: no round after the first.
  void SetIntervalMs(int ms);
  // The toggles and the engine settings come from `file` (which must outlive
  // the window) and every change of a toggle is written to it.
  void KeepSettings(TSettingsFile* file);
  void SetEngineSettings(const TEngineSettings& settings);

  const std::vector<TGridBoard*>& Boards() const { return boards_; }
  // A round is under way.
  bool Following() const { return round_.Busy(); }
  // Rounds finished since Open.
  int Rounds() const { return rounds_; }
  // Starts a round now unless one is under way; it downloads every game
  // still followed, backed off or not.
  void RefreshNow();
  // Boards whose pictures are being drawn anew (turned, rescaled).
  int Drawing() const { return drawing_; }
  TAnalysisSession* Engine() const { return engine_; }

  QCheckBox* PlayingOnlyBox;
  QCheckBox* HideResultsBox;
  QCheckBox* EvalBox;
  QLabel* MessageLabel;
  QScrollArea* Scroll;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  struct RoundResult;
  // `now`: every game still followed is downloaded, whatever its pace.
  void StartRound(bool now = false);
  void ApplyRound(RoundResult result);
  // Puts the next few boards of the round that came on their boards; the
  // rest on the next turns of the event loop, so that a round of many
  // boards never holds the window up.
  void ApplyPending();
  void ApplyToggles();
  void Reflow();
  void Rescale();
  void Redraw(int index);
  void ToggleChanged();
  void UpdateEval();
  void ShowEval(const QString& position);
  std::string PositionOf(const TGridBoard* board) const;

  std::shared_ptr<TGameSet> set_;
  std::shared_ptr<RoundResult> pending_;  // a round being put on the boards
  size_t pending_next_ = 0;
  std::vector<std::string> addresses_;
  bool opened_ = false;  // set_ has been opened
  unsigned generation_ = 0;
  std::vector<TGridBoard*> boards_;
  QWidget* area_;
  TLatestWork round_;
  QTimer* follow_timer_;
  QTimer* tick_timer_;
  QTimer* rescale_timer_;
  int rounds_ = 0;
  int drawing_ = 0;
  int interval_ms_ = 0;
  std::function<void(const std::string&)> open_game_;
  TSettingsFile* settings_ = nullptr;
  TEngineSettings engine_settings_;
  TAnalysisSession* engine_ = nullptr;
};

}  // namespace zelvaro
