#include "viewer/untMain.h"

#include "broadcast/GameSet.h"
#include "game/RecordFormat.h"

#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "game/RecordUsi.h"
#include "game/RecordWriter.h"
#include "resources/Resources.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"
#include "toolkit/qt/Forms.h"
#include "toolkit/qt/Platform.h"
#include "viewer/AddressOpen.h"

namespace zelvaro {

// Counts a user action for as long as it runs. A refresh asked for meanwhile
// (from events the action processes) runs once the outermost one has ended.
class TForm1::ActionScope {
 public:
  explicit ActionScope(TForm1& form) : form_(form) { ++form_.action_depth_; }
  ~ActionScope() {
    if (--form_.action_depth_ == 0) form_.RunPendingRefresh();
  }
  ActionScope(const ActionScope&) = delete;
  ActionScope& operator=(const ActionScope&) = delete;

 private:
  TForm1& form_;
};

namespace {

constexpr char16_t kRefreshFailed[] = u"更新できません: ";
// How long a followed file must stay unchanged before it is read again.
constexpr int kFileSettleMs = 150;

// A refresh of a record opened from a file: the file read again as it is.
class TRecordFileFetch : public TRecordFetch {
 public:
  explicit TRecordFileFetch(const QString& path) : path_(QFile::encodeName(path).toStdString()) {}
  std::string Fetch() override { return ReadRecordFile(path_); }

 private:
  const std::string path_;
};
const QString kOpenFilters = QStringLiteral(
    "棋譜 (*.kif *.kifu *.ki2 *.ki2u *.csa *.sfen *.usi);;KIF 棋譜 (*.kif *.kifu);;"
    "KI2 棋譜 (*.ki2);;CSA 棋譜 (*.csa);;SFEN・USI (*.sfen *.usi);;すべてのファイル (*)");
const QString kSaveFilters = QStringLiteral("KIF 棋譜 (*.kif *.kifu);;すべてのファイル (*)");
// The file types of Ctrl+Shift+S, each with the format and extension it writes.
struct TSaveAsType {
  const char* filter;
  TRecordFormat format;
  const char* extension;
};
const TSaveAsType kSaveAsTypes[] = {
    {"KIF 棋譜 Shift_JIS (*.kif)", TRecordFormat::kKif, ".kif"},
    {"KIF 棋譜 UTF-8 (*.kifu)", TRecordFormat::kKifu, ".kifu"},
    {"KI2 棋譜 (*.ki2)", TRecordFormat::kKi2, ".ki2"},
    {"CSA 棋譜 V2.2 (*.csa)", TRecordFormat::kCsa, ".csa"},
};

// The first local file among the dropped ones that is a record.
QString DroppedRecord(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile() && IsRecordFileName(url.toLocalFile())) return url.toLocalFile();
  }
  return {};
}

