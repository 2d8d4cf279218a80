#include "search/untSubForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QResizeEvent>
#include <QStringList>
#include <algorithm>

#include "broadcast/AddressFetch.h"
#include "broadcast/HandOver.h"
#include "toolkit/Exception.h"
#include "toolkit/TextCodec.h"
#include "toolkit/qt/Forms.h"
#include "toolkit/qt/Platform.h"

namespace zelvaro {
namespace {

constexpr char kErrorCaption[] = "error";
// The widths of the tournament and address columns in the window's own size.
constexpr int kTournamentWidth = 150;
constexpr int kUrlWidth = 60;
constexpr char16_t kNoServerText[] =
    u"中継サーバーが設定されていません。\n"
    u"中継サーバーのアドレスを入力してください（例: http://127.0.0.1:8123）。\n"
    u"入力したアドレスは次回の起動でも使われます。";

QString FromSjis(const std::string& bytes) { return ToQString(SjisToUtf16(bytes)); }

}  // namespace

// The window's side of a search.
class TForm2::Listener : public ISearchListener {
 public:
  explicit Listener(TForm2& form) : form_(form) {}

  void PageStarted(int index) override {
    page_ = index + 1;
    ShowProgress();
  }
  void PageFailed(int index, const std::string& message) override {
    failed_.append(QStringLiteral("%1 (%2)").arg(index + 1).arg(
        QString::fromStdString(TournamentTable(form_.hosts_)[index])));
    ShowProgress();
    // The search goes on while the box is up.
    ShowMessageModeless(&form_, QString::fromStdString(message),
                        QString::fromLatin1(kErrorCaption));
  }
  // A page on a placeholder host: named in the progress line, no box.
  void PageNotConfigured(int index) override {
    not_configured_.append(QStringLiteral("%1 (%2)").arg(index + 1).arg(
        QString::fromStdString(TournamentTable(form_.hosts_)[index])));
    ShowProgress();
  }
  // What the progress line says once the search has ended.
  void ShowEnd() { ShowLine(QStringLiteral("探索終了: %1 局見つかりました").arg(found_)); }
  void RowFound(const TGameRow& row) override {
    TListView* list = form_.ListView1;
    const QString start = FromSjis(row.Start);
    const QStringList texts = {FromSjis(row.Tournament), FromSjis(row.Sente), FromSjis(row.Gote),
                               FromSjis(row.Url)};
    list->BeginUpdate();
    // A game found again (by an earlier search, or twice in this one) keeps
    // its row, which takes what was found now.
    int same = -1;
    for (int r = 0; r < list->RowCount() && same < 0; ++r) {
      if (list->SubItem(r, 3) == texts[3]) same = r;
    }
    if (same < 0) {
      list->Append(start, texts);
    } else {
      QTreeWidgetItem* item = list->topLevelItem(same);
      item->setText(0, start);
      for (int column = 0; column < texts.size(); ++column)
        item->setText(column + 1, texts[column]);
    }
    list->EndUpdate();
    form_.FitColumns();
    ++found_;
    ShowProgress();
  }
  bool Cancelled() override { return form_.closing_; }

 private:
  void ShowProgress() {
    ShowLine(QStringLiteral("探索中: %1/%2 ページ目、%3 局見つかりました")
                 .arg(page_)
                 .arg(kTournamentCount)
                 .arg(found_));
  }
  // `text`, then the pages that could not be fetched, by their place in the
  // table and their address; cut short with "…" where it would run past the
  // window's edge, and whole in the tooltip.
  void ShowLine(QString text) {
    if (!failed_.empty())
      text += QStringLiteral("。取得できなかったページ: ") + failed_.join(QStringLiteral(", "));
    if (!not_configured_.empty()) {
      text += QStringLiteral("。アドレスが設定されていないページ: ") +
              not_configured_.join(QStringLiteral(", "));
    }
    QLabel* label = form_.ProgressLabel;
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->width()));
    label->setToolTip(text);
  }

  TForm2& form_;
  int page_ = 0;
  int found_ = 0;
  QStringList failed_;
  QStringList not_configured_;
};

