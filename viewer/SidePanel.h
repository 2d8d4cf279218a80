// TSidePanel: the column right of the viewer's layout. At its top the
// players' clocks at the row on show (for a record with a clock) and the
// analysis of that row (while analysis is on); at its bottom ChartTabs, the
// time chart and the evaluation graph of the main line. The column is shown
// while any of its parts is, and the window grows by its width meanwhile.
#pragma once

#include <QMap>
#include <QSize>
#include <QTabWidget>
#include <QWidget>
#include <vector>

#include "engine/RecordPositions.h"
#include "game/Record.h"
#include "viewer/AnalysisPanel.h"
#include "viewer/ClockPanel.h"
#include "viewer/EngineProcess.h"
#include "viewer/EvalGraph.h"
#include "viewer/TimeChart.h"

namespace zelvaro {

// The width of the column.
inline constexpr int kSidePanelWidth = 340;

class TSidePanel : public QWidget {
  Q_OBJECT
 public:
  // A hidden column of `window`, which it resizes as it comes and goes.
  explicit TSidePanel(QWidget* window);

  TClockPanel* Clocks;    // shown for a record with a clock
  QTabWidget* ChartTabs;  // "chartTabs", shown while a tab is
  TTimeChart* TimeChart;  // the tab "消費時間", shown for a record with a clock
  // The engine's analysis of the row on show, shown while analysis is on,
  // and the main line's evaluations (the tab 「評価値」).
  TAnalysisPanel* AnalysisPanel;
  TEvalGraph* EvalGraph;
  TAnalysisSession* Analysis;

  // The record on show, which must stay where it is until the next call,
  // and the row whose position the window shows.
  void SetRecord(const TKifRecord& record, int row);
  // The row whose position the window shows.
  void SetRow(int row);
  // Analysis on (the engine analyses the row on show and the main line) or off (no engine runs).
  void SetAnalysis(bool on);
  void SetEngineSettings(const TEngineSettings& settings);
  // 「勝率換算の係数」: the panel, the graph and the marks take it.
  void SetWinRateScale(int scale);
  // Each main-line row's mark ("緩手" … or empty), by row.
  const QMap<int, QString>& Marks() const { return marks_; }
  // The client area a window of `window` size leaves to the layout.
  QSize BaseSize(QSize window) const;

 signals:
  // A chart's click on a row of the record.
  void RowClicked(int row);
  // The column came or went and the window was resized: lay it out again.
  void ColumnChanged();
  // The marks of the record's rows changed: each main-line row's mark
  // ("緩手" … or empty), by row.
  void MarksChanged(const QMap<int, QString>& marks);

 private:
  QMap<int, QString> marks_;
  void UpdateChartTabs();
  // The clocks and the chart's mark at the row on show.
  void ShowTime();
  void UpdateShown();
  void AnalyseRecord();
  void AnalyseShownRow();
  void UpdateEvalGraph();
  void ShowAnalysisStatus();
  // The mark of the move to the row on show, in the panel.
  void ShowVerdictOnShow();

  const TKifRecord* record_;
  int row_ = 0;
  bool analysing_ = false;
  std::vector<TRecordPosition> record_positions_;  // while analysis is on
};

}  // namespace zelvaro
