#include "viewer/GridWindow.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "game/RecordUsi.h"
#include "toolkit/Exception.h"
#include "toolkit/qt/Platform.h"
#include "viewer/BoardRenderer.h"
#include "viewer/EngineProcess.h"

namespace zelvaro {
namespace {

constexpr int kGap = 6;
// Boards a round puts on the window in one turn of the event loop.
constexpr size_t kApplyChunk = 8;
constexpr int kTickMs = 1000;
constexpr int kRescaleDelayMs = 120;
// The size pictures of the first round are scaled to, before any board is laid out.
constexpr int kFirstBoardWidth = 240;

// One board picture drawn after the other on a thread: the renderer's cell
// images are loaded once per thread.
struct Painter {
  QImage picture;
  TBoardRenderer renderer{&picture};
  Painter() {
    TKyokumen start;
    std::u16string sente, gote;
    renderer.InitBoard(start, sente, gote);
  }
};

QString EvalText(const TUsiScore& score) {
  if (score.mate)
    return QStringLiteral("詰 %1%2").arg(score.sente_mates ? u'+' : u'-').arg(score.mate_plies);
  return (score.cp > 0 ? QStringLiteral("+") : QString()) + QString::number(score.cp);
}

}  // namespace

QImage DrawGridPicture(const TGame& game, bool flip, QSize size) {
  if (!game.record || game.last_row < 0 ||
      game.last_row >= static_cast<int>(game.record->row_positions.size())) {
    return {};
  }
  thread_local std::unique_ptr<Painter> painter;
  if (!painter) painter = std::make_unique<Painter>();
  painter->renderer.SetOptions(TBoardOptions{.last_move = true, .flip = flip});
  painter->renderer.DrawPosition(game.record->row_positions[static_cast<size_t>(game.last_row)],
                                 u" ", u" ");
  if (size.isEmpty()) return painter->picture.copy();
  return painter->picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

TGridLayout GridLayoutFor(int width, int count, int gap) {
  TGridLayout layout;
  layout.columns = std::max(1, (width + gap) / (kGridBoardMinWidth + gap));
  if (count > 0) layout.columns = std::min(layout.columns, count);
  const int room = (width - gap * (layout.columns - 1)) / layout.columns;
  layout.board_width = std::clamp(room, kGridBoardMinWidth, kGridBoardMaxWidth);
  return layout;
}

struct TGridWindow::RoundResult {
  unsigned generation = 0;
  bool first = false;
  std::vector<TGame> games;
  std::vector<QImage> pictures;  // null for a game not drawn anew
  std::vector<char> flips;
  std::vector<std::string> positions;  // the engine's "position …" of each game, empty for none
  std::u16string message;
  bool all_ended = false;
};

TGridWindow::TGridWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("gridWindow"));
  setWindowTitle(QStringLiteral("全局"));
  resize(1000, 700);
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  PlayingOnlyBox = new QCheckBox(QStringLiteral("対局中のみ"), this);
  PlayingOnlyBox->setObjectName(QStringLiteral("playingOnly"));
  HideResultsBox = new QCheckBox(QStringLiteral("結果を隠す"), this);
  HideResultsBox->setObjectName(QStringLiteral("hideResults"));
  EvalBox = new QCheckBox(QStringLiteral("評価値"), this);
  EvalBox->setObjectName(QStringLiteral("eval"));
  MessageLabel = new QLabel(this);
  MessageLabel->setObjectName(QStringLiteral("gridMessage"));
  MessageLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  MessageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  for (QCheckBox* box : {PlayingOnlyBox, HideResultsBox, EvalBox}) {
    bar->addWidget(box);
    connect(box, &QCheckBox::toggled, this, &TGridWindow::ToggleChanged);
  }
  bar->addWidget(MessageLabel, 1);
  layout->addLayout(bar);
  Scroll = new QScrollArea(this);
  Scroll->setObjectName(QStringLiteral("gridScroll"));
  Scroll->setWidgetResizable(true);
  Scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area_ = new QWidget;
  area_->installEventFilter(this);
  Scroll->setWidget(area_);
  layout->addWidget(Scroll, 1);
  connect(Scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, &TGridWindow::UpdateEval);