TForm2::TForm2(TBroadcastHosts hosts, TFetcherFactory make_fetcher, QWidget* parent)
    : QWidget(parent, Qt::Window), hosts_(std::move(hosts)) {
  // The user may make it larger: the list takes the room.
  SetUpFixedWindow(this, "Form2", QStringLiteral("Zelvaro - 中継サイトを探索"), TBorder::kSizeable,
                   {581, 348}, {192, 107});

  ListView1 = new TListView(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setGeometry(16, 16, 545, 257);
  ListView1->SetColumns({
      {QStringLiteral("開始日時"), 120},
      {QStringLiteral("棋戦名"), kTournamentWidth},
      {QStringLiteral("先手"), 100},
      {QStringLiteral("後手"), 100},
      {QStringLiteral("URL"), kUrlWidth},
  });
  ListView1->SetCompare([this](int a, int b) { return ListViewCompare(a, b); });

  Button1 = MakeButton(this, "Button1", QStringLiteral("中継棋譜を探す"), {128, 288, 105, 33});
  Button2 = MakeButton(this, "Button2", QStringLiteral("終了"), {376, 288, 89, 33});
  Button3 = MakeButton(this, "Button3", QStringLiteral("全局を見る"), {244, 288, 105, 33});
  Button3->setEnabled(false);

  // Below the buttons, inside the fixed client area.
  ProgressLabel = new QLabel(this);
  ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
  ProgressLabel->setGeometry(16, 326, 545, 18);

  connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm2::Button3Click);
  // Several games may be selected for the grid; a double click opens one.
  ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  const auto listed = [this] { Button3->setEnabled(ListView1->RowCount() > 0); };
  connect(ListView1->model(), &QAbstractItemModel::rowsInserted, this, listed);
  connect(ListView1->model(), &QAbstractItemModel::rowsRemoved, this, listed);
  connect(ListView1->model(), &QAbstractItemModel::modelReset, this, listed);
  connect(ListView1, &TListView::DoubleClicked, this, &TForm2::ListViewDoubleClick);
  connect(ListView1, &TListView::ColumnClicked, this, &TForm2::ListViewColumnClick);

  // OnCreate, in order: what makes the fetch members (one set per
  // download), the sort state, the viewer.
  make_fetcher_ = std::move(make_fetcher);
  if (!make_fetcher_) throw Exception("the search window needs a page fetcher");
  FSortColumn = -1;
  FViewer = new TForm1(this);
  FViewer->setObjectName(QStringLiteral("Viewer"));
  FViewer->hide();
  FViewer->Actions->SetAddressDownload([states = follow_states_](const std::string& url) {
    return std::make_shared<TAddressFetch>(url, states->For(url));
  });
  FViewer->Actions->SetGridOpener(
      [this](const std::vector<std::string>& addresses) { OpenGrid(addresses); });
}

TForm2::~TForm2() {
  // The list's model is reset while QWidget deletes the children, after this
  // part of the window is gone: its signals must not reach it then.
  ListView1->model()->disconnect(this);
  // Downloads in flight end at once; nothing they would report arrives.
  search_.reset();
  hand_over_.Abandon();
  delete grid_;
  FViewer->FollowRecord({});
  delete FViewer;
}

void TForm2::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int dx = std::max(width() - 581, 0), dy = std::max(height() - 348, 0);
  ListView1->setGeometry(16, 16, 545 + dx, 257 + dy);
  FitColumns();
  Button1->move(128 + dx / 2, 288 + dy);
  Button2->move(376 + dx / 2, 288 + dy);
  Button3->move(244 + dx / 2, 288 + dy);
  ProgressLabel->setGeometry(16, 326 + dy, 545 + dx, 18);
  // The whole line is in the tooltip; cut again for the new width.
  if (!ProgressLabel->toolTip().isEmpty()) {
    ProgressLabel->setText(ProgressLabel->fontMetrics().elidedText(
        ProgressLabel->toolTip(), Qt::ElideRight, ProgressLabel->width()));
  }
}