// A file name for the record on show: the local file's, else one from the
// tournament, without the characters file systems refuse.
QString SuggestedName(const QString& record_path, const std::u16string& tournament) {
  if (!record_path.isEmpty()) return record_path;
  QString name = ToQString(tournament).simplified();
  name.replace(QRegularExpression(QStringLiteral(R"([/\\:*?"<>|])")), QStringLiteral("_"));
  return (name.isEmpty() ? QStringLiteral("棋譜") : name) + QStringLiteral(".kif");
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

bool IsRecordFileName(const QString& path) {
  static const QStringList kSuffixes = {"kif", "kifu", "ki2", "ki2u", "csa", "sfen", "usi"};
  return kSuffixes.contains(QFileInfo(path).suffix().toLower());
}

TForm1::TForm1(QWidget* parent) : QWidget(parent, Qt::Window) {
  SetUpFixedWindow(this, "Form1", QStringLiteral("Zelvaro"), TBorder::kSizeable, kViewerSize,
                   {18, 29});
  setAcceptDrops(true);

  Image1 = new TImage(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(0, 0, 329, 417);

  WebBrowser1 = new THtmlView(this);
  WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
  WebBrowser1->setGeometry(336, 0, 417, 465);

  ListView1 = new TListView(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setGeometry(0, 416, 329, 97);
  ListView1->SetColumns({
      {QStringLiteral("手数"), 38, 38, Qt::AlignLeft},
      {QStringLiteral("指し手"), 110, 0, Qt::AlignLeft},
      {QStringLiteral("考慮時間"), 90, 0, Qt::AlignRight},
      {QStringLiteral("その他"), 60, 0, Qt::AlignRight},
  });

  const TViewerLayout layout = ViewerLayout(kViewerSize);
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

  // The column of extra panels, hidden until a feature shows it: the
  // clocks, the analysis panel, and the charts, which share ChartTabs.
  SidePanel = new QWidget(this);
  SidePanel->setObjectName(QStringLiteral("sidePanel"));
  auto* side_layout = new QVBoxLayout(SidePanel);
  side_layout->setContentsMargins(4, 4, 6, 6);
  Clocks = new TClockPanel(SidePanel);
  side_layout->addWidget(Clocks);
  AnalysisPanel = new TAnalysisPanel(SidePanel);
  AnalysisPanel->setVisible(false);
  side_layout->addWidget(AnalysisPanel, 3);
  ChartTabs = new QTabWidget(SidePanel);
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
  SidePanel->setVisible(false);
  Analysis = new TAnalysisSession(this);
  AnalysisPanel->SetPvFormatter(
      [](const std::string& position, const std::vector<std::string>& pv) {
        return QString::fromStdString(PvText(position, pv));
      });
  connect(Analysis, &TAnalysisSession::ShownChanged, this,
          [this] { AnalysisPanel->ShowAnalysis(Analysis->ShownAnalysis()); });
  connect(Analysis, &TAnalysisSession::ResultKept, this, &TForm1::UpdateEvalGraph);
  connect(Analysis, &TAnalysisSession::StatusChanged, this, &TForm1::ShowAnalysisStatus);
  connect(AnalysisPanel, &TAnalysisPanel::RestartClicked, Analysis, &TAnalysisSession::Restart);
  connect(EvalGraph, &TEvalGraph::Clicked, this, &TForm1::EvalGraphClicked);

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
  renderer_->InitBoard(shown_.row_positions[0], SenteName, GoteName);
  AddFirstRow();

  base_caption_ = windowTitle();
  file_watcher_ = new QFileSystemWatcher(this);
  connect(file_watcher_, &QFileSystemWatcher::fileChanged, this, &TForm1::WatchedFileChanged);
  connect(file_watcher_, &QFileSystemWatcher::directoryChanged, this, &TForm1::WatchedFileChanged);
  file_settle_timer_ = new QTimer(this);
  file_settle_timer_->setSingleShot(true);
  file_settle_timer_->setInterval(kFileSettleMs);
  connect(file_settle_timer_, &QTimer::timeout, this, &TForm1::RefreshWatchedFile);
  refresh_timer_ = new QTimer(this);
  refresh_timer_->setSingleShot(true);
  connect(refresh_timer_, &QTimer::timeout, this, &TForm1::RefreshRecord);
  refresh_interval_ms_ = RefreshIntervalMs(OptionsDialog->RadioGroup2->ItemIndex());
  connect(OptionsDialog->RadioGroup2, &TRadioGroup::ItemIndexChanged, this,
          [this](int choice) { SetRefreshInterval(RefreshIntervalMs(choice)); });
  auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
  f5->setContext(Qt::WindowShortcut);
  connect(f5, &QShortcut::activated, this, &TForm1::RefreshRecord);
  CreateActions();

  connect(TimeChart, &TTimeChart::RowClicked, this, &TForm1::ShowClickedRow);

  // Every choice is written as it is made (once KeepSettings has given a file).
  connect(OptionsDialog->RadioGroup1, &TRadioGroup::ItemIndexChanged, this, &TForm1::SaveSettings);
  connect(OptionsDialog->RadioGroup2, &TRadioGroup::ItemIndexChanged, this, &TForm1::SaveSettings);
  connect(OptionsDialog, &TForm3::BoardOptionsChanged, this, &TForm1::SaveSettings);
  connect(OptionsDialog, &TForm3::NotifyOptionsChanged, this, &TForm1::SaveSettings);
  connect(OptionsDialog->EngineDialog, &TEngineOptionsDialog::EngineSettingsChanged, this,
          [this](const TEngineSettings& settings) {
            Analysis->SetSettings(settings);
            AnalyseRecord();
            SaveSettings();
          });
}

// OnDestroy: the dialog goes with its parent; the renderer releases the cell images.
TForm1::~TForm1() = default;

void TForm1::CreateActions() {
  for (auto [key, step] : {std::pair{Qt::Key_Left, &TForm1::Button2Click},
                           std::pair{Qt::Key_Right, &TForm1::Button3Click}}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, step);
  }

  OpenAction = new QAction(QStringLiteral("棋譜ファイルを開く…"), this);
  OpenAction->setShortcut(QKeySequence::Open);
  connect(OpenAction, &QAction::triggered, this, &TForm1::OpenRecordDialog);
  SaveAction = new QAction(QStringLiteral("棋譜を保存…"), this);
  SaveAction->setShortcut(QKeySequence::Save);
  SaveAction->setEnabled(false);
  connect(SaveAction, &QAction::triggered, this, &TForm1::SaveRecordDialog);
  SaveAsAction = new QAction(QStringLiteral("形式を選んで保存…"), this);
  SaveAsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  SaveAsAction->setEnabled(false);
  connect(SaveAsAction, &QAction::triggered, this, &TForm1::SaveRecordAsDialog);
  CopySfenAction = new QAction(QStringLiteral("局面を SFEN でコピー"), this);
  connect(CopySfenAction, &QAction::triggered, this, &TForm1::CopyPositionSfen);
  CopyBodAction = new QAction(QStringLiteral("局面を BOD でコピー"), this);
  connect(CopyBodAction, &QAction::triggered, this, &TForm1::CopyPositionBod);

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

  OpenAddressAction = new QAction(QStringLiteral("URLを開く…"), this);
  OpenAddressAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  connect(OpenAddressAction, &QAction::triggered, this, &TForm1::OpenAddressDialog);
  PasteAction = new QAction(QStringLiteral("棋譜を貼り付け"), this);
  PasteAction->setShortcut(QKeySequence::Paste);
  connect(PasteAction, &QAction::triggered, this, &TForm1::PasteRecord);
  CopyAction = new QAction(QStringLiteral("棋譜をコピー"), this);
  CopyAction->setShortcut(QKeySequence::Copy);
  connect(CopyAction, &QAction::triggered, this, &TForm1::CopyRecord);

  AnalysisAction = new QAction(QStringLiteral("検討"), this);
  AnalysisAction->setCheckable(true);
  AnalysisAction->setShortcut(QKeySequence(Qt::Key_F2));
  connect(AnalysisAction, &QAction::toggled, this, [this](bool on) {
    Analysis->SetEnabled(on);
    if (!on) record_positions_.clear();
    AnalysisPanel->setVisible(on);
    ChartTabs->setTabVisible(ChartTabs->indexOf(EvalGraph), on);
    UpdateChartTabs();
    UpdateSidePanel();
    AnalyseRecord();
  });

  GridAction = new QAction(QStringLiteral("全局"), this);
  GridAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  connect(GridAction, &QAction::triggered, this, [this] {
    if (grid_opener_) grid_opener_({});
  });

  auto* separator2 = new QAction(this);
  separator2->setSeparator(true);
  auto* separator = new QAction(this);
  separator->setSeparator(true);
  auto* copy_separator = new QAction(this);
  copy_separator->setSeparator(true);
  const QList<QAction*> actions = {OpenAction,     OpenAddressAction, SaveAction,
                                   SaveAsAction,   CopyAction,        PasteAction,
                                   copy_separator, CopySfenAction,    CopyBodAction,
                                   separator,      LastMoveAction,    FlipAction,
                                   separator2,     AnalysisAction,    GridAction};
  for (QAction* action : actions) action->setShortcutContext(Qt::WindowShortcut);
  addActions(actions);
  Image1->addActions(actions);
  Image1->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TForm1::AddFirstRow() {
  const TKifRecord::Row& first = shown_.rows[0];
  ListView1->BeginUpdate();
  ListView1->Clear();
  ListView1->Append(ToQString(first.caption),
                    {ToQString(first.move), ToQString(first.time), ToQString(first.other)});
  ListView1->EndUpdate();
}

TKifRecord TForm1::RecordToRead() const {
  TKifRecord record;
  record.sente_name = SenteName;
  record.gote_name = GoteName;
  record.tournament_name = TournamentName;
  record.caption = ToU16(base_caption_);
  return record;
}

void TForm1::TakeRecord(TKifRecord record) {
  shown_ = std::move(record);
  SenteName = shown_.sente_name;
  GoteName = shown_.gote_name;
  TournamentName = shown_.tournament_name;
  base_caption_ = ToQString(shown_.caption);
  ShowCaption();
  TakeTimes();
  AnalyseRecord();
}

void TForm1::TakeTimes() {
  const bool clock = HasClock(shown_);
  TimeChart->SetRecord(shown_);
  ChartTabs->setTabVisible(ChartTabs->indexOf(TimeChart), clock);
  UpdateChartTabs();
  ShowTime();
}

void TForm1::UpdateChartTabs() {
  bool any_tab = false;
  for (int i = 0; i < ChartTabs->count(); ++i) any_tab = any_tab || ChartTabs->isTabVisible(i);
  ChartTabs->setVisible(any_tab);
}

void TForm1::ShowTime() {
  Clocks->ShowRow(shown_, shown_row_);
  TimeChart->SetRow(shown_row_);
  UpdateSidePanel();
}

QSize TForm1::BaseSize() const {
  return SidePanel->isHidden() ? size() : size() - QSize(kSidePanelWidth, 0);
}

void TForm1::UpdateSidePanel() {
  bool wanted = false;
  for (QWidget* part : SidePanel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    wanted = wanted || !part->isHidden();
  }
  if (wanted == !SidePanel->isHidden()) return;
  const QSize base = BaseSize();
  SidePanel->setVisible(wanted);
  const QSize extra(wanted ? kSidePanelWidth : 0, 0);
  setMinimumSize(kViewerSize + extra);
  resize(base + extra);
  LayOutControls();
}

void TForm1::AnnounceMoves(size_t first_new) {
  const TNotifyOptions options = OptionsDialog->NotifyOptions();
  if (!options.popup && !options.sound) return;
  if (isActiveWindow() && !isMinimized()) return;
  // One line per new move as its row shows it; a refresh after a long
  // pause tells the last few.
  constexpr size_t kMostLines = 3;
  std::vector<int> rows;
  for (size_t n = std::max<size_t>(first_new, 1); n < shown_.main_line.size(); ++n) {
    const int row = shown_.main_line[n];
    if (row != 0 && (rows.empty() || rows.back() != row)) rows.push_back(row);
  }
  if (rows.empty()) return;
  QStringList lines;
  if (rows.size() > kMostLines) lines << QStringLiteral("…");
  for (size_t i = rows.size() > kMostLines ? rows.size() - kMostLines : 0; i < rows.size(); ++i) {
    const TKifRecord::Row& r = shown_.rows[static_cast<size_t>(rows[i])];
    QString line = ToQString(r.caption) + QStringLiteral(" ") + ToQString(r.move);
    if (!ToQString(r.time).trimmed().isEmpty())
      line += QStringLiteral(" ") + ToQString(r.time).trimmed();
    lines << line;
  }
  TNotice notice;
  notice.title = QStringLiteral("☗") + ToQString(SenteName).trimmed() + QStringLiteral(" 対 ☖") +
                 ToQString(GoteName).trimmed();
  notice.text = lines.join(QLatin1Char('\n'));
  notice.popup = options.popup;
  notice.sound = options.sound;
  Notify(notice, this);
}

std::u16string TForm1::FontSizePrefix() const {
  int index = OptionsDialog->RadioGroup1->ItemIndex();
  if (index < 0 || index >= kFontSizeCount) index = kDefaultFontSize;
  return DocumentPrefix(index);
}

void TForm1::BeginReading() {
  // The file read now is the newest there is.
  refresh_pending_ = false;
  AbandonRefresh();
  refresh_note_.clear();
  ShowCaption();
  // The list holds only row 0 while the file is read.
  shown_.rows = TKifRecord().rows;
  shown_.row_positions.resize(1);
  shown_.main_line = {0};
  AddFirstRow();
  shown_row_ = 0;
  TakeTimes();
  record_bytes_.clear();
  SaveAction->setEnabled(false);
  SaveAsAction->setEnabled(false);
}

void TForm1::Button1Click() {
  if (reading_) return;
  ActionScope action(*this);
  const std::string file = record_file_;
  const std::shared_ptr<ReadAside> read =
      ReadRecordAside([file] { return ReadRecordFile(file); }, TRecordEncoding::kCp932, file);
  if (!read) return;
  if (!read->error.empty()) {
    BeginReading();
    ShowMessage(QString::fromStdString(read->error), QStringLiteral("Zelvaro"));
    return;
  }
  if (!read->refusal.empty()) {
    ShowMessage(ToQString(read->refusal), QStringLiteral("Zelvaro"));
    return;
  }
  BeginReading();
  record_path_.clear();
  ShowRecord(*read, TRecordEncoding::kCp932, file);
}

bool TForm1::OpenRecordFile(const QString& path) {
  if (reading_) return false;
  ActionScope action(*this);
  const std::string file = QFile::encodeName(path).toStdString();
  const std::shared_ptr<ReadAside> read = ReadRecordAside(
      [file] { return ReadRecordFile(file); }, TRecordEncoding::kDetect, path.toStdString());
  if (!read) return false;
  if (!read->error.empty() || !read->refusal.empty()) {
    ShowMessage(
        read->error.empty() ? ToQString(read->refusal) : QString::fromStdString(read->error),
        QStringLiteral("Zelvaro"));
    return false;
  }
  // Followed like a broadcast: another program may be writing a live game
  // into it.
  FollowRecord([path] { return std::make_shared<TRecordFileFetch>(path); });
  WatchFile(path);
  BeginReading();
  record_path_ = path;
  ShowRecord(*read, TRecordEncoding::kDetect, path.toStdString());
  return true;
}

std::shared_ptr<TForm1::ReadAside> TForm1::ReadRecordAside(std::function<std::string()> read,
                                                           TRecordEncoding encoding,
                                                           const std::string& name) {
  QPointer<TForm1> alive(this);
  reading_ = true;
  QEventLoop loop;
  std::shared_ptr<ReadAside> result;
  RunInBackground(
      &loop,
      [read, encoding, name] {
        auto done = std::make_shared<ReadAside>();
        try {
          done->bytes = read();
          done->refusal = RecordRefusal(done->bytes, encoding, name);
          if (done->refusal.empty()) {
            // A new game starts from nothing: no names of the last one.
            ReadRecordBytes(done->record, done->bytes, encoding, name);
          }
        } catch (const std::exception& e) {
          done->error = MessageOf(e);
          if (done->error.empty()) done->error = "Unknown error.";
        }
        return done;
      },
      [&result, &loop](std::shared_ptr<ReadAside> done) {
        result = std::move(done);
        loop.quit();
      });
  // The window answers meanwhile; the program's end ends this wait too.
  loop.exec();
  if (!alive) return nullptr;
  reading_ = false;
  return result;
}

void TForm1::WatchFile(const QString& path) {
  const QStringList watched = file_watcher_->files() + file_watcher_->directories();
  if (!watched.isEmpty()) file_watcher_->removePaths(watched);
  watched_path_ = path;
  file_changed_again_ = false;
  file_settle_timer_->stop();
  if (path.isEmpty()) return;
  // The folder too: a writer that replaces the file (writes beside it and
  // renames) ends the watch on the old one.
  file_watcher_->addPath(path);
  file_watcher_->addPath(QFileInfo(path).absolutePath());
}

void TForm1::WatchedFileChanged() {
  if (watched_path_.isEmpty()) return;
  if (!file_watcher_->files().contains(watched_path_) && QFileInfo::exists(watched_path_)) {
    file_watcher_->addPath(watched_path_);
  }
  // A writer often writes in several steps: read once they have settled.
  file_settle_timer_->start();
}

void TForm1::RefreshWatchedFile() {
  if (watched_path_.isEmpty()) return;
  if (Refreshing()) {
    // The read under way may have missed this change: read again after it.
    file_changed_again_ = true;
    return;
  }
  RefreshRecord();
}

void TForm1::ShowRecord(ReadAside& read, TRecordEncoding encoding, const std::string& name) {
  TakeRecord(std::move(read.record));
  record_bytes_ = std::move(read.bytes);
  record_encoding_ = encoding;
  record_name_ = name;
  SaveAction->setEnabled(true);
  SaveAsAction->setEnabled(true);
  ListView1->BeginUpdate();
  QList<QStringList> rows;
  rows.reserve(static_cast<qsizetype>(shown_.rows.size()));
  for (size_t row = 1; row < shown_.rows.size(); ++row) {
    const TKifRecord::Row& r = shown_.rows[row];
    rows.append({ToQString(r.caption), ToQString(r.move), ToQString(r.time), ToQString(r.other)});
  }
  ListView1->AppendRows(rows);
  ListView1->SetSubItem(0, 2, ToQString(shown_.rows[0].other));
  ListView1->EndUpdate();
  // A new game starts at its top, whatever the last one scrolled to.
  ListView1->scrollToTop();
  shown_row_ = 0;
  ShowTime();
  AnalyseShownRow();
  RestartRefreshTimer();

  ShowDocument(WebBrowser1,
               FontSizePrefix() + shown_.header_body + std::u16string(kDocumentSuffix));
  renderer_->DrawPosition(Positions[0], SenteName, GoteName);
  const std::vector<std::u16string> reports = shown_.reports;
  for (size_t i = 0; i < reports.size() && i < kMaxReportBoxes; ++i) {
    ShowMessage(ToQString(reports[i]), QStringLiteral("error"));
  }
  if (reports.size() > kMaxReportBoxes) {
    ShowMessage(
        QStringLiteral("ほかに %1 件のエラーがあります").arg(reports.size() - kMaxReportBoxes),
        QStringLiteral("error"));
  }
}

void TForm1::ShowNewestMove() {
  int last = 0;
  for (size_t row = 0; row < shown_.rows.size(); ++row) {
    if (shown_.rows[row].line == 0) last = static_cast<int>(row);
  }
  ListView1->Select(last);
  ListView1->ScrollIntoView(last);
  OnListViewClick();
}

void TForm1::OnListViewClick() {
  ActionScope action(*this);
  const int row = ListView1->SelectedIndex();
  if (row < 0 || row >= static_cast<int>(Positions.size())) return;
  const TKyokumen& position = Positions[static_cast<size_t>(row)];
  shown_row_ = row;
  ShowTime();
  AnalyseShownRow();
  ShowDocument(WebBrowser1,
               FontSizePrefix() + LinkifyUrls(position.Comment) + std::u16string(kDocumentSuffix));
  renderer_->DrawPosition(position, SenteName, GoteName);
}

void TForm1::Button2Click() {
  ActionScope action(*this);
  const int row = ListView1->SelectedIndex();
  if (row <= 0) return;
  ListView1->Select(row - 1);
  ListView1->ScrollIntoView(row - 1);
  OnListViewClick();
}

void TForm1::Button3Click() {
  ActionScope action(*this);
  const int row = ListView1->SelectedIndex();
  if (row >= 0 && row == ListView1->RowCount() - 1) return;
  const int next = row < 0 ? 0 : row + 1;
  ListView1->Select(next);
  ListView1->ScrollIntoView(next);
  OnListViewClick();
}

void TForm1::Button4Click() { close(); }

void TForm1::OpenRecordDialog() {
  if (reading_) return;
  const QString start = record_path_.isEmpty() ? QString() : QFileInfo(record_path_).path();
  const QString path = AskFileName(TFileDialog::kOpen, this, QStringLiteral("棋譜ファイルを開く"),
                                   start, kOpenFilters);
  if (!path.isEmpty()) OpenRecordFile(path);
}

bool TForm1::SaveRecordFile(const QString& path) {
  try {
    WriteRecordFile(QFile::encodeName(path).toStdString(), record_bytes_);
  } catch (const Exception& e) {
    ShowMessage(QString::fromStdString(e.Message()), QStringLiteral("Zelvaro"));
    return false;
  }
  return true;
}

void TForm1::SaveRecordDialog() {
  if (!SaveAction->isEnabled()) return;
  const QString path = AskFileName(TFileDialog::kSave, this, QStringLiteral("棋譜を保存"),
                                   SuggestedName(record_path_, TournamentName), kSaveFilters);
  if (!path.isEmpty()) SaveRecordFile(path);
}

bool TForm1::SaveRecordAs(const QString& path, TRecordFormat format) {
  try {
    WriteRecordFile(QFile::encodeName(path).toStdString(), WriteRecord(shown_, format));
  } catch (const Exception& e) {
    ShowMessage(QString::fromStdString(e.Message()), QStringLiteral("Zelvaro"));
    return false;
  }
  return true;
}

void TForm1::SaveRecordAsDialog() {
  if (!SaveAsAction->isEnabled()) return;
  QStringList filters;
  for (const TSaveAsType& type : kSaveAsTypes) filters << QString::fromUtf8(type.filter);
  QString selected = filters.front();
  QString path =
      AskFileName(TFileDialog::kSave, this, QStringLiteral("形式を選んで保存"),
                  QFileInfo(SuggestedName(record_path_, TournamentName)).completeBaseName() +
                      QStringLiteral(".kif"),
                  filters.join(QStringLiteral(";;")), &selected);
  if (path.isEmpty()) return;
  TRecordFormat format;
  if (!FormatOfFileName(QFile::encodeName(path).toStdString(), format)) {
    const TSaveAsType& type = kSaveAsTypes[std::max<qsizetype>(filters.indexOf(selected), 0)];
    format = type.format;
    path += QString::fromUtf8(type.extension);
  }
  SaveRecordAs(path, format);
}

QString TForm1::CopyPositionSfen() {
  const QString text = QString::fromStdString(SfenOfRow(shown_, shown_row_));
  QGuiApplication::clipboard()->setText(text);
  return text;
}

QString TForm1::CopyPositionBod() {
  const std::u16string lines = JoinLines(
      BodLines(Positions[static_cast<size_t>(shown_row_)], SideToMove(shown_, shown_row_)), u"\n");
  const QString text = ToQString(lines);
  QGuiApplication::clipboard()->setText(text);
  return text;
}

void TForm1::KeepSettings(TSettingsFile* file) {
  settings_ = nullptr;  // applying what the file holds writes nothing back
  if (file == nullptr) return;
  const TSettings& kept = file->Values();
  OptionsDialog->RadioGroup1->SetItemIndex(kept.font_size);
  OptionsDialog->RadioGroup2->SetItemIndex(kept.refresh_choice);
  OptionsDialog->SetBoardOptions(kept.board);
  OptionsDialog->SetNotifyOptions(kept.notify);
  recent_addresses_ = kept.addresses;
  OptionsDialog->EngineDialog->SetValues(kept.engine);
  Analysis->SetSettings(kept.engine);
  if (kept.viewer) {
    // Fitted into the screen it opens on (its scale or size may have
    // changed since); a place no screen shows any more (a screen taken
    // away) is not kept.
    const QRect frame(kept.viewer->place, kept.viewer->size);
    const QScreen* on = nullptr;
    for (const QScreen* screen : QGuiApplication::screens()) {
      if (screen->availableGeometry().intersects(frame)) {
        on = screen;
        break;
      }
    }
    const QScreen* fit_to = on != nullptr ? on : QGuiApplication::primaryScreen();
    const QRect fitted =
        fit_to != nullptr ? FitToScreen(frame, fit_to->availableGeometry()) : frame;
    resize(fitted.size() + QSize(SidePanel->isHidden() ? 0 : kSidePanelWidth, 0));
    if (on != nullptr) move(fitted.topLeft());
  }
  settings_ = file;
}

void TForm1::SaveSettings() {
  if (settings_ == nullptr) return;
  TSettings& values = settings_->Values();
  values.font_size = OptionsDialog->RadioGroup1->ItemIndex();
  values.refresh_choice = OptionsDialog->RadioGroup2->ItemIndex();
  values.board = OptionsDialog->BoardOptions();
  values.addresses = recent_addresses_;
  values.notify = OptionsDialog->NotifyOptions();
  values.engine = Analysis->Settings();
  try {
    settings_->Save();
  } catch (const Exception& e) {
    if (settings_failed_) return;
    settings_failed_ = true;
    ShowMessage(QString::fromStdString(e.Message()), QStringLiteral("Zelvaro"));
  }
}

void TForm1::Button5Click() { OptionsDialog->exec(); }

void TForm1::ShowCaption() {
  const QString note = !opening_address_.isEmpty()
                           ? QStringLiteral("開いています: ") + opening_address_
                           : refresh_note_;
  setWindowTitle(note.isEmpty()
                     ? base_caption_
                     : base_caption_ + QStringLiteral(" (") + note + QStringLiteral(")"));
}

void TForm1::FollowRecord(TRecordDownload download) {
  AbandonRefresh();
  WatchFile(QString());
  download_ = std::move(download);
  if (!download_) refresh_pending_ = false;
  RestartRefreshTimer();
}

void TForm1::SetRefreshInterval(int milliseconds) {
  refresh_interval_ms_ = std::max(milliseconds, 0);
  RestartRefreshTimer();
}

void TForm1::RestartRefreshTimer() {
  if (isVisible() && download_ && refresh_interval_ms_ > 0 && !Refreshing()) {
    refresh_timer_->start(refresh_interval_ms_);
  } else {
    refresh_timer_->stop();
  }
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  RestartRefreshTimer();
}

void TForm1::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // A closed viewer shows no analysis: its engine ends (not when minimized).
  if (!isMinimized()) AnalysisAction->setChecked(false);
  refresh_pending_ = false;
  AbandonRefresh();
  // An address being opened goes with the window.
  address_work_.Abandon();
  if (!std::exchange(opening_address_, QString()).isEmpty()) ShowCaption();
  RestartRefreshTimer();
  if (settings_ != nullptr && !isMinimized()) {
    // The size of the layout: a record with a clock adds its column anew.
    settings_->Values().viewer = TSettings::Window{pos(), BaseSize()};
    SaveSettings();
  }
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOutControls();
}

void TForm1::LayOutControls() {
  const QSize base = BaseSize();
  SidePanel->setGeometry(base.width(), 0, kSidePanelWidth, height());
  const TViewerLayout layout = ViewerLayout(base);
  Image1->setGeometry(layout.image);
  WebBrowser1->setGeometry(layout.browser);
  ListView1->setGeometry(layout.list);
  QPushButton* buttons[] = {Button1, Button2, Button3, Button4, Button5};
  for (size_t i = 0; i < layout.buttons.size(); ++i) buttons[i]->setGeometry(layout.buttons[i]);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedRecord(event->mimeData()).isEmpty() || DroppedAddress(event->mimeData()))
    event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
  if (!DroppedRecord(event->mimeData()).isEmpty() || DroppedAddress(event->mimeData()))
    event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QString path = DroppedRecord(event->mimeData());
  if (path.isEmpty()) {
    // A link dragged from a web browser.
    if (const auto address = DroppedAddress(event->mimeData())) {
      event->acceptProposedAction();
      QTimer::singleShot(0, this, [this, url = *address] { OpenAddress(url); });
    }
    return;
  }
  event->acceptProposedAction();
  // After the drop has ended: the source waits for it, and the reading
  // processes events and may open boxes.
  QTimer::singleShot(0, this, [this, path] { WhenIdle([this, path] { OpenRecordFile(path); }); });
}

void TForm1::AbandonRefresh() {
  refresh_work_.Abandon();
  held_refresh_.reset();
}

void TForm1::WhenIdle(std::function<void()> work) {
  if (action_depth_ == 0) {
    work();
    return;
  }
  idle_work_.push_back(std::move(work));
}

void TForm1::RunPendingRefresh() {
  if (!refresh_pending_ && !held_refresh_ && idle_work_.empty()) return;
  // Queued: the caller (the end of an action) unwinds first.
  QTimer::singleShot(0, this, [this] {
    if (action_depth_ > 0) return;
    if (!idle_work_.empty()) {
      // One at a time: each may start an action, whose end comes back here.
      std::function<void()> work = std::move(idle_work_.front());
      idle_work_.erase(idle_work_.begin());
      work();
      RunPendingRefresh();
      return;
    }
    if (held_refresh_) {
      FinishRefresh(std::move(held_refresh_));
    } else if (refresh_pending_) {
      RefreshRecord();
    }
  });
}

void TForm1::RefreshRecord() {
  if (!download_ || !isVisible()) return;
  if (Refreshing()) {
    // The refresh under way answers this one too: nothing is asked twice.
    refresh_pending_ = false;
    return;
  }
  if (action_depth_ > 0) {
    refresh_pending_ = true;
    return;
  }
  refresh_pending_ = false;
  refresh_timer_->stop();
  // Making the download may process events; a refresh asked for then waits.
  ActionScope starting(*this);
  std::shared_ptr<TRecordFetch> fetch = download_();
  // Read aside on the worker too: a record that lacks a name keeps the one
  // shown, as a reading does.
  auto refreshed = std::make_shared<Refreshed>();
  refreshed->fetch = fetch;
  refreshed->record = RecordToRead();
  refresh_work_.Start(
      [fetch] { fetch->Abort(); },
      [refreshed, encoding = record_encoding_, name = record_name_] {
        try {
          refreshed->bytes = refreshed->fetch->Fetch();
          // What is no record does not replace the game on show.
          if (const std::u16string_view refusal = RecordRefusal(refreshed->bytes, encoding, name);
              !refusal.empty()) {
            refreshed->error = Utf16ToUtf8(refusal);
            return refreshed;
          }
          ReadRecordBytes(refreshed->record, refreshed->bytes, encoding, name);
        } catch (const std::exception& e) {
          // Running out of memory too: an ordinary failure.
          refreshed->error = MessageOf(e);
          if (refreshed->error.empty()) refreshed->error = "Unknown error.";
        }
        return refreshed;
      },
      [this](std::shared_ptr<Refreshed> done) {
        auto taken = std::make_unique<Refreshed>(std::move(*done));
        if (action_depth_ > 0) {
          // Shown once the user's action has ended, not under it.
          held_refresh_ = std::move(taken);
          return;
        }
        FinishRefresh(std::move(taken));
      });
  // Asked for while it was being started: this refresh answers it.
  refresh_pending_ = false;
  RestartRefreshTimer();
}

void TForm1::FinishRefresh(std::unique_ptr<Refreshed> refreshed) {
  struct Restart {
    TForm1& form;
    ~Restart() {
      form.RestartRefreshTimer();
      if (std::exchange(form.file_changed_again_, false)) form.file_settle_timer_->start();
    }
  } restart{*this};
  // Showing the record processes events: what they ask for waits for its end.
  ActionScope showing(*this);
  std::string failure = refreshed->error;
  if (failure.empty()) {
    try {
      refreshed->fetch->Keep(refreshed->bytes);
    } catch (const std::exception& e) {
      failure = MessageOf(e);
    }
  }
  if (!failure.empty()) {
    // Some messages run over two lines; the caption has one.
    refresh_note_ = (ToQString(kRefreshFailed) + QString::fromStdString(failure)).simplified();
    ShowCaption();
    return;
  }
  // A move the record cannot apply is told once when the game is opened;
  // a refresh only notes it quietly.
  TKifRecord& record = refreshed->record;
  refresh_note_ = record.reports.empty() ? QString() : ToQString(record.reports.front());
  record_bytes_ = std::move(refreshed->bytes);
  ApplyRefreshedRecord(std::move(record));
}

void TForm1::ApplyRefreshedRecord(TKifRecord record) {
  const TRefreshPlan plan = PlanRefresh(shown_, ListView1->SelectedIndex(), shown_row_, record);
  const int old_count = ListView1->RowCount();
  const int new_count = static_cast<int>(record.rows.size());
  const size_t old_moves = shown_.main_line.size();

  ListView1->BeginUpdate();
  for (int row = 0; row < new_count; ++row) {
    const TKifRecord::Row& r = record.rows[static_cast<size_t>(row)];
    const QStringList texts = {ToQString(r.caption), ToQString(r.move), ToQString(r.time),
                               ToQString(r.other)};
    if (row >= old_count) {
      ListView1->Append(texts[0], texts.mid(1));
      continue;
    }
    QTreeWidgetItem* item = ListView1->topLevelItem(row);
    for (int column = 0; column < texts.size(); ++column) {
      if (item->text(column) != texts[column]) item->setText(column, texts[column]);
    }
  }
  while (ListView1->RowCount() > new_count) {
    delete ListView1->takeTopLevelItem(ListView1->RowCount() - 1);
  }
  ListView1->EndUpdate();
  TakeRecord(std::move(record));
  if (shown_.main_line.size() > old_moves) AnnounceMoves(old_moves);

  if (plan.reselect) {
    ListView1->Select(plan.select);
    ListView1->ScrollIntoView(plan.select);
  }
  shown_row_ = plan.shown_row;
  ShowTime();
  AnalyseShownRow();
  if (plan.select < 0) {
    if (plan.picture_row >= 0) {
      renderer_->DrawPosition(Positions[static_cast<size_t>(plan.picture_row)], SenteName,
                              GoteName);
    }
    if (plan.document) {
      ShowDocument(WebBrowser1,
                   FontSizePrefix() + shown_.header_body + std::u16string(kDocumentSuffix));
    }
    return;
  }
  ShowRow(plan.select, plan.document, plan.picture_row >= 0);
}

void TForm1::ShowRow(int row, bool document, bool picture) {
  const TKyokumen& position = Positions[static_cast<size_t>(row)];
  if (picture) {
    shown_row_ = row;
    ShowTime();
    AnalyseShownRow();
    renderer_->DrawPosition(position, SenteName, GoteName);
  }
  // Last: showing a document processes events, and what they do wins.
  if (document) {
    ShowDocument(WebBrowser1, FontSizePrefix() + LinkifyUrls(position.Comment) +
                                  std::u16string(kDocumentSuffix));
  }
}

void TForm1::OpenAddress(const QString& url) {
  if (!address_download_) {
    ShowMessage(QStringLiteral("URLから棋譜を開くことはできません。"), QStringLiteral("error"));
    return;
  }
  std::shared_ptr<TRecordFetch> fetch = address_download_(url.toStdString());
  struct Fetched {
    std::string bytes;
    std::string content_type;
    std::string error;  // UTF-8; empty when the record came whole
  };
  opening_address_ = url;
  ShowCaption();
  address_work_.Start([fetch] { fetch->Abort(); },
                      [fetch] {
                        auto fetched = std::make_shared<Fetched>();
                        try {
                          fetched->bytes = fetch->Fetch();
                          fetched->content_type = fetch->ContentType();
                        } catch (const std::exception& e) {
                          fetched->error = MessageOf(e);
                          if (fetched->error.empty()) fetched->error = "Unknown error.";
                        }
                        return fetched;
                      },
                      [this, url](std::shared_ptr<Fetched> fetched) {
                        opening_address_.clear();
                        ShowCaption();
                        if (!fetched->error.empty()) {
                          ShowMessage(
                              url + QStringLiteral("\n") + QString::fromStdString(fetched->error),
                              QStringLiteral("error"));
                          return;
                        }
                        // Not inside the showing of a row: that processes events.
                        WhenIdle([this, url, fetched] {
                          ShowAddressRecord(url, std::move(fetched->bytes), fetched->content_type);
                        });
                      });
}

void TForm1::ShowAddressRecord(const QString& url, std::string bytes,
                               const std::string& content_type) {
  if (reading_) return;
  ActionScope action(*this);
  const std::string address = url.toStdString();
  // A page that links records is every game of its round: the grid.
  if (grid_opener_ && !FormatByContent(bytes) &&
      !RecordLinksOfPage(SplitLines(bytes), address).empty()) {
    grid_opener_({address});
    return;
  }
  const TRecordEncoding encoding = AddressEncoding(bytes, content_type);
  const std::string name = AddressFileName(address);
  auto fetched = std::make_shared<std::string>(std::move(bytes));
  const std::shared_ptr<ReadAside> read =
      ReadRecordAside([fetched] { return std::move(*fetched); }, encoding, name);
  if (!read) return;
  if (!read->error.empty() || !read->refusal.empty()) {
    // What is no record leaves the game on show as it was.
    ShowMessage(url + QStringLiteral("\n") +
                    (read->error.empty() ? ToQString(read->refusal)
                                         : QString::fromStdString(read->error)),
                QStringLiteral("error"));
    return;
  }
  FollowRecord([make = address_download_, address] { return make(address); });
  BeginReading();
  record_path_.clear();
  recent_addresses_ = RememberAddress(recent_addresses_, url);
  SaveSettings();
  if (!isVisible()) {
    show();
    raise();
    activateWindow();
  }
  ShowRecord(*read, encoding, name);
}

void TForm1::OpenAddressDialog() {
  const QClipboard* clipboard = QGuiApplication::clipboard();
  const auto pasted = AddressInText(clipboard->text());
  const QString start = pasted                        ? *pasted
                        : recent_addresses_.isEmpty() ? QStringLiteral("https://")
                                                      : recent_addresses_.front();
  const std::optional<QString> answer =
      AskText(this, QStringLiteral("URLを開く"),
              QStringLiteral("棋譜のURL (http:// または https://):"), start, recent_addresses_);
  if (!answer || answer->trimmed().isEmpty()) return;
  const auto url = AddressInText(*answer);
  if (!url) {
    ShowMessage(QStringLiteral("http:// か https:// で始まるURLを入力してください: ") + *answer,
                QStringLiteral("error"));
    return;
  }
  OpenAddress(*url);
}

void TForm1::PasteRecord() {
  const QString text = QGuiApplication::clipboard()->text();
  if (text.trimmed().isEmpty()) return;
  if (const auto url = AddressInText(text)) {
    OpenAddress(*url);
    return;
  }
  WhenIdle([this, text] {
    if (reading_) return;
    ActionScope action(*this);
    // Text from the clipboard: read as UTF-8 (the mark says so to every
    // later reading, Ctrl+S's file too), not followed.
    const std::string bytes = "\xEF\xBB\xBF" + text.toStdString();
    const std::shared_ptr<ReadAside> read =
        ReadRecordAside([bytes] { return bytes; }, TRecordEncoding::kDetect, "");
    if (!read) return;
    if (!read->error.empty() || !read->refusal.empty()) {
      ShowMessage(read->error.empty() ? ToQString(read->refusal)
                                      : QString::fromStdString(read->error),
                  QStringLiteral("Zelvaro"));
      return;
    }
    FollowRecord({});
    BeginReading();
    record_path_.clear();
    ShowRecord(*read, TRecordEncoding::kDetect, "");
  });
}

void TForm1::CopyRecord() {
  if (record_bytes_.empty()) return;
  QString text;
  for (const std::u16string& line :
       DecodeRecordLines(record_bytes_, record_encoding_, record_name_)) {
    text += ToQString(line) + QLatin1Char('\n');
  }
  QGuiApplication::clipboard()->setText(text);
}

}  // namespace zelvaro

namespace zelvaro {

void TForm1::AnalyseRecord() {
  if (!AnalysisAction->isChecked()) return;
  record_positions_ = RecordPositions(shown_);
  std::vector<std::string> main_line;
  main_line.reserve(shown_.main_line.size());
  for (int row : shown_.main_line) {
    main_line.push_back(record_positions_.at(static_cast<size_t>(row)).command);
  }
  Analysis->SetMainLine(std::move(main_line));
  AnalyseShownRow();
  UpdateEvalGraph();
}

void TForm1::AnalyseShownRow() {
  if (!AnalysisAction->isChecked() || record_positions_.empty()) return;
  const size_t row =
      std::min(static_cast<size_t>(std::max(shown_row_, 0)), record_positions_.size() - 1);
  Analysis->SetShown(record_positions_[row].command);
  // Numbers a record skipped show the row before them: the last of them is marked.
  int index = -1;
  for (size_t n = 0; n < shown_.main_line.size(); ++n) {
    if (shown_.main_line[n] == static_cast<int>(row)) index = static_cast<int>(n);
  }
  EvalGraph->SetCurrent(index);
}

void TForm1::UpdateEvalGraph() {
  if (!AnalysisAction->isChecked() || record_positions_.empty()) return;
  std::vector<std::optional<TUsiScore>> scores;
  scores.reserve(shown_.main_line.size());
  for (int row : shown_.main_line) {
    const TUsiAnalysis* kept =
        Analysis->Plan().Result(record_positions_.at(static_cast<size_t>(row)).command);
    scores.push_back(kept && kept->HasScore() ? std::optional(kept->lines[0].score) : std::nullopt);
  }
  EvalGraph->SetScores(std::move(scores));
}

void TForm1::ShowAnalysisStatus() {
  if (!Analysis->Enabled()) return;
  if (!Analysis->Fault().isEmpty()) {
    AnalysisPanel->ShowStatus(Analysis->Fault(), true);
    return;
  }
  TEngineProcess* process = Analysis->Process();
  if (process != nullptr && process->Client().Ready()) {
    AnalysisPanel->ShowStatus(
        QStringLiteral("エンジン: ") + QString::fromStdString(process->Client().EngineName()),
        false);
  } else {
    AnalysisPanel->ShowStatus(QStringLiteral("エンジンを起動しています…"), false);
  }
}

void TForm1::EvalGraphClicked(int index) {
  if (index < 0 || index >= static_cast<int>(shown_.main_line.size())) return;
  ShowClickedRow(shown_.main_line[static_cast<size_t>(index)]);
}

void TForm1::ShowClickedRow(int row) {
  ListView1->Select(row);
  ListView1->ScrollIntoView(row);
  OnListViewClick();
}

}  // namespace zelvaro