  follow_timer_ = new QTimer(this);
  connect(follow_timer_, &QTimer::timeout, this, [this] { StartRound(); });
  tick_timer_ = new QTimer(this);
  tick_timer_->setInterval(kTickMs);
  connect(tick_timer_, &QTimer::timeout, this, [this] {
    for (TGridBoard* board : boards_) {
      if (board->isVisible() && board->Ticking()) board->UpdateClocks();
    }
  });
  rescale_timer_ = new QTimer(this);
  rescale_timer_->setSingleShot(true);
  rescale_timer_->setInterval(kRescaleDelayMs);
  connect(rescale_timer_, &QTimer::timeout, this, &TGridWindow::Rescale);
  SetIntervalMs(RefreshIntervalMs(kDefaultRefreshChoice));
}

TGridWindow::~TGridWindow() = default;

void TGridWindow::Open(const std::vector<std::string>& addresses) {
  round_.Abandon();
  if (set_) set_->Abort();
  pending_.reset();
  ++generation_;
  for (TGridBoard* board : boards_) delete board;
  boards_.clear();
  rounds_ = 0;
  set_ = std::make_shared<TGameSet>();
  addresses_ = addresses;
  opened_ = false;
  MessageLabel->setText(QStringLiteral("読み込み中…"));
  StartRound();
  if (interval_ms_ > 0) follow_timer_->start();
}

void TGridWindow::SetIntervalMs(int ms) {
  interval_ms_ = ms;
  if (ms > 0) {
    follow_timer_->setInterval(ms);
    if (set_ && isVisible()) follow_timer_->start();
  } else {
    follow_timer_->stop();
  }
}

void TGridWindow::KeepSettings(TSettingsFile* file) {
  settings_ = nullptr;  // the boxes set below are no change to write
  const TGridOptions& grid = file->Values().grid;
  PlayingOnlyBox->setChecked(grid.playing_only);
  HideResultsBox->setChecked(grid.hide_results);
  EvalBox->setChecked(grid.eval);
  SetEngineSettings(file->Values().engine);
  settings_ = file;
  ApplyToggles();
}

void TGridWindow::SetEngineSettings(const TEngineSettings& settings) {
  engine_settings_ = settings;
  engine_settings_.time_ms = kGridEvalMs;
  if (engine_) engine_->SetSettings(engine_settings_);
}

void TGridWindow::RefreshNow() { StartRound(true); }

void TGridWindow::StartRound(bool now) {
  if (!set_ || round_.Busy() || pending_) return;
  const bool first = !opened_;
  opened_ = true;
  std::vector<char> flips;
  std::vector<QSize> sizes;
  for (TGridBoard* board : boards_) {
    flips.push_back(board->Flipped());
    sizes.push_back(board->PictureSize());
  }
  const int first_width = kFirstBoardWidth - 6;
  const QSize first_size =
      QSize(first_width, first_width * kBoardHeight / kBoardWidth) * devicePixelRatioF();
  round_.Start([set = set_] { set->Abort(); },
               [set = set_, addresses = addresses_, first, flips, sizes, first_size,
                generation = generation_, interval_ms = interval_ms_, now] {
                 // The refresh interval paces each game (a failing one sits
                 // out rounds); set here, on the thread that drives the set.
                 set->SetInterval(std::chrono::milliseconds(std::max(0, interval_ms)));
                 if (first) set->Open(addresses);
                 set->Round(now);
                 RoundResult result;
                 result.generation = generation;
                 result.first = first;
                 result.games = set->Games();
                 result.message = set->Message();
                 result.all_ended = set->AllEnded();
                 const size_t n = result.games.size();
                 result.pictures.resize(n);
                 result.flips.resize(n);
                 result.positions.resize(n);
                 for (size_t i = 0; i < n; ++i) {
                   const TGame& game = result.games[i];
                   if (!first && !game.changed) continue;
                   result.flips[i] = i < flips.size() && flips[i];
                   result.pictures[i] = DrawGridPicture(game, result.flips[i],
                                                        i < sizes.size() ? sizes[i] : first_size);
                   if (game.record && IsPlayablePositionOfRow(*game.record, game.last_row)) {
                     result.positions[i] = PositionCommandOfRow(*game.record, game.last_row);
                   }
                 }
                 return result;
               },
               [this](RoundResult result) { ApplyRound(std::move(result)); });
}

