// The viewer's analysis (「検討」, F2) against the scripted engine: the panel
// follows the row on show, the graph fills in and answers clicks, the
// engine's process lives only while analysis is on, and a fault is told
// and can be restarted.
#include <signal.h>

#include <QSignalSpy>

#include "engine/RecordPositions.h"
#include "tests/engine/ScriptedEngine.h"
#include "tests/viewer/ViewerWindowFixture.h"

namespace zelvaro::testing {
namespace {

constexpr int kWaitMs = 30000;  // generous: two cores shared with other builds

class AnalysisTest : public ViewerWindow {
 protected:
  void TurnOn(const std::string& program, int time_ms = 1000, int multipv = 1) {
    form.SidePanel->Analysis->SetSettings(TEngineSettings{program, 8, 1, multipv, time_ms});
    form.AnalysisAction->setChecked(true);
  }
  std::string Command(int row) const {
    return RecordPositions(Record()).at(static_cast<size_t>(row)).command;
  }
  TKifRecord Record() const {
    TKifRecord record;
    ReadRecordBytes(record, ReadFile(kRecordFileName), TRecordEncoding::kCp932, kRecordFileName);
    return record;
  }
  QString Status() const { return form.SidePanel->AnalysisPanel->StatusLabel->text(); }
};

TEST_F(AnalysisTest, OffIsTodaysLayoutAndNoProcessOnRunsTheEngineInAColumnAtTheRight) {
  Read(WalkingKingsRecord(6, "棋戦", "先手", "後手"));
  form.show();
  EXPECT_FALSE(form.SidePanel->isVisible());
  EXPECT_EQ(form.size(), kViewerSize);
  EXPECT_EQ(form.SidePanel->Analysis->Process(), nullptr);
  EXPECT_EQ(form.AnalysisAction->shortcut(), QKeySequence(Qt::Key_F2));

  TurnOn(ScriptedEngine("good"));
  EXPECT_TRUE(form.SidePanel->isVisible());
  EXPECT_EQ(form.width(), kViewerSize.width() + kSidePanelWidth);
  EXPECT_EQ(form.SidePanel->geometry().left(), kViewerSize.width());
  EXPECT_EQ(form.SidePanel->ChartTabs->tabText(0), QStringLiteral("評価値"));
  EXPECT_EQ(form.Image1->geometry(), ViewerLayout(kViewerSize).image);
  ASSERT_TRUE(
      WaitFor([&] { return form.SidePanel->AnalysisPanel->EvalLabel->text().startsWith("評価値"); },
              kWaitMs));
  ASSERT_TRUE(WaitFor([&] { return Status().contains("Scripted good"); }, kWaitMs));
  TEngineProcess* process = form.SidePanel->Analysis->Process();
  ASSERT_NE(process, nullptr);
  QPointer<TEngineProcess> watched(process);
  form.AnalysisAction->setChecked(false);
  EXPECT_FALSE(form.SidePanel->isVisible());
  EXPECT_EQ(form.size(), kViewerSize);
  EXPECT_EQ(form.WebBrowser1->geometry(), ViewerLayout(kViewerSize).browser);
  ASSERT_TRUE(WaitFor([&] { return watched.isNull(); }, kWaitMs));  // quit, and gone
  form.AnalysisAction->setChecked(true);
  form.hide();  // closing the viewer ends its analysis
  EXPECT_FALSE(form.AnalysisAction->isChecked());
  EXPECT_EQ(form.SidePanel->Analysis->Process(), nullptr);
}

TEST_F(AnalysisTest, SteppingQuicklyEndsWithTheRowOnShowAndNeverAnEarlierOne) {
  Read(WalkingKingsRecord(20, "棋戦", "先手", "後手"));
  form.show();
  TurnOn(ScriptedEngine("good"), 60'000);
  ASSERT_TRUE(
      WaitFor([&] { return form.SidePanel->Analysis->ShownAnalysis().HasScore(); }, kWaitMs));
  for (int i = 0; i <= 10; ++i) form.Button3Click();  // from no selection to row 10
  ASSERT_EQ(form.ListView1->SelectedIndex(), 10);
  // From now on the panel shows nothing of rows 0 to 9.
  QStringList shown;
  QObject::connect(form.SidePanel->Analysis, &TAnalysisSession::ShownChanged, &form, [&] {
    shown << QString::fromStdString(form.SidePanel->Analysis->ShownAnalysis().position);
  });
  // The panel is refreshed at most every kPanelRefreshMs: wait for it, not for the session.
  ASSERT_TRUE(
      WaitFor([&] { return form.SidePanel->AnalysisPanel->EvalLabel->text().startsWith("評価値"); },
              kWaitMs));
  EXPECT_EQ(form.SidePanel->Analysis->ShownAnalysis().position, Command(10));
  // Row 10: gote made move 10, sente to move; 10 per move from the side to move.
  EXPECT_EQ(form.SidePanel->AnalysisPanel->EvalLabel->text(), QStringLiteral("評価値 ▲ +100"));
  EXPECT_EQ(form.SidePanel->AnalysisPanel->ChanceLabel->text(),
            QStringLiteral("+100 (先手勝率 54 %)"));
  EXPECT_TRUE(form.SidePanel->AnalysisPanel->LinesView->toPlainText().startsWith("1. [▲ +100]"));
  for (const QString& position : shown) EXPECT_EQ(position.toStdString(), Command(10));
}

TEST_F(AnalysisTest, GraphFillsInGrowsWithTheRecordAndAClickShowsItsRow) {
  Read(WalkingKingsRecord(4, "棋戦", "先手", "後手"));
  form.show();
  TurnOn(ScriptedEngine("good"), 100);
  auto filled = [this](size_t count) {
    const auto& scores = form.SidePanel->EvalGraph->Scores();
    return scores.size() == count &&
           std::all_of(scores.begin(), scores.end(), [](const auto& s) { return s.has_value(); });
  };
  ASSERT_TRUE(WaitFor([&] { return filled(5); }, kWaitMs));
  EXPECT_EQ(form.SidePanel->EvalGraph->Scores()[3]->cp, -30);  // gote to move after move 3
  form.SidePanel->EvalGraph->resize(300, 120);
  const int x = static_cast<int>(40 + (300 - 46) * 3 / 4.0);
  QTest::mouseClick(form.SidePanel->EvalGraph, Qt::LeftButton, {}, QPoint(x, 60));
  EXPECT_EQ(form.ListView1->SelectedIndex(), 3);
  EXPECT_EQ(form.SidePanel->EvalGraph->Current(), 3);
  // A live game's new moves (a reading of the grown record) are analysed too.
  Read(WalkingKingsRecord(6, "棋戦", "先手", "後手"));
  ASSERT_TRUE(WaitFor([&] { return filled(7); }, kWaitMs));
}

// The scripted engine scores 10 a move for the side to move: moves 7 and 8
// lose about 5 points each (緩手), and its first move is never the one played.
TEST_F(AnalysisTest, MarksShowOnTheGraphInThePanelAndInTheTallies) {
  Read(WalkingKingsRecord(8, "棋戦", "先手", "後手"));
  form.show();
  TurnOn(ScriptedEngine("good"), 100);
  ASSERT_TRUE(WaitFor([&] { return form.SidePanel->EvalGraph->VerdictAt(8) != nullptr; }, kWaitMs));
  const QStringList tally = form.SidePanel->EvalGraph->SummaryText().split('\n');
  ASSERT_EQ(tally.size(), 2);
  EXPECT_TRUE(tally[0].startsWith("先手: 緩手 1 疑問手 0 悪手 0 大悪手 0、平均損失 "))
      << tally[0].toStdString();
  EXPECT_TRUE(tally[1].startsWith("後手: 緩手 1 疑問手 0 悪手 0 大悪手 0、平均損失 "))
      << tally[1].toStdString();
  EXPECT_EQ(form.SidePanel->EvalGraph->VerdictAt(6)->mark, TMoveMark::kNone);
  EXPECT_EQ(form.SidePanel->EvalGraph->VerdictAt(7)->mark, TMoveMark::kSlack);
  EXPECT_FALSE(form.ListView1->isColumnHidden(4));
  EXPECT_EQ(form.ListView1->headerItem()->text(4), QStringLiteral("評価"));
  EXPECT_EQ(form.ListView1->SubItem(7, 3), QStringLiteral("緩手"));
  EXPECT_EQ(form.ListView1->SubItem(6, 3), QString());
  form.SidePanel->EvalGraph->resize(300, 160);
  auto click = [&](int index) {
    QTest::mouseClick(form.SidePanel->EvalGraph, Qt::LeftButton, {},
                      QPoint(static_cast<int>(40 + (300 - 46) * index / 8.0), 60));
  };
  click(7);
  ASSERT_TRUE(WaitFor([&] { return !form.SidePanel->AnalysisPanel->MarkLabel->text().isEmpty(); },
                      kWaitMs));
  EXPECT_EQ(form.SidePanel->AnalysisPanel->MarkLabel->text(),
            QStringLiteral("緩手: 勝率 \u22125 %、最善 ▲\u2060７六歩"));
  click(6);
  EXPECT_EQ(form.SidePanel->AnalysisPanel->MarkLabel->text(), QString());
  EXPECT_EQ(form.SidePanel->AnalysisPanel->WordsLabel->text(), QStringLiteral("互角"));
  // The graph's choice is kept in the settings.
  EXPECT_EQ(form.SidePanel->EvalGraph->ValueText(2), QStringLiteral("2手目 +20"));
  form.SidePanel->EvalGraph->ModeBox->setCurrentIndex(1);
  EXPECT_TRUE(form.SidePanel->EvalGraph->WinRateMode());
  EXPECT_EQ(form.SidePanel->EvalGraph->ValueText(2), QStringLiteral("2手目 先手勝率 50.8 %"));
}

TEST(AnalysisPanelTest, ChanceTextOfScoresAndMates) {
  const struct {
    TUsiScore score;
    const char* text;
  } cases[] = {
      {{false, 412, 0, false}, "+412 (先手勝率 67 %)"},
      {{false, -300, 0, false}, "-300 (先手勝率 38 %)"},
      {{true, 0, 0, true}, "詰み（後手の負け）"},  // gote to move is mated
      {{true, 0, 0, false}, "詰み（先手の負け）"},
      {{true, 0, 3, false}, "△詰み (先手勝率 0 %)"},
  };
  for (const auto& c : cases) EXPECT_EQ(ChanceText(c.score, 600), QString::fromUtf8(c.text));
  EXPECT_EQ(ChanceText({false, 412, 0, false}, 3000), QStringLiteral("+412 (先手勝率 53 %)"));
}

TEST_F(AnalysisTest, FaultsAreToldInWordsAndTheEngineCanBeStartedAgain) {
  Read(WalkingKingsRecord(2, "棋戦", "先手", "後手"));
  form.show();
  TurnOn("/nonexistent/engine");
  ASSERT_TRUE(WaitFor([&] { return Status().contains("起動できません"); }, kWaitMs));
  EXPECT_TRUE(Status().contains("ファイルがありません")) << Status().toStdString();
  EXPECT_TRUE(
      form.SidePanel->AnalysisPanel->RestartButton->isVisibleTo(form.SidePanel->AnalysisPanel));
  form.AnalysisAction->setChecked(false);
  // The settings dialog says so as the path is typed.
  auto* dialog = form.OptionsDialog->EngineDialog;
  dialog->PathEdit->setText(ZELVARO_SOURCE_DIR "/README.md");
  EXPECT_TRUE(dialog->PathWarning->text().contains("実行できるファイルではありません"));
  dialog->PathEdit->setText(QString::fromStdString(ScriptedEngine("good")));
  EXPECT_TRUE(dialog->PathWarning->text().isEmpty());
  TurnOn(ZELVARO_SOURCE_DIR "/README.md");  // there, but not a program
  ASSERT_TRUE(
      WaitFor([&] { return Status().contains("実行できるファイルではありません"); }, kWaitMs))
      << Status().toStdString();
  form.AnalysisAction->setChecked(false);

  TurnOn(ScriptedEngine("good"));
  ASSERT_TRUE(WaitFor([&] { return Status().contains("Scripted good"); }, kWaitMs));
  ::kill(static_cast<pid_t>(form.SidePanel->Analysis->Process()->ProcessId()), SIGKILL);
  ASSERT_TRUE(WaitFor([&] { return Status().contains("終了しました"); }, kWaitMs));
  form.SidePanel->AnalysisPanel->RestartButton->click();
  ASSERT_TRUE(WaitFor([&] { return Status().contains("Scripted good"); }, kWaitMs));
  EXPECT_FALSE(
      form.SidePanel->AnalysisPanel->RestartButton->isVisibleTo(form.SidePanel->AnalysisPanel));

  form.SidePanel->Analysis->SetSettings(TEngineSettings{ScriptedEngine("crash"), 8, 1, 1, 1000});
  ASSERT_TRUE(WaitFor([&] { return Status().contains("終了しました"); }, kWaitMs));
  EXPECT_TRUE(Status().contains("info depth 1")) << Status().toStdString();  // its last line

  // An engine whose child keeps its output open for 15 s is over when the
  // engine itself exits.
  form.SidePanel->Analysis->SetSettings(TEngineSettings{ScriptedEngine("orphan"), 8, 1, 1, 1000});
  ASSERT_TRUE(WaitFor([&] { return Status().contains("Scripted orphan"); }, kWaitMs));
  EXPECT_TRUE(WaitFor([&] { return Status().contains("終了しました"); }, 10000));
}

}  // namespace
}  // namespace zelvaro::testing

namespace zelvaro::testing {
namespace {

TEST(EngineSettingsTest, KeptInTheIniFileAndShownOnTheEnginePage) {
  TestApp();
  ScratchFolder folder;
  const QString path = QStringLiteral("engine.ini");
  {
    TSettingsFile file(path);
    EXPECT_EQ(file.Values().engine, TEngineSettings());
    EXPECT_EQ(TEngineSettings().time_ms, 1000);
    file.Values().engine = TEngineSettings{"/opt/engine/yane", 256, 1, 3, 2500};
    file.Save();
  }
  TSettingsFile file(path);
  EXPECT_EQ(file.Values().engine, (TEngineSettings{"/opt/engine/yane", 256, 1, 3, 2500}));
  TForm1 form;
  form.Settings->KeepSettings(&file);
  EXPECT_EQ(form.OptionsDialog->EngineDialog->Values(), file.Values().engine);
  form.OptionsDialog->EngineDialog->MultiPvSpin->setValue(2);
  form.OptionsDialog->EngineDialog->OkButton->click();
  EXPECT_EQ(TSettingsFile(path).Values().engine.multipv, 2);
  EXPECT_EQ(form.SidePanel->Analysis->Settings().multipv, 2);
  form.Settings->KeepSettings(nullptr);
  // A damaged value gives its default, the others stay.
  WriteFile("engine.ini", "[engine]\nhash=lots\nmultipv=99\ntime_ms=1500\n");
  const TEngineSettings read = TSettingsFile(path).Values().engine;
  EXPECT_EQ(read.hash_mb, kDefaultHashMb);
  EXPECT_EQ(read.multipv, kDefaultMultiPv);
  EXPECT_EQ(read.time_ms, 1500);
}

}  // namespace
}  // namespace zelvaro::testing
