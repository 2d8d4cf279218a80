#include "viewer/SidePanel.h"

#include <QVBoxLayout>
#include <algorithm>

#include "engine/Evaluation.h"
#include "game/Sfen.h"
#include "game/TimeLimit.h"
#include "viewer/Settings.h"

namespace zelvaro {

namespace {

const TKifRecord& NoRecord() {
  static const TKifRecord record;
  return record;
}

}  // namespace

TSidePanel::TSidePanel(QWidget* window) : QWidget(window), record_(&NoRecord()) {
  setObjectName(QStringLiteral("sidePanel"));
  auto* side_layout = new QVBoxLayout(this);
  side_layout->setContentsMargins(4, 4, 6, 6);
  Clocks = new TClockPanel(this);
  side_layout->addWidget(Clocks);
  AnalysisPanel = new TAnalysisPanel(this);
  AnalysisPanel->setVisible(false);
  side_layout->addWidget(AnalysisPanel, 3);
  ChartTabs = new QTabWidget(this);
  ChartTabs->setObjectName(QStringLiteral("chartTabs"));
  ChartTabs->setFocusPolicy(Qt::NoFocus);
  EvalGraph = new TEvalGraph(ChartTabs);
  ChartTabs->addTab(EvalGraph, QStringLiteral("評価値"));
  ChartTabs->setTabVisible(ChartTabs->indexOf(EvalGraph), false);
  TimeChart = new TTimeChart(ChartTabs);
  ChartTabs->addTab(TimeChart, QStringLiteral("消費時間"));
  ChartTabs->setTabVisible(ChartTabs->indexOf(TimeChart), false);
  ChartTabs->setVisible(false);
  side_layout->addWidget(ChartTabs, 2);
  setVisible(false);

  Analysis = new TAnalysisSession(this);
  AnalysisPanel->SetPvFormatter(
      [](const std::string& position, const std::vector<std::string>& pv) {
        return QString::fromStdString(PvText(position, pv));
      });
  connect(Analysis, &TAnalysisSession::ShownChanged, this,
          [this] { AnalysisPanel->ShowAnalysis(Analysis->ShownAnalysis()); });
  connect(Analysis, &TAnalysisSession::ResultKept, this, &TSidePanel::UpdateEvalGraph);
  connect(Analysis, &TAnalysisSession::StatusChanged, this, &TSidePanel::ShowAnalysisStatus);
  connect(AnalysisPanel, &TAnalysisPanel::RestartClicked, Analysis, &TAnalysisSession::Restart);
  connect(EvalGraph, &TEvalGraph::Clicked, this, [this](int index) {
    if (index < 0 || index >= static_cast<int>(record_->main_line.size())) return;
    emit RowClicked(record_->main_line[static_cast<size_t>(index)]);
  });
  connect(TimeChart, &TTimeChart::RowClicked, this, &TSidePanel::RowClicked);
}

QSize TSidePanel::BaseSize(QSize window) const {
  return isHidden() ? window : window - QSize(kSidePanelWidth, 0);
}

void TSidePanel::SetRecord(const TKifRecord& record, int row) {
  record_ = &record;
  row_ = row;
  TimeChart->SetRecord(record);
  ChartTabs->setTabVisible(ChartTabs->indexOf(TimeChart), HasClock(record));
  UpdateChartTabs();
  ShowTime();
  AnalyseRecord();
}

void TSidePanel::SetRow(int row) {
  row_ = row;
  ShowTime();
  AnalyseShownRow();
}

void TSidePanel::ShowTime() {
  Clocks->ShowRow(*record_, row_);
  TimeChart->SetRow(row_);
  UpdateShown();
}

void TSidePanel::SetAnalysis(bool on) {
  analysing_ = on;
  Analysis->SetEnabled(on);
  if (!on) record_positions_.clear();
  AnalysisPanel->setVisible(on);
  ChartTabs->setTabVisible(ChartTabs->indexOf(EvalGraph), on);
  UpdateChartTabs();
  UpdateShown();
  AnalyseRecord();
}

void TSidePanel::SetEngineSettings(const TEngineSettings& settings) {
  Analysis->SetSettings(settings);
  AnalyseRecord();
}

void TSidePanel::UpdateChartTabs() {
  bool any_tab = false;
  for (int i = 0; i < ChartTabs->count(); ++i) any_tab = any_tab || ChartTabs->isTabVisible(i);
  ChartTabs->setVisible(any_tab);
}

void TSidePanel::UpdateShown() {
  bool wanted = false;
  for (QWidget* part : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    wanted = wanted || !part->isHidden();
  }
  if (wanted == !isHidden()) return;
  QWidget* window = parentWidget();
  const QSize base = BaseSize(window->size());
  setVisible(wanted);
  const QSize extra(wanted ? kSidePanelWidth : 0, 0);
  window->setMinimumSize(kViewerSize + extra);
  window->resize(base + extra);
  emit ColumnChanged();
}

void TSidePanel::AnalyseRecord() {
  if (!analysing_) return;
  record_positions_ = RecordPositions(*record_);
  std::vector<std::string> main_line;
  main_line.reserve(record_->main_line.size());
  for (int row : record_->main_line) {
    main_line.push_back(record_positions_.at(static_cast<size_t>(row)).command);
  }
  Analysis->SetMainLine(std::move(main_line));
  AnalyseShownRow();
  UpdateEvalGraph();
}

void TSidePanel::AnalyseShownRow() {
  if (!analysing_ || record_positions_.empty()) return;
  const size_t row = std::min(static_cast<size_t>(std::max(row_, 0)), record_positions_.size() - 1);
  Analysis->SetShown(record_positions_[row].command);
  // Numbers a record skipped show the row before them: the last of them is marked.
  int index = -1;
  for (size_t n = 0; n < record_->main_line.size(); ++n) {
    if (record_->main_line[n] == static_cast<int>(row)) index = static_cast<int>(n);
  }
  EvalGraph->SetCurrent(index);
  ShowVerdictOnShow();
}

void TSidePanel::ShowVerdictOnShow() {
  const int index = EvalGraph->Current();
  const TMoveVerdict* verdict = EvalGraph->VerdictAt(index);
  QString best;
  if (verdict && index > 0 && index < static_cast<int>(record_->main_line.size())) {
    const int before = record_->main_line[static_cast<size_t>(index - 1)];
    best = QString::fromStdString(
        PvText(record_positions_.at(static_cast<size_t>(before)).command, {verdict->best}));
  }
  AnalysisPanel->ShowVerdict(verdict, best);
}

void TSidePanel::SetWinRateScale(int scale) {
  EvalGraph->SetScale(scale);
  AnalysisPanel->SetScale(scale);
  AnalysisPanel->ShowAnalysis(Analysis->ShownAnalysis());
  UpdateEvalGraph();
}

void TSidePanel::UpdateEvalGraph() {
  if (!analysing_ || record_positions_.empty()) return;
  std::vector<std::optional<TUsiScore>> scores;
  scores.reserve(record_->main_line.size());
  for (int row : record_->main_line) {
    const TUsiAnalysis* kept =
        Analysis->Plan().Result(record_positions_.at(static_cast<size_t>(row)).command);
    scores.push_back(kept && kept->HasScore() ? std::optional(kept->lines[0].score) : std::nullopt);
  }
  EvalGraph->SetScores(std::move(scores));
  // Marks from the kept results: recomputed whenever one comes.
  std::vector<const TUsiAnalysis*> results;
  std::vector<TMainLineMove> moves;
  const std::vector<int>& line = record_->main_line;
  for (size_t n = 0; n < line.size(); ++n) {
    const int row = line[n];
    results.push_back(
        Analysis->Plan().Result(record_positions_.at(static_cast<size_t>(row)).command));
    const TKifRecord::Row& r = record_->rows.at(static_cast<size_t>(row));
    TMainLineMove move;
    move.judged = n > 0 && row != line[n - 1] && r.moved && r.rules_move &&
                  r.foul == TFoul::kNone && r.parent == line[n - 1];
    if (move.judged) move.played = ToUsi(*r.rules_move);
    move.sente = r.side > 0;
    moves.push_back(std::move(move));
  }
  EvalGraph->SetVerdicts(JudgeMainLine(results, moves, EvalGraph->Scale()));
  ShowVerdictOnShow();
  QMap<int, QString> marks;
  for (size_t n = 1; n < line.size(); ++n) {
    const TMoveVerdict* verdict = EvalGraph->VerdictAt(static_cast<int>(n));
    const std::string_view name = verdict ? MoveMarkName(verdict->mark) : std::string_view();
    marks[line[n]] = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  }
  if (marks != marks_) {
    marks_ = marks;
    emit MarksChanged(marks_);
  }
}

void TSidePanel::ShowAnalysisStatus() {
  if (!Analysis->Enabled()) return;
  if (!Analysis->Fault().isEmpty()) {
    AnalysisPanel->ShowStatus(Analysis->Fault(), true);
    return;
  }
  TEngineProcess* process = Analysis->Process();
  if (process != nullptr && process->Client().Ready()) {
    QString status =
        QStringLiteral("エンジン: ") + QString::fromStdString(process->Client().EngineName());
    if (Analysis->WorkingOnGraph()) status += QStringLiteral("（グラフの局面を検討中）");
    AnalysisPanel->ShowStatus(status, false);
  } else {
    AnalysisPanel->ShowStatus(QStringLiteral("エンジンを起動しています…"), false);
  }
}

}  // namespace zelvaro