void TGridWindow::ApplyRound(RoundResult result) {
  if (result.generation != generation_) return;
  if (result.first) {
    for (size_t i = 0; i < result.games.size(); ++i) {
      auto* board = new TGridBoard(static_cast<int>(i), area_);
      connect(board, &TGridBoard::Activated, this, [this](int index) {
        if (open_game_) open_game_(boards_.at(static_cast<size_t>(index))->Game().address);
      });
      connect(board, &TGridBoard::FlipAsked, this, &TGridWindow::Redraw);
      board->hide();  // shown once its game is on it
      boards_.push_back(board);
    }
    QString message = QStringLiteral("%1 局").arg(result.games.size());
    if (!result.message.empty()) message += QStringLiteral("  ") + ToQString(result.message);
    MessageLabel->setText(message);
    MessageLabel->setToolTip(ToQString(result.message));
  }
  pending_ = std::make_shared<RoundResult>(std::move(result));
  pending_next_ = 0;
  ApplyPending();
}

void TGridWindow::ApplyPending() {
  if (!pending_) return;
  RoundResult& result = *pending_;
  size_t applied = 0;
  for (; pending_next_ < result.games.size() && pending_next_ < boards_.size() &&
         applied < kApplyChunk;
       ++pending_next_) {
    const size_t i = pending_next_;
    const TGame& game = result.games[i];
    if (!result.first && !game.changed) continue;
    TGridBoard* board = boards_[i];
    board->SetGame(game, std::move(result.pictures[i]), result.flips[i], !result.first);
    board->setProperty("position", QString::fromStdString(result.positions[i]));
    if (board->Flipped() != board->PictureFlipped()) Redraw(static_cast<int>(i));
    ++applied;
  }
  if (pending_next_ < result.games.size() && pending_next_ < boards_.size()) {
    if (result.first) ApplyToggles();
    QTimer::singleShot(0, this, [this, generation = generation_] {
      if (generation == generation_) ApplyPending();
    });
    return;
  }
  if (result.all_ended) follow_timer_->stop();
  pending_.reset();
  ++rounds_;
  ApplyToggles();
}

void TGridWindow::ToggleChanged() {
  if (settings_) {
    TGridOptions& grid = settings_->Values().grid;
    grid.playing_only = PlayingOnlyBox->isChecked();
    grid.hide_results = HideResultsBox->isChecked();
    grid.eval = EvalBox->isChecked();
    try {
      settings_->Save();
    } catch (const Exception& e) {
      MessageLabel->setText(QString::fromStdString(e.Message()));
    }
  }
  ApplyToggles();
}

void TGridWindow::ApplyToggles() {
  const bool playing_only = PlayingOnlyBox->isChecked();
  for (TGridBoard* board : boards_) {
    board->SetHideResults(HideResultsBox->isChecked());
    board->SetEvalShown(EvalBox->isChecked());
    const bool ended = board->HasGame() && board->Game().state.status == TGameStatus::kEnded;
    board->setVisible(board->HasGame() && !(playing_only && ended));
  }
  Reflow();
  UpdateEval();
}

void TGridWindow::Reflow() {
  std::vector<TGridBoard*> shown;
  for (TGridBoard* board : boards_) {
    if (!board->isHidden()) shown.push_back(board);
  }
  const TGridLayout layout =
      GridLayoutFor(area_->width() - 2 * kGap, static_cast<int>(shown.size()), kGap);
  const int width = layout.board_width;
  const int height = shown.empty() ? 0 : shown.front()->heightForWidth(width);
  for (size_t i = 0; i < shown.size(); ++i) {
    const int column = static_cast<int>(i) % layout.columns;
    const int row = static_cast<int>(i) / layout.columns;
    shown[i]->setGeometry(kGap + column * (width + kGap), kGap + row * (height + kGap), width,
                          height);
  }
  const int rows = (static_cast<int>(shown.size()) + layout.columns - 1) / layout.columns;
  const int needed = kGap + rows * (height + kGap);
  if (area_->minimumHeight() != needed) area_->setMinimumHeight(needed);
  rescale_timer_->start();
}

