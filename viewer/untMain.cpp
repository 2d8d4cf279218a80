#include "viewer/untMain.h"

#include <QDir>
#include <QFile>
#include <QResizeEvent>
#include <QShortcut>
#include <QStandardPaths>
#include <algorithm>
#include <utility>

#include "game/RecordRefresh.h"
#include "resources/Resources.h"
#include "toolkit/qt/Forms.h"
#include "toolkit/qt/Platform.h"
#include "viewer/CommentPanel.h"
#include "viewer/MoveNotice.h"

namespace zelvaro {
namespace {
// The move list's column of each move's mark (shown while analysis is on).
constexpr int kMarkColumn = 4;

void ApplyMarks(TListView& list, const QMap<int, QString>& marks) {
  for (auto it = marks.begin(); it != marks.end(); ++it) {
    if (it.key() > 0 && it.key() < list.RowCount())
      list.SetSubItem(it.key(), kMarkColumn - 1, it.value());
  }
}
}  // namespace

namespace {

// The document prefix for the text size chosen in the options dialog.
std::u16string FontSizePrefix(const TForm3& options) {
  int index = options.RadioGroup1->ItemIndex();
  if (index < 0 || index >= kFontSizeCount) index = kDefaultFontSize;
  return DocumentPrefix(index);
}

void ShowHtml(TForm1& form, const std::u16string& body) {
  ShowDocument(form.WebBrowser1,
               FontSizePrefix(*form.OptionsDialog) + body + std::u16string(kDocumentSuffix));
}

// The controls where ViewerLayout puts them in the room SidePanel leaves.
void LayOutControls(TForm1& form) {
  const QSize base = form.SidePanel->BaseSize(form.size());
  form.SidePanel->setGeometry(base.width(), 0, kSidePanelWidth, form.height());
  const TViewerLayout layout = ViewerLayout(base);
  form.Image1->setGeometry(layout.image);
  form.WebBrowser1->setGeometry(layout.browser);
  form.ListView1->setGeometry(layout.list);
  QPushButton* buttons[] = {form.Button1, form.Button2, form.Button3, form.Button4, form.Button5};
  for (size_t i = 0; i < layout.buttons.size(); ++i) buttons[i]->setGeometry(layout.buttons[i]);
}

QStringList RowTexts(const TKifRecord::Row& r) {
  return {ToQString(r.caption), ToQString(r.move), ToQString(r.time), ToQString(r.other)};
}

// The list's rows made the record's, changing only the cells that differ.
void UpdateRows(TListView* list, const TKifRecord& record) {
  const int old_count = list->RowCount();
  const int new_count = static_cast<int>(record.rows.size());
  list->BeginUpdate();
  for (int row = 0; row < new_count; ++row) {
    const QStringList texts = RowTexts(record.rows[static_cast<size_t>(row)]);
    if (row >= old_count) {
      list->Append(texts[0], texts.mid(1));
      continue;
    }
    QTreeWidgetItem* item = list->topLevelItem(row);
    for (int column = 0; column < texts.size(); ++column) {
      if (item->text(column) != texts[column]) item->setText(column, texts[column]);
    }
  }
  while (list->RowCount() > new_count) delete list->takeTopLevelItem(list->RowCount() - 1);
  list->EndUpdate();
}

}  // namespace

TViewerLayout ViewerLayout(QSize client) {
  const int dx = std::max(client.width() - kViewerSize.width(), 0);
  const int dy = std::max(client.height() - kViewerSize.height(), 0);
  TViewerLayout layout;
  layout.image = {0, 0, 329, 417};
  layout.browser = {336, 0, 417 + dx, 465 + dy};
  layout.list = {0, 416, 329, 97 + dy};
  layout.buttons = {QRect(528 + dx, 472 + dy, 73, 25), QRect(344, 472 + dy, 57, 25),
                    QRect(432, 472 + dy, 57, 25), QRect(688 + dx, 472 + dy, 57, 25),
                    QRect(616 + dx, 472 + dy, 57, 25)};
  return layout;
}

std::string RecordFilePlace(bool desktop_start) {
  if (!desktop_start) return kRecordFileName;
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  QDir().mkpath(folder);
  return QFile::encodeName(QDir(folder).filePath(QString::fromUtf8(kRecordFileName))).toStdString();
}

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window),
      Follower(new TRecordFollower(this)),
      Positions(Follower->Record().row_positions),
      SenteName(Follower->Record().sente_name),
      GoteName(Follower->Record().gote_name),
      TournamentName(Follower->Record().tournament_name) {
  SetUpFixedWindow(this, "Form1", QStringLiteral("Zelvaro"), TBorder::kSizeable, kViewerSize,
                   {18, 29});
  setAcceptDrops(true);

  Image1 = new TImage(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  WebBrowser1 = new THtmlView(this);
  WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
  ListView1 = new TListView(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->SetColumns({
      {QStringLiteral("手数"), 38, 38, Qt::AlignLeft},
      {QStringLiteral("指し手"), 110, 0, Qt::AlignLeft},
      {QStringLiteral("考慮時間"), 90, 0, Qt::AlignRight},
      {QStringLiteral("その他"), 60, 0, Qt::AlignRight},
      {QStringLiteral("評価"), 48, 0, Qt::AlignLeft},
  });
  ListView1->setColumnHidden(kMarkColumn, true);
  const TViewerLayout layout = ViewerLayout(kViewerSize);
  Image1->setGeometry(layout.image);
  WebBrowser1->setGeometry(layout.browser);
  ListView1->setGeometry(layout.list);
  Button1 = MakeButton(this, "Button1", QStringLiteral("棋譜を開く"), layout.buttons[0]);
  Button2 = MakeButton(this, "Button2", QStringLiteral("<"), layout.buttons[1]);
  Button3 = MakeButton(this, "Button3", QStringLiteral(">"), layout.buttons[2]);
  Button4 = MakeButton(this, "Button4", QStringLiteral("閉じる"), layout.buttons[3]);
  Button5 = MakeButton(this, "Button5", QStringLiteral("設定"), layout.buttons[4]);

  Image1->setFocusPolicy(Qt::NoFocus);
  // Tab still reaches "<" and ">", but a click leaves the focus where it
  // was: ← and → go on stepping, and Space does not press another button.
  Button2->setFocusPolicy(Qt::TabFocus);
  Button3->setFocusPolicy(Qt::TabFocus);
  setTabOrder(WebBrowser1, ListView1);
  setTabOrder(ListView1, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button3);
  setTabOrder(Button3, Button4);
  setTabOrder(Button4, Button5);

  // A record opened with the button is a local file: nothing to refresh it from.
  connect(Button1, &QPushButton::clicked, this, [this] {
    FollowRecord({});
    Button1Click();
  });
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
  connect(ListView1, &TListView::Clicked, this, &TForm1::OnListViewClick);
  connect(ListView1, &TListView::SelectionMoved, this, &TForm1::OnListViewClick);

  SidePanel = new TSidePanel(this);
  SidePanel->SetRecord(Follower->Record(), 0);
  connect(SidePanel, &TSidePanel::ColumnChanged, this, [this] { LayOutControls(*this); });
  // A chart's click: the row selected and shown as a click on it shows it.
  connect(SidePanel, &TSidePanel::RowClicked, this, [this](int row) {
    ListView1->Select(row);
    ListView1->ScrollIntoView(row);
    OnListViewClick();
  });

  // OnCreate.
  OptionsDialog = new TForm3(this);
  OptionsDialog->setObjectName(QStringLiteral("OptionsDialog"));
  InitResources();
  renderer_ = std::make_unique<TBoardRenderer>(&Image1->Picture(),
                                               PictureRatioFor(Image1->devicePixelRatioF()));
  renderer_->SetChangedHook([this] { Image1->Changed(); });
  // The renderer redraws the position on show itself.
  connect(Image1, &TImage::DevicePixelRatioChanged, this,
          [this](qreal ratio) { renderer_->SetPixelRatio(PictureRatioFor(ratio)); });
  connect(OptionsDialog, &TForm3::BoardOptionsChanged, this,
          [this](const TBoardOptions& options) { renderer_->SetOptions(options); });
  TKyokumen start = Positions[0];  // the record's row 0 is the starting position already
  renderer_->InitBoard(start, SenteName, GoteName);
  ListView1->Append(RowTexts(Follower->Record().rows[0])[0],
                    RowTexts(Follower->Record().rows[0]).mid(1));

  connect(Follower, &TRecordFollower::CaptionChanged, this, &QWidget::setWindowTitle);
  connect(Follower, &TRecordFollower::RecordCleared, this, [this] {
    // The list holds only row 0 while the file is read.
    ListView1->BeginUpdate();
    ListView1->Clear();
    const QStringList first = RowTexts(Follower->Record().rows[0]);
    ListView1->Append(first[0], first.mid(1));
    ListView1->EndUpdate();
    shown_row_ = 0;
    SidePanel->SetRecord(Follower->Record(), 0);
  });
  connect(Follower, &TRecordFollower::RecordOpened, this, &TForm1::ShowRecord);
  connect(Follower, &TRecordFollower::RecordRefreshed, this, &TForm1::ShowRefreshedRecord);
  Follower->SetRefreshInterval(RefreshIntervalMs(OptionsDialog->RadioGroup2->ItemIndex()));
  connect(OptionsDialog->RadioGroup2, &TRadioGroup::ItemIndexChanged, this,
          [this](int choice) { Follower->SetRefreshInterval(RefreshIntervalMs(choice)); });
  connect(OptionsDialog->EngineDialog, &TEngineOptionsDialog::EngineSettingsChanged, SidePanel,
          &TSidePanel::SetEngineSettings);
  connect(OptionsDialog->EngineDialog, &TEngineOptionsDialog::ScaleChanged, SidePanel,
          &TSidePanel::SetWinRateScale);

  auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
  f5->setContext(Qt::WindowShortcut);
  connect(f5, &QShortcut::activated, this, &TForm1::RefreshRecord);
  for (auto [key, step] : {std::pair{Qt::Key_Left, &TForm1::Button2Click},
                           std::pair{Qt::Key_Right, &TForm1::Button3Click}}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, step);
  }

  Actions = new TRecordActions(this, Follower, [this] { return shown_row_; });
  // The board's two options, in step with the dialog's check boxes: the
  // boxes hold the options, the actions only set and follow them.
  LastMoveAction = new QAction(QStringLiteral("最終手を表示"), this);
  LastMoveAction->setCheckable(true);
  FlipAction = new QAction(QStringLiteral("盤面反転"), this);
  FlipAction->setCheckable(true);
  FlipAction->setShortcut(QKeySequence(Qt::Key_F));
  connect(LastMoveAction, &QAction::toggled, OptionsDialog->CheckBox1, &QCheckBox::setChecked);
  connect(FlipAction, &QAction::toggled, OptionsDialog->CheckBox2, &QCheckBox::setChecked);
  connect(OptionsDialog, &TForm3::BoardOptionsChanged, this, [this](const TBoardOptions& options) {
    LastMoveAction->setChecked(options.last_move);
    FlipAction->setChecked(options.flip);
  });
  AnalysisAction = new QAction(QStringLiteral("検討"), this);
  AnalysisAction->setCheckable(true);
  AnalysisAction->setShortcut(QKeySequence(Qt::Key_F2));
  connect(AnalysisAction, &QAction::toggled, SidePanel, &TSidePanel::SetAnalysis);
  // The column 「評価」 (each move's mark) while analysis is on.
  connect(AnalysisAction, &QAction::toggled, this,
          [this](bool on) { ListView1->setColumnHidden(kMarkColumn, !on); });
  connect(SidePanel, &TSidePanel::MarksChanged, this,
          [this](const QMap<int, QString>& marks) { ApplyMarks(*ListView1, marks); });

  const auto separator = [this] {
    auto* action = new QAction(this);
    action->setSeparator(true);
    return action;
  };
  const QList<QAction*> actions = {Actions->OpenAction,
                                   Actions->OpenAddressAction,
                                   Actions->SaveAction,
                                   Actions->SaveAsAction,
                                   Actions->CopyAction,
                                   Actions->PasteAction,
                                   separator(),
                                   Actions->CopySfenAction,
                                   Actions->CopyBodAction,
                                   separator(),
                                   LastMoveAction,
                                   FlipAction,
                                   separator(),
                                   AnalysisAction,
                                   Actions->GridAction};
  for (QAction* action : actions) action->setShortcutContext(Qt::WindowShortcut);
  addActions(actions);
  Image1->addActions(actions);
  Image1->setContextMenuPolicy(Qt::ActionsContextMenu);

  // Last: it saves what the others have taken from a change.
  Settings = new TSettingsSync(this);
}

// OnDestroy: the dialog goes with its parent; the renderer releases the cell images.
TForm1::~TForm1() {
  // A window hidden as it goes is past its parts' handling of hiding.
  for (QObject* part : {static_cast<QObject*>(Follower), static_cast<QObject*>(Actions),
                        static_cast<QObject*>(Settings)}) {
    removeEventFilter(part);
  }
}

void TForm1::Button1Click() {
  const std::string file = Follower->RecordFile();
  Follower->ReadAside([file] { return ReadRecordFile(file); }, TRecordEncoding::kCp932, file,
                      [this, file](TRecordFollower::TRead& read) {
                        if (!read.error.empty()) {
                          Follower->Clear();
                          ShowMessage(QString::fromStdString(read.error),
                                      QStringLiteral("Zelvaro"));
                        } else if (!read.refusal.empty()) {
                          ShowMessage(ToQString(read.refusal), QStringLiteral("Zelvaro"));
                        } else {
                          Follower->Clear();
                          Follower->Take(read, TRecordEncoding::kCp932, file, {});
                        }
                      });
}

void TForm1::FollowRecord(TRecordDownload download) { Follower->Follow(std::move(download)); }

void TForm1::RefreshRecord() { Follower->RefreshRecord(); }

void TForm1::ShowRecord() {
  const TKifRecord& record = Follower->Record();
  SenteName = record.sente_name;
  GoteName = record.gote_name;
  TournamentName = record.tournament_name;
  SidePanel->SetRecord(record, shown_row_);
  ListView1->BeginUpdate();
  QList<QStringList> rows;
  rows.reserve(static_cast<qsizetype>(record.rows.size()));
  for (size_t row = 1; row < record.rows.size(); ++row) rows.append(RowTexts(record.rows[row]));
  ListView1->AppendRows(rows);
  ListView1->SetSubItem(0, 2, ToQString(record.rows[0].other));
  ApplyMarks(*ListView1, SidePanel->Marks());
  ListView1->EndUpdate();
  // A new game starts at its top, whatever the last one scrolled to.
  ListView1->scrollToTop();
  shown_row_ = 0;
  SidePanel->SetRow(0);

  ShowHtml(*this, record.header_body);
  renderer_->DrawPosition(Positions[0], SenteName, GoteName);
  const std::vector<std::u16string> reports = record.reports;
  for (size_t i = 0; i < reports.size() && i < kMaxReportBoxes; ++i) {
    ShowMessage(ToQString(reports[i]), QStringLiteral("error"));
  }
  if (reports.size() > kMaxReportBoxes) {
    ShowMessage(
        QStringLiteral("ほかに %1 件のエラーがあります").arg(reports.size() - kMaxReportBoxes),
        QStringLiteral("error"));
  }
}

void TForm1::ShowRefreshedRecord(const TKifRecord& before) {
  const TKifRecord& record = Follower->Record();
  const TRefreshPlan plan = PlanRefresh(before, ListView1->SelectedIndex(), shown_row_, record);
  UpdateRows(ListView1, record);
  SenteName = record.sente_name;
  GoteName = record.gote_name;
  TournamentName = record.tournament_name;
  SidePanel->SetRecord(record, shown_row_);
  ApplyMarks(*ListView1, SidePanel->Marks());
  if (record.main_line.size() > before.main_line.size() && (!isActiveWindow() || isMinimized())) {
    if (const auto notice =
            MovesNotice(record, before.main_line.size(), OptionsDialog->NotifyOptions())) {
      Notify(*notice, this);
    }
  }

  if (plan.reselect) {
    ListView1->Select(plan.select);
    ListView1->ScrollIntoView(plan.select);
  }
  shown_row_ = plan.shown_row;
  SidePanel->SetRow(shown_row_);
  if (plan.select < 0) {
    if (plan.picture_row >= 0) {
      renderer_->DrawPosition(Positions[static_cast<size_t>(plan.picture_row)], SenteName,
                              GoteName);
    }
    if (plan.document) ShowHtml(*this, record.header_body);
    return;
  }
  ShowRow(plan.select, plan.document, plan.picture_row >= 0);
}

void TForm1::ShowRow(int row, bool document, bool picture) {
  const TKyokumen& position = Positions[static_cast<size_t>(row)];
  if (picture) {
    shown_row_ = row;
    SidePanel->SetRow(row);
    renderer_->DrawPosition(position, SenteName, GoteName);
  }
  // Last: showing a document processes events, and what they do wins.
  if (document) ShowHtml(*this, LinkifyUrls(position.Comment));
}

void ShowNewestMove(TForm1& viewer) {
  const auto& rows = viewer.Follower->Record().rows;
  int last = 0;
  for (size_t row = 0; row < rows.size(); ++row) {
    if (rows[row].line == 0) last = static_cast<int>(row);
  }
  viewer.ListView1->Select(last);
  viewer.ListView1->ScrollIntoView(last);
  viewer.OnListViewClick();
}

void TForm1::OnListViewClick() {
  TRecordFollower::TUserAction action(*Follower);
  const int row = ListView1->SelectedIndex();
  if (row < 0 || row >= static_cast<int>(Positions.size())) return;
  const TKyokumen& position = Positions[static_cast<size_t>(row)];
  shown_row_ = row;
  SidePanel->SetRow(row);
  ShowHtml(*this, LinkifyUrls(position.Comment));
  renderer_->DrawPosition(position, SenteName, GoteName);
}

void TForm1::Button2Click() {
  TRecordFollower::TUserAction action(*Follower);
  const int row = ListView1->SelectedIndex();
  if (row <= 0) return;
  ListView1->Select(row - 1);
  ListView1->ScrollIntoView(row - 1);
  OnListViewClick();
}

void TForm1::Button3Click() {
  TRecordFollower::TUserAction action(*Follower);
  const int row = ListView1->SelectedIndex();
  if (row >= 0 && row == ListView1->RowCount() - 1) return;
  const int next = row < 0 ? 0 : row + 1;
  ListView1->Select(next);
  ListView1->ScrollIntoView(next);
  OnListViewClick();
}

void TForm1::Button4Click() { close(); }

void TForm1::Button5Click() { OptionsDialog->exec(); }

void TForm1::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // A closed viewer shows no analysis: its engine ends (not when minimized).
  if (!isMinimized()) AnalysisAction->setChecked(false);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOutControls(*this);
}

}  // namespace zelvaro
