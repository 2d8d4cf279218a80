#include "viewer/GridBoard.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <chrono>

#include "game/TimeLimit.h"
#include "toolkit/qt/Platform.h"
#include "viewer/BoardRenderer.h"

namespace zelvaro {
namespace {

constexpr int kMargin = 3;
constexpr int kGaugeWidth = 10;
const QColor kMarkColor(230, 120, 20);
const QColor kCoverColor(200, 200, 200);

std::function<int64_t()>& ClockSource() {
  static std::function<int64_t()> now;
  return now;
}

// "▲４五桂(37)" without its origin, as a broadcast's caption writes it.
QString WithoutOrigin(const std::u16string& move) {
  QString text = ToQString(move);
  const qsizetype open = text.lastIndexOf(u'(');
  if (open > 0 && text.endsWith(u')')) text.truncate(open);
  return text.trimmed();
}

}  // namespace

TGridBoard::TGridBoard(int index, QWidget* parent) : QWidget(parent), index_(index) {
  setObjectName(QStringLiteral("gridBoard%1").arg(index));
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
}

void TGridBoard::SetClock(std::function<int64_t()> now) { ClockSource() = std::move(now); }

int64_t TGridBoard::Now() {
  if (ClockSource()) return ClockSource()();
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void TGridBoard::SetGame(const TGame& game, QImage picture, bool picture_flipped, bool mark) {
  game_ = game;
  has_game_ = true;
  if (!picture.isNull()) {
    picture_ = std::move(picture);
    picture_flipped_ = picture_flipped;
  }
  if (mark) marked_ = true;
  if (game_.failed && game_.state.error) {
    setToolTip(ToQString(*game_.state.error));
  } else {
    setToolTip(QString());
  }
  update();
}

void TGridBoard::SetPicture(QImage picture, bool picture_flipped) {
  picture_ = std::move(picture);
  picture_flipped_ = picture_flipped;
  update();
}

QSize TGridBoard::PictureSize() const { return PictureRect().size() * devicePixelRatioF(); }

void TGridBoard::SetHideResults(bool hide) {
  if (hide == hide_results_) return;
  hide_results_ = hide;
  update();
}

void TGridBoard::SetEvalShown(bool shown) {
  if (shown == eval_shown_) return;
  eval_shown_ = shown;
  updateGeometry();
  update();
}

void TGridBoard::SetEval(std::optional<double> sente_chance, QString text) {
  eval_ = sente_chance;
  eval_text_ = std::move(text);
  update();
}

bool TGridBoard::Concealed() const {
  return hide_results_ && game_.state.status == TGameStatus::kEnded;
}

bool TGridBoard::Ticking() const {
  return has_game_ && game_.read && game_.state.status == TGameStatus::kPlaying &&
         game_.state.remaining && game_.record && game_.record->time_limit;
}

QString TGridBoard::NameLine(int side, int64_t now) const {
  const std::u16string& name = side == 1 ? game_.state.sente : game_.state.gote;
  QString line = (side == 1 ? QStringLiteral("▲ ") : QStringLiteral("△ ")) + ToQString(name);
  if (!Ticking()) return line;
  const size_t i = side == 1 ? 0 : 1;
  const TTimeLimit& limit = *game_.record->time_limit;
  const int64_t byoyomi = game_.state.byoyomi.value_or(0);
  const TTick tick = side == game_.to_move
                         ? TickClock((*game_.state.remaining)[i], byoyomi, now - game_.move_time)
                         : TickClock((*game_.state.remaining)[i], byoyomi, 0);
  const QString clock = tick.in_byoyomi ? QStringLiteral("秒読み %1").arg(tick.seconds)
                                        : ToQString(RemainingText(tick.seconds, limit));
  return line + QStringLiteral("  ") + clock;
}

void TGridBoard::UpdateClocks() {
  const QRect picture = PictureRect();
  update(0, 0, width(), picture.top());
  update(0, picture.bottom() + 1, width(), TextHeight());
}

QString TGridBoard::MoveLine() const {
  if (!game_.read || Concealed()) return {};
  const QString count = QStringLiteral("%1手").arg(game_.state.moves);
  if (!game_.state.last_move) return count;
  return count + QStringLiteral(" ") + WithoutOrigin(*game_.state.last_move);
}

QString TGridBoard::InfoLine() const {
  if (!has_game_) return QStringLiteral("読み込み中…");
  if (!game_.read) return game_.state.error ? ToQString(*game_.state.error) : QString();
  if (Concealed()) return QStringLiteral("終局（結果を隠しています）");
  if (game_.state.status == TGameStatus::kEnded) return ToQString(ResultText(game_.state));
  if (game_.failed) return QStringLiteral("更新できません");
  return {};
}

int TGridBoard::TextHeight() const { return fontMetrics().height(); }

int TGridBoard::heightForWidth(int width) const {
  const int picture_width = width - 2 * kMargin - (eval_shown_ ? kGaugeWidth + kMargin : 0);
  return picture_width * kBoardHeight / kBoardWidth + 4 * TextHeight() + 2 * kMargin;
}

QSize TGridBoard::sizeHint() const { return {240, heightForWidth(240)}; }

QRect TGridBoard::PictureRect() const {
  const int picture_width = width() - 2 * kMargin - (eval_shown_ ? kGaugeWidth + kMargin : 0);
  return {kMargin, kMargin + TextHeight(), picture_width,
          picture_width * kBoardHeight / kBoardWidth};
}

void TGridBoard::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect dirty = event->rect();
  painter.fillRect(
      rect(), hasFocus() ? palette().highlight().color().lighter(170) : palette().base().color());
  const int64_t now = Now();
  const int line = TextHeight();
  const QRect picture = PictureRect();
  const int top_side = flipped_ ? 1 : -1;
  const auto text_at = [&](int y, const QString& text) {
    painter.drawText(QRect(kMargin, y, width() - 2 * kMargin, line),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     fontMetrics().elidedText(text, Qt::ElideRight, width() - 2 * kMargin));
  };
  if (has_game_ && game_.read) {
    text_at(kMargin, NameLine(top_side, now));
    text_at(picture.bottom() + 1, NameLine(-top_side, now));
  }
  if (!dirty.intersects(picture)) {
    // A clock's second: only the name lines.
  } else if (has_game_ && game_.read && !Concealed() && !picture_.isNull()) {
    // Until a picture of the right size comes, the nearest pixels do: smooth
    // scaling is work for the renderer's thread, never for painting.
    painter.drawImage(picture, picture_);
  } else {
    painter.fillRect(picture, kCoverColor);
  }
  if (eval_shown_) {
    const QRect gauge(picture.right() + 1 + kMargin, picture.top(), kGaugeWidth, picture.height());
    painter.fillRect(gauge, QColor(40, 40, 40));
    if (eval_ && !Concealed()) {
      const int sente = static_cast<int>(gauge.height() * *eval_ + 0.5);
      // Sente's share grows from sente's side of the board.
      const QRect share =
          flipped_ ? QRect(gauge.left(), gauge.top(), gauge.width(), sente)
                   : QRect(gauge.left(), gauge.bottom() + 1 - sente, gauge.width(), sente);
      painter.fillRect(share, QColor(245, 245, 245));
    }
  }
  QString move = MoveLine();
  if (eval_shown_ && !eval_text_.isEmpty() && !Concealed())
    move += QStringLiteral("  ") + eval_text_;
  text_at(picture.bottom() + 1 + line, move);
  const QString info = InfoLine();
  if (!info.isEmpty()) {
    painter.save();
    if (game_.failed || !game_.read) painter.setPen(QColor(190, 30, 30));
    text_at(picture.bottom() + 1 + 2 * line, info);
    painter.restore();
  }
  if (marked_) {
    painter.setPen(QPen(kMarkColor, 3));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
  }
}

void TGridBoard::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit Activated(index_);
  }
}

void TGridBoard::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit Activated(index_);
  } else if (event->key() == Qt::Key_F && event->modifiers() == Qt::NoModifier) {
    flipped_ = !flipped_;
    emit FlipAsked(index_);
    update();
  } else {
    QWidget::keyPressEvent(event);
  }
}

void TGridBoard::enterEvent(QEnterEvent* event) {
  if (marked_) {
    marked_ = false;
    update();
  }
  QWidget::enterEvent(event);
}

}  // namespace zelvaro