void TGridWindow::Rescale() {
  for (TGridBoard* board : boards_) {
    if (board->isHidden() || !board->HasGame() || board->Picture().isNull()) continue;
    if (board->Picture().size() != board->PictureSize()) Redraw(board->Index());
  }
}

void TGridWindow::Redraw(int index) {
  TGridBoard* board = boards_.at(static_cast<size_t>(index));
  if (!board->HasGame()) return;
  ++drawing_;
  const QSize size = board->PictureSize();
  RunInBackground(
      this,
      [game = board->Game(), flip = board->Flipped(), size] {
        return DrawGridPicture(game, flip, size);
      },
      [this, index, size, flip = board->Flipped(), sfen = board->Game().state.sfen,
       generation = generation_](QImage picture) {
        --drawing_;
        if (generation != generation_) return;
        TGridBoard* board = boards_.at(static_cast<size_t>(index));
        // A board turned, resized or moved on meanwhile waits for its own turn.
        if (board->Flipped() != flip || board->Game().state.sfen != sfen ||
            board->PictureSize() != size) {
          return;
        }
        board->SetPicture(std::move(picture), flip);
      });
}

std::string TGridWindow::PositionOf(const TGridBoard* board) const {
  return board->property("position").toString().toStdString();
}

void TGridWindow::UpdateEval() {
  if (!EvalBox->isChecked()) {
    if (engine_) engine_->SetEnabled(false);
    return;
  }
  if (!engine_) {
    engine_ = new TAnalysisSession(this);
    engine_->SetSettings(engine_settings_);
    connect(engine_, &TAnalysisSession::ResultKept, this, &TGridWindow::ShowEval);
    connect(engine_, &TAnalysisSession::StatusChanged, this, [this] {
      if (!engine_->Fault().isEmpty()) MessageLabel->setText(engine_->Fault());
    });
  }
  // Only the boards in view, in the grid's order; their kept values at once.
  const QRect view(QPoint(0, Scroll->verticalScrollBar()->value()), Scroll->viewport()->size());
  std::vector<std::string> positions;
  for (TGridBoard* board : boards_) {
    const std::string position = PositionOf(board);
    if (board->isHidden() || board->Concealed() || position.empty() ||
        !view.intersects(board->geometry())) {
      continue;
    }
    positions.push_back(position);
    if (const TUsiAnalysis* kept = engine_->Plan().Result(position); kept && kept->HasScore()) {
      board->SetEval(kept->lines[0].score.SenteWinChance(), EvalText(kept->lines[0].score));
    }
  }
  engine_->SetShown(std::string());
  engine_->SetMainLine(std::move(positions));
  engine_->SetEnabled(true);
}

void TGridWindow::ShowEval(const QString& position) {
  if (!engine_) return;
  const TUsiAnalysis* kept = engine_->Plan().Result(position.toStdString());
  if (!kept || !kept->HasScore()) return;
  const TUsiScore& score = kept->lines[0].score;
  for (TGridBoard* board : boards_) {
    if (PositionOf(board) == position.toStdString()) {
      board->SetEval(score.SenteWinChance(), EvalText(score));
    }
  }
}

bool TGridWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == area_ && event->type() == QEvent::Resize) Reflow();
  return QWidget::eventFilter(watched, event);
}

void TGridWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  tick_timer_->start();
  if (set_ && interval_ms_ > 0) follow_timer_->start();
  UpdateEval();
}

void TGridWindow::hideEvent(QHideEvent* event) {
  // A closed grid follows nothing and keeps no engine busy.
  tick_timer_->stop();
  follow_timer_->stop();
  if (engine_) engine_->SetEnabled(false);
  QWidget::hideEvent(event);
}

}  // namespace zelvaro