void TForm2::FitColumns() {
  const int extra = std::max(width() - 581, 0);
  // The tournament names first, as far as the longest needs; the
  // addresses, cut short first, take the rest.
  const int tournament =
      std::clamp(ListView1->ContentWidth(1), kTournamentWidth, kTournamentWidth + extra);
  ListView1->setColumnWidth(1, tournament);
  ListView1->setColumnWidth(4, kUrlWidth + extra - (tournament - kTournamentWidth));
}

void TForm2::FirstStart() {
  if (ServerUnknown() && AskForServer()) Button1Click();
}

void TForm2::KeepSettings(TSettingsFile* file) {
  settings_ = file;
  // A kept sponsor address stands in for the placeholder, not for --sponsor.
  if (file != nullptr && IsPlaceholderUrl(hosts_.Sponsor) && !file->Values().sponsor.empty()) {
    try {
      hosts_.Sponsor = NormaliseBaseUrl(file->Values().sponsor);
    } catch (const Exception&) {
    }
  }
  if (file == nullptr || !ServerUnknown() || file->Values().server.empty()) return;
  try {
    hosts_.Server = NormaliseBaseUrl(file->Values().server);
  } catch (const Exception&) {
    // A damaged address is no address: the search asks for one.
  }
}

bool TForm2::AskForServer() {
  const QString prompt = QString::fromUtf16(kNoServerText);
  QString label = prompt;
  QString text = QStringLiteral("http://");
  for (;;) {
    const std::optional<QString> answer = AskText(this, QStringLiteral("Zelvaro"), label, text);
    if (!answer) return false;
    try {
      hosts_.Server = NormaliseBaseUrl(answer->trimmed().toStdString());
    } catch (const Exception& e) {
      label = QString::fromStdString(e.Message()) + QStringLiteral("\n\n") + prompt;
      text = *answer;
      continue;
    }
    break;
  }
  // The sponsor page lies beside the server's unless an address was given.
  const bool sponsor_entered = IsPlaceholderUrl(hosts_.Sponsor);
  if (sponsor_entered) hosts_.Sponsor = hosts_.Server;
  if (settings_ != nullptr) {
    settings_->Values().server = hosts_.Server;
    if (sponsor_entered) settings_->Values().sponsor = hosts_.Sponsor;
    try {
      settings_->Save();
    } catch (const Exception& e) {
      ShowMessage(QString::fromStdString(e.Message()), QStringLiteral("Zelvaro"));
    }
  }
  return true;
}

void TForm2::Button1Click() {
  if (search_ || closing_) return;
  // Without a server every page would fail, each in a box of its own.
  if (ServerUnknown() && !AskForServer()) return;
  Button1->setEnabled(false);
  listener_ = std::make_unique<Listener>(*this);
  search_ = std::make_unique<TParallelSearch>(hosts_, *listener_, make_fetcher_);
  connect(search_.get(), &TParallelSearch::Finished, this, &TForm2::EndSearch,
          Qt::QueuedConnection);
  search_->Start();
}

void TForm2::EndSearch() {
  search_.reset();
  listener_->ShowEnd();
  listener_.reset();
  Button1->setEnabled(true);
}

void TForm2::Button2Click() { close(); }

std::shared_ptr<TRecordFetch> TForm2::RecordDownload(const std::string& url) const {
  // A plain download; its lines start what the follow remembers.
  return std::make_shared<TRecordDownloadFetch>(
      url, make_fetcher_(), FViewer->Follower->RecordFile(), follow_states_->For(url),
      TRecordDownloadFetch::kStart);
}

std::shared_ptr<TRecordFetch> TForm2::FollowDownload(const std::string& url) const {
  return std::make_shared<TRecordDownloadFetch>(
      url, make_fetcher_(), FViewer->Follower->RecordFile(), follow_states_->For(url));
}

void TForm2::ListViewDoubleClick() {
  const int row = ListView1->SelectedIndex();
  if (row < 0 || closing_) return;
  OpenGame(Utf16ToSjis(ToU16(ListView1->SubItem(row, 3))));
}

