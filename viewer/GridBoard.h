// One small board of the grid window 「全局」: a followed game's position
// (the board picture, drawn off the window thread and scaled here), both
// players with their clocks, the move count and last move, and the result
// once the game has ended. It marks itself when its game changed until the
// pointer passes over it; F turns it; a click or Enter asks for the game to
// be opened.
#pragma once

#include <QImage>
#include <QWidget>
#include <optional>

#include "broadcast/GameSet.h"

namespace zelvaro {

// The side of a board, in logical pixels.
inline constexpr int kGridBoardMinWidth = 160;
inline constexpr int kGridBoardMaxWidth = 400;

class TGridBoard : public QWidget {
  Q_OBJECT
 public:
  TGridBoard(int index, QWidget* parent = nullptr);

  int Index() const { return index_; }
  // The game as the last round read it, with its picture: the board
  // picture, turned as `picture_flipped` says and scaled to the board, drawn
  // off the window thread (a null one keeps the picture shown). `mark`: it
  // changed since the round before.
  void SetGame(const TGame& game, QImage picture, bool picture_flipped, bool mark);
  // The same game's picture drawn anew (turned, or for another size).
  void SetPicture(QImage picture, bool picture_flipped);
  const QImage& Picture() const { return picture_; }
  // The size the picture takes on the board, in device pixels.
  QSize PictureSize() const;
  const TGame& Game() const { return game_; }
  bool HasGame() const { return has_game_; }

  void SetHideResults(bool hide);
  // The gauge: shown or not, and sente's winning chance (0..1) with its
  // value as text; nothing while no value is known.
  void SetEvalShown(bool shown);
  void SetEval(std::optional<double> sente_chance, QString text);
  bool EvalShown() const { return eval_shown_; }
  QString EvalText() const { return eval_text_; }

  // Turned by F: gote below. The picture follows once drawn anew.
  bool Flipped() const { return flipped_; }
  bool PictureFlipped() const { return picture_flipped_; }
  // Changed since the user last looked.
  bool Marked() const { return marked_; }
  // Whether the board is hidden as an ended game under 「結果を隠す」.
  bool Concealed() const;

  // What the board writes, for painting and for tests. `now` in Unix seconds.
  QString NameLine(int side, int64_t now) const;  // "▲ 甲  残り 9分"
  QString MoveLine() const;                       // "98手 ▲４五桂"
  QString InfoLine() const;  // the result, 「更新できません」, an error; empty otherwise
  // Whether a clock ticks on this board (playing, with a clock).
  bool Ticking() const;
  // Paints the two name lines again (a second has passed).
  void UpdateClocks();

  int heightForWidth(int width) const override;
  bool hasHeightForWidth() const override { return true; }
  QSize sizeHint() const override;

  // The clock's source of Unix seconds (tests set one).
  static void SetClock(std::function<int64_t()> now);
  static int64_t Now();

 signals:
  void Activated(int index);
  void FlipAsked(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void enterEvent(QEnterEvent* event) override;

 private:
  int TextHeight() const;
  QRect PictureRect() const;

  int index_;
  TGame game_;
  bool has_game_ = false;
  QImage picture_;
  bool picture_flipped_ = false;
  bool flipped_ = false;
  bool marked_ = false;
  bool hide_results_ = false;
  bool eval_shown_ = false;
  std::optional<double> eval_;
  QString eval_text_;
};

}  // namespace zelvaro