void TForm2::Button3Click() {
  std::vector<std::string> addresses;
  std::vector<int> rows;
  for (QTreeWidgetItem* item : ListView1->selectedItems()) {
    rows.push_back(ListView1->indexOfTopLevelItem(item));
  }
  if (rows.size() < 2) {
    rows.clear();
    for (int row = 0; row < ListView1->RowCount(); ++row) rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  for (int row : rows) addresses.push_back(Utf16ToSjis(ToU16(ListView1->SubItem(row, 3))));
  OpenGrid(addresses);
}

void TForm2::OpenGrid(const std::vector<std::string>& addresses) {
  if (closing_) return;
  if (addresses.empty()) {
    if (ListView1->RowCount() > 0) Button3Click();
    return;
  }
  if (!grid_) {
    grid_ = new TGridWindow(this);
    grid_->SetOpenGame([this](const std::string& url) { OpenGame(url, true); });
    if (settings_) grid_->KeepSettings(settings_);
  }
  if (settings_) {
    grid_->SetIntervalMs(RefreshIntervalMs(settings_->Values().refresh_choice));
    grid_->SetEngineSettings(settings_->Values().engine);
  }
  grid_->Open(addresses);
  grid_->show();
  grid_->raise();
  grid_->activateWindow();
}

void TForm2::OpenGame(const std::string& url, bool newest) {
  if (closing_) return;
  std::shared_ptr<TRecordFetch> fetch = RecordDownload(url);
  hand_over_.Start(
      [fetch] { fetch->Abort(); },
      [fetch] { return std::make_shared<THandOverResult>(FetchHandOver(*fetch, kRecordFileName)); },
      [this, url, fetch, newest,
       asked = ++hand_overs_asked_](std::shared_ptr<THandOverResult> fetched) {
        if (!fetched->error.empty()) {
          // What arrived before a failure is at best part of the record:
          // the file and the game the viewer shows stay as they are.
          ShowMessage(QString::fromStdString(fetched->error), QString::fromLatin1(kErrorCaption));
          return;
        }
        // Not inside the viewer's showing of a row; and by then another
        // game may have been asked for, which wins.
        FViewer->Follower->WhenIdle(
            [this, url, fetch, asked, newest, bytes = std::move(fetched->bytes)] {
              if (asked == hand_overs_asked_ && !closing_) HandOver(url, fetch, bytes, newest);
            });
      });
}

void TForm2::HandOver(const std::string& url, const std::shared_ptr<TRecordFetch>& fetch,
                      const std::string& bytes, bool newest) {
  try {
    fetch->Keep(bytes);
  } catch (const std::exception& e) {
    ShowMessage(QString::fromStdString(FetchErrorMessage(e)), QString::fromLatin1(kErrorCaption));
    return;
  }
  FViewer->FollowRecord([this, url] { return FollowDownload(url); });
  FViewer->Button1->hide();
  FViewer->show();
  FViewer->raise();
  FViewer->activateWindow();
  FViewer->Button1Click();
  if (newest) FViewer->Follower->WhenIdle([this] { ShowNewestMove(*FViewer); });
}

void TForm2::ListViewColumnClick(int column) {
  FSortColumn = FSortColumn > 0 ? -(column + 1) : column + 1;
  ListView1->Sort();
  ListView1->ShowSortIndicator(column, FSortColumn > 0);
}

int TForm2::ListViewCompare(int row_a, int row_b) const {
  if (FSortColumn == 0) return 0;
  const int k = FSortColumn < 0 ? -FSortColumn : FSortColumn;
  const QString a = k == 1 ? ListView1->Caption(row_a) : ListView1->SubItem(row_a, k - 2);
  const QString b = k == 1 ? ListView1->Caption(row_b) : ListView1->SubItem(row_b, k - 2);
  const int result = LocaleCompare(a, b);
  return FSortColumn < 0 ? -result : result;
}

void TForm2::closeEvent(QCloseEvent* event) {
  // The program ends with this window, also while the viewer is open or
  // downloads are in flight: they are abandoned, their sockets closed.
  closing_ = true;
  if (search_) search_->Abandon();
  hand_over_.Abandon();
  FViewer->hide();
  if (grid_) grid_->hide();
  event->accept();
  QCoreApplication::exit(0);
}

}  // namespace zelvaro
